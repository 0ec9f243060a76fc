#include "runtime/codecs/base.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vek {
namespace {

using codecs::BaseRules;

std::string encoded(int base, const std::string& bytes) {
    std::string text(codecs::encoded_size(base, bytes.size()), '\0');
    auto* start = reinterpret_cast<uint8_t*>(text.data());
    uint8_t* end = codecs::encode_base(base, start, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    EXPECT_LE(end - start, std::ptrdiff_t(text.size()));
    text.resize(size_t(end - start));
    return text;
}

// The bytes, or "!" and the index of the fault.
std::string decoded(int base, const std::string& text, BaseRules rules) {
    std::vector<uint8_t> out;
    codecs::Decoded result = codecs::decode_base(base, {text.data(), text.size(), 1}, rules, out);
    if (!result.ok) return std::string("!").append(std::to_string(result.bad));
    return std::string(out.begin(), out.end());
}

TEST(BaseCodecs, Base58WritesLeadingZerosAsOnesAndTheRestAsOneNumber) {
    struct Case {
        std::string bytes;
        const char* text;
    };
    const Case cases[] = {
        {"", ""},
        {std::string("\0\0\1", 3), "112"},
        {std::string(1, '\0'), "1"},
        {"\x39", "z"},                                  // 57, the last digit
        {"\x3A", "21"},                                 // 58
        {"hello world", "StV1DL6CwTryKyV"},
        {std::string(12, '\xFF'), "5qCHTcgbQwpvYZQ9c"},  // spans several limbs
    };
    for (const Case& c : cases) {
        EXPECT_EQ(encoded(58, c.bytes), c.text) << c.text;
        EXPECT_EQ(decoded(58, c.text, BaseRules::data), c.bytes) << c.text;
    }
}

// Every length from 0 to 40 of bytes that are all 0xFF (the longest text for
// its length) and of a mixed pattern round-trips within the size bound.
TEST(BaseCodecs, EveryBaseRoundTripsWithinItsSize) {
    for (int base : {2, 16, 58, 64})
        for (size_t n = 0; n <= 40; n++)
            for (char fill : {'\xFF', '\x01'}) {
                std::string bytes(n, fill);
                if (n > 1) bytes[n / 2] = '\0';
                std::string text = encoded(base, bytes);
                EXPECT_EQ(decoded(base, text, BaseRules::data), bytes) << base << " " << n;
                if (base != 58) {
                    EXPECT_EQ(decoded(base, text, BaseRules::literal), bytes) << base << " " << n;
                }
            }
}

// The two rule sets part on the blanks they skip and on how the text ends;
// the literal rules point at the code unit at fault.
TEST(BaseCodecs, LiteralRulesAreStricterThanDataRules) {
    struct Case {
        int base;
        const char* text;
        const char* data;
        const char* literal;
    };
    const Case cases[] = {
        {16, "414", "A", "!2"},             // a lone last digit
        {16, "41\x0B" "42", "AB", "!2"},    // a control character that is no blank
        {2, "0100000", "!0", "!0"},         // a short byte, pointed at from its start
        {64, "YQ", "", "!1"},               // no padding
        {64, "YQ=", "a", "!2"},             // half the padding
        {64, "YQ==x", "a", "!4"},           // text after the padding
        {64, "YQ== ;x\n", "a", "a"},
        {64, "Y=", "!1", "!1"},
        {58, "2 '3 ;c\n", "\x3C", "\x3C"},
        {58, "0", "!0", "!0"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(decoded(c.base, c.text, BaseRules::data), c.data) << c.text;
        EXPECT_EQ(decoded(c.base, c.text, BaseRules::literal), c.literal) << c.text;
    }
}

// A code point of 128 or more is never a digit, whatever its low seven bits
// spell, in text of any width.
TEST(BaseCodecs, WideCodePointsAreInvalid) {
    for (int base : {2, 16, 58, 64})
        for (uint32_t c : {0x80u + '1', 0x100u + '1', 0x10031u}) {
            std::vector<uint8_t> out;
            const uint32_t wide[] = {'1', c};
            const uint16_t narrow[] = {'1', uint16_t(c)};
            EXPECT_FALSE(codecs::decode_base(base, {wide, 2, 4}, BaseRules::data, out).ok) << base << " " << c;
            if (c <= 0xFFFF) {
                EXPECT_FALSE(codecs::decode_base(base, {narrow, 2, 2}, BaseRules::data, out).ok);
            }
        }
}

}  // namespace
}  // namespace vek
