#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "runtime/actions/dispatch.h"
#include "runtime/core/raise.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/block/sort.h"
#include "runtime/datatypes/number/integer.h"
#include "tests/unit/support/block_builder.h"
#include "tests/unit/support/load_and_mold.h"
#include "tests/unit/support/support.h"
#include "tests/unit/support/value_cells.h"

namespace vek {
namespace {

using test::block_of;
using test::integer_cell;
using test::molded;
using test::text_of;

struct SortRefinements {
    uint32_t start = 0;  // the sorted series' head
    bool case_sensitive = false;
    std::optional<int32_t> skip = {};
    std::optional<int32_t> compare = {};
    std::optional<int32_t> part = {};
    std::optional<uint32_t> part_at = {};  // a /part position in the same series
    bool all = false;
    bool reverse = false;
    bool stable = false;
};

// Sorts the block's series at r.start; answers the head of the result.
uint32_t sorted(const Cell* block, const SortRefinements& r) {
    Cell series = *block;
    set_series_index(&series, r.start);
    Cell skip = integer_cell(r.skip.value_or(0));
    Cell compare = integer_cell(r.compare.value_or(0));
    Cell part = r.part ? integer_cell(*r.part) : series;
    if (r.part_at) set_series_index(&part, *r.part_at);
    bool has_part = r.part || r.part_at;
    Cell* result = actions::sort(&series, {.case_sensitive = r.case_sensitive, .skip = r.skip ? &skip : nullptr,
                                           .comparator = r.compare ? &compare : nullptr,
                                           .part = has_part ? &part : nullptr, .all = r.all, .reverse = r.reverse,
                                           .stable = r.stable});
    EXPECT_EQ(result, &series);
    return series_index(result);
}

TEST(BlockSort, OrdersCellsAndRecordsUnderEveryRefinement) {
    struct Row {
        const char* block;
        SortRefinements r;
        const char* expected;
    };
    const Row rows[] = {
        {"3 1 2", {}, "[1 2 3]"},
        {"3 1 2", {.reverse = true}, "[3 2 1]"},
        {"", {}, "[]"},
        {"b \"b\" 2 a \"a\" 1", {}, "[\"a\" \"b\" 1 2 a b]"},
        // Nested blocks: an empty one first, then element by element.
        {"[1] [] [0 1] [0]", {}, "[[] [0] [0 1] [1]]"},
        {"\"b\" \"A\" \"a\" \"B\"", {.stable = true}, "[\"A\" \"a\" \"b\" \"B\"]"},
        {"\"b\" \"A\" \"a\" \"B\"", {.case_sensitive = true}, "[\"A\" \"B\" \"a\" \"b\"]"},
        // Equal elements keep their order, also when reversed.
        {"\"b\" \"A\" \"a\" \"B\"", {.reverse = true, .stable = true}, "[\"b\" \"B\" \"A\" \"a\"]"},
        {"b 2 a 1 a 0", {.skip = 2, .stable = true}, "[a 1 a 0 b 2]"},
        {"b 2 a 1 a 0", {.skip = 2, .all = true}, "[a 0 a 1 b 2]"},
        {"b 2 a 1 c 0", {.skip = 2, .compare = 2}, "[c 0 a 1 b 2]"},
        {"b 2 a 1 c 0", {.skip = 2, .compare = 2, .reverse = true}, "[b 2 a 1 c 0]"},
        {"x b 2 a 1 c", {.start = 1, .skip = 2, .compare = 1, .part = 4}, "[x a 1 b 2 c]"},
        {"3 2 1", {.part = 2}, "[2 3 1]"},
        {"3 2 1", {.part = 0}, "[3 2 1]"},
        {"3 2 1", {.part = 9}, "[1 2 3]"},
        {"3 2 1", {.part_at = 2}, "[2 3 1]"},
        {"9 3 2 1", {.start = 3, .part_at = 1}, "[9 2 3 1]"},
        {"9 3 2 1", {.start = 3, .part = -2}, "[9 2 3 1]"},
        {"9 3 2 1", {.start = 1, .part = -5}, "[9 3 2 1]"},
        {"9 3 2 1", {.start = 2, .part = -5}, "[3 9 2 1]"},
        {"3 2 1", {.start = 3}, "[3 2 1]"},
    };
    for (const Row& row : rows) {
        Cell block = block_of(row.block);
        sorted(&block, row.r);
        EXPECT_EQ(molded(block), row.expected) << row.block;
    }
}

// Two integer! cells are compared inline, every other pair through the
// compare action: each pair must order as the action orders it (a pair it
// cannot compare by datatype), whichever way round and under /reverse.
TEST(BlockSort, EachPairOrdersAsTheCompareActionOrdersIt) {
    Cell values = test::load_code("0 1 -1 2147483647 -2147483648 65 1.5 #\"A\" \"a\" a none [1]");
    uint32_t count = block::length_from_head(&values);
    for (int32_t code : {actions::COMP_SORT, actions::COMP_CASE_SORT}) {
        for (uint32_t i = 0; i < count; i++) {
            for (uint32_t j = 0; j < count; j++) {
                Cell a = *block::rs_abs_at(&values, i), b = *block::rs_abs_at(&values, j);
                int32_t expected = actions::compare_values(&a, &b, code);
                if (expected == -2) expected = int32_t(cell_type(&a)) - int32_t(cell_type(&b));
                EXPECT_EQ(block::sort_compare(&a, &b, code, 0), expected) << molded(a) << " " << molded(b);
                EXPECT_EQ(block::sort_compare(&b, &a, code, block::SORT_REVERSE), expected)
                    << molded(a) << " " << molded(b);
            }
        }
    }
}

TEST(BlockSort, NegativePartMovesTheHeadBackToTheSortedCells) {
    Cell block = block_of("9 3 2 1");
    EXPECT_EQ(sorted(&block, {.start = 3, .part = -2}), 1u);
    EXPECT_EQ(sorted(&block, {.start = 1, .part = -5}), 0u);
    EXPECT_EQ(sorted(&block, {.start = 2}), 2u);
}

// Many records of a few keys, each tagged with its original place as text
// (a series, so that a record held only in scratch space would be lost).
Cell tagged_records(uint32_t count, uint32_t keys) {
    Cell block = block_of("");
    for (uint32_t i = 0; i < count; i++) {
        Cell key = integer_cell(int32_t((i * 7) % keys));
        std::string text = std::string("\"").append(std::to_string(i)).append("\"");
        Cell tag = block_of(text.c_str());
        block::rs_append(&block, &key);
        block::rs_append(&block, block::rs_abs_at(&tag, 0));
    }
    return block;
}

TEST(BlockSort, StableSortKeepsTheOrderOfEqualRecords) {
    for (bool reverse : {false, true}) {
        Cell block = tagged_records(150, 3);
        sorted(&block, {.skip = 2, .reverse = reverse, .stable = true});
        for (uint32_t i = 2; i < 300; i += 2) {
            int32_t key = integer::get(block::rs_abs_at(&block, i));
            int32_t previous_key = integer::get(block::rs_abs_at(&block, i - 2));
            ASSERT_EQ(reverse ? key <= previous_key : key >= previous_key, true) << i;
            if (key != previous_key) continue;
            ASSERT_LT(std::stoi(text_of(block::rs_abs_at(&block, i - 1))),
                      std::stoi(text_of(block::rs_abs_at(&block, i + 1))))
                << i;
        }
    }
}

TEST(BlockSort, StableSortOfSingleCellsKeepsEqualTextsInOrder) {
    const char* variants[] = {"\"a\"", "\"b\"", "\"A\"", "\"B\""};
    Cell block = block_of("");
    std::string lower_half, upper_half;
    for (uint32_t i = 0; i < 80; i++) {
        Cell text = block_of(variants[i % 4]);
        block::rs_append(&block, block::rs_abs_at(&text, 0));
        std::string& half = i % 2 == 0 ? lower_half : upper_half;
        half.append(" ").append(variants[i % 4]);
    }
    sorted(&block, {.stable = true});
    EXPECT_EQ(molded(block), std::string("[").append((lower_half + upper_half).substr(1)).append("]"));
}

TEST(BlockSort, BadRefinementsRaiseAndLeaveTheBlockAlone) {
    Cell function{TYPE_FUNCTION, 0, 0, 0};
    Cell text = block_of("\"x\"");
    Cell other = block_of("1");
    struct Row {
        SortRefinements r;
        const Cell* comparator;  // instead of r.compare
        const Cell* part;        // instead of r.part
        uint32_t expected;
    };
    const uint32_t bad_refines = error_code(err::script::bad_refines);
    const uint32_t bad_arg = error_code(err::script::invalid_refine_arg);
    const uint32_t out_of_range = error_code(err::script::out_of_range);
    const Row rows[] = {
        {{.all = true}, nullptr, nullptr, bad_refines},
        {{.compare = 1}, nullptr, nullptr, bad_refines},
        {{.skip = 2, .compare = 1, .all = true}, nullptr, nullptr, bad_refines},
        {{.skip = 2, .compare = 3}, nullptr, nullptr, out_of_range},
        {{.skip = 2, .compare = 0}, nullptr, nullptr, out_of_range},
        {{.skip = 0}, nullptr, nullptr, bad_arg},
        {{.skip = 3}, nullptr, nullptr, bad_arg},
        {{.skip = 5}, nullptr, nullptr, bad_arg},
        {{.skip = 2}, block::rs_abs_at(&text, 0), nullptr, bad_arg},
        {{}, nullptr, block::rs_abs_at(&text, 0), bad_arg},
        {{}, nullptr, &other, bad_arg},
        {{}, &function, &other, bad_arg},
    };
    for (const Row& row : rows) {
        Cell block = block_of("4 3 2 1");
        Cell skip = integer_cell(row.r.skip.value_or(0));
        Cell compare = integer_cell(row.r.compare.value_or(0));
        const Cell* comparator = row.comparator ? row.comparator : row.r.compare ? &compare : nullptr;
        uint32_t code = test::raised([&] {
            actions::sort(&block, {.skip = row.r.skip ? &skip : nullptr, .comparator = comparator, .part = row.part,
                                   .all = row.r.all});
        });
        EXPECT_EQ(code, row.expected) << molded(skip) << " " << (comparator ? molded(*comparator) : "");
        EXPECT_EQ(molded(block), "[4 3 2 1]");
    }
}

}  // namespace
}  // namespace vek
