#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "runtime/core/raise.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/block/array.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/block/path.h"
#include "runtime/datatypes/object/error.h"
#include "runtime/datatypes/string/buffer.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/lexer/transcode.h"
#include "runtime/memory/manager.h"
#include "tests/unit/support/dispatch.h"
#include "tests/unit/support/load_and_mold.h"
#include "tests/unit/support/string_cells.h"
#include "tests/unit/support/support.h"

namespace vek {
namespace {

using test::expect_molds;
using test::load;
using test::load_error;
using test::molded;
using test::MoldRow;

TEST(Lexer, StringsOfEveryForm) {
    const MoldRow rows[] = {
        {"\"abc\" \"\"", "[\"abc\" \"\"]"},
        {"\"a^\"b\"", "[{a\"b}]"},
        {"\"^(41)^(a)^(LINE)^-^@^a^~^^^{\"", "[\"A^/^/^-^@^A^~^^{\"]"},
        {"\"^(3A9)^(1F600)\"", "[\"\u03a9\U0001F600\"]"},
        {"\"\u00e9\u03a9\U0001F600\"", "[\"\u00e9\u03a9\U0001F600\"]"},
        {"{a {b} c}", "[\"a {b} c\"]"},
        {"{x^}y^{}", "[\"x}y{\"]"},
        {"{two\nlines}", "[\"two^/lines\"]"},
        {"%{a}b}%", "[\"a}b\"]"},
        {"%%{ a }% b }%%", "[\" a }% b \"]"},
        {"%{^/}%", "[\"^^/\"]"},
        {"%%{a}%b}%% %%%{q}%}%%b}%%% x", "[\"a}%b\" \"q}%}%%b\" x]"},
        {"%{a}%b", "[\"a\" b]"},
    };
    expect_molds(rows, std::size(rows));
}

TEST(Lexer, CharsWordsAndPaths) {
    const MoldRow rows[] = {
        {"#\"a\" #\"^/\" #\"^(3A9)\" #\"\u03a9\" #\"^\"\"", "[#\"a\" #\"^/\" #\"\u03a9\" #\"\u03a9\" #\"^\"\"]"},
        {"a a: 'a :a /a #a", "[a a: 'a :a /a #a]"},
        {"/ /: '/ :/ //", "[/ /: '/ :/ //]"},
        {"\u00e9t\u00e9 ~x?!", "[\u00e9t\u00e9 ~x?!]"},
        {"a\u00a0b\u3000c", "[a b c]"},
        {"\u20088 \u3000\"s\" \u2008\u2008x a\u2008b", "[8 \"s\" x a b]"},
        {"a/b/c 'a/b :a/b a/b: a/1/x", "[a/b/c 'a/b :a/b a/b: a/1/x]"},
        {"a/(b c)/d a/\"s\"/#i", "[a/(b c)/d a/\"s\"/#i]"},
        {"[a [b (c)]] ()", "[[a [b (c)]] ()]"},
        {"x ; comment\ny", "[x\ny]"},
        {"#(true) #(FALSE) #(none) #(int) #(block!)", "[true false none integer! block!]"},
    };
    expect_molds(rows, std::size(rows));
}

TEST(Lexer, StringLikeAndBinaryValues) {
    const MoldRow rows[] = {
        {"%a/b.txt %\"a b^-c\"", "[%a/b.txt %\"a b^-c\"]"},
        {"http://x.org/a?b=1 <a href=\"x\"> a@b.c @joe #abc", "[http://x.org/a?b=1 <a href=\"x\"> a@b.c @joe #abc]"},
        {"#{0A ff ; comment\n 10} #{}", "[#{0AFF10} #{}]"},
        {"2#{00000001 11111111} 64#{AQID} 64#{AQ==} 64#{AQI=}", "[#{01FF} #{010203} #{01} #{0102}]"},
    };
    expect_molds(rows, std::size(rows));
}

// Positions after a set-word and a hexadecimal integer are the token's end,
// never a byte past it.
TEST(Lexer, TokenEndsAreExact) {
    const MoldRow rows[] = {
        {"[a:]", "[[a:]]"},
        {"a:[1]", "[a: [1]]"},
        {"a:", "[a:]"},
        {"a:\"s\"", "[a: \"s\"]"},
        {"[FFh]", "[[255]]"},
        {"[FFh a]", "[[255 a]]"},
    };
    expect_molds(rows, std::size(rows));
}

TEST(Lexer, NewLineMarkers) {
    Cell block = load("a\nb c\n\n[d\ne]");
    const uint32_t expected[] = {0, CELL_NEW_LINE, 0, CELL_NEW_LINE};
    for (uint32_t i = 0; i < 4; i++)
        EXPECT_EQ(block::rs_abs_at(&block, i)->header & CELL_NEW_LINE, expected[i]) << i;
    Cell inner = *block::rs_abs_at(&block, 3);
    EXPECT_EQ(block::rs_abs_at(&inner, 1)->header & CELL_NEW_LINE, CELL_NEW_LINE);
}

TEST(Lexer, SyntaxErrorsGiveLineAndNearText) {
    struct ErrorRow {
        const char* source;
        const char* message;
    };
    const ErrorRow rows[] = {
        {"[1 2", "*** Syntax Error: (line 1) missing ] at [1 2"},
        {"1 2]", "*** Syntax Error: (line 1) missing [ at ]"},
        {"(1]", "*** Syntax Error: (line 1) missing ) at (1]"},
        {"x \"abc", "*** Syntax Error: (line 1) invalid string at \"abc"},
        {"\"ab\ncd\"", "*** Syntax Error: (line 1) invalid string at \"ab"},
        {"{a\n{b}\nc", "*** Syntax Error: (line 3) invalid string at {a"},
        {"{a}\n{b}\n\n#\"xy\"", "*** Syntax Error: (line 4) invalid char at #\"xy\""},
        {"#(foo)", "*** Syntax Error: (line 1) invalid construction spec at #(foo)"},
        {"#(tr)", "*** Syntax Error: (line 1) invalid construction spec at #(tr)"},
        {"a/", "*** Syntax Error: (line 1) invalid character at a/"},
        {"a/b:/c", "*** Syntax Error: (line 1) invalid character at a/b:/c"},
        {"'a: b", "*** Syntax Error: (line 1) invalid lit-word at 'a: b"},
        {":a:", "*** Syntax Error: (line 1) invalid word at :a:"},
        {"x \xF8", "*** Syntax Error: (line 1) invalid character at \xEF\xBF\xBD"},
        {"#\"^\"", "*** Syntax Error: (line 1) invalid char at #\"^\""},
        {"\"^(tabx)\"", "*** Syntax Error: (line 1) invalid string at \"^(tabx)\""},
        {"#[a 1 b]", "*** Syntax Error: (line 1) invalid map at #[a 1 b]"},
        {"#{0}", "*** Syntax Error: (line 1) invalid binary at 0}"},
        {"64#{A=}", "*** Syntax Error: (line 1) invalid binary at =}"},
        {"2#{0101}", "*** Syntax Error: (line 1) invalid binary at 0101}"},
        {"8#{00}", "*** Syntax Error: (line 1) invalid binary at 8#{00}"},
        {"%{a}%%", "*** Syntax Error: (line 1) invalid string at %{a}%%"},
        {"%%{a}%", "*** Syntax Error: (line 1) invalid string at %%{a}%"},
        {"(x , y)", "*** Syntax Error: (line 1) invalid point2D at , y)"},
    };
    for (const ErrorRow& row : rows) EXPECT_EQ(load_error(row.source), row.message) << row.source;
}

// UTF-8 that no encoder produces, and escapes beyond the last code point, are
// syntax errors of the token's type, in every string form.
TEST(Lexer, MalformedUtf8IsASyntaxError) {
    struct ErrorRow {
        const char* source;
        const char* type;
    };
    const ErrorRow rows[] = {
        {"\"\xED\xA0\x80\"", "string"},        // a surrogate
        {"\"\xE0\x80\xAF\"", "string"},        // overlong
        {"\"\xF4\x90\x80\x80\"", "string"},    // above U+10FFFF
        {"{\xF4\x90\x80\x80}", "string"},
        {"\"^(110000)\"", "string"},
        {"{^(110000)}", "string"},
        {"#\"^(110000)\"", "char"},
        {"%\"^(110000)\"", "file"},
        {"%{\xED\xA0\x80}%", "string"},
        {"a\xF4\x90\x80\x80", "word"},
        {"rj\xBC", "word"},                  // a stray continuation byte
        {"#a\xBC", "issue"},
        {"#\"\xE0\x80\xAF\"", "char"},
        {"<\xED\xA0\x80>", "tag"},
    };
    for (const ErrorRow& row : rows) {
        std::string message = load_error(row.source);
        EXPECT_NE(message.find(std::string("invalid ") + row.type + " at"), std::string::npos)
            << row.source << ": " << message;
    }
}

TEST(Lexer, DeepNestingCostsNoMachineStack) {
    // A collection at every allocation makes each level cost a full mark.
    const uint32_t depth = memory::torture_interval ? 2000 : 100000;
    std::string source = std::string(depth, '[') + std::string(depth, ']');
    Cell block = load(source);
    uint32_t levels = 0;
    for (Cell level = block; block::length_from_head(&level) == 1; level = *block::rs_head(&level)) levels++;
    EXPECT_EQ(levels, depth);
    std::string open(depth, '(');
    EXPECT_EQ(load_error(open).substr(0, 38), "*** Syntax Error: (line 1) missing ) a");
}

TEST(Lexer, ScanNameTypeClassifiesOneValue) {
    struct TypeRow {
        const char* name;
        uint32_t type;
    };
    const TypeRow rows[] = {
        {"abc", TYPE_WORD}, {"a:", TYPE_SET_WORD}, {":a", TYPE_GET_WORD}, {"'a", TYPE_LIT_WORD},
        {"/a", TYPE_REFINEMENT}, {"a b", 0}, {"a/b", TYPE_PATH}, {"\"s", TYPE_ERROR},
    };
    for (const TypeRow& row : rows) {
        Cell word{TYPE_WORD, 0, symbol::make(row.name), WORD_UNRESOLVED};
        EXPECT_EQ(word::scan_name_type(&word), row.type) << row.name;
    }
}

// transcode, called as the evaluator calls a native: the source and the
// refinement arguments in the frame's cells, the result in the first one.
struct Refinements {
    bool next = false, one = false, prescan = false, scan = false;
    const Cell* part = nullptr;
    const Cell* into = nullptr;
};

Cell transcode(const Cell& source, const Refinements& r) {
    Cell* saved_arguments = stack::arguments;
    Cell* saved_top = stack::top;
    stack::arguments = stack::top;
    stack::push(&source);
    int32_t part = -1, into = -1;
    if (r.part) part = int32_t(stack::push(r.part) - stack::arguments);
    if (r.into) into = int32_t(stack::push(r.into) - stack::arguments);
    auto flag = [](bool on) { return on ? 0 : -1; };
    lexer::transcode({.next = flag(r.next), .one = flag(r.one), .prescan = flag(r.prescan), .scan = flag(r.scan),
                        .part = part, .into = into});
    Cell result = *stack::arguments;
    stack::arguments = saved_arguments;
    stack::top = saved_top;
    return result;
}

TEST(Transcode, Refinements) {
    Cell text = test::text_cell(U"a [b] \"c\"");
    Cell count{TYPE_INTEGER, 0, 5, 0};
    Cell at_two = text;
    set_series_index(&at_two, 2);
    Cell bom = test::binary_cell("\xEF\xBB\xBFx y");
    struct Case {
        const Cell* source;
        Refinements refinements;
        const char* molded;
    } cases[] = {
        {&text, {}, "[a [b] \"c\"]"},
        {&text, {.next = true}, "[a { [b] \"c\"}]"},
        {&text, {.next = true, .one = true}, "a"},
        {&text, {.one = true}, "a"},
        {&text, {.prescan = true}, "word!"},
        {&text, {.scan = true}, "word!"},
        {&text, {.part = &count}, "[a [b]]"},
        {&text, {.part = &at_two}, "[a]"},
        {&bom, {}, "[x y]"},
        {&bom, {.next = true}, "[x #{2079}]"},
    };
    for (const Case& c : cases) EXPECT_EQ(molded(transcode(*c.source, c.refinements)), c.molded) << c.molded;
}

TEST(Transcode, ClassifiesAndAppends) {
    struct Case {
        const char* text;
        const char* molded;
    } scans[] = {
        {"", "none"}, {"  ", "none"}, {"[1 (2)]", "block!"}, {"a/b c", "path!"}, {"\"x", "error!"},
        {"{a {b}} c", "string!"}, {"#\"x\"", "char!"},
    };
    for (const auto& c : scans) {
        Cell text = test::text_cell(std::u32string(c.text, c.text + std::strlen(c.text)));
        EXPECT_EQ(molded(transcode(text, {.scan = true})), c.molded) << c.text;
    }
    Cell into = load("old");
    Cell result = transcode(test::text_cell(U"new 1"), {.into = &into});
    EXPECT_EQ(molded(result), "[old new 1]");
    EXPECT_EQ(molded(into), "[old new 1]");

    Cell wrong = test::binary_cell("x");
    EXPECT_EQ(test::raised([&] { transcode(test::text_cell(U"a"), {.part = &wrong}); }),
              error_code(err::script::not_same_type));
    Cell elsewhere = test::binary_cell("xyz");
    set_series_index(&elsewhere, 1);
    EXPECT_EQ(test::raised([&] { transcode(test::binary_cell("1 2"), {.part = &elsewhere}); }),
              error_code(err::script::invalid_refine_arg));
}

TEST(Lexer, TextConvertsToBlocksAndWords) {
    Cell text = test::text_cell(U"a/b 1 [c]");
    Cell result{};
    EXPECT_EQ(molded(*test::to_as(TYPE_BLOCK, &text, &result)), "[a/b 1 [c]]");
    EXPECT_EQ(molded(*test::to_as(TYPE_PAREN, &text, &result)), "(a/b 1 [c])");
    EXPECT_EQ(molded(*test::to_as(TYPE_PATH, &text, &result)), "a/b/1/[c]");
    struct Case {
        const char32_t* text;
        uint32_t type;
        const char* molded;
    } words[] = {
        {U"abc", TYPE_WORD, "abc"}, {U"abc", TYPE_SET_WORD, "abc:"}, {U"x:", TYPE_WORD, "x"},
        {U"'q", TYPE_GET_WORD, ":q"}, {U"/r", TYPE_WORD, "r"},
    };
    for (const Case& c : words) {
        Cell source = test::text_cell(c.text);
        EXPECT_EQ(molded(*test::to_as(c.type, &source, &result)), c.molded) << c.molded;
    }
    Cell letter{TYPE_CHAR, 0, 'z', 0};
    EXPECT_EQ(molded(*test::to_as(TYPE_LIT_WORD, &letter, &result)), "'z");
    for (const char32_t* bad : {U"12", U"", U"\"s\"", U"#\"s\""}) {
        Cell source = test::text_cell(bad);
        EXPECT_EQ(test::raised([&] { test::to_as(TYPE_WORD, &source, &result); }),
                  error_code(err::script::invalid_chars));
    }
}

}  // namespace
}  // namespace vek
