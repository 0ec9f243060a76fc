#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "runtime/actions/dispatch.h"
#include "runtime/core/raise.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/typeset.h"
#include "tests/unit/support/block_builder.h"
#include "tests/unit/support/load_and_mold.h"
#include "tests/unit/support/support.h"
#include "tests/unit/support/value_cells.h"

namespace vek {
namespace {

using test::block_of;
using test::first_of;
using test::integer_cell;
using test::molded;

struct Refinements {
    uint32_t start = 0;  // the searched series' head
    std::optional<int32_t> part = {};
    std::optional<uint32_t> part_at = {};  // a /part position in the same series
    bool only = false;
    bool case_sensitive = false;
    bool same = false;
    std::optional<int32_t> skip = {};
    bool last = false;
    bool reverse = false;
    bool tail = false;
    bool match = false;
};

// The head index of find's answer, or -1 for none.
int64_t found(const Cell* block, const Cell* value, const Refinements& r) {
    Cell series = *block;
    set_series_index(&series, r.start);
    Cell part = r.part ? integer_cell(*r.part) : series;
    if (r.part_at) set_series_index(&part, *r.part_at);
    Cell skip = integer_cell(r.skip.value_or(1));
    bool has_part = r.part || r.part_at;
    Cell* result = actions::find(&series, value,
                                 {.part = has_part ? &part : nullptr, .only = r.only,
                                  .case_sensitive = r.case_sensitive, .same = r.same,
                                  .skip = r.skip ? &skip : nullptr, .last = r.last, .reverse = r.reverse,
                                  .tail = r.tail, .match = r.match});
    if (cell_type(result) == TYPE_NONE) return -1;
    EXPECT_EQ(result, &series);
    return series_index(result);
}

TEST(BlockFind, FindsValuesAndSequencesUnderEveryRefinement) {
    struct Row {
        const char* block;
        const char* value;
        Refinements r;
        int64_t expected;
    };
    const Row rows[] = {
        {"1 2 3 2 1", "2", {}, 1},
        {"1 2 3 2 1", "2", {.tail = true}, 2},
        {"1 2 3 2 1", "2", {.last = true}, 3},
        {"1 2 3 2 1", "2", {.last = true, .tail = true}, 4},
        {"1 2 3 2 1", "4", {}, -1},
        // /last searches the series from its head, never before it.
        {"1 2 3 2 1", "1", {.start = 1, .last = true}, 4},
        {"1 2 3 4", "1", {.start = 1, .last = true}, -1},
        // /reverse: the nearest match before the head.
        {"1 2 3 2 1", "2", {.start = 3, .reverse = true}, 1},
        {"1 2 3 2 1", "2", {.start = 3, .reverse = true, .tail = true}, 2},
        {"1 2 3 2 1", "2", {.start = 1, .reverse = true}, -1},
        {"1 2 3 2 1", "1", {.start = 0, .reverse = true}, -1},
        {"1 2 3", "3", {.start = 3, .reverse = true}, 2},
        // /match tests the head only.
        {"1 2 3", "1", {.match = true}, 0},
        {"1 2 3", "1", {.tail = true, .match = true}, 1},
        {"1 2 3", "2", {.match = true}, -1},
        {"1 2 3", "[1 2]", {.tail = true, .match = true}, 2},
        // /part: a count from the head, or the cells before a position.
        {"1 2 3", "2", {.part = 1}, -1},
        {"1 2 3", "2", {.part = 2}, 1},
        {"1 2 3", "1", {.part = 0}, -1},
        {"1 2 3", "3", {.part = 50}, 2},
        {"1 2 3", "2", {.part_at = 1}, -1},
        {"1 2 3", "2", {.part_at = 2}, 1},
        {"1 2 3", "2", {.start = 2, .part_at = 1}, -1},
        {"1 2 [2 3]", "[2 3]", {.part = 2}, -1},
        {"1 2 3 2", "2", {.part = 3, .last = true}, 1},
        // /skip: the head and every skip-th cell after (or before) it.
        {"a 1 b 2 c 3", "1", {.skip = 2}, -1},
        {"a 1 b 2 c 3", "b", {.skip = 2}, 2},
        {"a 1 b 2 c 3", "b", {.skip = 2, .tail = true}, 4},
        {"a 1 b 2 c", "c", {.skip = 2, .tail = true}, 5},
        {"a 1 b 2 c 3", "2", {.start = 1, .skip = 2}, 3},
        {"a 1 a 2 c 3", "a", {.skip = 2, .last = true}, 2},
        {"a 1 b 2 c 3", "2", {.skip = 2, .last = true}, -1},
        {"a 1 b 2 c 3", "b", {.start = 6, .skip = 2, .reverse = true}, 2},
        {"a 1 b 2 c 3", "b", {.start = 6, .skip = 2, .reverse = true, .tail = true}, 3},
        // A block value is a sequence of values, or with /only one value.
        {"1 2 3 [2 3]", "[2 3]", {}, 1},
        {"1 2 3 [2 3]", "[2 3]", {.tail = true}, 3},
        {"1 2 3 [2 3]", "[2 3]", {.only = true}, 3},
        {"1 2 3 [2 3]", "[2 3]", {.only = true, .tail = true}, 4},
        {"1 2", "[2 3]", {}, -1},
        {"1 2 1 2", "[1 2]", {.last = true}, 2},
        {"1 2 1 2", "[1 2]", {.start = 3, .reverse = true}, 0},
        {"x (a b) a b", "(a b)", {}, 2},
        {"x (a b) a b", "(a b)", {.only = true}, 1},
        {"x a/b a b", "a/b", {}, 2},
        // Search equality ignores case; /case and /same do not.
        {"\"a\" \"A\"", "\"A\"", {}, 0},
        {"\"a\" \"A\"", "\"A\"", {.case_sensitive = true}, 1},
        {"\"a\" \"A\"", "\"A\"", {.same = true}, -1},
        {"a A", "A", {.case_sensitive = true}, 1},
        // Nothing to search.
        {"", "1", {}, -1},
        {"", "1", {.reverse = true}, -1},
        {"1 2", "2", {.start = 2}, -1},
        {"1 2", "2", {.start = 2, .last = true}, -1},
    };
    for (const Row& row : rows) {
        Cell block = block_of(row.block);
        Cell value = first_of(row.value);
        EXPECT_EQ(found(&block, &value, row.r), row.expected) << row.block << " / " << row.value;
    }
}

TEST(BlockFind, DatatypesAndTypesetsMatchByTypeUnlessOnly) {
    Cell block = block_of("1 \"a\" b 2");
    Cell integer_type{TYPE_DATATYPE, TYPE_INTEGER, 0, 0};
    Cell text_or_word{TYPE_TYPESET, 0, 0, 0};
    typeset::set(&text_or_word, TYPE_STRING);
    typeset::set(&text_or_word, TYPE_WORD);
    block::rs_append(&block, &integer_type);
    Cell float_type{TYPE_DATATYPE, TYPE_FLOAT, 0, 0};
    struct Row {
        const Cell* value;
        Refinements r;
        int64_t expected;
    };
    const Row rows[] = {
        {&integer_type, {}, 0},
        {&integer_type, {.last = true}, 3},
        {&integer_type, {.start = 4, .reverse = true}, 3},
        {&integer_type, {.only = true}, 4},
        {&float_type, {}, -1},
        {&text_or_word, {}, 1},
        {&text_or_word, {.tail = true}, 2},
        {&text_or_word, {.last = true}, 2},
        {&text_or_word, {.start = 1, .skip = 2}, 1},
        {&text_or_word, {.skip = 3}, -1},
        {&text_or_word, {.only = true}, -1},
    };
    for (const Row& row : rows) EXPECT_EQ(found(&block, row.value, row.r), row.expected) << molded(*row.value);
}

TEST(BlockFind, SameMatchesOnlyTheVeryValue) {
    Cell block = block_of("\"x\"");
    Cell other = first_of("\"x\"");
    block::rs_append(&block, &other);
    EXPECT_EQ(found(&block, &other, {}), 0);
    EXPECT_EQ(found(&block, &other, {.same = true}), 1);
    EXPECT_EQ(found(&block, &other, {.case_sensitive = true, .same = true}), 1);
}

TEST(BlockFind, BadRefinementArgumentsRaise) {
    Cell block = block_of("1 2 3");
    Cell other = block_of("1 2 3");
    Cell text = first_of("\"x\"");
    Cell zero = integer_cell(0);
    Cell one = integer_cell(1);
    Cell paren = first_of("(1 2 3)");
    set_series_node(&paren, series_node(&block));  // the same buffer, another type
    struct Row {
        const Cell* part;
        const Cell* skip;
        uint32_t expected;
    };
    const Row rows[] = {
        {nullptr, &zero, error_code(err::script::out_of_range)},
        {nullptr, &text, error_code(err::script::invalid_refine_arg)},
        {&text, nullptr, error_code(err::script::invalid_refine_arg)},
        {&other, nullptr, error_code(err::script::invalid_refine_arg)},
        {&paren, nullptr, error_code(err::script::invalid_refine_arg)},
    };
    for (const Row& row : rows) {
        Cell series = block;
        uint32_t code = test::raised([&] { actions::find(&series, &one, {.part = row.part, .skip = row.skip}); });
        EXPECT_EQ(code, row.expected);
    }
}

// The value select answers, molded; "none" for none.
std::string selected(const char* source, const char* value, const Refinements& r) {
    Cell series = block_of(source);
    set_series_index(&series, r.start);
    Cell wanted = first_of(value);
    Cell skip = integer_cell(r.skip.value_or(1));
    Cell part = integer_cell(r.part.value_or(0));
    Cell* result = actions::select(&series, &wanted,
                                   {.part = r.part ? &part : nullptr, .only = r.only,
                                    .case_sensitive = r.case_sensitive, .same = r.same,
                                    .skip = r.skip ? &skip : nullptr, .last = r.last, .reverse = r.reverse});
    return cell_type(result) == TYPE_NONE ? "none" : molded(*result);
}

TEST(BlockSelect, AnswersTheValueAfterTheMatch) {
    struct Row {
        const char* block;
        const char* value;
        Refinements r;
        const char* expected;
    };
    const Row rows[] = {
        {"a 1 b 2", "b", {}, "2"},
        {"a 1 b", "b", {}, "none"},
        {"a 1 b 2", "c", {}, "none"},
        {"a 1 a 2", "a", {.last = true}, "2"},
        {"a 1 a 2", "a", {.start = 2, .reverse = true}, "1"},
        {"a 1 b 2", "b", {.part = 2}, "none"},
        {"\"k\" 1 \"K\" 2", "\"K\"", {}, "1"},
        {"\"k\" 1 \"K\" 2", "\"K\"", {.case_sensitive = true}, "2"},
        // Records: only their first cells are keys.
        {"a b b c", "b", {.skip = 2}, "c"},
        // After a matched sequence, or after the nested block under /only.
        {"a b c [a b] d", "[a b]", {}, "c"},
        {"a b c [a b] d", "[a b]", {.only = true}, "d"},
        {"a b", "[a b]", {}, "none"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(selected(row.block, row.value, row.r), row.expected) << row.block << " / " << row.value;
}

// The block after putting the key and the value, molded.
std::string after_put(const char* source, const char* key, const char* value, bool case_sensitive = false) {
    Cell block = block_of(source);
    Cell k = first_of(key);
    Cell v = first_of(value);
    Cell* result = actions::put(&block, &k, &v, case_sensitive);
    EXPECT_EQ(result, &v);
    return molded(block);
}

TEST(BlockPut, ReplacesTheValueAfterTheKeyOrAppendsBoth) {
    struct Row {
        const char* block;
        const char* key;
        const char* value;
        bool case_sensitive;
        const char* expected;
    };
    const Row rows[] = {
        {"a 1 b 2", "a", "9", false, "[a 9 b 2]"},
        {"a 1 b 2", "c", "3", false, "[a 1 b 2 c 3]"},
        {"a 1 b", "b", "2", false, "[a 1 b 2]"},
        {"", "a", "1", false, "[a 1]"},
        {"\"k\" 1", "\"K\"", "2", false, "[\"k\" 2]"},
        {"\"k\" 1", "\"K\"", "2", true, "[\"k\" 1 \"K\" 2]"},
        // A value that only search equality finds equal is still written.
        {"k \"abc\"", "k", "\"ABC\"", false, "[k \"ABC\"]"},
        // A block key is one key, found again as one value.
        {"[x] 1", "[x]", "2", false, "[[x] 2]"},
        {"x 0 [x] 1", "[x]", "2", false, "[x 0 [x] 2]"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(after_put(row.block, row.key, row.value, row.case_sensitive), row.expected) << row.block;
}

}  // namespace
}  // namespace vek
