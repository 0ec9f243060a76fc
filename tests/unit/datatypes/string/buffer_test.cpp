#include "runtime/datatypes/string/buffer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "runtime/core/raise.h"
#include "runtime/core/stack.h"
#include "runtime/core/unwind.h"
#include "runtime/datatypes/object/error.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/memory/manager.h"
#include "tests/unit/support/stack_fixture.h"
#include "tests/unit/support/string_cells.h"
#include "tests/unit/support/support.h"

namespace vek {
namespace {

using namespace string;
using test::code_points_of;
using test::text_cell;

uint32_t unit(const Cell& cell) { return series_buffer(&cell)->unit(); }

using StringBuffer = test::StackRestoringTest;

TEST_F(StringBuffer, EachUnitStoresCodePointsLittleEndian) {
    struct Case {
        uint32_t unit;
        uint32_t code_point;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {1, 0xE9, {0xE9}},
        {2, 0x20AC, {0xAC, 0x20}},
        {4, 0x1F600, {0x00, 0xF6, 0x01, 0x00}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.unit);
        Cell s = text_cell(U"", c.unit);
        insert_char(series_buffer(&s), 0, c.code_point);
        SeriesBuffer* b = series_buffer(&s);
        ASSERT_EQ(b->unit(), c.unit);
        EXPECT_EQ(std::vector<uint8_t>(reinterpret_cast<uint8_t*>(b->first()),
                                       reinterpret_cast<uint8_t*>(b->last())),
                  c.bytes);
        EXPECT_EQ(get_char(b->first(), c.unit), c.code_point);
    }
}

// Each writer has its own threshold; widening keeps the earlier text.
TEST_F(StringBuffer, WritersWidenOnlyWhenTheirThresholdIsReached) {
    using Write = std::function<void(Cell&, uint32_t)>;
    Write append = [](Cell& s, uint32_t c) { append_char(series_buffer(&s), c); };
    Write insert = [](Cell& s, uint32_t c) { insert_char(series_buffer(&s), 2, c); };
    Write poke = [](Cell& s, uint32_t c) {
        SeriesBuffer* b = series_buffer(&s);
        poke_char(b, b->at(2), c);
    };
    Write overwrite = [](Cell& s, uint32_t c) { overwrite_char(series_buffer(&s), 2, c); };
    struct Case {
        const char* name;
        Write write;
        uint32_t start_unit;
        uint32_t code_point;
        uint32_t expected_unit;
        std::u32string expected;  // X stands for the code point
    } cases[] = {
        {"append ASCII", append, 1, 0x7F, 1, U"abzX"},
        {"append U+0080", append, 1, 0x80, 2, U"abzX"},
        {"append U+00E9", append, 1, 0xE9, 2, U"abzX"},
        {"append U+1F600 to unit 1", append, 1, 0x1F600, 4, U"abzX"},
        {"append U+FFFF to unit 2", append, 2, 0xFFFF, 2, U"abzX"},
        {"append U+10000 to unit 2", append, 2, 0x10000, 4, U"abzX"},
        {"insert U+00FF", insert, 1, 0xFF, 1, U"abXz"},
        {"insert U+0100", insert, 1, 0x100, 2, U"abXz"},
        {"insert U+10000", insert, 1, 0x10000, 4, U"abXz"},
        {"poke U+00E9", poke, 1, 0xE9, 1, U"abX"},
        {"poke U+0100", poke, 1, 0x100, 2, U"abX"},
        {"poke U+10000 into unit 2", poke, 2, 0x10000, 4, U"abX"},
        {"overwrite U+00FF", overwrite, 1, 0xFF, 1, U"abX"},
        {"overwrite U+10FFFF", overwrite, 1, 0x10FFFF, 4, U"abX"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Cell s = text_cell(U"abz", c.start_unit);
        c.write(s, c.code_point);
        std::u32string expected = c.expected;
        expected[expected.find(U'X')] = char32_t(c.code_point);
        EXPECT_EQ(unit(s), c.expected_unit);
        EXPECT_EQ(code_points_of(s), expected);
    }
}

TEST_F(StringBuffer, EditsAtTheHeadInTheMiddleAndAtTheTail) {
    using Edit = std::function<void(Cell&)>;
    auto at = [](Cell& s) { return series_buffer(&s); };
    struct Case {
        const char* name;
        std::u32string start;
        Edit edit;
        std::u32string expected;
    } cases[] = {
        {"insert into empty", U"", [&](Cell& s) { insert_char(at(s), 0, 'X'); }, U"X"},
        {"insert at head", U"abcd", [&](Cell& s) { insert_char(at(s), 0, 'X'); }, U"Xabcd"},
        {"insert in middle", U"abcd", [&](Cell& s) { insert_char(at(s), 2, 'X'); }, U"abXcd"},
        {"insert at tail", U"abcd", [&](Cell& s) { insert_char(at(s), 4, 'X'); }, U"abcdX"},
        {"insert past tail", U"abcd", [&](Cell& s) { insert_char(at(s), 9, 'X'); }, U"abcdX"},
        {"overwrite head", U"abcd", [&](Cell& s) { overwrite_char(at(s), 0, 'X'); }, U"Xbcd"},
        {"overwrite last", U"abcd", [&](Cell& s) { overwrite_char(at(s), 3, 'X'); }, U"abcX"},
        {"overwrite at tail", U"abcd", [&](Cell& s) { overwrite_char(at(s), 4, 'X'); }, U"abcdX"},
        {"remove head", U"abcd", [](Cell& s) { remove_char(&s, 0); }, U"bcd"},
        {"remove middle", U"abcd", [](Cell& s) { remove_char(&s, 2); }, U"abd"},
        {"remove last", U"abcd", [](Cell& s) { remove_char(&s, 3); }, U"abc"},
        {"remove at tail", U"abcd", [](Cell& s) { remove_char(&s, 4); }, U"abcd"},
        {"remove run", U"abcd", [](Cell& s) { remove_chars(&s, 1, 2); }, U"ad"},
        {"remove beyond tail", U"abcd", [](Cell& s) { remove_chars(&s, 2, 10); }, U"ab"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (uint32_t u : {1u, 2u, 4u}) {
            Cell s = text_cell(c.start, u);
            c.edit(s);
            EXPECT_EQ(code_points_of(s), c.expected) << "unit " << u;
            EXPECT_EQ(unit(s), u);
        }
    }
}

TEST_F(StringBuffer, OverwriteFarPastTheCapacityGrowsToReachTheIndex) {
    Cell s = text_cell(U"ab");
    overwrite_char(series_buffer(&s), 1000, 'X');
    EXPECT_EQ(buffer_length(&s), 1001u);
    EXPECT_EQ(rs_abs_at(&s, 0), uint32_t('a'));
    EXPECT_EQ(rs_abs_at(&s, 1000), uint32_t('X'));
}

TEST_F(StringBuffer, Concatenate) {
    struct Case {
        const char* name;
        std::u32string target;
        uint32_t target_unit;
        std::u32string source;
        uint32_t source_unit;
        uint32_t source_head;
        int32_t part;
        int32_t offset;
        bool per_char;
        Mode mode;
        std::u32string expected;
        uint32_t expected_target_unit;
        uint32_t expected_source_unit;
    } cases[] = {
        {"same units", U"ab", 1, U"cd", 1, 0, -1, 0, false, Mode::append, U"abcd", 1, 1},
        {"from the source's head, part", U"ab", 1, U"xcde", 1, 1, 2, 0, false, Mode::append, U"abcd", 1, 1},
        {"unit-1 source widens to the target", U"\u00E9", 2, U"abc", 1, 0, -1, 0, false, Mode::append,
         U"\u00E9abc", 2, 2},
        {"per char leaves the source alone", U"\u00E9", 2, U"abc", 1, 0, -1, 0, true, Mode::append,
         U"\u00E9abc", 2, 1},
        {"unit-1 source into unit 4", U"\U0001F600", 4, U"ab", 1, 0, -1, 0, false, Mode::append,
         U"\U0001F600ab", 4, 4},
        {"unit-4 source widens the target", U"ab", 1, U"\U0001F600x", 4, 0, -1, 0, false, Mode::append,
         U"ab\U0001F600x", 4, 4},
        {"insert in the middle", U"abef", 1, U"cd", 1, 0, -1, 2, false, Mode::insert, U"abcdef", 1, 1},
        {"insert at the head", U"cd", 2, U"ab", 2, 0, -1, 0, false, Mode::insert, U"abcd", 2, 2},
        {"insert per char", U"a\u00E9", 2, U"bc", 1, 0, -1, 1, true, Mode::insert, U"abc\u00E9", 2, 1},
        {"overwrite past the tail", U"abcdef", 1, U"XYZ", 1, 0, -1, 4, false, Mode::overwrite, U"abcdXYZ", 1, 1},
        {"overwrite within", U"abcdef", 1, U"XY", 1, 0, -1, 1, false, Mode::overwrite, U"aXYdef", 1, 1},
        {"overwrite per char", U"ab\u0100", 2, U"XYZ", 1, 0, -1, 2, true, Mode::overwrite, U"abXYZ", 2, 1},
        {"empty source", U"ab", 1, U"", 4, 0, -1, 0, false, Mode::append, U"ab", 4, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Cell target = text_cell(c.target, c.target_unit);
        Cell source = text_cell(c.source, c.source_unit, TYPE_STRING, c.source_head);
        concatenate(&target, &source, c.part, c.offset, c.per_char, c.mode);
        EXPECT_EQ(code_points_of(target), c.expected);
        EXPECT_EQ(unit(target), c.expected_target_unit);
        EXPECT_EQ(unit(source), c.expected_source_unit);
        EXPECT_EQ(code_points_of(source), c.source) << "the source text never changes";
    }
}

TEST_F(StringBuffer, ConcatenateIntoItsOwnBufferReadsTheSourceBeforeTheMove) {
    Cell target = text_cell(U"abcd");
    Cell source = target;
    set_series_index(&source, 1);  // "bcd"
    concatenate(&target, &source, -1, 2, false, Mode::insert);
    EXPECT_EQ(code_points_of(target), U"abbcdcd");

    Cell self = text_cell(U"abc");
    concatenate(&self, &self, -1, 0, false, Mode::append);
    EXPECT_EQ(code_points_of(self), U"abcabc");
}

TEST_F(StringBuffer, ConcatenateKeepsABinarySourceInBytes) {
    Cell target = text_cell(U"\u00E9", 2);
    Cell binary = text_cell(U"\x01\xFF", 1);
    set_type(&binary, TYPE_BINARY);
    concatenate(&target, &binary, -1, 0, false, Mode::append);
    EXPECT_EQ(code_points_of(target), U"\u00E9\x01\xFF");
    EXPECT_EQ(unit(binary), 1u);
}

TEST_F(StringBuffer, ConcatenateReadsASymbolThroughItsNameString) {
    const char name[] = "h\xC3\xA9llo";  // UTF-8
    Node bytes = memory::alloc_bytes(sizeof name);
    SeriesBuffer* b = node_buffer(bytes);
    std::memcpy(b->first(), name, sizeof name);
    b->tail = b->offset + uint32_t(sizeof name - 1);  // at the NUL
    Cell symbol{TYPE_SYMBOL, uint32_t(-1), 0, uint32_t(bytes)};
    Cell target = text_cell(U"<");
    concatenate(&target, &symbol, -1, 0, false, Mode::append);
    EXPECT_EQ(code_points_of(target), U"<h\u00E9llo");
    EXPECT_NE(symbol::name_string(&symbol), Node::none) << "the name string is cached in the symbol";
}

TEST_F(StringBuffer, TextBuilderAppendsBytesAsCodePoints) {
    Cell s = text_cell(U"");
    append_c_string(&s, "abc");
    EXPECT_EQ(unit(s), 1u);
    append_c_string_part(&s, "string!", 6);
    EXPECT_EQ(code_points_of(s), U"abcstring");
    append_c_string(&s, "\xE9!");
    EXPECT_EQ(unit(s), 2u);
    EXPECT_EQ(code_points_of(s), U"abcstring\u00E9!");
}

TEST_F(StringBuffer, GrowthAcrossManyAppendsKeepsContent) {
    Cell s = text_cell(U"");
    SeriesBuffer* first_buffer = series_buffer(&s);
    std::u32string expected;
    for (uint32_t i = 0; i < 20000; ++i) {
        uint32_t c = i == 5000 ? 0xE9 : i == 15000 ? 0x1F600 : 'a' + i % 26;
        append_char(series_buffer(&s), c);
        if (i % 1000 == 0) append_c_string(&s, "--");
        expected += char32_t(c);
        if (i % 1000 == 0) expected += U"--";
    }
    EXPECT_NE(series_buffer(&s), first_buffer) << "the buffer moved";
    EXPECT_EQ(unit(s), 4u);
    EXPECT_EQ(code_points_of(s), expected);
}

TEST_F(StringBuffer, HexFormatting) {
    EXPECT_STREQ(byte_to_hex(0x00).c_str(), "00");
    EXPECT_STREQ(byte_to_hex(0x0F).c_str(), "0F");
    EXPECT_STREQ(byte_to_hex(0xAB).c_str(), "AB");
    struct Case {
        int32_t value;
        bool significant_only;
        const char* expected;
    } cases[] = {
        {-1, false, "FFFFFFFF"}, {255, false, "000000FF"}, {255, true, "FF"},
        {30, true, "1E"},        {256, true, "100"},       {0, false, "00000000"},
        {-2, false, "FFFFFFFE"}, {INT32_MIN, false, "80000000"},
        {0x7FFFFFFF, true, "7FFFFFFF"},
        {0, true, "00"},  // after the longer results above
    };
    for (const Case& c : cases) EXPECT_STREQ(int_to_hex(c.value, c.significant_only).c_str(), c.expected) << c.value;
}

TEST_F(StringBuffer, HeadsLengthsAndSearches) {
    Cell s = text_cell(U"aBcaBc\u0100", 2, TYPE_STRING, 9);
    EXPECT_TRUE(rs_at_tail(&s));
    EXPECT_EQ(rs_length(&s), 0u);
    EXPECT_EQ(series_index(&s), 7u) << "a head beyond the tail is pulled back";
    set_series_index(&s, 1);
    EXPECT_EQ(rs_head(&s), series_buffer(&s)->at(1));
    EXPECT_EQ(rs_length(&s), 6u);
    EXPECT_EQ(find_char(&s, 'a'), 2);
    EXPECT_EQ(find_char(&s, 'z'), -1);
    EXPECT_TRUE(contains_char(&s, 'a', 2, true));   // B, a, c
    EXPECT_FALSE(contains_char(&s, 'c', 3, true));  // B, B
    EXPECT_TRUE(starts_with_c_string(&s, "Bca"));
    EXPECT_FALSE(starts_with_c_string(&s, "bca"));
    Cell short_value = text_cell(U"ab");
    EXPECT_FALSE(starts_with_c_string(&short_value, "abc"));
}

TEST_F(StringBuffer, ContainsCharFoldsCaseUnlessAsked) {
    Cell s = text_cell(U"aBc");
    EXPECT_TRUE(contains_char(&s, 'b', 1, false));
    EXPECT_FALSE(contains_char(&s, 'b', 1, true));
    EXPECT_FALSE(contains_char(&s, 'b', 2, false)) << "B lies between the steps";
}

TEST_F(StringBuffer, ResetAndLimit) {
    Cell s = text_cell(U"\U0001F600abc", 4, TYPE_STRING, 2);
    limit_buffer(series_buffer(&s), 9);
    EXPECT_EQ(code_points_of(s), U"\U0001F600abc") << "a limit past the tail changes nothing";
    limit_buffer(series_buffer(&s), 2);
    EXPECT_EQ(code_points_of(s), U"\U0001F600a");
    reset(&s);
    EXPECT_EQ(unit(s), 1u);
    EXPECT_EQ(buffer_length(&s), 0u);
    EXPECT_EQ(series_index(&s), 0u);
}

TEST_F(StringBuffer, MoveCharsWidensANarrowerTarget) {
    Cell origin = text_cell(U"\u010012", 2);
    Cell target = text_cell(U"ab", 1, TYPE_STRING, 1);
    move_chars(&origin, &target, 2);
    EXPECT_EQ(code_points_of(target), U"a\u01001b");
    EXPECT_EQ(unit(target), 2u);
    EXPECT_EQ(code_points_of(origin), U"2");
}

TEST_F(StringBuffer, SwapRunsPutsRunTwoFirst) {
    struct Case {
        std::string run1, gap, run2;
    } cases[] = {
        {"abcde", "", "XY"},
        {"ab", "", "WXYZ"},
        {"abc", "--", "XY"},
        {"ab", "--", "XYZ"},
        {std::string(70000, 'a') + "b", "", std::string(80000, 'c') + "d"},  // beyond the scratch size
    };
    for (const Case& c : cases) {
        std::string buffer = c.run1 + c.gap + c.run2;
        auto base = reinterpret_cast<std::byte*>(buffer.data());
        swap_runs(base, uint32_t(c.run1.size()), base + c.run1.size() + c.gap.size(), uint32_t(c.run2.size()),
                  uint32_t(c.gap.size()));
        EXPECT_EQ(buffer.substr(0, c.run2.size()), c.run2);
        EXPECT_EQ(buffer.substr(buffer.size() - c.run1.size()), c.run1);
    }
}

TEST_F(StringBuffer, Loading) {
    const uint8_t utf8[] = {'h', 0xC3, 0xA9};
    Cell cell{};
    load(utf8, sizeof utf8, &cell, Encoding::utf8);
    EXPECT_EQ(cell_type(&cell), uint32_t(TYPE_STRING));
    EXPECT_EQ(code_points_of(cell), U"h\u00E9");

    alignas(2) const uint8_t utf16[] = {'A', 0, 0xAC, 0x20};
    Cell* pushed = load_push(utf16, sizeof utf16, Encoding::utf16le);
    EXPECT_EQ(pushed, stack::top - 1);
    EXPECT_EQ(code_points_of(*pushed), U"A\u20AC");

    Cell block{TYPE_BLOCK, 0, uint32_t(memory::alloc_cells(1)), 0};
    Cell* in_block = load_in(utf8, sizeof utf8, &block, Encoding::utf8);
    EXPECT_EQ(series_buffer(&block)->length(), 1u);
    EXPECT_EQ(code_points_of(*in_block), U"h\u00E9");

    Cell* strict = load_utf8_strict(utf8, sizeof utf8);
    EXPECT_EQ(code_points_of(*strict), U"h\u00E9");
}

TEST_F(StringBuffer, StrictLoadOfATruncatedSequenceRaisesInvalidUtf8) {
    const uint8_t bytes[] = {'a', 0xE2, 0x82};  // the euro sign without its last byte
    Cell word{TYPE_WORD, 0, 1, 0};
    stack::mark_try(&word);
    uint32_t code = 0;
    try {
        load_utf8_strict(bytes, sizeof bytes);
        stack::pop_frame();
    } catch (VekThrow& t) {
        ASSERT_EQ(t.code, CODE_ERROR);
        code = test::code_of(stack::top - 1);
        const Cell* argument = error::field(stack::top - 1, error::FIELD_ARG1);
        ASSERT_EQ(cell_type(argument), uint32_t(TYPE_BINARY));
        SeriesBuffer* b = series_buffer(argument);
        EXPECT_EQ(std::vector<uint8_t>(reinterpret_cast<uint8_t*>(b->first()), reinterpret_cast<uint8_t*>(b->last())),
                  (std::vector<uint8_t>{0xE2, 0x82}));
    }
    EXPECT_EQ(code, error_code(err::access::invalid_utf8));
}

}  // namespace
}  // namespace vek
