#include "runtime/core/registry.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/eval/compiled.h"

#include <gtest/gtest.h>

#include <string>

#include "runtime/core/fixed_words.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/object/error.h"
#include "runtime/datatypes/typeset.h"
#include "runtime/datatypes/word/context.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/output/print_hooks.h"
#include "tests/unit/support/block_builder.h"
#include "tests/unit/support/stack_fixture.h"
#include "tests/unit/support/support.h"
#include "tests/unit/support/value_cells.h"

namespace vek {
namespace {

using test::integer_cell;
using test::raised;

constexpr Cell NONE{TYPE_NONE, 0, 0, 0};
constexpr Cell UNSET{TYPE_UNSET, 0, 0, 0};

// Each test runs inside a native frame named add-up, as a compiled call would.
class Compiled : public test::StackRestoringTest {
protected:
    void SetUp() override {
        name_ = *word::from_cstring("add-up");
        stack::mark_native(&name_);
    }

    Cell name_{};
};

TEST_F(Compiled, ArgumentChecksNameTheFunctionTheTypeAndTheArgument) {
    Cell integers{TYPE_TYPESET, 0, 0, 0};
    typeset::set(&integers, TYPE_INTEGER);
    Cell one = integer_cell(1);
    Cell yes = logic::true_constant;
    Cell no = logic::false_constant;

    struct Case {
        const char* what;
        std::function<void()> check;
        uint32_t refused;  // the type named by the error, 0 when accepted
    };
    const Case cases[] = {
        {"allowed", [&] { compiled::check_arg_type(&integers, 0, &one); }, 0},
        {"refused", [&] { compiled::check_arg_type(&integers, 0, &NONE); }, TYPE_NONE},
        {"slot -1", [&] { compiled::check_slot_arg_type(&integers, -1); }, 0},
        {"slot 0",
         [&] {
             stack::push(&NONE);  // the first argument of raised's frame
             compiled::check_slot_arg_type(&integers, 0);
         },
         TYPE_NONE},
        {"refinement off", [&] { compiled::check_refinement_arg_type(&no, &integers, 1, &NONE); }, 0},
        {"refinement on", [&] { compiled::check_refinement_arg_type(&yes, &integers, 1, &NONE); }, TYPE_NONE},
        {"set", [&] { compiled::check_arg_not_unset(0, &NONE); }, 0},
        {"unset", [&] { compiled::check_arg_not_unset(0, &UNSET); }, TYPE_UNSET},
    };
    for (const Case& c : cases) {
        Cell e;
        uint32_t code = raised(c.check, &e);
        if (c.refused == 0) {
            EXPECT_EQ(code, 0u) << c.what;
            continue;
        }
        ASSERT_EQ(code, error_code(err::script::expect_arg)) << c.what;
        EXPECT_EQ(word::symbol(error::field(&e, error::FIELD_ARG1)), word::symbol(&name_)) << c.what;
        EXPECT_EQ(datatype::id(error::field(&e, error::FIELD_ARG2)), c.refused) << c.what;
        EXPECT_EQ(word::symbol(error::field(&e, error::FIELD_WHERE)), word::symbol(&name_)) << c.what;
    }
}

TEST_F(Compiled, WordsAndSlotsRefuseUnsetValues) {
    Cell counter = *word::from_cstring("compiled-counter");
    Node function = context::create(1, true, false, nullptr, context::KIND_FUNCTION);
    Cell local = Cell{TYPE_WORD, 0, symbol::make("local-x"), WORD_UNRESOLVED};
    context::add_word(context::cell_of(function), &local);

    EXPECT_EQ(raised([&] { compiled::get_word(&counter); }), error_code(err::script::no_value));
    EXPECT_EQ(raised([&] {
                  stack::push(&UNSET);
                  compiled::set_word(&counter);
              }),
              error_code(err::script::need_value));
    EXPECT_EQ(raised([&] { compiled::get_context_slot(function, 0); }),
              error_code(err::script::not_defined));

    Cell seven = integer_cell(7);
    stack::push(&seven);
    compiled::set_word_drop(&counter);
    EXPECT_EQ(stack::top, stack::arguments);
    EXPECT_EQ(integer::get(compiled::get_word(&counter)), 7);
}

TEST_F(Compiled, QuietSlotAssignmentMarksObjectFields) {
    Node object = context::create(1, false, false, nullptr, context::KIND_OBJECT);
    Cell field = Cell{TYPE_WORD, 0, symbol::make("field-a"), WORD_UNRESOLVED};
    context::add_word(context::cell_of(object), &field);
    stack::push(&UNSET);
    compiled::set_context_slot_quiet(object, 0);
    EXPECT_EQ(cell_type(compiled::get_context_slot(object, 0)), TYPE_UNSET);
    EXPECT_NE(context::word_at(context::cell_of(object), 0)->header & context::WORD_ASSIGNED, 0u);
    EXPECT_EQ(stack::top, stack::arguments);
    EXPECT_EQ(raised([&] {
                  stack::push(&UNSET);
                  compiled::set_context_slot(object, 0);
              }),
              error_code(err::script::need_value));
}

TEST_F(Compiled, RefinementArgumentsOfAFalseRefinementBecomeNone) {
    for (bool on : {true, false}) {
        stack::reset();
        for (const Cell& c : {logic::false_constant, integer_cell(1), integer_cell(2), integer_cell(3)}) stack::push(&c);
        compiled::set_refinement_args(logic::constant(on), 0, 2);
        EXPECT_EQ(logic::get(stack::arguments), on);
        for (uint32_t i = 1; i <= 2; i++) EXPECT_EQ(cell_type(stack::arguments + i), on ? TYPE_INTEGER : TYPE_NONE);
        EXPECT_EQ(cell_type(stack::arguments + 3), TYPE_INTEGER);
    }
}

std::string printed;
void record(const Cell* string, bool new_line) { printed = test::text_of(string) + (new_line ? "\n" : ""); }

TEST_F(Compiled, PrintErrorPrintsWithoutRaising) {
    print_hooks::remove(print_hooks::console, nullptr);
    print_hooks::add(record, nullptr);
    Cell* top = stack::top;
    Cell* arguments = stack::arguments;
    Cell nine = integer_cell(9);
    compiled::print_error(err::math::overflow, &nine);
    print_hooks::remove(record, nullptr);
    print_hooks::add(print_hooks::console, nullptr);
    EXPECT_EQ(printed, "*** Math Error: math or number overflow\n*** Where: ???\n*** Near : none\n");
    EXPECT_EQ(stack::arguments, arguments);
    EXPECT_EQ(stack::top, top + 1);
    EXPECT_EQ(cell_type(top), TYPE_UNSET);
}

}  // namespace
}  // namespace vek
