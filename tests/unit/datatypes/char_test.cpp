#include "runtime/datatypes/char.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "runtime/actions/dispatch.h"
#include "runtime/core/raise.h"
#include "runtime/core/registry.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/number/integer.h"
#include "tests/unit/support/dispatch.h"
#include "tests/unit/support/stack_fixture.h"
#include "tests/unit/support/string_cells.h"
#include "tests/unit/support/support.h"
#include "tests/unit/support/value_cells.h"

namespace vek {
namespace {

using test::char_cell;
using test::float_cell;
using test::integer_cell;
using test::text_cell;
using test::utf8;

using CharValues = test::StackRestoringTest;

TEST_F(CharValues, FormAndMold) {
    struct Case {
        uint32_t code_point;
        bool all;
        std::string molded;
    } cases[] = {
        {'A', false, R"x(#"A")x"},
        {'\n', false, R"x(#"^/")x"},
        {'\t', false, R"x(#"^-")x"},
        {0, false, R"x(#"^@")x"},
        {0x1E, false, R"x(#"^(1E)")x"},
        {'"', false, R"x(#"^"")x"},
        {'^', false, R"x(#"^^")x"},
        {'{', false, R"x(#"{")x"},
        {0x7F, false, R"x(#"^~")x"},
        {0x85, false, R"x(#"^(85)")x"},
        {0xE9, false, "#\"\u00E9\""},
        {0xE9, true, R"x(#"^(E9)")x"},
        {0x1F600, false, "#\"\U0001F600\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.molded);
        Cell value = char_cell(c.code_point);
        Cell out = test::output_cell();
        text::Sink molding{.buffer = &out, .limit = 10, .all = c.all};
        actions::mold(&value, molding, false);
        EXPECT_EQ(molding.limit, 6);
        EXPECT_EQ(utf8(out), c.molded);
        out = test::output_cell();
        text::Sink forming{.buffer = &out, .limit = 10};
        actions::form(&value, forming);
        EXPECT_EQ(forming.limit, 9);
        EXPECT_EQ(series_buffer(&out)->length(), 1u);
        EXPECT_EQ(string::rs_abs_at(&out, 0), c.code_point);
    }
}

TEST_F(CharValues, MakeAndTo) {
    uint32_t bad_to_arg = error_code(err::script::bad_to_arg);
    uint32_t out_of_range = error_code(err::script::out_of_range);
    uint32_t invalid_utf8 = error_code(err::access::invalid_utf8);
    struct Case {
        const char* name;
        Cell spec;
        uint32_t code_point;  // when no error is expected
        uint32_t error;
    } cases[] = {
        {"string", text_cell(U"\u20ACx", 2), 0x20AC, 0},
        {"string past its head", text_cell(U"ab", 1, TYPE_STRING, 1), 'b', 0},
        {"file", text_cell(U"f", 1, TYPE_FILE), 'f', 0},
        {"empty string", text_cell(U""), 0, bad_to_arg},
        {"string at its tail", text_cell(U"ab", 1, TYPE_STRING, 2), 0, bad_to_arg},
        {"integer", integer_cell(65), 'A', 0},
        {"highest code point", integer_cell(0x10FFFF), 0x10FFFF, 0},
        {"above the range", integer_cell(0x110000), 0, out_of_range},
        {"negative", integer_cell(-1), 0, out_of_range},
        {"char", char_cell(0xE9), 0xE9, 0},
        {"float", float_cell(65.9), 'A', 0},
        {"small negative float", float_cell(-0.5), 0, 0},
        {"percent", float_cell(66.0, TYPE_PERCENT), 'B', 0},
        {"huge float", float_cell(1e20), 0, out_of_range},
        {"NaN", float_cell(std::nan("")), 0, out_of_range},
        {"binary", test::binary_cell("\xC3\xA9z"), 0xE9, 0},
        {"ASCII binary", test::binary_cell("A"), 'A', 0},
        {"cut sequence", test::binary_cell("\xE2\x82"), 0, invalid_utf8},
        {"bad lead byte", test::binary_cell("\xFF"), 0, invalid_utf8},
        {"empty binary", test::binary_cell(""), 0, bad_to_arg},
        {"none", Cell{TYPE_NONE, 0, 0, 0}, 0, bad_to_arg},
        {"logic", Cell{TYPE_LOGIC, 1, 0, 0}, 0, bad_to_arg},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        Cell result{};
        uint32_t error = test::raised([&] { test::to_as(TYPE_CHAR, &c.spec, &result); });
        EXPECT_EQ(error, c.error);
        if (c.error == 0) {
            EXPECT_EQ(cell_type(&result), TYPE_CHAR);
            EXPECT_EQ(char_::get(&result), c.code_point);
        }
    }
    Cell result{};
    Cell spec = integer_cell(97);
    test::make_as(TYPE_CHAR, &spec, &result);
    EXPECT_EQ(char_::get(&result), uint32_t('a'));
}

TEST_F(CharValues, Compare) {
    using namespace actions;
    struct Case {
        Cell other;
        int32_t op;
        int32_t expected;
    } cases[] = {
        {char_cell('A'), COMP_EQUAL, 0},
        {char_cell('A'), COMP_STRICT_EQUAL, 0},
        {char_cell('a'), COMP_EQUAL, -1},  // code points, not letters
        {char_cell('B'), COMP_LESSER, -1},
        {char_cell('0'), COMP_GREATER, 1},
        {integer_cell(65), COMP_EQUAL, 0},
        {integer_cell(65), COMP_NOT_EQUAL, 0},
        {integer_cell(65), COMP_STRICT_EQUAL, 1},
        {integer_cell(65), COMP_FIND, 1},
        {integer_cell(-1), COMP_GREATER, 1},
        {text_cell(U"A"), COMP_EQUAL, -2},
        {text_cell(U"A"), COMP_STRICT_EQUAL, 1},
        {float_cell(65.0), COMP_LESSER, -2},
    };
    Cell a = char_cell('A');
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "op " << c.op << " against type " << cell_type(&c.other));
        EXPECT_EQ(actions::compare_typed(&a, &c.other, c.op), c.expected);
    }
}

TEST_F(CharValues, ArithmeticStaysInTheCodePointRange) {
    using namespace integer;
    uint32_t overflow = error_code(err::math::overflow);
    uint32_t zero_divide = error_code(err::math::zero_divide);
    uint32_t invalid_type = error_code(err::script::invalid_type);
    struct Case {
        uint32_t value;
        int32_t op;
        Cell other;
        uint32_t expected;  // when no error is expected
        uint32_t error;
    } cases[] = {
        {'A', OP_ADD, integer_cell(1), 'B', 0},
        {'A', OP_ADD, char_cell(1), 'B', 0},
        {'A', OP_SUBTRACT, char_cell('B'), 0, overflow},
        {'B', OP_SUBTRACT, char_cell('A'), 1, 0},
        {'A', OP_MULTIPLY, float_cell(2.9), 130, 0},
        {'d', OP_DIVIDE, integer_cell(3), 33, 0},
        {'d', OP_REMAINDER, integer_cell(3), 1, 0},
        {'d', OP_DIVIDE, integer_cell(0), 0, zero_divide},
        {'d', OP_REMAINDER, integer_cell(0), 0, zero_divide},
        {'d', OP_DIVIDE, integer_cell(-1), 0, overflow},
        {'A', OP_OR, integer_cell(0x20), 'a', 0},
        {'a', OP_AND, integer_cell(0xDF), 'A', 0},
        {'A', OP_XOR, integer_cell(0x20), 'a', 0},
        {'A', OP_OR, integer_cell(-1), 0, overflow},
        {0x10FFFF, OP_ADD, integer_cell(1), 0, overflow},
        {0x10FFFE, OP_ADD, integer_cell(1), 0x10FFFF, 0},
        {'A', OP_ADD, integer_cell(MAX), 0, overflow},       // beyond 32 bits
        {0x10FFFF, OP_MULTIPLY, integer_cell(MAX), 0, overflow},
        {'A', OP_ADD, float_cell(1e20), 0, overflow},
        {'A', OP_ADD, text_cell(U"x"), 0, invalid_type},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.value << " op " << c.op);
        Cell value = char_cell(c.value);
        uint32_t error = test::raised([&] { char_::do_math(&value, &c.other, c.op); });
        EXPECT_EQ(error, c.error);
        EXPECT_EQ(cell_type(&value), TYPE_CHAR);
        EXPECT_EQ(char_::get(&value), c.error ? c.value : c.expected);  // unchanged by an error
    }
}

TEST_F(CharValues, TakesTheIntegerSlotsItDoesNotOwn) {
    constexpr uint32_t ABSOLUTE = 10, NEGATE = 14, EVEN = 19;
    EXPECT_EQ(registry::action(TYPE_CHAR, ABSOLUTE), registry::action(TYPE_INTEGER, ABSOLUTE));
    EXPECT_EQ(registry::action(TYPE_CHAR, EVEN), registry::action(TYPE_INTEGER, EVEN));
    EXPECT_TRUE(registry::implemented(registry::action(TYPE_CHAR, EVEN)));
    EXPECT_EQ(registry::action(TYPE_CHAR, NEGATE), nullptr);
}

}  // namespace
}  // namespace vek
