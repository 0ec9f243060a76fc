#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "runtime/actions/dispatch.h"
#include "runtime/core/fixed_words.h"
#include "runtime/core/raise.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/char.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/object/object.h"
#include "runtime/datatypes/series/actions.h"
#include "runtime/datatypes/string/buffer.h"
#include "runtime/datatypes/word/context.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/tables/ownership.h"
#include "runtime/tables/random.h"
#include "tests/unit/support/block_builder.h"
#include "tests/unit/support/load_and_mold.h"
#include "tests/unit/support/owner_reports.h"
#include "tests/unit/support/stack_fixture.h"
#include "tests/unit/support/string_cells.h"
#include "tests/unit/support/support.h"
#include "tests/unit/support/value_cells.h"

namespace vek {
namespace {

using test::at_head;
using test::block_of;
using test::called_on_stack;
using test::char_cell;
using test::integer_cell;
using test::raised;
using test::text_cell;

uint32_t head_of(const Cell& series) { return series_index(&series); }

// Blocks molded whole from their head, strings and binaries as their text.
std::string shown(const Cell& value) {
    if (!is_any_block(cell_type(&value))) return test::utf8(value);
    return test::molded(value);
}

std::string whole(const Cell& series) { return shown(at_head(series, 0)); }

// length? through its dispatcher, which writes the length over its operand.
int32_t length_of(Cell series) { return integer::get(actions::length_q(&series)); }

// pick and poke through their dispatchers, the index an integer!.
Cell* pick_at(Cell* series, int32_t index) {
    Cell position = integer_cell(index);
    return actions::pick(series, &position);
}
Cell* poke_at(Cell* series, int32_t index, Cell* value) {
    Cell position = integer_cell(index);
    return actions::poke(series, &position, value);
}

// Runs an action that changes the series, as a call whose frame the result
// is pushed into; answers what it pushed or returned, copied.
template <class F>
Cell framed(F action) {
    Cell* saved_top = stack::top;
    Cell result = *action();
    stack::top = saved_top;
    return result;
}

// ---------------------------------------------------------------- positions

TEST(SeriesActions, AtAndSkipClampTheNewHead) {
    struct Row {
        void (*action)();
        uint32_t head;
        int32_t n;
        uint32_t expected;
    };
    const Row rows[] = {
        {actions::at, 0, 1, 0},    {actions::at, 0, 0, 0},      {actions::at, 2, 1, 2},
        {actions::at, 2, 0, 2},    {actions::at, 2, -1, 1},     {actions::at, 2, 3, 4},
        {actions::at, 2, 100, 5},  {actions::at, 2, -100, 0},   {actions::skip, 2, 2, 4},
        {actions::skip, 2, 10, 5}, {actions::skip, 2, -1, 1},   {actions::skip, 0, -3, 0},
    };
    Cell block = block_of("1 2 3 4 5");
    Cell text = text_cell(U"abcde", 2);
    for (const Row& row : rows) {
        Cell n = integer_cell(row.n);
        EXPECT_EQ(head_of(called_on_stack(row.action, at_head(block, row.head), &n)), row.expected)
            << row.head << " by " << row.n;
        EXPECT_EQ(head_of(called_on_stack(row.action, at_head(text, row.head), &n)), row.expected);
    }
    Cell word = block_of("w");
    EXPECT_EQ(raised([&] { called_on_stack(actions::at, block, block::rs_abs_at(&word, 0)); }), error_code(err::script::invalid_arg));
}

TEST(SeriesActions, NavigationAndQueriesStopAtTheEnds) {
    Cell block = block_of("a b c");
    Cell at_tail = at_head(block, 3);
    EXPECT_EQ(head_of(called_on_stack(actions::next, block)), 1u);
    EXPECT_EQ(head_of(called_on_stack(actions::next, at_tail)), 3u);
    EXPECT_EQ(head_of(called_on_stack(actions::back, block)), 0u);
    EXPECT_EQ(head_of(called_on_stack(actions::back, at_tail)), 2u);
    EXPECT_EQ(head_of(called_on_stack(actions::head, at_tail)), 0u);
    EXPECT_EQ(head_of(called_on_stack(actions::tail, block)), 3u);
    Cell answers[] = {called_on_stack(actions::head_q, block), called_on_stack(actions::head_q, at_tail),
                      called_on_stack(actions::tail_q, at_tail), called_on_stack(actions::tail_q, block)};
    EXPECT_TRUE(logic::get(&answers[0]));
    EXPECT_FALSE(logic::get(&answers[1]));
    EXPECT_TRUE(logic::get(&answers[2]));
    EXPECT_FALSE(logic::get(&answers[3]));
    Cell index = called_on_stack(actions::index_q, at_head(block, 2));
    EXPECT_EQ(cell_type(&index), uint32_t(TYPE_INTEGER));
    EXPECT_EQ(integer::get(&index), 3);
    EXPECT_EQ(length_of(block), 3);
    EXPECT_EQ(length_of(at_tail), 0);
}

TEST(SeriesActions, AHeadBeyondAShortenedTailHasNoLength) {
    Cell text = text_cell(U"abcdef");
    Cell late = at_head(text, 5);
    Cell early = at_head(text, 2);
    actions::clear(&early);
    EXPECT_EQ(length_of(late), 0);
    EXPECT_TRUE(series::rs_tail_q(&late));
    EXPECT_EQ(series::clamp_length(&late, false), 0u);
    EXPECT_EQ(series_index(&late), 2u);  // pulled back to the tail
    EXPECT_EQ(series::clamp_length(&late, true), 2u);
}

// ---------------------------------------------------------------- pick and poke

TEST(SeriesActions, PickReadsAtEveryWidth) {
    struct Row {
        Cell series;
        int32_t index;
        std::string expected;  // molded block cell, or the code point's text
    };
    Cell block = at_head(block_of("1 2 3 4"), 1);
    const Row rows[] = {
        {block, 1, "2"},   {block, 3, "4"}, {block, -1, "1"}, {block, 0, "none"}, {block, 4, "none"},
        {block, -2, "none"},
        {text_cell(U"xyz", 1, TYPE_STRING, 1), 1, "y"},
        {text_cell(U"x\u0101z", 2, TYPE_STRING, 1), 1, "\u0101"},
        {text_cell(U"x\U0001F600z", 4, TYPE_FILE, 2), -1, "\U0001F600"},
    };
    for (const Row& row : rows) {
        Cell series = row.series;
        Cell picked = *pick_at(&series, row.index);
        std::string text;
        if (cell_type(&picked) == TYPE_NONE) {
            text = "none";
        } else if (cell_type(&picked) == TYPE_CHAR) {
            EXPECT_NE(cell_type(&row.series), uint32_t(TYPE_BLOCK));
            text = test::utf8(text_cell(std::u32string(1, char32_t(char_::get(&picked))), 4));
        } else {
            Cell holder = block_of("");
            block::rs_append(&holder, &picked);
            text = shown(holder).substr(1, shown(holder).size() - 2);
        }
        EXPECT_EQ(text, row.expected) << row.index;
    }
    Cell bytes = test::binary_cell("\x01\xFF");
    Cell byte = *pick_at(&bytes, 2);
    EXPECT_EQ(cell_type(&byte), uint32_t(TYPE_INTEGER));
    EXPECT_EQ(integer::get(&byte), 255);
}

TEST(SeriesActions, PokeStoresByTypeAndChecksItsIndex) {
    Cell block = at_head(block_of("1 2 3"), 1);
    Cell value = block_of("[x]");
    Cell* poked = poke_at(&block, 2, block::rs_abs_at(&value, 0));
    EXPECT_EQ(cell_type(poked), uint32_t(TYPE_BLOCK));
    EXPECT_EQ(whole(block), "[1 2 [x]]");

    Cell text = text_cell(U"abc");
    Cell wide = char_cell(0x3B1);
    poke_at(&text, -1 + 3, &wide);  // index 2 from the head
    EXPECT_EQ(series_buffer(&text)->unit(), 2u);
    EXPECT_EQ(test::utf8(text), "a\u03B1c");

    Cell bytes = test::binary_cell("ab");
    Cell big = integer_cell(0x141);
    poke_at(&bytes, 1, &big);
    EXPECT_EQ(test::utf8(bytes), "Ab");

    Cell one = integer_cell(1);
    struct Bad {
        Cell series;
        int32_t index;
        Cell value;
        uint32_t error;
    };
    const Bad bad[] = {
        {block, 0, one, error_code(err::script::out_of_range)},
        {block, 3, one, error_code(err::script::out_of_range)},
        {at_head(block, 0), -1, one, error_code(err::script::out_of_range)},
        {text, 1, one, error_code(err::script::invalid_arg)},
        {bytes, 1, text, error_code(err::script::invalid_arg)},
    };
    for (const Bad& row : bad) {
        Cell series = row.series;
        Cell value = row.value;
        std::string before = whole(series);
        EXPECT_EQ(raised([&] { poke_at(&series, row.index, &value); }), row.error) << before;
        EXPECT_EQ(whole(series), before);
    }
}

// ---------------------------------------------------------------- clear, remove, reverse

TEST(SeriesActions, ClearCutsFromTheHead) {
    Cell block = at_head(block_of("1 2 3 4"), 1);
    actions::clear(&block);
    EXPECT_EQ(whole(block), "[1]");
    Cell text = text_cell(U"\u0101bcd", 2, TYPE_STRING, 3);
    actions::clear(&text);
    EXPECT_EQ(test::utf8(at_head(text, 0)), "\u0101bc");
}

TEST(SeriesActions, RemoveWithPartAndKey) {
    struct Row {
        const char* block;
        uint32_t head;
        const char* part;  // notation of the /part argument; a number n >= 100 means position n - 100
        const char* key;
        const char* expected;  // whole block after; "none" when the result is none
    };
    const Row rows[] = {
        {"1 2 3 4", 1, nullptr, nullptr, "[1 3 4]"},
        {"1 2 3 4", 1, "2", nullptr, "[1 4]"},
        {"1 2 3 4", 1, "9", nullptr, "[1]"},
        {"1 2 3 4", 1, "0", nullptr, "[1 2 3 4]"},
        {"1 2 3 4", 1, "-1", nullptr, "[1 2 3 4]"},
        {"1 2 3 4", 1, "103", nullptr, "[1 4]"},
        {"1 2 3 4", 4, nullptr, nullptr, "[1 2 3 4]"},
        {"a 1 b 2 c 3", 0, nullptr, "b", "[a 1 c 3]"},
        {"a 1 b 2 c 3", 0, "2", "a", "[2 c 3]"},
        {"a 1 b 2 c 3", 3, nullptr, "a", "none"},
        {"a 1 b 2", 0, nullptr, "z", "none"},
    };
    for (const Row& row : rows) {
        Cell block = at_head(block_of(row.block), row.head);
        Cell part{};
        if (row.part) {
            int n = std::stoi(row.part);
            part = n >= 100 ? at_head(block, uint32_t(n - 100)) : integer_cell(n);
        }
        Cell keys = block_of(row.key ? row.key : "");
        Cell original = block;
        actions::remove(&block, row.part ? &part : nullptr, row.key ? block::rs_abs_at(&keys, 0) : nullptr);
        std::string result = cell_type(&block) == TYPE_NONE ? "none" : whole(block);
        EXPECT_EQ(result, row.expected) << row.block << " " << (row.part ? row.part : "") << (row.key ? row.key : "");
        if (result == "none") {
            EXPECT_EQ(whole(original), std::string("[").append(row.block).append("]"));
        }
    }

    Cell text = text_cell(U"a=1;b=2", 1, TYPE_STRING);
    Cell key = text_cell(U"b=");
    actions::remove(&text, nullptr, &key);
    EXPECT_EQ(test::utf8(text), "a=1;2");

    Cell block = block_of("1 2 3");
    Cell other = block_of("1 2 3");
    Cell path_over_block = block;
    set_type(&path_over_block, TYPE_PAREN);
    for (Cell* part : {&other, &path_over_block}) {
        EXPECT_EQ(raised([&] { actions::remove(&block, part, nullptr); }), error_code(err::script::invalid_refine_arg));
    }
    EXPECT_EQ(whole(block), "[1 2 3]");
}

TEST(SeriesActions, ReverseWithPartAndSkip) {
    struct Row {
        const char* block;
        int32_t part;  // 0: no /part
        int32_t skip;  // 0: no /skip
        const char* expected;
    };
    const Row rows[] = {
        {"1 2 3 4 5", 0, 0, "[5 4 3 2 1]"},
        {"1 2 3 4 5", 3, 0, "[3 2 1 4 5]"},
        {"1 2 3 4 5", -2, 0, "[1 2 3 4 5]"},
        {"1 2 3 4 5 6", 0, 2, "[5 6 3 4 1 2]"},
        {"1 2 3 4 5 6", 4, 2, "[3 4 1 2 5 6]"},
        {"1 2 3 4", 0, 4, "[1 2 3 4]"},
    };
    for (const Row& row : rows) {
        Cell block = block_of(row.block);
        Cell part = integer_cell(row.part);
        Cell skip = integer_cell(row.skip);
        actions::reverse(&block, row.part ? &part : nullptr, row.skip ? &skip : nullptr);
        EXPECT_EQ(whole(block), row.expected) << row.block << " " << row.part << " " << row.skip;
    }

    Cell text = text_cell(U"ab\u0101de", 2, TYPE_STRING, 1);
    Cell end = at_head(text, 4);
    actions::reverse(&text, &end, nullptr);
    EXPECT_EQ(test::utf8(at_head(text, 0)), "ad\u0101be");

    struct Bad {
        int32_t skip;
        uint32_t error;
    };
    for (Bad row : {Bad{4, error_code(err::script::invalid_refine_arg)},
                    Bad{7, error_code(err::script::invalid_refine_arg)}, Bad{0, error_code(err::script::out_of_range)},
                    Bad{-2, error_code(err::script::out_of_range)}}) {
        Cell block = block_of("1 2 3 4 5 6");
        Cell skip = integer_cell(row.skip);
        EXPECT_EQ(raised([&] { actions::reverse(&block, nullptr, &skip); }), row.error) << row.skip;
        EXPECT_EQ(whole(block), "[1 2 3 4 5 6]");
    }
}

// ---------------------------------------------------------------- take

TEST(SeriesActions, TakeOneElementAndRanges) {
    struct Row {
        uint32_t head;
        const char* part;  // nullptr: no /part; "@n": the position n
        bool last;
        const char* taken;
        const char* left;
    };
    const Row rows[] = {
        {0, nullptr, false, "[1]", "[2 3 4 5]"},
        {0, nullptr, true, "[5]", "[1 2 3 4]"},
        {1, "2", false, "[2 3]", "[1 4 5]"},
        {1, "9", false, "[2 3 4 5]", "[1]"},
        {0, "2", true, "[4 5]", "[1 2 3]"},
        {0, "0", false, "[]", "[1 2 3 4 5]"},
        {2, "@2", false, "[]", "[1 2 3 4 5]"},
        {2, "@1", false, "[]", "[1 2 3 4 5]"},
        {1, "@3", false, "[2 3]", "[1 4 5]"},
        {1, "@3", true, "[4 5]", "[1 2 3]"},
        {3, "-2", false, "[2 3]", "[1 4 5]"},
        {1, "-5", false, "[1]", "[2 3 4 5]"},
        {0, "-1", false, "[]", "[1 2 3 4 5]"},
        {3, "-2", true, "[]", "[1 2 3 4 5]"},
    };
    for (const Row& row : rows) {
        Cell block = at_head(block_of("1 2 3 4 5"), row.head);
        Cell part{};
        if (row.part)
            part = row.part[0] == '@' ? at_head(block, uint32_t(row.part[1] - '0')) : integer_cell(std::stoi(row.part));
        Cell taken = framed([&] { return series::take(&block, row.part ? &part : nullptr, false, row.last); });
        EXPECT_EQ(cell_type(&taken), uint32_t(TYPE_BLOCK));
        EXPECT_EQ(shown(taken), row.taken) << row.head << " " << (row.part ? row.part : "-") << " " << row.last;
        EXPECT_EQ(whole(block), row.left) << row.head << " " << (row.part ? row.part : "-") << " " << row.last;
    }

    Cell empty = at_head(block_of("1 2"), 2);
    EXPECT_EQ(cell_type(series::take(&empty, nullptr, false, false)), uint32_t(TYPE_NONE));
    Cell paren = block_of("1 2");
    set_type(&paren, TYPE_PAREN);
    EXPECT_EQ(raised([&] { series::take(&empty, &paren, false, false); }), 0u);  // at its tail: none first
    Cell block = block_of("1 2");
    EXPECT_EQ(raised([&] { series::take(&block, &paren, false, false); }), error_code(err::script::invalid_refine_arg));
}

TEST(SeriesActions, TakeKeepsTheStringsWidthAndType) {
    Cell text = text_cell(U"\u0101bcd", 2, TYPE_FILE);
    Cell one = framed([&] { return series::take(&text, nullptr, false, false); });
    EXPECT_EQ(cell_type(&one), uint32_t(TYPE_FILE));
    EXPECT_EQ(test::utf8(one), "\u0101");
    Cell two = integer_cell(2);
    Cell last = framed([&] { return series::take(&text, &two, false, true); });
    EXPECT_EQ(cell_type(&last), uint32_t(TYPE_FILE));
    EXPECT_EQ(series_buffer(&last)->unit(), 2u);
    EXPECT_EQ(test::utf8(last), "cd");
    EXPECT_EQ(test::utf8(text), "b");
}

// ---------------------------------------------------------------- copy

TEST(SeriesActions, CopyPartRanges) {
    struct Row {
        uint32_t head;
        Cell part;  // unset!: no /part
        const char* expected;
    };
    Cell block = block_of("1 2 3 4 5");
    Cell none_given{};
    const Row rows[] = {
        {1, none_given, "[2 3 4 5]"},
        {1, integer_cell(2), "[2 3]"},
        {1, integer_cell(0), "[]"},
        {1, integer_cell(9), "[2 3 4 5]"},
        {3, integer_cell(-2), "[2 3]"},
        {1, integer_cell(-5), "[1]"},
        {1, at_head(block, 4), "[2 3 4]"},
        {4, at_head(block, 1), "[2 3 4]"},
        {1, Cell{TYPE_PAIR, 0, 2, 4}, "[3 4]"},
        {1, Cell{TYPE_PAIR, 0, uint32_t(-1), 1}, "[1 2]"},
        {1, Cell{TYPE_PAIR, 0, 3, 2}, "[]"},
        {6, none_given, "[]"},
    };
    for (const Row& row : rows) {
        Cell source = at_head(block, row.head);
        Cell result{};
        bool with_part = cell_type(&row.part) != 0;
        series::copy_shallow(&source, &result, with_part ? &row.part : nullptr, false, nullptr);
        EXPECT_EQ(shown(result), row.expected) << row.head;
    }
    EXPECT_EQ(whole(block), "[1 2 3 4 5]");

    Cell flagged = text_cell(U"\u0101bc", 2, TYPE_URL, 1);
    flagged.header |= CELL_NEW_LINE;
    Cell result{};
    series::copy_shallow(&flagged, &result, nullptr, false, nullptr);
    EXPECT_EQ(result.header, uint32_t(TYPE_URL) | CELL_NEW_LINE);
    EXPECT_EQ(series_index(&result), 0u);
    EXPECT_EQ(test::utf8(result), "bc");
    Cell other = text_cell(U"bc");
    EXPECT_EQ(raised([&] { series::copy_shallow(&flagged, &result, &other, false, nullptr); }), error_code(err::script::invalid_refine_arg));
}

// ---------------------------------------------------------------- move

TEST(SeriesActions, MoveWithinOneBuffer) {
    struct Row {
        uint32_t from;
        uint32_t to;
        int32_t part;  // 0: no /part
        const char* expected;
    };
    const Row rows[] = {
        {0, 5, 0, "[2 3 4 5 1]"},   // to the tail: the last one
        {0, 5, 2, "[3 4 5 1 2]"},
        {1, 5, 9, "[1 2 3 4 5]"},   // all of 2 3 4 5 to the tail
        {3, 1, 0, "[1 4 2 3 5]"},   // backward
        {3, 0, 2, "[4 5 1 2 3]"},
        {0, 2, 2, "[3 4 1 2 5]"},   // forward: the first moved ends at 2
        {0, 4, 2, "[1 2 3 4 5]"},   // fewer than 2 after the destination
        {0, 3, 2, "[3 4 5 1 2]"},
        {2, 2, 1, "[1 2 3 4 5]"},
    };
    for (const Row& row : rows) {
        Cell block = block_of("1 2 3 4 5");
        Cell origin = at_head(block, row.from);
        Cell target = at_head(block, row.to);
        Cell part = integer_cell(row.part);
        Cell* result = actions::move(&origin, &target, row.part ? &part : nullptr);
        EXPECT_EQ(result, &target);
        EXPECT_EQ(whole(block), row.expected) << row.from << " -> " << row.to << " /part " << row.part;
    }
    Cell text = text_cell(U"abcd", 1, TYPE_STRING);
    Cell end = at_head(text, 4);
    actions::move(&text, &end, nullptr);
    EXPECT_EQ(test::utf8(text), "bcda");
}

TEST(SeriesActions, MoveBetweenBuffers) {
    Cell origin = at_head(block_of("1 2 3 4"), 1);
    Cell target = at_head(block_of("a b"), 1);
    Cell two = integer_cell(2);
    actions::move(&origin, &target, &two);
    EXPECT_EQ(whole(origin), "[1 4]");
    EXPECT_EQ(whole(target), "[a 2 3 b]");

    Cell narrow = text_cell(U"xy");
    Cell wide = text_cell(U"\u0101\u0102", 2, TYPE_STRING, 1);
    actions::move(&narrow, &wide, nullptr);
    EXPECT_EQ(test::utf8(narrow), "y");
    EXPECT_EQ(test::utf8(at_head(wide, 0)), "\u0101x\u0102");
    Cell back_again = at_head(wide, 0);
    actions::move(&back_again, &narrow, nullptr);
    EXPECT_EQ(series_buffer(&narrow)->unit(), 2u);
    EXPECT_EQ(test::utf8(narrow), "\u0101y");

    Cell block = block_of("1 2");
    Cell text = text_cell(U"ab");
    Cell bytes = test::binary_cell("ab");
    Cell wide_text = text_cell(U"ab", 2);
    Cell integer = integer_cell(1);
    struct Bad {
        Cell* origin;
        Cell* target;
        uint32_t error;
    };
    for (Bad row : {Bad{&block, &text, error_code(err::script::move_bad)}, Bad{&text, &block, error_code(err::script::move_bad)},
                    Bad{&bytes, &wide_text, error_code(err::script::move_bad)}, Bad{&block, &integer, error_code(err::script::expect_arg)}}) {
        EXPECT_EQ(raised([&] { actions::move(row.origin, row.target, nullptr); }), row.error);
    }
    EXPECT_EQ(whole(block), "[1 2]");
    EXPECT_EQ(test::utf8(text), "ab");
}

// ---------------------------------------------------------------- random

std::vector<int32_t> draws(int n) {
    std::vector<int32_t> out;
    for (int i = 0; i < n; i++) out.push_back(random::integer(1000000, false));
    return out;
}

TEST(SeriesActions, RandomSeedOnlyAndShuffle) {
    Cell text = text_cell(U"seed text", 1, TYPE_STRING, 2);
    Cell seed = text;
    EXPECT_EQ(cell_type(actions::random(&seed, true, false, false)), uint32_t(TYPE_UNSET));
    std::vector<int32_t> first = draws(4);
    seed = text_cell(U"xxed text", 1, TYPE_STRING, 2);  // the same from the head
    actions::random(&seed, true, false, false);
    EXPECT_EQ(draws(4), first);

    Cell block = block_of("1 2 3 4 5 6 7 8");
    for (int i = 0; i < 20; i++) {
        Cell pick = at_head(block, 6);
        actions::random(&pick, false, false, true);
        ASSERT_EQ(cell_type(&pick), uint32_t(TYPE_INTEGER));
        EXPECT_GE(integer::get(&pick), 7);
    }
    Cell empty = at_head(block, 8);
    EXPECT_EQ(cell_type(actions::random(&empty, false, false, true)), uint32_t(TYPE_NONE));
    Cell one_char = text_cell(U"\u0101", 2);
    EXPECT_EQ(char_::get(actions::random(&one_char, false, false, true)), 0x101u);

    Cell tail_part = at_head(block, 2);
    actions::random(&tail_part, false, false, false);
    std::string shuffled = whole(block);
    EXPECT_EQ(shuffled.substr(0, 4), "[1 2");
    std::sort(shuffled.begin(), shuffled.end());
    std::string sorted = "[1 2 3 4 5 6 7 8]";
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(shuffled, sorted);
}

// ---------------------------------------------------------------- owner reports

namespace reports_of = test::owner_reports;
using reports_of::own;
using reports_of::reports;

using OwnedSeries = reports_of::ReportsTest<whole>;

TEST_F(OwnedSeries, EditsReportBeforeAndAfter) {
    struct Row {
        const char* name;
        void (*edit)(Cell* block);
        const char* before;
        const char* after;
        int32_t index, part;
    };
    const Row rows[] = {
        {"clear", [](Cell* b) { actions::clear(b); }, "clear", "cleared", 1, 3},
        {"remove", [](Cell* b) { Cell two = integer_cell(2); actions::remove(b, &two, nullptr); }, "remove", "removed", 1, 2},
        {"poke", [](Cell* b) { Cell v = integer_cell(9); poke_at(b, 2, &v); }, "poke", "poked", 2, 1},
        {"reverse", [](Cell* b) { actions::reverse(b, nullptr, nullptr); }, "reverse", "reversed", 1, 3},
        {"take", [](Cell* b) { framed([&] { return series::take(b, nullptr, false, false); }); }, "take", "taken", 1, 1},
        {"random", [](Cell* b) { actions::random(b, false, false, false); }, "random", "randomized", 1, 3},
        {"move", [](Cell* b) { Cell end = at_head(*b, 4); actions::move(b, &end, nullptr); }, "move", "moved", 1, 1},
    };
    for (const Row& row : rows) {
        Cell block = at_head(block_of("1 2 3 4"), 1);
        own(&block);
        reports.clear();
        row.edit(&block);
        ASSERT_EQ(reports.size(), 2u) << row.name;
        EXPECT_EQ(reports[0].action, row.before);
        EXPECT_EQ(reports[1].action, row.after);
        EXPECT_EQ(reports[0].seen, "[1 2 3 4]") << row.name;  // told before the change
        EXPECT_EQ(reports[0].index, row.index) << row.name;
        EXPECT_EQ(reports[0].part, row.part) << row.name;
    }
    Cell free_block = block_of("1 2");
    reports.clear();
    EXPECT_FALSE(series::notify_before(&free_block, series::Edit::append, nullptr, 0, 1));
    actions::clear(&free_block);
    EXPECT_TRUE(reports.empty());
}

TEST_F(OwnedSeries, ReflectAndModifyTheOwner) {
    Cell block = block_of("1 2");
    uint32_t owned = fixed_words::symbol(fixed_words::Sym::owned);
    Cell seen = block;
    actions::reflect(&seen, owned);
    EXPECT_EQ(cell_type(&seen), uint32_t(TYPE_NONE));

    Cell owner{TYPE_OBJECT, uint32_t(context::create(1, false, false, nullptr, context::KIND_OBJECT)), 0, 0};
    Cell field{};
    word::make_at(symbol::make("w2a-owner"), &field);
    Cell spec = block_of("");
    block::rs_append(&spec, &owner);
    block::rs_append(&spec, &field);
    Cell owned_word{};
    word::make_at(owned, &owned_word);
    EXPECT_EQ(actions::modify(&block, &owned_word, &spec, false), &block);
    seen = block;
    actions::reflect(&seen, owned);
    EXPECT_EQ(cell_type(&seen), uint32_t(TYPE_OBJECT));
    EXPECT_EQ(object::context_node(&seen), object::context_node(&owner));

    actions::modify(&block, &owned_word, &none::constant, false);
    seen = block;
    actions::reflect(&seen, owned);
    EXPECT_EQ(cell_type(&seen), uint32_t(TYPE_NONE));
    seen = block;
    EXPECT_EQ(raised([&] { actions::reflect(&seen, fixed_words::symbol(fixed_words::Sym::spec)); }),
              error_code(err::internal::not_done));
}

}  // namespace
}  // namespace vek
