#include <gtest/gtest.h>

#include <string>

#include "runtime/core/raise.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/block/array.h"
#include "runtime/datatypes/block/sets.h"
#include "runtime/tables/hash_table.h"
#include "tests/unit/support/block_builder.h"
#include "tests/unit/support/load_and_mold.h"
#include "tests/unit/support/stack_fixture.h"
#include "tests/unit/support/support.h"

namespace vek {
namespace {

using block::SetMode;
using test::block_of;
using test::hash_of;

std::string molded_as_block(Cell value) {
    if (cell_type(&value) == TYPE_HASH) set_type(&value, TYPE_BLOCK);  // molded as its cells
    return test::molded(value);
}

using BlockSets = test::BalancedStackTest;

TEST_F(BlockSets, EachModeKeepsEveryWantedRecordOnce) {
    struct Row {
        SetMode mode;
        const char* first;
        const char* second;
        bool case_sensitive;
        int32_t skip;
        const char* expected;
    };
    const Row rows[] = {
        {block::SET_UNIQUE, "1 2 1 3 2", "", false, 1, "[1 2 3]"},
        {block::SET_UNION, "1 2 2", "2 3 1 4", false, 1, "[1 2 3 4]"},
        {block::SET_INTERSECT, "1 2 3 2", "4 3 2", false, 1, "[2 3]"},
        {block::SET_EXCLUDE, "1 2 3 1", "2", false, 1, "[1 3]"},
        {block::SET_DIFFERENCE, "1 2 3", "2 3 4 4", false, 1, "[1 4]"},
        {block::SET_DIFFERENCE, "1 2 3", "1 2 3", false, 1, "[]"},
        {block::SET_UNIQUE, "\"a\" \"A\" a A", "", false, 1, "[\"a\" a]"},
        {block::SET_UNIQUE, "\"a\" \"A\" a A", "", true, 1, "[\"a\" \"A\" a A]"},
        {block::SET_INTERSECT, "\"a\" \"B\"", "\"A\"", false, 1, "[\"a\"]"},
        {block::SET_UNIQUE, "[1] [1] [2] (1)", "", false, 1, "[[1] [2] (1)]"},
        {block::SET_INTERSECT, "[1] 2 [3]", "[3] [1]", false, 1, "[[1] [3]]"},
        {block::SET_UNIQUE, "a 1 b 2 a 3 c", "", false, 2, "[a 1 b 2 c]"},
        {block::SET_UNION, "a 1 b 2", "b 9 1 a", false, 2, "[a 1 b 2 1 a]"},
        {block::SET_EXCLUDE, "a 1 b 2", "x 7 a", false, 2, "[b 2]"},
        {block::SET_UNIQUE, "", "", false, 1, "[]"},
    };
    for (const Row& row : rows) {
        Cell first = block_of(row.first);
        Cell second = block_of(row.second);
        Cell skip{TYPE_INTEGER, 0, uint32_t(row.skip), 0};
        block::set_operation(&first, &second, row.case_sensitive, row.skip == 1 ? nullptr : &skip, row.mode);
        EXPECT_EQ(cell_type(&first), uint32_t(TYPE_BLOCK));
        EXPECT_EQ(molded_as_block(first), row.expected) << row.mode << ": " << row.first << " / " << row.second;
    }
}

TEST_F(BlockSets, InputsAreReadFromTheirHeadsAndLeftAlone) {
    Cell first = block_of("1 2 3 4");
    Cell input = first;
    set_series_index(&first, 2);
    Cell second = block_of("9 3 4");
    set_series_index(&second, 2);
    block::set_operation(&first, &second, false, nullptr, block::SET_INTERSECT);
    EXPECT_EQ(molded_as_block(first), "[4]");
    EXPECT_EQ(molded_as_block(input), "[1 2 3 4]");
}

TEST_F(BlockSets, AHashInputGivesAHashWhoseTableFindsItsValues) {
    for (bool hash_first : {true, false}) {
        Cell first = hash_first ? hash_of("1 2 3 x") : block_of("1 2 3 x");
        Cell second = hash_first ? block_of("x 3 7") : hash_of("x 3 7");
        block::set_operation(&first, &second, false, nullptr, block::SET_INTERSECT);
        ASSERT_EQ(cell_type(&first), uint32_t(TYPE_HASH));
        EXPECT_EQ(molded_as_block(first), "[3 x]");
        Node table(block::hash_table_of(&first));
        for (uint32_t i = 0; i < 2; i++) {
            Cell key = *block::rs_abs_at(&first, i);
            EXPECT_EQ(hash_table::find(table, &key, 0, 1, COMP_EQUAL, false, false),
                      block::rs_abs_at(&first, i));
        }
    }
}

TEST_F(BlockSets, ARecordSizeBelowOneOrNotAnIntegerIsRefused) {
    Cell first = block_of("1 2");
    const Cell sizes[] = {{TYPE_INTEGER, 0, 0, 0}, {TYPE_INTEGER, 0, uint32_t(-2), 0}, {TYPE_NONE, 0, 0, 0}};
    for (const Cell& size : sizes)
        EXPECT_EQ(test::raised([&] { block::set_operation(&first, nullptr, false, &size, block::SET_UNIQUE); }),
                  error_code(err::script::invalid_refine_arg));
    EXPECT_EQ(molded_as_block(first), "[1 2]");
}

}  // namespace
}  // namespace vek
