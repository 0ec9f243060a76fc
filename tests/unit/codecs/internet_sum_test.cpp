#include "runtime/codecs/internet_sum.h"

#include <gtest/gtest.h>

#include <string>

namespace vek {
namespace {

uint16_t sum_of(const std::string& bytes) {
    return codecs::internet_sum(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

TEST(InternetSum, KnownSums) {
    struct Case {
        std::string bytes;
        uint16_t sum;
    };
    const Case cases[] = {
        {"", 0xFFFF},
        {"abc", 0x9E3A},  // the odd "c" counts as 0x0063
        {"123456789", 12018},
        {std::string("\x00\x01\xF2\x03\xF4\xF5\xF6\xF7", 8), 0x220D},  // words summing to 0x2DDF0
        {std::string(1, '\xFF'), 0xFF00},
    };
    for (const Case& c : cases) EXPECT_EQ(sum_of(c.bytes), c.sum) << c.bytes;
}

// Totals past 2^31 and past 2^32 fold their carries back in like any other:
// all-ones words sum to the negative zero 0xFFFF whatever their number.
TEST(InternetSum, LongInputsFoldEveryCarry) {
    for (size_t n : {65536u, 65538u, 200000u, 200001u})
        EXPECT_EQ(sum_of(std::string(n, '\xFF')), n % 2 ? 0xFF00 : 0) << n;
}

}  // namespace
}  // namespace vek
