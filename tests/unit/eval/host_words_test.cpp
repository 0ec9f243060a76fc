#include "runtime/core/registry.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/eval/evaluator.h"

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

constexpr Cell UNSET{TYPE_UNSET, 0, 0, 0};

// Each test runs inside a native frame named add-up, as a native of the GUI would.
class HostWords : public test::StackRestoringTest {
protected:
    void SetUp() override {
        name_ = *word::from_cstring("add-up");
        stack::mark_native(&name_);
    }

    Cell name_{};
};

TEST_F(HostWords, WordsRefuseUnsetValues) {
    Cell counter = *word::from_cstring("host-counter");
    EXPECT_EQ(raised([&] { eval::word_value(&counter); }), error_code(err::script::no_value));
    EXPECT_EQ(raised([&] {
                  stack::push(&UNSET);
                  eval::set_word_to_last(&counter);
              }),
              error_code(err::script::need_value));

    Cell seven = integer_cell(7);
    stack::push(&seven);
    eval::set_word_to_last(&counter);
    EXPECT_EQ(integer::get(eval::word_value(&counter)), 7);
}

std::string printed;
void record(const Cell* string, bool new_line) { printed = test::text_of(string) + (new_line ? "\n" : ""); }

TEST_F(HostWords, PrintErrorPrintsWithoutRaising) {
    print_hooks::remove(print_hooks::console, nullptr);
    print_hooks::add(record, nullptr);
    Cell* top = stack::top;
    Cell* arguments = stack::arguments;
    Cell nine = integer_cell(9);
    eval::print_error(err::math::overflow, &nine);
    print_hooks::remove(record, nullptr);
    print_hooks::add(print_hooks::console, nullptr);
    EXPECT_EQ(printed, "*** Math Error: math or number overflow\n*** Where: ???\n*** Near : none\n");
    EXPECT_EQ(stack::arguments, arguments);
    EXPECT_EQ(stack::top, top + 1);
    EXPECT_EQ(cell_type(top), TYPE_UNSET);
}

}  // namespace
}  // namespace vek
