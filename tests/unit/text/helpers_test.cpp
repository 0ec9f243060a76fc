// The small helpers: the text sink's indentation, pattern fill, angle
// reduction.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <vector>

#include "runtime/datatypes/string/buffer.h"
#include "runtime/memory/manager.h"
#include "runtime/natives/maths.h"
#include "runtime/text/sink.h"

namespace vek {
namespace {

TEST(MoldIndent, AppendsFourSpacesPerLevel) {
    for (int32_t level : {0, 1, 3}) {
        Cell out;
        string::rs_make_at(&out, 4);
        text::Sink sink{.buffer = &out, .limit = 50};
        sink.indentation(level);
        EXPECT_EQ(sink.limit, 50 - 4 * level);
        EXPECT_EQ(string::buffer_length(&out), uint32_t(4 * level));
        for (uint32_t i = 0; i < string::buffer_length(&out); i++) EXPECT_EQ(string::rs_abs_at(&out, i), uint32_t(' '));
    }
}

TEST(FillPattern, RepeatsTheFirstItemExactlyCountTimes) {
    struct Row {
        uint32_t unit, count;
    };
    for (Row row : {Row{1, 1}, Row{1, 7}, Row{3, 5}, Row{16, 8}, Row{4, 1000}, Row{2, 0}}) {
        std::vector<std::byte> buffer(row.unit * row.count + 8, std::byte{0xEE});
        for (uint32_t i = 0; i < row.unit; i++) buffer[i] = std::byte(i + 1);
        std::byte* end = memory::fill_pattern(buffer.data(), row.unit, row.count);
        EXPECT_EQ(end, buffer.data() + row.unit * row.count);
        for (uint32_t i = row.unit; i < row.unit * row.count; i++) {
            ASSERT_EQ(buffer[i], std::byte(i % row.unit + 1)) << row.unit << " x " << row.count << " at " << i;
        }
        for (size_t i = size_t(row.unit) * row.count; i < buffer.size(); i++) {
            if (row.count == 0 && i < row.unit) continue;  // the pattern itself
            ASSERT_EQ(buffer[i], std::byte{0xEE}) << "written past the end";
        }
    }
}

TEST(DegreesToRadians, ReducesAndFoldsPerFunction) {
    using math::AngleFold;
    constexpr double DEG = 3.141592653589793 / 180.0;
    struct Row {
        double angle;
        AngleFold fold;
        double expected_degrees;
    };
    const Row rows[] = {
        {120, AngleFold::tangent, -60}, {120, AngleFold::sine, 60},    {120, AngleFold::cosine, 120},
        {270, AngleFold::tangent, -90}, {270, AngleFold::sine, -90},   {270, AngleFold::cosine, -90},
        {-120, AngleFold::tangent, 60}, {-120, AngleFold::sine, -60},  {-120, AngleFold::cosine, -120},
        {750, AngleFold::sine, 30},     {-200, AngleFold::cosine, 160}, {90, AngleFold::tangent, 90},
    };
    for (const Row& row : rows) {
        EXPECT_DOUBLE_EQ(math::degrees_to_radians(row.angle, row.fold), row.expected_degrees * DEG)
            << row.angle << " mode " << int(row.fold);
    }
}

}  // namespace
}  // namespace vek
