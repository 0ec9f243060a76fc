// Display widths, case mapping and the UTF-8 / UTF-16 conversions.
#include "runtime/text/unicode.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "runtime/core/raise.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/object/error.h"
#include "runtime/datatypes/string/buffer.h"
#include "runtime/memory/manager.h"
#include "tests/unit/support/string_cells.h"
#include "tests/unit/support/support.h"

namespace vek {
namespace {

using namespace unicode;
using namespace std::string_literals;
using test::text_cell;

// ------------------------------------------------------------------ helpers

const uint8_t* u8(const char* s) { return reinterpret_cast<const uint8_t*>(s); }

// The code points of a buffer, read at its unit.
std::u32string text_of(Node node) {
    SeriesBuffer* b = node_buffer(node);
    std::u32string out;
    for (uint32_t i = 0; i < b->length(); ++i) {
        uint32_t v = 0;
        std::memcpy(&v, b->at(i), b->unit());
        out.push_back(char32_t(v));
    }
    return out;
}

struct Raised {
    uint32_t code = 0;       // the error's code, 0 when nothing was raised
    std::vector<uint8_t> bytes;  // a binary! argument's bytes
    int64_t integer = -1;        // an integer! argument
};

// Runs body under a try frame and reports the error it raised with its
// first argument.
Raised catch_raised(const std::function<void()>& body) {
    Raised r;
    Cell* saved_top = stack::top;
    Cell word{TYPE_WORD, 0, 1, 0};
    stack::mark_try(&word);
    try {
        body();
        stack::pop_frame();
    } catch (VekThrow& t) {
        EXPECT_EQ(t.code, CODE_ERROR);
        Cell* error = stack::top - 1;
        r.code = test::code_of(error);
        const Cell* arg = error::field(error, error::FIELD_ARG1);
        if (cell_type(arg) == TYPE_INTEGER) r.integer = integer::get(arg);
        if (cell_type(arg) == TYPE_BINARY) {
            SeriesBuffer* b = series_buffer(arg);
            r.bytes.assign(reinterpret_cast<uint8_t*>(b->first()),
                           reinterpret_cast<uint8_t*>(b->last()));
        }
    }
    stack::top = saved_top;
    return r;
}

constexpr uint32_t INVALID_UTF8 = error_code(err::access::invalid_utf8);
constexpr uint32_t INVALID_CHAR = error_code(err::script::invalid_char);

// ------------------------------------------------------------------ widths

TEST(UnicodeWidth, Columns) {
    struct Case {
        uint32_t cp;
        int width, cjk;
    };
    const Case cases[] = {
        {0x0000, 0, 0}, {0x0007, 1, 1},  {0x0085, 1, 1},   {0x0041, 1, 1},
        {0x0301, 0, 2}, {0x4E00, 2, 2},  {0x1F600, 2, 2},  {0x00A1, 1, 2},
        {0x3000, 2, 2}, {0xFF01, 2, 2},  {0x231A, 2, 2},   {0x1F3FB, 2, 2},
        {0x1160, 0, 0}, {0xD7FB, 0, 0},  {0xE01EF, 0, 2},  {0x3FFFD, 2, 2},
        // Format characters keep their column. Ambiguous characters are wide
        // for the CJK variant even when they combine (U+0301, U+E01EF).
        {0x00AD, 1, 2}, {0x200B, 1, 1},  {0x200D, 1, 1},   {0x10FFFD, 1, 2},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(char_width(c.cp), c.width) << std::hex << c.cp;
        EXPECT_EQ(char_width_cjk(c.cp), c.cjk) << std::hex << c.cp;
    }
}

TEST(UnicodeWidth, RangeLookupAtTheBounds) {
    const uint32_t bounds[] = {10, 20, 30, 30, 40, 50};
    const std::pair<uint32_t, bool> cases[] = {{9, false},  {10, true}, {20, true}, {21, false},
                                               {30, true},  {31, false}, {50, true}, {51, false}};
    for (auto [cp, inside] : cases) EXPECT_EQ(in_ranges(cp, bounds, 6), inside) << cp;
    EXPECT_FALSE(in_ranges(10, bounds, 0));
}

// ------------------------------------------------------------------ case

TEST(UnicodeCase, PairListsHaveTheirFixedSizes) {
    EXPECT_EQ(to_upper_bmp.pair_count, 1175u);
    EXPECT_EQ(to_lower_bmp.pair_count, 1158u);
    EXPECT_EQ(to_upper_above_bmp.pair_count, 225u);
    EXPECT_EQ(to_lower_above_bmp.pair_count, 225u);
}

TEST(UnicodeCase, OneCodePointAlwaysComesBack) {
    struct Case {
        uint32_t cp, upper, lower;
    };
    const Case cases[] = {
        {0x0000, 0x0000, 0x0000},  {0x0061, 0x0041, 0x0061},  {0x0041, 0x0041, 0x0061},
        {0x00DF, 0x00DF, 0x00DF},  {0x0130, 0x0130, 0x0069},  {0x0149, 0x0149, 0x0149},
        {0x1E96, 0x1E96, 0x1E96},  {0x1E9E, 0x1E9E, 0x00DF},  {0x00FF, 0x0178, 0x00FF},
        {0xFF5A, 0xFF3A, 0xFF5A},
        {0x10428, 0x10400, 0x10428}, {0x10400, 0x10400, 0x10428},
        {0x1E943, 0x1E921, 0x1E943}, {0x1F600, 0x1F600, 0x1F600}, {0x10FFFF, 0x10FFFF, 0x10FFFF},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(change_char_case(c.cp, true), c.upper) << std::hex << c.cp;
        EXPECT_EQ(to_upper(c.cp), c.upper) << std::hex << c.cp;
        EXPECT_EQ(change_char_case(c.cp, false), c.lower) << std::hex << c.cp;
    }
}

TEST(UnicodeCase, AdlamRanges) {
    for (uint32_t i = 0; i < 0x22; ++i) {
        EXPECT_EQ(change_char_case(0x1E922 + i, true), 0x1E900 + i);
        EXPECT_EQ(change_char_case(0x1E900 + i, false), 0x1E922 + i);
    }
}

TEST(UnicodeCase, Toggle) {
    EXPECT_EQ(toggle_case('a'), uint32_t('A'));
    EXPECT_EQ(toggle_case('A'), uint32_t('a'));
    EXPECT_EQ(toggle_case('1'), uint32_t('1'));
    EXPECT_EQ(toggle_case(0x1E900), 0x1E922u);
}

// ------------------------------------------------------------------ decoding

TEST(UnicodeDecode, FastDecoder) {
    struct Case {
        const char* bytes;  // NUL-terminated, as the decoder's callers guarantee
        int32_t cp;
        int consumed;
    };
    const Case cases[] = {
        {"A", 0x41, 1},
        {"\xC3\xA9", 0xE9, 2},
        {"\xE2\x82\xAC", 0x20AC, 3},
        {"\xF0\x9F\x98\x80", 0x1F600, 4},
        {"\xF4\x8F\xBF\xBF", 0x10FFFF, 4},
        {"\xC0\x80", -1, 1},          // overlong lead rejected at once
        {"\x80", -1, 1},              // stray continuation byte
        {"\xE0\x80\x80", -1, 2},      // overlong three-byte form
        {"\xED\xA0\x80", -1, 2},      // surrogate
        {"\xF4\x90\x80\x80", -1, 2},  // above U+10FFFF
        {"\xE2\x82", -1, 3},          // the terminator ends the sequence
    };
    for (const Case& c : cases) {
        int32_t cp = 0;
        const uint8_t* after = fast_decode_utf8_char(u8(c.bytes), &cp);
        EXPECT_EQ(cp, c.cp) << c.bytes;
        EXPECT_EQ(after - u8(c.bytes), c.consumed) << c.bytes;
    }
}

TEST(UnicodeDecode, CountAndSkipStayWithinTheRange) {
    const char* s = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";  // 4 characters in 10 bytes
    EXPECT_EQ(count_utf8_chars(u8(s), u8(s) + 10), 4u);
    EXPECT_EQ(skip_utf8_chars(u8(s), u8(s) + 10, 2), u8(s) + 3);
    EXPECT_EQ(skip_utf8_chars(u8(s), u8(s) + 10, 99), u8(s) + 10);
    // A sequence cut by the end counts once and is not stepped past.
    EXPECT_EQ(count_utf8_chars(u8(s), u8(s) + 8), 4u);
    EXPECT_EQ(skip_utf8_chars(u8(s), u8(s) + 8, 4), u8(s) + 8);
}

TEST(UnicodeDecode, CheckedDecoder) {
    uint32_t count = 2;
    EXPECT_EQ(decode_utf8_char_checked(u8("\xC3\xA9"), &count), 0xE9);
    EXPECT_EQ(count, 2u);
    count = 2;
    EXPECT_EQ(decode_utf8_char_checked(u8("\xE2\x82"), &count), -1);  // needs one more byte
    EXPECT_EQ(count, 2u);
}

TEST(UnicodeDecode, MalformedInputRaisesWithTheBytesThatExist) {
    struct Case {
        const char* bytes;
        uint32_t length;
        std::vector<uint8_t> argument;
    };
    const Case cases[] = {
        {"\x80zzzz", 5, {0x80, 'z', 'z', 'z'}},
        {"\xF8", 1, {0xF8}},                          // never more than the input
        {"\xC3\x41", 2, {0xC3, 0x41}},                // bad continuation
        {"\xEF\xBF\xBE", 3, {0xEF, 0xBF, 0xBE}},      // U+FFFE
        {"\xED\xB0\x80", 3, {0xED, 0xB0, 0x80}},      // U+DC00
        {"\xF4\x90\x80\x80", 4, {0xF4, 0x90, 0x80, 0x80}},  // U+110000
        {"\xC0\x80", 2, {0xC0, 0x80}},                          // overlong forms
        {"\xE0\x80\xAF", 3, {0xE0, 0x80, 0xAF}},
        {"\xF0\x80\x80\x80", 4, {0xF0, 0x80, 0x80, 0x80}},
        {"\xED\xA0", 2, {0xED, 0xA0}},                          // a surrogate, cut short
    };
    for (const Case& c : cases) {
        Raised r = catch_raised([&] {
            uint32_t count = c.length;
            (void)decode_utf8_char_checked(u8(c.bytes), &count);
        });
        EXPECT_EQ(r.code, INVALID_UTF8) << c.bytes;
        EXPECT_EQ(r.bytes, c.argument) << c.bytes;
    }
}

// ------------------------------------------------------------------ loading

TEST(UnicodeLoad, WidensWhileLoadingAndKeepsEarlierCharacters) {
    struct Case {
        std::string utf8;
        uint32_t unit;
        std::u32string text;
    };
    const std::string as(100, 'a');
    const Case cases[] = {
        {"a\xC3\xA9", 1, U"a\u00E9"},
        {"a\xC3\xA9\xE2\x82\xAC", 2, U"a\u00E9\u20AC"},
        {"a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", 4, U"a\u00E9\u20AC\U0001F600"},
        {"a\xC3\xA9\xF0\x9F\x98\x80", 4, U"a\u00E9\U0001F600"},
        // A wide character late in mostly narrow text: the buffer must grow.
        {"aaaaaaaaaa\xE2\x82\xAC" + as, 2, U"aaaaaaaaaa\u20AC" + std::u32string(100, U'a')},
        {"aaaaaaaaaa\xF0\x9F\x98\x80" + as, 4, U"aaaaaaaaaa\U0001F600" + std::u32string(100, U'a')},
        {"", 1, U""},
    };
    for (const Case& c : cases) {
        Node node = load_utf8_new(u8(c.utf8.c_str()), uint32_t(c.utf8.size()));
        EXPECT_EQ(node_buffer(node)->unit(), c.unit) << c.utf8;
        EXPECT_EQ(text_of(node), c.text) << c.utf8;
    }
}

TEST(UnicodeLoad, IncompleteEndReportsTheBytesLeft) {
    int32_t left = 77;
    Node node = load_utf8(u8("ab\xF0\x9F\x98"), 5, Node::none, &left, false);
    EXPECT_EQ(text_of(node), U"ab");
    EXPECT_EQ(left, 3);

    left = 77;
    node = load_utf8(u8("ab"), 2, Node::none, &left, false);
    EXPECT_EQ(left, 77);  // a complete load leaves it alone

    node = load_utf8(u8("\xEF\xBB\xBF"), 3, Node::none, &left, false);
    EXPECT_EQ(text_of(node), U"");
    EXPECT_EQ(left, 0);
    EXPECT_EQ(text_of(load_utf8_new(u8("\xEF\xBB\xBFx"), 4)), U"x");
}

TEST(UnicodeLoad, NewlineMode) {
    const char* input = "a\r\n\rb\r";
    EXPECT_EQ(text_of(load_utf8(u8(input), 6, Node::none, nullptr, true)), U"a\n\nb\n");
    EXPECT_EQ(text_of(load_utf8(u8(input), 6, Node::none, nullptr, false)), U"a\r\n\rb\r");
}

TEST(UnicodeLoad, IntoATargetReplacesItsTextAndKeepsItsUnit) {
    Cell target = text_cell(U"\u20ACold text", 2);
    Node node = load_utf8_into(u8("new"), 3, &target, nullptr);
    EXPECT_EQ(node, series_node(&target));
    EXPECT_EQ(node_buffer(node)->unit(), 2u);
    EXPECT_EQ(text_of(node), U"new");
}

TEST(UnicodeLoad, MalformedTextRaises) {
    Raised r = catch_raised([] { (void)load_utf8_new(u8("ok\xFFok"), 5); });
    EXPECT_EQ(r.code, INVALID_UTF8);
    EXPECT_EQ(r.bytes, (std::vector<uint8_t>{0xFF, 'o', 'k'}));
}

TEST(UnicodeLoad, Utf16PicksTheNarrowestUnit) {
    struct Case {
        std::vector<uint16_t> units;
        bool drop_cr;
        uint32_t unit;
        std::u32string text;
    };
    const Case cases[] = {
        {{'A', '\r', '\n', 0xE9}, false, 1, U"A\r\n\u00E9"},
        {{'A', '\r', '\n', 0xE9}, true, 1, U"A\n\u00E9"},
        {{'A', '\r', 0x20AC}, true, 2, U"A\u20AC"},
        {{'A', 0xD83D, 0xDE00, '\r', 'B'}, true, 4, U"A\U0001F600B"},
        {{0xDC00, 'x'}, false, 4, U"\xDC00x"},  // a lone low surrogate is kept
        {{}, false, 1, U""},
    };
    for (const Case& c : cases) {
        Node node = load_utf16(c.units.data(), uint32_t(c.units.size()), nullptr, c.drop_cr);
        SeriesBuffer* b = node_buffer(node);
        EXPECT_EQ(b->unit(), c.unit);
        EXPECT_TRUE(b->flags & BUF_FROM_UTF16);
        EXPECT_EQ(text_of(node), c.text);
    }
}

TEST(UnicodeLoad, BrokenSurrogateRaisesInsteadOfEndingTheProcess) {
    const std::vector<uint16_t> followed = {'a', 0xD83D, 'b'};
    Raised r = catch_raised([&] { (void)load_utf16(followed.data(), 3, nullptr, false); });
    EXPECT_EQ(r.code, INVALID_UTF8);
    EXPECT_EQ(r.bytes, (std::vector<uint8_t>{0x3D, 0xD8, 'b', 0}));

    const std::vector<uint16_t> last = {'a', 0xD83D};
    r = catch_raised([&] { (void)load_utf16(last.data(), 2, nullptr, false); });
    EXPECT_EQ(r.code, INVALID_UTF8);
    EXPECT_EQ(r.bytes, (std::vector<uint8_t>{0x3D, 0xD8}));
}

// ------------------------------------------------------------------ encoding

TEST(UnicodeEncode, Utf8) {
    struct Case {
        uint32_t cp;
        std::vector<uint8_t> bytes;
    };
    const Case cases[] = {
        {0x00, {0x00}},
        {0x7F, {0x7F}},
        {0x80, {0xC2, 0x80}},
        {0x7FF, {0xDF, 0xBF}},
        {0x800, {0xE0, 0xA0, 0x80}},
        {0xFFFF, {0xEF, 0xBF, 0xBF}},
        {0x10000, {0xF0, 0x90, 0x80, 0x80}},
        {0x10FFFF, {0xF4, 0x8F, 0xBF, 0xBF}},
    };
    for (const Case& c : cases) {
        uint8_t out[4] = {};
        int n = encode_utf8_char(c.cp, out);
        EXPECT_EQ(std::vector<uint8_t>(out, out + n), c.bytes) << std::hex << c.cp;
        EXPECT_EQ(utf8_char_size(c.cp), n);
    }
    uint8_t out[4] = {};
    EXPECT_EQ(encode_utf8_char_bounded(0x20AC, out, 2), 2);
    EXPECT_EQ(out[0], 0xE2);
    EXPECT_EQ(out[1], 0x82);
    EXPECT_EQ(out[2], 0x00);
}

// A surrogate has no UTF-8 either: text written with it would not read back.
TEST(UnicodeEncode, SurrogatesAndCodePointsAboveTheLastRaise) {
    for (auto encode : {+[] { uint8_t out[4]; (void)encode_utf8_char(0x110000, out); },
                        +[] { (void)utf8_char_size(0x110000); }}) {
        Raised r = catch_raised(encode);
        EXPECT_EQ(r.code, INVALID_CHAR);
        EXPECT_EQ(r.integer, 0x110000);
    }
    for (uint32_t surrogate : {0xD800u, 0xDFFFu}) {
        Raised r = catch_raised([surrogate] { (void)utf8_char_size(surrogate); });
        EXPECT_EQ(r.code, INVALID_CHAR);
        EXPECT_EQ(r.integer, int32_t(surrogate));
    }
    uint16_t units[2] = {};
    EXPECT_EQ(encode_utf16_char(0x110000, units), 0);
}

TEST(UnicodeEncode, SizeOfRange) {
    static const uint32_t text[] = {'a', 0xE9, 0x20AC, 0x1F600};
    auto start = reinterpret_cast<const std::byte*>(text);
    EXPECT_EQ(utf8_size_of_range(start, start + sizeof text, 4), 10u);
}

TEST(UnicodeConvert, Utf16WithPairsAndLineEnds) {
    Cell s = text_cell(U"\U00010000", 4);
    int32_t length = -1;
    const uint16_t* out = to_utf16_buffer(&s, &length, false);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(length, 2);
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(out), 3), u"\xD800\xDC00\0"s);

    Cell lines = text_cell(U"a\nb", 1);
    out = to_utf16_cstring(&lines);
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(out)), u"a\r\nb");

    // Unit 2 without line-end conversion is copied whole; the limit counts
    // code points.
    Cell wide = text_cell(U"\u20ACxyz", 2);
    length = 2;
    out = to_utf16_buffer(&wide, &length, false);
    EXPECT_EQ(length, 2);
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(out)), u"\u20ACx");

    Cell invalid = text_cell(std::u32string{U'a', char32_t(0x110000)}, 4);
    length = -1;
    EXPECT_EQ(to_utf16_buffer(&invalid, &length, false), nullptr);
}

TEST(UnicodeConvert, Utf8CStringFromTheHead) {
    Cell s = text_cell(U"xa\nb\u20AC", 2, TYPE_STRING, 1);
    int32_t length = -1;
    const uint8_t* out = to_utf8_cstring_part(&s, &length, true);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(out)), "a\r\nb\xE2\x82\xAC");
    EXPECT_EQ(length, 7);
    Node cache = string::cache_node(&s);
    EXPECT_NE(cache, Node::none);

    length = 2;
    out = to_utf8_cstring(&s, &length);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(out)), "a\n");
    EXPECT_EQ(length, 2);
    EXPECT_EQ(string::cache_node(&s), cache);  // the cache is reused

    uint8_t buffer[8];
    EXPECT_EQ(string_to_utf8(&s, buffer, -1, true), 6u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer)), "a\nb\xE2\x82\xAC");
    // Within 5 bytes and a terminator, the euro sign does not fit whole.
    EXPECT_EQ(string_to_utf8_bounded(&s, buffer, 5, -1, true), 3u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer)), "a\nb");
}

// ------------------------------------------------------------------ widening

TEST(UnicodeWiden, FullBuffersMoveAndKeepTheirText) {
    struct Case {
        uint32_t from, to;
        SeriesBuffer* (*widen)(SeriesBuffer*);
    };
    const Case cases[] = {{1, 2, widen_ucs1_to_ucs2}, {1, 4, widen_ucs1_to_ucs4},
                          {2, 4, widen_ucs2_to_ucs4}};
    std::u32string text;
    for (uint32_t i = 0; i < 16; ++i) text.push_back(char32_t(0xF0 + i));
    for (const Case& c : cases) {
        Cell s = text_cell(text, c.from);  // 16 units: capacity full for unit 1
        Node node = series_node(&s);
        SeriesBuffer* widened = c.widen(node_buffer(node));
        EXPECT_EQ(widened, node_buffer(node));
        EXPECT_EQ(widened->unit(), c.to);
        EXPECT_EQ(text_of(node), text);
    }
}

TEST(UnicodeDeath, BadUnitStopsTheRuntime) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const std::byte bytes[3] = {};
    EXPECT_EXIT((void)utf8_size_of_range(bytes, bytes + 3, 3), testing::ExitedWithCode(101), "");
}

}  // namespace
}  // namespace vek
