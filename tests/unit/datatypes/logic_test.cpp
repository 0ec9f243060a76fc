#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <functional>
#include <string>

#include "runtime/actions/dispatch.h"
#include "runtime/core/raise.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/string/buffer.h"
#include "runtime/datatypes/unset.h"
#include "runtime/memory/manager.h"
#include "tests/unit/support/block_builder.h"
#include "tests/unit/support/dispatch.h"
#include "tests/unit/support/stack_fixture.h"
#include "tests/unit/support/support.h"
#include "tests/unit/support/value_cells.h"

namespace vek {
namespace {

constexpr uint32_t NO_VALUE = error_code(err::script::no_value);
constexpr uint32_t NO_RETURN = error_code(err::script::no_return);
constexpr uint32_t EXPECT_ARG = error_code(err::script::expect_arg);

const Cell UNSET_V{TYPE_UNSET, 0, 0, 0};
const Cell NONE_V{TYPE_NONE, 0, 0, 0};
const Cell TRUE_V{TYPE_LOGIC, 1, 0, 0};
const Cell FALSE_V{TYPE_LOGIC, 0, 0, 0};

using test::float_cell;
using test::integer_cell;

// Cells compare word by word, so that a failure shows all four.
std::array<uint32_t, 4> words(const Cell& c) {
    return {c.header, payload_word(&c, 1), payload_word(&c, 2), payload_word(&c, 3)};
}

// Every test runs inside a frame of its own, so that the result cell and the
// stack are its own and are put back afterwards.
class Logic : public test::NativeFrameTest {
protected:
    Cell* result() { return stack::arguments; }
};

TEST_F(Logic, FormAndMoldTextsAndTheLimitLeft) {
    struct Case {
        const Cell* value;
        const char* formed;
        const char* molded;
        const char* molded_all;
    } cases[] = {
        {&UNSET_V, "", "unset", "#(unset)"},
        {&NONE_V, "none", "none", "#(none)"},
        {&TRUE_V, "true", "true", "#(true)"},
        {&FALSE_V, "false", "false", "#(false)"},
    };
    for (const Case& c : cases) {
        struct Run { const char* what; const char* expected; std::function<void(text::Sink&)> run; } runs[] = {
            {"form", c.formed, [&](text::Sink& out) { actions::form(c.value, out); }},
            {"mold", c.molded, [&](text::Sink& out) { actions::mold(c.value, out, false); }},
            {"mold/all", c.molded_all, [&](text::Sink& out) { out.all = true; actions::mold(c.value, out, false); }},
        };
        for (const Run& r : runs) {
            Cell out;
            string::rs_make_at(&out, 16);
            text::Sink sink{.buffer = &out, .limit = 100};
            r.run(sink);
            EXPECT_EQ(test::text_of(&out), r.expected) << r.what << " " << c.molded;
            EXPECT_EQ(sink.limit, 100 - int32_t(std::strlen(r.expected))) << r.what << " " << c.molded;
        }
    }
}

TEST_F(Logic, CompareUnderEachOpCode) {
    // The codes under which these types compare at all; the others are the
    // ordering codes (3-6) and the hash-table modes (10, 11).
    auto comparable = [](int32_t op) { return op <= 2 || op == 7 || op == 8 || op == 9 || op == 12; };
    struct Case {
        const Cell* value1;
        const Cell* value2;
        int32_t answer;  // under the comparable codes
    } cases[] = {
        {&UNSET_V, &UNSET_V, 0},
        {&NONE_V, &NONE_V, 0},
        {&TRUE_V, &TRUE_V, 0},
        {&FALSE_V, &TRUE_V, -1},  // false sorts first
        {&TRUE_V, &FALSE_V, 1},
        {&NONE_V, &FALSE_V, -2},
        {&UNSET_V, &NONE_V, -2},
        {&TRUE_V, &NONE_V, -2},
    };
    for (const Case& c : cases) {
        for (int32_t op = 0; op <= 12; op++) {
            int32_t expected = comparable(op) ? c.answer : -2;
            EXPECT_EQ(actions::compare_typed(c.value1, c.value2, op), expected)
                << "types " << cell_type(c.value1) << "/" << cell_type(c.value2) << " op " << op;
        }
    }
}

TEST_F(Logic, OnlyNoneAndFalseAreFalse) {
    Cell empty_string, empty_block{TYPE_BLOCK, 0, uint32_t(memory::alloc_cells(1)), 0};
    string::rs_make_at(&empty_string, 1);
    Cell zero = integer_cell(0), zero_float = float_cell(0.0);
    struct Case { const char* what; const Cell* value; bool truth; } cases[] = {
        {"none", &NONE_V, false}, {"false", &FALSE_V, false},      {"true", &TRUE_V, true},
        {"0", &zero, true},     {"0.0", &zero_float, true},    {"unset", &UNSET_V, true},
        {"\"\"", &empty_string, true}, {"[]", &empty_block, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(logic::value_true(c.value, false, nullptr), c.truth) << c.what;
        *result() = *c.value;
        EXPECT_EQ(logic::result_false(), !c.truth) << c.what;
        EXPECT_EQ(logic::top_true(), c.truth) << c.what << " in the result cell";
        if (cell_type(c.value) != TYPE_UNSET) {
            EXPECT_EQ(logic::result_true_strict(), c.truth) << c.what;
        }
        stack::push(c.value);
        *result() = c.truth ? FALSE_V : TRUE_V;  // the last pushed value decides, not the result
        EXPECT_EQ(logic::top_true(), c.truth) << c.what << " pushed";
        stack::pop(1);
    }
}

TEST_F(Logic, UnsetIsAnErrorOnlyWhereAValueIsRequired) {
    Cell argument = integer_cell(7);
    EXPECT_EQ(test::raised([&] { logic::value_true(&UNSET_V, true, &argument); }), NO_VALUE);
    EXPECT_TRUE(logic::value_true(&TRUE_V, true, &argument));
    *result() = UNSET_V;
    EXPECT_EQ(test::raised([&] { *stack::arguments = UNSET_V; logic::result_true_strict(); }), NO_RETURN);
    EXPECT_FALSE(logic::result_false());
}

TEST_F(Logic, MakeTestsNumbersForZeroWhileToOnlyTestsForNone) {
    Cell string;
    string::rs_make_at(&string, 8);
    string::append_c_string(&string, "false");
    Cell zero_int = integer_cell(0), one = integer_cell(1), tiny = float_cell(1e-300);
    Cell zero_float = float_cell(0.0), nan = float_cell(std::nan(""));
    Cell zero_percent = float_cell(0.0, TYPE_PERCENT);
    struct Case { const char* what; const Cell* spec; bool made; bool converted; } cases[] = {
        {"0", &zero_int, false, true},
        {"1", &one, true, true},
        {"0.0", &zero_float, false, true},
        {"1e-300", &tiny, true, true},
        {"NaN", &nan, true, true},
        {"0%", &zero_percent, false, true},
        {"none", &NONE_V, false, false},
        {"\"false\"", &string, true, true},
        {"false", &FALSE_V, false, false},
        {"true", &TRUE_V, true, true},
    };
    for (const Case& c : cases) {
        Cell out{};
        EXPECT_EQ(words(*test::make_as(TYPE_LOGIC, c.spec, &out)), words(c.made ? TRUE_V : FALSE_V)) << "make " << c.what;
        EXPECT_EQ(words(*test::to_as(TYPE_LOGIC, c.spec, &out)), words(c.converted ? TRUE_V : FALSE_V)) << "to " << c.what;
    }
}

TEST_F(Logic, BitwiseActionsAndComplement) {
    struct Case {
        Cell* (*action)(Cell*, Cell*);
        bool a, b, answer;
    } cases[] = {
        {actions::and_, true, true, true},  {actions::and_, true, false, false},
        {actions::or_, false, false, false}, {actions::or_, false, true, true},
        {actions::xor_, true, false, true},  {actions::xor_, true, true, false},
    };
    for (const Case& c : cases) {
        Cell a = c.a ? TRUE_V : FALSE_V, b = c.b ? TRUE_V : FALSE_V;
        EXPECT_EQ(c.action(&a, &b), &a);
        EXPECT_EQ(words(a), words(c.answer ? TRUE_V : FALSE_V));
    }
    Cell f = FALSE_V;
    EXPECT_EQ(words(*actions::complement(&f)), words(TRUE_V));
    EXPECT_EQ(words(*actions::complement(&f)), words(FALSE_V));

    Cell one = integer_cell(1);
    for (auto action : {actions::and_, actions::or_, actions::xor_}) {
        Cell t = TRUE_V;
        EXPECT_EQ(test::raised([&] { action(&t, &one); }), EXPECT_ARG);
        EXPECT_EQ(words(t), words(TRUE_V));
    }
}

TEST_F(Logic, RandomDrawsOrSeeds) {
    bool seen[2] = {false, false};
    for (int i = 0; i < 64; i++) {
        Cell value = TRUE_V;
        actions::random(&value, false, i % 2 == 1, false);
        ASSERT_EQ(cell_type(&value), TYPE_LOGIC);
        seen[logic::get(&value)] = true;
    }
    EXPECT_TRUE(seen[0] && seen[1]);

    // The same seed gives the same draws; seeding leaves unset!.
    auto draws_after_seed = [](const Cell& seed_value) {
        Cell seed = seed_value;
        actions::random(&seed, true, false, false);
        EXPECT_EQ(cell_type(&seed), TYPE_UNSET);
        std::string draws;
        for (int i = 0; i < 16; i++) {
            Cell value = FALSE_V;
            draws += char('0' + logic::get(actions::random(&value, false, false, false)));
        }
        return draws;
    };
    EXPECT_EQ(draws_after_seed(TRUE_V), draws_after_seed(TRUE_V));
    EXPECT_NE(draws_after_seed(TRUE_V), draws_after_seed(FALSE_V));
}

TEST_F(Logic, ConstructorsWriteTheResultTheStackOrABlock) {
    *result() = Cell{TYPE_INTEGER | CELL_NEW_LINE, 1, 2, 3};
    unset::box();
    EXPECT_EQ(words(*result()), words(Cell{TYPE_UNSET | CELL_NEW_LINE, 1, 2, 3}));  // payload and flags kept
    EXPECT_EQ(words(*none::box()), words(NONE_V));
    EXPECT_EQ(words(*logic::box(true)), words(TRUE_V));
    EXPECT_EQ(result(), stack::arguments);

    Cell* top = stack::top;
    Cell prototype{};
    EXPECT_EQ(words(*test::make_as(TYPE_UNSET, &TRUE_V, &prototype)), words(UNSET_V));
    EXPECT_EQ(words(*test::make_as(TYPE_NONE, &TRUE_V, &prototype)), words(NONE_V));
    EXPECT_EQ(words(*logic::push(false)), words(FALSE_V));
    EXPECT_EQ(stack::top, top + 3);

    Cell block{TYPE_BLOCK, 0, uint32_t(memory::alloc_cells(1)), 0};
    unset::make_in(&block);
    none::make_in(&block);
    logic::make_in(&block, true);
    SeriesBuffer* buffer = series_buffer(&block);
    ASSERT_EQ(buffer->length(), 3u);
    EXPECT_EQ(cell_type(&buffer->cells()[0]), TYPE_UNSET);
    EXPECT_EQ(words(buffer->cells()[1]), words(NONE_V));
    EXPECT_EQ(words(buffer->cells()[2]), words(TRUE_V));
}

TEST_F(Logic, NoneAnswersTheSeriesActionsWithNone) {
    Cell none = NONE_V, one = integer_cell(1);
    EXPECT_EQ(words(*actions::length_q(&none)), words(NONE_V));  // length -1: no length
    none = NONE_V;
    EXPECT_EQ(actions::find(&none, &one), &none::constant);
    EXPECT_EQ(actions::select(&none, &one), &none::constant);
    EXPECT_EQ(actions::take(&none, nullptr, false, false), &none::constant);
    // They write none into the result cell, whatever it holds.
    for (auto action : {+[] { Cell series = NONE_V; actions::clear(&series); },
                        +[] { Cell series = NONE_V; actions::remove(&series, nullptr, nullptr); }}) {
        *result() = TRUE_V;
        action();
        EXPECT_EQ(words(*result()), words(NONE_V));
    }
    EXPECT_EQ(words(none::constant), words(NONE_V));
    EXPECT_EQ(words(unset::constant), words(UNSET_V));
    EXPECT_EQ(words(logic::true_constant), words(TRUE_V));
    EXPECT_EQ(words(logic::false_constant), words(FALSE_V));
}

}  // namespace
}  // namespace vek
