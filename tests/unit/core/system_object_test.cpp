#include <gtest/gtest.h>

#include <string>

#include "runtime/core/error_catalog.h"
#include "runtime/core/raise.h"
#include "runtime/core/system.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/object/object.h"
#include "runtime/datatypes/word/context.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/eval/evaluator.h"
#include "runtime/gc/collector.h"
#include "runtime/memory/series.h"
#include "tests/unit/support/block_builder.h"
#include "tests/unit/support/load_and_mold.h"
#include "tests/unit/support/stack_fixture.h"

namespace vek::system_fields {
namespace {

using test::text_of;

Cell* field(const Cell* object, const char* name) { return object::find_field(object, symbol::make(name)); }

void run(const char* source) {
    Cell code = test::load_code(source);
    ASSERT_EQ(eval::eval_block(&code), Pending::none) << source;
}

// Each test leaves the global word system none: with it, the attached
// accessor answers the defaults, as it does before the boot attaches.
class SystemObjectTest : public test::NativeFrameTest {
protected:
    void TearDown() override {
        run("system: none");
        test::NativeFrameTest::TearDown();
    }
};

TEST_F(SystemObjectTest, CatalogObjectHoldsTheTable) {
    Cell errors = *catalog::push_object();
    gc::collect();
    ASSERT_EQ(object::field_count(&errors), catalog::CATEGORY_COUNT);
    for (uint32_t i = 0; i < catalog::CATEGORY_COUNT; i++) {
        const catalog::ErrorCategory& listed = catalog::category(i);
        Cell category = object::get_values(&errors)[i];
        ASSERT_EQ(cell_type(&category), TYPE_OBJECT) << listed.name;
        ASSERT_EQ(object::field_count(&category), listed.id_count + 2) << listed.name;
        EXPECT_EQ(integer::get(field(&category, "code")), int32_t(i * 100));
        EXPECT_EQ(text_of(field(&category, "type")), listed.title);
        for (uint32_t j = 0; j < listed.id_count; j++) {
            const catalog::ErrorId& id = listed.ids[j];
            const Cell* held = object::get_values(&category) + j + 2;
            uint32_t expected = id.form == catalog::Form::string ? TYPE_STRING
                                : id.form == catalog::Form::word ? TYPE_WORD
                                                                 : TYPE_BLOCK;
            EXPECT_EQ(cell_type(held), expected) << id.name;
            if (expected == TYPE_BLOCK) {
                EXPECT_EQ(series_buffer(held)->length(), id.piece_count) << id.name;
            }
        }
    }
    EXPECT_EQ(test::molded(*field(field(&errors, "script"), "expect-arg")),
              "[:arg1 \"does not allow\" :arg2 \"for its\" :arg3 \"argument\"]");
    EXPECT_EQ(test::molded(*field(field(&errors, "user"), "message")), "arg1");
    stack::pop(1);
}

// The fields read through their paths once attached; a path that breaks,
// or a value of another type than the default's, gives the default.
TEST_F(SystemObjectTest, FieldsFollowTheObjectAndFallBackToDefaults) {
    struct Row {
        const char* setup;
        int32_t money_digits;
        int32_t bits;
        uint32_t months;
    };
    const Row rows[] = {
        {"system: make object! [options: make object! [money-digits: 4] state: make object! ["
         "callbacks: make object! [bits: 6]] locale: make object! [months: [\"M\"]]]",
         4, 6, 1},
        {"system: make object! [options: make object! [money-digits: \"4\"] state: make object! ["
         "callbacks: none] locale: make object! [months: 12]]",
         2, 0, 12},
        {"system: make object! [options: 5 locale: make object! []]", 2, 0, 12},
        {"system: 5", 2, 0, 12},
        {"unset 'system", 2, 0, 12},
    };
    attach();
    for (const Row& row : rows) {
        run(row.setup);
        gc::collect();
        EXPECT_EQ(integer::get(money_digits()), row.money_digits) << row.setup;
        EXPECT_EQ(integer::get(callback_bits()), row.bits) << row.setup;
        EXPECT_EQ(series_buffer(months())->length(), row.months) << row.setup;
        EXPECT_EQ(cell_type(currencies_list()), TYPE_BLOCK) << row.setup;
    }
    // stack-trace passes any value: its readers take a non-integer for "off".
    run("system: make object! [state: make object! [stack-trace: none]]");
    EXPECT_EQ(cell_type(stack_trace()), TYPE_NONE);
}

// A template changed in the object changes the printed error; a damaged
// catalog prints from the table.
TEST_F(SystemObjectTest, ErrorsFormFromTheCatalogObject) {
    run("system: make object! [catalog: make object! [errors: none]]");
    Cell system = *context::get_global_cell(symbol::make("system"));
    Cell errors = *catalog::push_object();
    *field(field(&system, "catalog"), "errors") = errors;
    stack::pop(1);
    attach();
    struct Row {
        const char* change;
        const char* first_line;
    };
    const Row rows[] = {
        {"", "*** Math Error: attempt to divide by zero"},
        {"system/catalog/errors/math/zero-divide: \"by nought\"", "*** Math Error: by nought"},
        {"system/catalog/errors/math/type: \"Sums\"", "*** Sums: by nought"},
        {"system/catalog/errors/math/zero-divide: 42", "*** Sums: attempt to divide by zero"},
        {"system/catalog/errors/math: 42", "*** Math Error: attempt to divide by zero"},
        {"system/catalog: none", "*** Math Error: attempt to divide by zero"},
    };
    for (const Row& row : rows) {
        run(row.change);
        Cell error{};
        ASSERT_EQ(test::raised([] { run("1 / 0"); }, &error), error_code(err::math::zero_divide));
        std::string text = test::formed(error);
        EXPECT_EQ(text.substr(0, text.find('\n')), row.first_line) << row.change;
    }
}

}  // namespace
}  // namespace vek::system_fields
