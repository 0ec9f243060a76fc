// The operating-system wrappers where they compute something of their own.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <vector>

#include "platform/os.h"

namespace {

using namespace vek::platform;

TEST(PackZone, OffsetsFromUtc) {
    struct Case {
        long offset_seconds;
        uint32_t zone;
    };
    const Case cases[] = {
        {0, 0},
        {3600, 1 << 2},
        {5 * 3600 + 30 * 60, 5 << 2 | 2},
        // West of UTC with minutes: the quarters come from the absolute offset.
        {-(3 * 3600 + 30 * 60), (0x10 | 3) << 2 | 2},
        {-8 * 3600, (0x10 | 8) << 2},
        {14 * 3600, 14 << 2},
        {5 * 3600 + 45 * 60, 5 << 2 | 3},
    };
    for (const auto& c : cases)
        EXPECT_EQ(pack_zone(c.offset_seconds), c.zone) << "offset " << c.offset_seconds;
}

TEST(DatePacked, UtcFieldsAreInRangeAndZoneIsZero) {
    uint32_t date = date_packed(true);
    EXPECT_EQ(date & 0x7F, 0u);
    EXPECT_GE(date >> 17, 2024u);
    uint32_t month = date >> 12 & 0x1F, day = date >> 7 & 0x1F;
    EXPECT_TRUE(month >= 1 && month <= 12) << month;
    EXPECT_TRUE(day >= 1 && day <= 31) << day;
}

TEST(TimeOfDay, WithinOneDayAndPreciseAddsOnlyAFraction) {
    double coarse = utc_time_of_day(false), precise = utc_time_of_day(true);
    EXPECT_EQ(coarse, double(int64_t(coarse)));
    EXPECT_GE(coarse, 0.0);
    EXPECT_LT(precise, 86400.0);
}

TEST(Environment, SetGetListAndRemove) {
    const char* name = "VEK_OS_TEST_VARIABLE";
    ASSERT_TRUE(set_env(name, "a=b c"));
    EXPECT_EQ(get_env(name), "a=b c");
    auto listed = list_env();
    EXPECT_NE(std::find(listed.begin(), listed.end(), std::pair<std::string, std::string>(name, "a=b c")),
              listed.end());
    ASSERT_TRUE(set_env(name, nullptr));
    EXPECT_EQ(get_env(name), std::nullopt);
    EXPECT_FALSE(set_env("BAD=NAME", "x"));
}

TEST(CurrentDir, ChangesAndComesBack) {
    std::string start = get_current_dir();
    ASSERT_FALSE(start.empty());
    ASSERT_TRUE(set_current_dir("/"));
    EXPECT_EQ(get_current_dir(), "/");
    EXPECT_FALSE(set_current_dir("/nonexistent/vek-os-test"));
    ASSERT_TRUE(set_current_dir(start.c_str()));
    EXPECT_EQ(get_current_dir(), start);
}

TEST(Wait, NonPositiveAndNanSecondsStillReturn) {
    for (double seconds : {0.0, -5.0, 0.0004, std::numeric_limits<double>::quiet_NaN()}) wait(seconds);
}

// A large request comes back from the kernel in parts: all of it must be filled.
TEST(RandomBytes, FillsLargeBuffersEntirely) {
    std::vector<unsigned char> bytes(64 << 20, 0);
    ASSERT_TRUE(random_bytes(bytes.data(), bytes.size()));
    std::array<unsigned char, 4096> zeros{};
    EXPECT_FALSE(std::equal(zeros.begin(), zeros.end(), bytes.end() - zeros.size()));
}

}  // namespace
