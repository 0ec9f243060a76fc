// The C++ values a heap image keeps: saved and put back as they were, a raw
// pointer into the region through its offset, and saved values that do not
// fit the declarations refused whole.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "runtime/memory/image_state.h"
#include "runtime/memory/manager.h"
#include "runtime/memory/region.h"
#include "runtime/memory/series.h"

namespace vek {
namespace {

uint32_t kept_counter = 0;
std::byte* kept_pointer = nullptr;

class ImageState : public testing::Test {
protected:
    void SetUp() override {
        image_state::keep("test counter", kept_counter);
        image_state::keep_pointer("test pointer", kept_pointer);
        kept_counter = 0x12345678;
        kept_pointer = node_buffer(memory::alloc_bytes(8))->first();
    }
};

TEST_F(ImageState, RestorePutsBackEveryDeclaredValue) {
    std::vector<uint8_t> saved = image_state::save();
    std::string before = image_state::dump();
    std::byte* pointer = kept_pointer;
    kept_counter = 7;
    kept_pointer = nullptr;
    EXPECT_NE(image_state::dump(), before);

    ASSERT_TRUE(image_state::restore(saved));
    EXPECT_EQ(kept_counter, 0x12345678u);
    EXPECT_EQ(kept_pointer, pointer);
    EXPECT_EQ(image_state::dump(), before);
}

TEST_F(ImageState, APointerIsKeptAsItsOffset) {
    uint32_t offset = uint32_t(region::off(kept_pointer));
    std::string dump = image_state::dump();
    char expected[32];
    std::snprintf(expected, sizeof expected, "test pointer:%02X%02X%02X%02X\n", offset & 0xFF, (offset >> 8) & 0xFF,
                  (offset >> 16) & 0xFF, offset >> 24);
    EXPECT_NE(dump.find(expected), std::string::npos) << dump;
}

TEST_F(ImageState, SavedValuesThatDoNotFitAreRefusedWhole) {
    std::vector<uint8_t> saved = image_state::save();
    std::vector<uint8_t> truncated(saved.begin(), saved.end() - 1);
    std::vector<uint8_t> longer = saved;
    longer.push_back(0);
    std::vector<uint8_t> resized = saved;
    resized[0] ^= 1;  // the first value's size
    kept_counter = 7;
    for (const auto& bad : {truncated, longer, resized, std::vector<uint8_t>{}}) {
        EXPECT_FALSE(image_state::restore(bad));
        EXPECT_EQ(kept_counter, 7u);
    }
}

}  // namespace
}  // namespace vek
