#include <gtest/gtest.h>

#include <string>

#include "runtime/actions/dispatch.h"
#include "runtime/core/raise.h"
#include "runtime/core/registry.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/block/paren.h"
#include "runtime/datatypes/block/path.h"
#include "runtime/datatypes/typeset.h"
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
using test::text_of;

using Path = test::CycleGuardTest;

TEST_F(Path, EachKindMoldsWithItsMarkAndFormsPlain) {
    struct Row {
        const char* source;
        const char* form;
    };
    const Row rows[] = {
        {"a/b/c", "a/b/c"}, {"'a/b/c", "a/b/c"}, {":a/b/c", "a/b/c"}, {"a/b/c:", "a/b/c"}, {"a/1/b", "a/1/b"},
    };
    for (const Row& row : rows) {
        Cell path = first_of(row.source);
        EXPECT_EQ(molded(path), row.source);
        EXPECT_EQ(formed(path), row.form) << row.source;
    }
}

TEST_F(Path, StepsIgnoreNewLinesAndNestedValuesMoldInPlace) {
    // a/(\nb c)/d with the new-line flag also on the last step.
    Cell path = first_of("a/x/d");
    *block::rs_abs_at(&path, 1) = first_of("(\nb c)");
    block::rs_abs_at(&path, 2)->header |= CELL_NEW_LINE;
    EXPECT_EQ(molded(path), "a/(\n    b c\n)/d");
    EXPECT_EQ(formed(path), "a/b c/d");

    Cell self = first_of("a/b");
    block::rs_append(&self, &self);
    EXPECT_EQ(molded(self), "a/b/...");
}

TEST_F(Path, MakeAndTo) {
    Cell result;
    Cell three{TYPE_INTEGER, 0, 3, 0};
    test::make_as(TYPE_PATH, &three, &result);
    EXPECT_EQ(cell_type(&result), uint32_t(TYPE_PATH));
    EXPECT_EQ(block::rs_length(&result), 0);
    Cell two_and_a_half{TYPE_PERCENT, 0, 0, 0};
    cell_set_f64(&two_and_a_half, 2.5);
    test::make_as(TYPE_GET_PATH, &two_and_a_half, &result);
    EXPECT_EQ(cell_type(&result), uint32_t(TYPE_GET_PATH));

    Cell steps = block_of("a b");
    test::make_as(TYPE_LIT_PATH, &steps, &result);
    EXPECT_EQ(molded(result), "'a/b");

    Cell text = first_of("\"a/b\"");
    EXPECT_EQ(test::raised([&] { test::make_as(TYPE_PATH, &text, &result); }),
              error_code(err::script::bad_make_arg));
    test::to_as(TYPE_PATH, &text, &result);  // the text's values, loaded
    EXPECT_EQ(molded(result), "a/b");

    // A typeset becomes one step; other values convert as to block! does.
    Cell types{TYPE_TYPESET, 0, 0, 0};
    typeset::set(&types, TYPE_INTEGER);
    test::to_as(TYPE_PATH, &types, &result);
    EXPECT_EQ(block::rs_length(&result), 1);
    EXPECT_EQ(cell_type(block::rs_abs_at(&result, 0)), uint32_t(TYPE_TYPESET));
    test::to_as(TYPE_SET_PATH, &three, &result);
    EXPECT_EQ(molded(result), "3:");

    Cell pushed_from = block_of("x y");
    Cell* pushed = set_path::push(&pushed_from);
    EXPECT_EQ(cell_type(&pushed_from), uint32_t(TYPE_SET_PATH));
    EXPECT_EQ(molded(*pushed), "x/y:");
    stack::pop(1);
}

TEST_F(Path, PathAndLitPathMeetOnlyUnderTheMemberEqualityCodes) {
    Cell plain = first_of("a/b");
    Cell lit = first_of("'a/b");
    for (int32_t op : {10, 11}) EXPECT_EQ(actions::compare_typed(&plain, &lit, op), 0) << op;
    EXPECT_EQ(actions::compare_typed(&plain, &lit, actions::COMP_EQUAL), -2);
    Cell set = first_of("a/b:");
    EXPECT_EQ(actions::compare_typed(&plain, &set, 10), -2);
}

TEST_F(Path, KindsTakeTheirParentsActions) {
    constexpr uint32_t SORT = 45, TRIM = 51;
    struct Row {
        uint32_t type, slot;
        uint32_t owner;  // the type whose own entry it is, 0 for none
    };
    const Row rows[] = {
        {TYPE_PAREN, registry::SLOT_MOLD, TYPE_PAREN},
        {TYPE_PAREN, registry::SLOT_FORM, TYPE_BLOCK},
        {TYPE_PAREN, registry::SLOT_COMPARE, TYPE_BLOCK},
        {TYPE_PAREN, TRIM, 0},
        {TYPE_PATH, registry::SLOT_COMPARE, TYPE_BLOCK},
        {TYPE_PATH, registry::SLOT_RANDOM, 0},
        {TYPE_PATH, SORT, 0},
        {TYPE_LIT_PATH, registry::SLOT_FORM, TYPE_PATH},
        {TYPE_LIT_PATH, registry::SLOT_MAKE, TYPE_PATH},
        {TYPE_GET_PATH, registry::SLOT_MOLD, TYPE_GET_PATH},
        {TYPE_SET_PATH, registry::SLOT_COMPARE, TYPE_BLOCK},
        {TYPE_SET_PATH, TRIM, 0},
    };
    for (const Row& row : rows)
        EXPECT_TRUE(test::entry_owned_by(row.type, registry::Slot(row.slot), row.owner));
}

}  // namespace
}  // namespace vek
