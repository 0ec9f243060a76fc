#include <gtest/gtest.h>

#include <string>

#include "runtime/actions/dispatch.h"
#include "runtime/core/datatype.h"
#include "runtime/core/raise.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/block/paren.h"
#include "runtime/datatypes/block/path.h"
#include "runtime/datatypes/typeset.h"
#include "runtime/eval/stack.h"
#include "tests/unit/support/block_builder.h"
#include "tests/unit/support/cycle_guard_fixture.h"
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
    path::make(&result, &three, TYPE_PATH);
    EXPECT_EQ(cell_type(&result), uint32_t(TYPE_PATH));
    EXPECT_EQ(block::rs_length(&result), 0);
    Cell two_and_a_half{TYPE_PERCENT, 0, 0, 0};
    cell_set_f64(&two_and_a_half, 2.5);
    path::make(&result, &two_and_a_half, TYPE_GET_PATH);
    EXPECT_EQ(cell_type(&result), uint32_t(TYPE_GET_PATH));

    Cell steps = block_of("a b");
    path::make(&result, &steps, TYPE_LIT_PATH);
    EXPECT_EQ(molded(result), "'a/b");

    Cell text = first_of("\"a/b\"");
    EXPECT_EQ(test::raised([&] { path::make(&result, &text, TYPE_PATH); }),
              error_code(err::script::bad_make_arg));
    path::to(&result, &text, TYPE_PATH);  // the text's values, loaded
    EXPECT_EQ(molded(result), "a/b");

    // A typeset becomes one step; other values convert as to block! does.
    Cell types{TYPE_TYPESET, 0, 0, 0};
    typeset::set(&types, TYPE_INTEGER);
    path::to(&result, &types, TYPE_PATH);
    EXPECT_EQ(block::rs_length(&result), 1);
    EXPECT_EQ(cell_type(block::rs_abs_at(&result, 0)), uint32_t(TYPE_TYPESET));
    path::to(&result, &three, TYPE_SET_PATH);
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
    for (int32_t op : {10, 11}) EXPECT_EQ(block::compare(&plain, &lit, op), 0) << op;
    EXPECT_EQ(block::compare(&plain, &lit, actions::COMP_EQUAL), -2);
    Cell set = first_of("a/b:");
    EXPECT_EQ(block::compare(&plain, &set, 10), -2);
}

TEST_F(Path, KindsTakeTheirParentsActions) {
    using datatype::action;
    using datatype::as_action;
    constexpr uint32_t SORT = 45, TRIM = 51;
    struct Row {
        uint32_t type, slot;
        datatype::ActionFn expected;
    };
    const Row rows[] = {
        {TYPE_PAREN, datatype::SLOT_MOLD, as_action(paren::mold)},
        {TYPE_PAREN, datatype::SLOT_FORM, as_action(block::form)},
        {TYPE_PAREN, datatype::SLOT_COMPARE, as_action(block::compare)},
        {TYPE_PAREN, TRIM, nullptr},
        {TYPE_PATH, datatype::SLOT_COMPARE, as_action(block::compare)},
        {TYPE_PATH, datatype::SLOT_RANDOM, nullptr},
        {TYPE_PATH, SORT, nullptr},
        {TYPE_LIT_PATH, datatype::SLOT_FORM, as_action(path::form)},
        {TYPE_LIT_PATH, datatype::SLOT_MAKE, as_action(path::make)},
        {TYPE_GET_PATH, datatype::SLOT_MOLD, as_action(get_path::mold)},
        {TYPE_SET_PATH, datatype::SLOT_COMPARE, as_action(block::compare)},
        {TYPE_SET_PATH, TRIM, nullptr},
    };
    for (const Row& row : rows)
        EXPECT_EQ(action(row.type, row.slot), row.expected) << row.type << " slot " << row.slot;
}

}  // namespace
}  // namespace vek
