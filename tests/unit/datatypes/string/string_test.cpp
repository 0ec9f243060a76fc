#include "runtime/datatypes/string/string.h"

#include <gtest/gtest.h>

#include <string>

#include "runtime/actions/dispatch.h"
#include "runtime/core/raise.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/number/float.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/string/buffer.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/memory/manager.h"
#include "tests/unit/support/dispatch.h"
#include "tests/unit/support/stack_fixture.h"
#include "tests/unit/support/string_cells.h"
#include "tests/unit/support/support.h"

namespace vek {
namespace {

using test::text_cell;
using test::utf8;

using StringValues = test::StackRestoringTest;

std::string molded(const Cell& value, bool all = false) {
    Cell out = test::output_cell();
    text::Sink sink{.buffer = &out, .all = all};
    actions::mold(&value, sink, false);
    return utf8(out);
}

TEST_F(StringValues, MoldChoosesDelimitersAndEscapes) {
    struct Case {
        std::u32string text;
        uint32_t unit;
        bool all;
        std::string expected;
    } cases[] = {
        {U"", 1, false, R"x("")x"},
        {U"abc", 1, false, R"x("abc")x"},
        {U"a^b", 1, false, R"x("a^^b")x"},
        {U"a\nb\nc", 1, false, R"x("a^/b^/c")x"},           // two line feeds keep quotes
        {U"a\nb\nc\nd", 1, false, R"x({a^/b^/c^/d})x"},     // three switch to braces
        {U"\t\r\x1B\x1F", 1, false, R"x("^-^M^[^_")x"},
        {std::u32string(1, U'\0'), 1, false, R"x("^@")x"},
        {U"\x1E\x7F\x85", 1, false, R"x("^(1E)^~^(85)")x"},
        {U"\u00E9", 1, false, "\"\u00E9\""},
        {U"\u00E9", 1, true, R"x("^(E9)")x"},
        {U"\u20AC", 2, false, "\"\u20AC\""},
        {U"\u20AC", 2, true, R"x("^(20AC)")x"},
        {U"\U0001F600", 4, false, "\"\U0001F600\""},
        {U"\U0001F600", 4, true, R"x("^(1F600)")x"},
        {U"{}", 1, false, R"x("{}")x"},
        // Braces: a quote is written as it is, carets and controls escaped.
        {U"say \"hi\"", 1, false, R"x({say "hi"})x"},
        {U"\"^\t\n", 1, false, R"x({"^^^-^/})x"},
        {U"{{a}}\"", 1, false, R"x({{{a}}"})x"},
        {U"a}\"", 1, false, R"x({a^}"})x"},
        {U"}{\"", 1, false, R"x({^}^{"})x"},
        // From the first "{" that nothing closes, every "{" is escaped.
        {U"{a\"", 1, false, R"x({^{a"})x"},
        {U"{a{b}\"", 1, false, R"x({^{a^{b^}"})x"},
        {U"{a}{b\"{c}", 1, false, R"x({{a}^{b"^{c^}})x"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        EXPECT_EQ(molded(text_cell(c.text, c.unit), c.all), c.expected);
    }
}

TEST_F(StringValues, LongTextIsBraced) {
    std::u32string text(49, U'x');
    EXPECT_EQ(molded(text_cell(text)), "\"" + std::string(49, 'x') + "\"");
    text += U'x';
    EXPECT_EQ(molded(text_cell(text)), "{" + std::string(50, 'x') + "}");
}

// A sink under /part with the limit given.
text::Sink part_sink(const Cell* out, int32_t limit) {
    return text::Sink{.buffer = out, .limited = true, .limit = limit};
}

TEST_F(StringValues, MoldAndFormHonourThePartLimit) {
    Cell value = text_cell(U"abcd");
    Cell out = test::output_cell();
    text::Sink sink = part_sink(&out, 2);
    actions::mold(&value, sink, false);
    EXPECT_EQ(sink.limit, -2);
    EXPECT_EQ(utf8(out), R"x("ab")x");

    // The delimiter choice looks at the whole text, not the cut.
    Cell longer = text_cell(std::u32string(60, U'y'));
    out = test::output_cell();
    sink = part_sink(&out, 3);
    actions::mold(&longer, sink, false);
    EXPECT_EQ(utf8(out), "{yyy}");

    out = test::output_cell();
    sink = part_sink(&out, 3);
    actions::form(&value, sink);
    EXPECT_EQ(sink.limit, -1);
    EXPECT_EQ(utf8(out), "abc");
    out = test::output_cell();
    sink = part_sink(&out, -5);
    actions::form(&value, sink);
    EXPECT_EQ(sink.limit, -9);
    EXPECT_EQ(utf8(out), "");
}

TEST_F(StringValues, FormCopiesFromTheHeadAndWidensTheOutput) {
    Cell value = text_cell(U"x\U0001F600y", 4, TYPE_STRING, 1);
    Cell out = test::output_cell();
    string::append_c_string(&out, "<");
    text::Sink sink{.buffer = &out, .limit = 100};
    actions::form(&value, sink);
    EXPECT_EQ(sink.limit, 98);
    EXPECT_EQ(utf8(out), "<\U0001F600y");
    EXPECT_EQ(series_buffer(&out)->unit(), 4u);
    // A head beyond the tail forms nothing.
    Cell past = text_cell(U"ab", 1, TYPE_STRING, 7);
    out = test::output_cell();
    sink = text::Sink{.buffer = &out, .limit = 10};
    actions::form(&past, sink);
    EXPECT_EQ(sink.limit, 10);
    EXPECT_EQ(utf8(out), "");
}

TEST_F(StringValues, CompareUnderEachOp) {
    using namespace actions;
    struct Case {
        std::u32string a;
        uint32_t unit_a;
        std::u32string b;
        uint32_t unit_b;
        int32_t op;
        int32_t expected;
    } cases[] = {
        {U"abc", 1, U"ABC", 1, COMP_EQUAL, 0},
        {U"abc", 1, U"ABC", 1, COMP_NOT_EQUAL, 0},
        {U"abc", 1, U"ABC", 1, COMP_STRICT_EQUAL, 1},
        {U"abc", 1, U"ABC", 1, COMP_FIND, 0},
        {U"abc", 1, U"ABC", 1, COMP_SORT, 0},
        {U"abc", 1, U"ABC", 1, COMP_CASE_SORT, 1},
        {U"abc", 1, U"abc", 1, COMP_STRICT_EQUAL, 0},
        {U"ab", 1, U"abc", 1, COMP_EQUAL, 1},
        {U"ab", 1, U"abc", 1, COMP_LESSER, -1},
        {U"abc", 1, U"ab", 1, COMP_GREATER, 1},
        {U"abd", 1, U"ABC", 1, COMP_LESSER_EQUAL, 1},
        {U"B", 1, U"abc", 1, COMP_GREATER_EQUAL, 1},
        {U"", 1, U"a", 1, COMP_LESSER, -1},
        {U"a", 1, U"", 1, COMP_LESSER, 1},
        {U"", 1, U"", 1, COMP_EQUAL, 0},
        {U"", 1, U"", 1, COMP_LESSER, 0},
        // Folding goes beyond ASCII and across units.
        {U"\u00E9t\u00E9", 1, U"\u00C9T\u00C9", 2, COMP_EQUAL, 0},
        {U"\u00E9", 1, U"\u00C9", 2, COMP_STRICT_EQUAL, 1},
        {U"a\U0001F600", 4, U"a\u20AC", 2, COMP_LESSER, 1},
        // Two separate buffers are never the same value.
        {U"abc", 1, U"abc", 1, COMP_SAME, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "op " << c.op << " expected " << c.expected);
        Cell a = text_cell(c.a, c.unit_a);
        Cell b = text_cell(c.b, c.unit_b);
        EXPECT_EQ(actions::compare_typed(&a, &b, c.op), c.expected);
    }
}

TEST_F(StringValues, ComparePositionsAndTypes) {
    using namespace actions;
    Cell s = text_cell(U"abcabc");
    Cell later = s;
    set_series_index(&later, 3);
    EXPECT_EQ(actions::compare_typed(&s, &s, COMP_SAME), 0);
    EXPECT_EQ(actions::compare_typed(&s, &later, COMP_SAME), -1);
    EXPECT_EQ(actions::compare_typed(&s, &later, COMP_GREATER), 1);  // "abcabc" against "abc"
    Cell past = s;
    set_series_index(&past, 20);  // beyond the tail: empty
    Cell empty = text_cell(U"");
    EXPECT_EQ(actions::compare_typed(&past, &empty, COMP_EQUAL), 0);

    // Texts of different string types are only tested for equality.
    Cell file = text_cell(U"ABC", 1, TYPE_FILE);
    Cell text = text_cell(U"abc");
    Cell number{TYPE_INTEGER, 0, 1, 0};
    EXPECT_EQ(actions::compare_typed(&text, &file, COMP_EQUAL), 0);
    EXPECT_EQ(actions::compare_typed(&text, &file, COMP_NOT_EQUAL), 0);
    EXPECT_EQ(actions::compare_typed(&text, &file, COMP_STRICT_EQUAL), -2);
    EXPECT_EQ(actions::compare_typed(&text, &file, COMP_LESSER), -2);
    EXPECT_EQ(actions::compare_typed(&text, &number, COMP_EQUAL), -2);
}

TEST_F(StringValues, PrefixComparison) {
    using namespace actions;
    struct Case {
        std::u32string text, prefix;
        int32_t op;
        int32_t expected;
    } cases[] = {
        {U"abcdef", U"ABC", COMP_EQUAL, 0},
        {U"abcdef", U"ABC", COMP_STRICT_EQUAL, 1},
        {U"abcdef", U"abcdef", COMP_STRICT_EQUAL, 0},
        {U"ab", U"abc", COMP_EQUAL, 1},
        {U"abc", U"abd", COMP_EQUAL, -1},
        {U"abc", U"", COMP_EQUAL, 0},
        {U"abc", U"", COMP_FIND, 1},
    };
    for (const Case& c : cases) {
        Cell text = text_cell(c.text);
        Cell prefix = text_cell(c.prefix);
        EXPECT_EQ(string::compare_strings(&text, &prefix, c.op, true), c.expected);
    }
}

TEST_F(StringValues, MatchesAtTheHead) {
    using namespace actions;
    Cell text = text_cell(U"<B>bold");
    Cell tag = text_cell(U"b", 1, TYPE_TAG);
    Cell other_tag = text_cell(U"bo", 1, TYPE_TAG);
    Cell url = text_cell(U"<b", 1, TYPE_URL);
    Cell lower{TYPE_CHAR, 0, '<', 0};
    Cell number{TYPE_INTEGER, 0, '<', 0};
    EXPECT_TRUE(string::tag_at_head(&text, &tag));
    EXPECT_FALSE(string::tag_at_head(&text, &other_tag));
    EXPECT_TRUE(string::match_at_head(&text, &tag, COMP_FIND));
    EXPECT_FALSE(string::match_at_head(&text, &tag, COMP_STRICT_EQUAL));
    EXPECT_TRUE(string::match_at_head(&text, &url, COMP_FIND));
    EXPECT_TRUE(string::match_at_head(&text, &lower, COMP_FIND));
    EXPECT_FALSE(string::match_at_head(&text, &number, COMP_FIND));

    Cell word = text_cell(U"Word");
    Cell small_w{TYPE_CHAR, 0, 'w', 0};
    EXPECT_TRUE(string::match_at_head(&word, &small_w, COMP_FIND));
    EXPECT_FALSE(string::match_at_head(&word, &small_w, COMP_STRICT_EQUAL));
    Cell empty = text_cell(U"");
    EXPECT_FALSE(string::match_at_head(&empty, &small_w, COMP_FIND));
    EXPECT_FALSE(string::tag_at_head(&empty, &tag));
}

TEST_F(StringValues, HeadCharInBitset) {
    // Nine bytes: bits 0-71, with only 'A' (65) set.
    constexpr uint32_t COMPLEMENTED = 0x00080000u;
    Node node = memory::alloc_bytes(9);
    SeriesBuffer* bits = node_buffer(node);
    std::memset(bits->first(), 0, 9);
    bits->first()[65 >> 3] = std::byte(0x80 >> (65 & 7));
    bits->tail = bits->offset + 9;
    Cell bitset{TYPE_BITSET, 0, uint32_t(node), 0};

    struct Case {
        std::u32string text;
        bool plain, complemented;
    } cases[] = {
        {U"A", true, true}, {U"B", false, false}, {U"\u00E9", false, true}, {U"", false, false},
    };
    for (const Case& c : cases) {
        Cell text = text_cell(c.text);
        node_buffer(node)->flags &= ~COMPLEMENTED;
        EXPECT_EQ(string::head_char_in_bitset(&text, &bitset), c.plain);
        node_buffer(node)->flags |= COMPLEMENTED;
        EXPECT_EQ(string::head_char_in_bitset(&text, &bitset), c.complemented);
    }
}

TEST_F(StringValues, MakeTakesACapacity) {
    Cell result{};
    Cell zero{TYPE_INTEGER, 0, 0, 0};
    test::make_as(TYPE_STRING, &zero, &result);
    EXPECT_EQ(cell_type(&result), TYPE_STRING);
    EXPECT_EQ(series_buffer(&result)->capacity, 16u);
    EXPECT_EQ(series_buffer(&result)->length(), 0u);

    Cell hundred;
    float_::make_at(&hundred, 100.9);
    test::make_as(TYPE_FILE, &hundred, &result);
    EXPECT_EQ(cell_type(&result), TYPE_FILE);
    EXPECT_GE(series_buffer(&result)->capacity, 100u);

    Cell minus_one{TYPE_INTEGER, 0, uint32_t(-1), 0};
    Cell huge;
    float_::make_at(&huge, 1e12);
    Cell money{TYPE_MONEY, 0, 0, 0};
    uint32_t out_of_range = error_code(err::script::out_of_range);
    EXPECT_EQ(test::raised([&] { test::make_as(TYPE_STRING, &minus_one, &result); }), out_of_range);
    EXPECT_EQ(test::raised([&] { test::make_as(TYPE_STRING, &huge, &result); }), out_of_range);
    EXPECT_EQ(test::raised([&] { test::make_as(TYPE_BINARY, &money, &result); }),
              error_code(err::script::bad_make_arg));
}

TEST_F(StringValues, ToCopiesTextAndFormsOtherValues) {
    Cell source = text_cell(U"xy\u20AC", 2, TYPE_FILE, 1);
    Cell result{};
    test::to_as(TYPE_URL, &source, &result);
    EXPECT_EQ(cell_type(&result), TYPE_URL);
    EXPECT_EQ(utf8(result), "y\u20AC");
    EXPECT_NE(series_node(&result), series_node(&source));  // a copy, not a share

    Cell number{};
    integer::make_at(&number, -42);
    test::to_as(TYPE_STRING, &number, &result);
    EXPECT_EQ(utf8(result), "-42");
    Cell letter{TYPE_CHAR, 0, 0xE9, 0};
    test::make_as(TYPE_TAG, &letter, &result);  // make of a spec that is no number is to
    EXPECT_EQ(cell_type(&result), TYPE_TAG);
    EXPECT_EQ(utf8(result), "\u00E9");

    // A refinement forms without its slash only for string!.
    Cell* refinement = refinement::make_in_root("ref");
    test::to_as(TYPE_STRING, refinement, &result);
    EXPECT_EQ(utf8(result), "ref");
    test::to_as(TYPE_FILE, refinement, &result);
    EXPECT_EQ(utf8(result), "/ref");

    Cell none{TYPE_NONE, 0, 0, 0};
    EXPECT_EQ(test::raised([&] { test::to_as(TYPE_STRING, &none, &result); }),
              error_code(err::script::bad_to_arg));
}

}  // namespace
}  // namespace vek
