#include <gtest/gtest.h>

#include <string>

#include "runtime/actions/dispatch.h"
#include "runtime/core/raise.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/string/buffer.h"
#include "runtime/datatypes/typeset.h"
#include "runtime/tables/cycles.h"
#include "tests/unit/support/block_builder.h"
#include "tests/unit/support/cycle_guard_fixture.h"
#include "tests/unit/support/dispatch.h"
#include "tests/unit/support/load_and_mold.h"
#include "tests/unit/support/support.h"

namespace vek {
namespace {

using test::block_of;
using test::first_of;
using test::formed;
using test::molded;
using test::nested_block;
using test::text_of;

// A block whose last value is the block itself.
Cell self_containing(const char* values) {
    Cell block = block_of(values);
    block::rs_append(&block, &block);
    return block;
}

using Block = test::CycleGuardTest;

TEST_F(Block, MoldLaysOutNewLineFlagsAndIndentation) {
    struct Row {
        const char* source;
        test::MoldOptions flags;
        const char* expected;
    };
    const Row rows[] = {
        {"1 2 3", {}, "[1 2 3]"},
        {"1 2 3", {.only = true}, "1 2 3"},
        {"", {}, "[]"},
        // Only later values flagged: new lines at the outer level, no closing break.
        {"1\n2 3", {}, "[1\n2 3]"},
        // The first value flagged opens a level, closed on a line of its own.
        {"\n1\n2\n", {}, "[\n    1\n    2\n]"},
        {"\n1 [\n2\n] 3", {}, "[\n    1 [\n        2\n    ] 3\n]"},
        {"\n1 [\n2\n] 3", {.flat = true}, "[1 [2] 3]"},
        // Under only the first value starts no line and opens no level.
        {"\n1\n2", {.only = true}, "1\n2"},
        {"\n[\n(\na)]", {}, "[\n    [\n        (\n            a\n        )\n    ]\n]"},
        {"a/b \n'c/d :e/f g/h:", {}, "[a/b\n'c/d :e/f g/h:]"},
        {"x: 'y :z /r #i \"s\"", {}, "[x: 'y :z /r #i \"s\"]"},
    };
    for (const Row& row : rows) {
        Cell block = block_of(row.source);
        EXPECT_EQ(molded(block, row.flags), row.expected) << row.source;
    }
}

TEST_F(Block, MoldOfAParenUsesItsDelimitersAndTheSameLayout) {
    Cell block = block_of("(1 2) (\n3) ()");
    EXPECT_EQ(molded(block), "[(1 2) (\n    3\n) ()]");
    Cell paren = *block::rs_abs_at(&block, 0);
    EXPECT_EQ(molded(paren, {.only = true}), "1 2");
}

TEST_F(Block, MoldStopsOnceAPartLimitIsUsedUp) {
    Cell block = block_of("1 2 3 4 5");
    Cell out;
    string::rs_make_at(&out, 16);
    text::Sink sink{.buffer = &out, .limited = true, .limit = 4};
    actions::mold(&block, sink, false);
    // The caller cuts the text at the limit; the writer stops after passing it.
    EXPECT_EQ(text_of(&out), "[1 2]");
    EXPECT_EQ(sink.limit, -1);
}

TEST_F(Block, FormSeparatesBySpacesExceptAfterABreak) {
    struct Row {
        const char* source;
        const char* expected;
    };
    const Row rows[] = {
        {"1 [2 [3]] \"x\"", "1 2 3 x"},
        {"\"a\n\" b \"c\t\" d", "a\nb c\td"},
        {"\n1\n2", "1 2"},
        {"", ""},
        {"[] 1", " 1"},
    };
    for (const Row& row : rows) {
        Cell block = block_of(row.source);
        EXPECT_EQ(formed(block), row.expected) << row.source;
    }
}

TEST_F(Block, ACycleIsWrittenAsItsMarkerAndComparesEqual) {
    Cell block = self_containing("1");
    EXPECT_EQ(molded(block), "[1 [...]]");
    EXPECT_EQ(formed(block), "1 ...");
    Cell paren = block_of("1");
    set_type(&paren, TYPE_PAREN);
    block::rs_append(&paren, &paren);
    EXPECT_EQ(molded(paren), "(1 (...))");

    EXPECT_TRUE(actions::compare(&block, &block, actions::COMP_EQUAL));
    Cell other = self_containing("1");
    EXPECT_TRUE(actions::compare(&block, &other, actions::COMP_EQUAL));
    EXPECT_FALSE(actions::compare(&block, &other, actions::COMP_SAME));
}

TEST_F(Block, NestingBeyondTheCycleGuardRaisesTooDeep) {
    test::SparseTorture sparse(97);
    Cell deep = nested_block(cycles::CAPACITY + 5);
    const uint32_t too_deep = error_code(err::internal::too_deep);
    EXPECT_EQ(test::raised([&] { molded(deep); }), too_deep);
    EXPECT_EQ(test::raised([&] { formed(deep); }), too_deep);
    Cell twin = nested_block(cycles::CAPACITY + 5);
    EXPECT_EQ(test::raised([&] { actions::compare(&deep, &twin, actions::COMP_EQUAL); }), too_deep);
    EXPECT_EQ(test::raised([&] { block::clone(&deep, true, false); }), too_deep);
    EXPECT_EQ(cycles::depth(), 0u);

    // Just inside the guard everything works. Comparing holds two entries per
    // level.
    Cell fits = nested_block(cycles::CAPACITY - 2);
    EXPECT_EQ(molded(fits).size(), 2u * (cycles::CAPACITY - 1));
    Cell half = nested_block(cycles::CAPACITY / 2 - 2);
    Cell half_twin = nested_block(cycles::CAPACITY / 2 - 2);
    EXPECT_TRUE(actions::compare(&half, &half_twin, actions::COMP_EQUAL));
}

// Comparison of blocks under every code. For the boolean codes the row gives
// the answer of actions::compare; for the others the three-way answer.
TEST_F(Block, ComparesUnderEveryCode) {
    struct Row {
        const char* left;
        const char* right;
        int32_t three_way;          // under the sorting code 7
        const char* answers;        // actions::compare for 0 1 2 3 4 5 6 12, as T/F
    };
    const Row rows[] = {
        {"1 2", "1 2", 0, "TFTFTFTT"},
        {"1 2", "1 3", -1, "FTFTTFFF"},
        {"3", "1 2", 1, "FTFFFTTF"},          // a shorter block is lesser...
        {"1", "1 2", -1, "FTFTTFFF"},
        {"", "1", -1, "FTFTTFFF"},            // ...an empty one first of all
        {"", "", 0, "TFTFTFTT"},
        {"a b", "A B", 0, "TFFFTFTT"},        // words fold case except under strict equality
        {"a", "\"a\"", 1, "FTFFFTTF"},        // different types order by type id
        {"[1 [2]]", "[1 [2]]", 0, "TFTFTFTT"},
    };
    const int32_t ops[] = {0, 1, 2, 3, 4, 5, 6, 12};
    for (const Row& row : rows) {
        Cell left = block_of(row.left);
        Cell right = block_of(row.right);
        EXPECT_EQ(actions::compare_typed(&left, &right, actions::COMP_SORT), row.three_way) << row.left << " | " << row.right;
        for (int i = 0; i < 8; i++) {
            bool expected = row.answers[i] == 'T';
            EXPECT_EQ(actions::compare(&left, &right, ops[i]), expected)
                << row.left << " | " << row.right << " op " << ops[i];
        }
    }
}

TEST_F(Block, SamenessNeedsTheSameBufferAndHead) {
    Cell block = block_of("1 2");
    Cell copy = block;
    Cell next = block;
    set_series_index(&next, 1);
    Cell twin = block_of("1 2");
    EXPECT_TRUE(actions::compare(&block, &copy, actions::COMP_SAME));
    EXPECT_FALSE(actions::compare(&block, &next, actions::COMP_SAME));
    EXPECT_FALSE(actions::compare(&block, &twin, actions::COMP_SAME));
    EXPECT_EQ(actions::compare_typed(&block, &twin, actions::COMP_SAME), -1);
}

TEST_F(Block, OtherBlockKindsAreNotComparable) {
    Cell block = block_of("1");
    Cell paren = block_of("1");
    set_type(&paren, TYPE_PAREN);
    EXPECT_EQ(actions::compare_typed(&block, &paren, actions::COMP_EQUAL), -2);
    EXPECT_FALSE(actions::compare(&block, &paren, actions::COMP_EQUAL));
    EXPECT_TRUE(actions::compare(&block, &paren, actions::COMP_NOT_EQUAL));
    EXPECT_EQ(test::raised([&] { actions::compare(&block, &paren, actions::COMP_LESSER); }),
              error_code(err::script::invalid_compare));
}

TEST_F(Block, CompareValuesOrdersLogicAndDelegatesTheRest) {
    Cell no{TYPE_LOGIC, 0, 0, 0};
    Cell yes{TYPE_LOGIC, 1, 0, 0};
    EXPECT_EQ(actions::compare_values(&no, &yes, actions::COMP_SORT), -1);
    EXPECT_EQ(actions::compare_values(&yes, &no, actions::COMP_SORT), 1);
    Cell one{TYPE_INTEGER, 0, 1, 0};
    Cell a = first_of("\"a\"");
    EXPECT_EQ(actions::compare_values(&one, &a, actions::COMP_SORT), -2);
    EXPECT_FALSE(actions::compare(&one, &a, actions::COMP_EQUAL));
    EXPECT_EQ(test::raised([&] { actions::compare(&one, &a, actions::COMP_LESSER); }),
              error_code(err::script::invalid_compare));
}

TEST_F(Block, MakeAndTo) {
    Cell result;
    Cell five_and_a_half{TYPE_FLOAT, 0, 0, 0};
    cell_set_f64(&five_and_a_half, 5.5);
    const Cell capacities[] = {{TYPE_INTEGER, 0, 0, 0}, {TYPE_INTEGER, 0, uint32_t(-3), 0},
                               {TYPE_INTEGER, 0, 7, 0}, five_and_a_half};
    for (const Cell& spec : capacities) {
        test::make_as(TYPE_BLOCK, &spec, &result);
        EXPECT_EQ(cell_type(&result), uint32_t(TYPE_BLOCK));
        EXPECT_EQ(block::rs_length(&result), 0);
        EXPECT_GE(series_buffer(&result)->capacity, sizeof(Cell));
    }

    Cell huge{TYPE_FLOAT, 0, 0, 0};
    cell_set_f64(&huge, 3e10);
    EXPECT_EQ(test::raised([&] { test::make_as(TYPE_BLOCK, &huge, &result); }),
              error_code(err::script::out_of_range));
    Cell text = first_of("\"1 2\"");
    EXPECT_EQ(test::raised([&] { test::make_as(TYPE_BLOCK, &text, &result); }),
              error_code(err::script::bad_make_arg));
    test::to_as(TYPE_BLOCK, &text, &result);  // the text's values, loaded
    EXPECT_EQ(molded(result), "[1 2]");

    // A block spec is copied shallowly from its head, into the type asked for.
    Cell source = block_of("1 [2] 3");
    set_series_index(&source, 1);
    test::make_as(TYPE_PAREN, &source, &result);
    EXPECT_EQ(molded(result), "([2] 3)");
    EXPECT_NE(series_node(&result), series_node(&source));
    EXPECT_EQ(series_node(block::rs_abs_at(&result, 0)), series_node(block::rs_abs_at(&source, 1)));

    // Any other value is wrapped, without the new-line flag it had.
    Cell flagged = first_of("\n42");
    test::to_as(TYPE_BLOCK, &flagged, &result);
    EXPECT_EQ(molded(result), "[42]");

    Cell types{TYPE_TYPESET, 0, 0, 0};
    typeset::set(&types, TYPE_INTEGER);
    typeset::set(&types, TYPE_BLOCK);
    test::to_as(TYPE_BLOCK, &types, &result);
    EXPECT_EQ(molded(result), "[block! integer!]");
}

TEST_F(Block, CellArrayHeadAndLookup) {
    Cell block = block_of("a 1 /a 2 #a 3 'a 4 b");
    Cell shortened = block;
    set_series_index(&shortened, 8);
    block::truncate_at(&block, 6);
    EXPECT_EQ(block::rs_length(&shortened), -2);
    EXPECT_FALSE(block::rs_at_tail(&shortened));
    EXPECT_EQ(block::rs_head(&shortened), block::rs_tail(&block));
    EXPECT_EQ(series_index(&shortened), 6u);

    Cell full = block_of("a 1 /a 2 #a 3 'b 4 b");
    Cell refinement = *block::rs_abs_at(&full, 2);
    Cell word_b = *block::rs_abs_at(&full, 8);
    // Only the four word kinds match; a match on the last cell gives none.
    set_series_index(&full, 1);
    EXPECT_EQ(block::select_word(&full, block::rs_abs_at(&full, 0), false), &none::constant);
    EXPECT_EQ(block::select_word(&full, &refinement, false), &none::constant);
    EXPECT_EQ(integer::get(block::select_word(&full, &word_b, false)), 4);
    Cell last = block_of("x 1 y");
    EXPECT_EQ(block::rs_select(&last, block::rs_abs_at(&last, 2)), &none::constant);
    Cell one{TYPE_INTEGER, 0, 1, 0};
    EXPECT_EQ(cell_type(block::rs_select(&last, &one)), uint32_t(TYPE_WORD));

    // remove_value answers whether the removed cell stood at or before the head.
    Cell values = block_of("1 2 1 2");
    set_series_index(&values, 1);
    Cell two{TYPE_INTEGER, 0, 2, 0};
    EXPECT_TRUE(block::remove_value(&values, &two, false));
    EXPECT_FALSE(block::remove_value(&values, &two, false));  // found after the head
    EXPECT_TRUE(block::remove_value(&values, &one, true));    // found before it
    EXPECT_FALSE(block::remove_value(&values, &one, false));  // not found from the head
    set_series_index(&values, 0);
    EXPECT_EQ(molded(values), "[1]");
}

TEST_F(Block, InsertingKeepsOrderAndAdvancesTheHead) {
    Cell block = block_of("1 2");
    set_series_index(&block, 1);
    Cell zero = first_of("0");
    block::insert_value(&block, &zero, true, false);
    EXPECT_EQ(series_index(&block), 2u);
    block::insert_value(&block, &zero, false, true);
    set_series_index(&block, 0);
    EXPECT_EQ(molded(block), "[0 1 0 2]");

    // A block inserted into itself inserts what it held before.
    Cell self = block_of("a b");
    Cell whole = self;
    set_series_index(&self, 1);
    block::insert_cells_of(&self, &whole);
    EXPECT_EQ(series_index(&self), 3u);
    EXPECT_EQ(molded(whole), "[a a b b]");
    block::append_cells_of(&whole, &whole);
    EXPECT_EQ(molded(whole), "[a a b b a a b b]");
}

TEST_F(Block, CloneCopiesNestedBlocksAsAsked) {
    Cell source = block_of("[1] (2) a/b \n[3]");
    struct Row {
        bool deep, any_block;
        bool copies[4];
    };
    const Row rows[] = {
        {false, false, {false, false, false, false}},
        {true, false, {true, false, false, true}},
        {true, true, {true, true, true, true}},
    };
    for (const Row& row : rows) {
        Cell copy = *block::clone(&source, row.deep, row.any_block);
        stack::pop(1);
        EXPECT_EQ(molded(copy), "[[1] (2) a/b\n[3]]");
        for (uint32_t i = 0; i < 4; i++) {
            bool copied = series_node(block::rs_abs_at(&copy, i)) != series_node(block::rs_abs_at(&source, i));
            EXPECT_EQ(copied, row.copies[i]) << i;
        }
    }
    Cell empty = block_of("");
    Cell copy = *block::clone(&empty, false, false);
    stack::pop(1);
    EXPECT_EQ(series_buffer(&copy)->capacity, sizeof(Cell));

    Cell cyclic = self_containing("1");
    EXPECT_EQ(test::raised([&] { block::clone(&cyclic, true, false); }), error_code(err::internal::no_cycle));
    Cell shallow = *block::clone(&cyclic, false, false);
    stack::pop(1);
    EXPECT_EQ(molded(shallow), "[1 [1 [...]]]");
}

TEST_F(Block, MakingInACellOrAParent) {
    Cell cell{TYPE_UNSET | CELL_NEW_LINE, 0, 0, 0};
    block::make_at(&cell, -5);
    EXPECT_EQ(cell.header, TYPE_BLOCK | CELL_NEW_LINE);
    EXPECT_EQ(series_buffer(&cell)->capacity, sizeof(Cell));

    Cell parent = block_of("1");
    block::make_in(&parent, 3);
    block::make_heap_in(&parent, 3);
    EXPECT_EQ(molded(parent), "[1 [] []]");
    EXPECT_TRUE(series_buffer(block::rs_abs_at(&parent, 2))->flags & BUF_HEAP);
    // Without a parent: one scratch cell per kind, overwritten each time.
    Cell* scratch = block::make_in(nullptr, 2);
    EXPECT_EQ(block::make_in(nullptr, 2), scratch);
    EXPECT_NE(block::make_heap_in(nullptr, 2), scratch);
}

}  // namespace
}  // namespace vek
