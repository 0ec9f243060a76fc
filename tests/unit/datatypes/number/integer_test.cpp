#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <string>

#include "runtime/actions/dispatch.h"
#include "runtime/core/raise.h"
#include "runtime/datatypes/number/float.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/string/buffer.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/memory/series.h"
#include "tests/unit/support/block_builder.h"
#include "tests/unit/support/dispatch.h"
#include "tests/unit/support/string_cells.h"
#include "tests/unit/support/support.h"
#include "tests/unit/support/value_cells.h"

namespace vek {
namespace {

constexpr int32_t MIN = integer::MIN;
constexpr int32_t MAX = integer::MAX;

using test::binary_cell;
using test::float_cell;
using test::integer_cell;
using test::text_of;

const uint32_t ZERO_DIVIDE = error_code(err::math::zero_divide);
const uint32_t OVERFLOW = error_code(err::math::overflow);

// The result a cell holds: an integer! or a float!, nothing else expected.
struct Number {
    bool is_float;
    double value;
};
Number int_(int32_t v) { return {false, double(v)}; }
Number float_(double v) { return {true, v}; }

void expect_number(const Cell& cell, Number expected, const std::string& what) {
    ASSERT_EQ(cell_type(&cell), expected.is_float ? TYPE_FLOAT : TYPE_INTEGER) << what;
    if (expected.is_float)
        EXPECT_EQ(float_::get(&cell), expected.value) << what;
    else
        EXPECT_EQ(integer::get(&cell), int32_t(expected.value)) << what;
}

// form also takes a path of its own to a new string: the same text, sized to it.
TEST(IntegerText, FormAndMoldGiveTheDecimalTextAndLowerTheLimit) {
    struct Row {
        int32_t value;
        const char* text;
    } rows[] = {{0, "0"},       {7, "7"},       {-1, "-1"},           {10, "10"},           {-10, "-10"},
                {99, "99"},     {100, "100"},   {-999, "-999"},       {1234567, "1234567"}, {1000000000, "1000000000"},
                {MAX, "2147483647"}, {MIN, "-2147483648"}, {MIN + 1, "-2147483647"}};
    for (const Row& row : rows) {
        Cell value = integer_cell(row.value);
        Cell formed{}, molded{};
        string::rs_make_at(&formed, 4);
        string::rs_make_at(&molded, 4);
        int32_t len = int32_t(std::strlen(row.text));
        text::Sink forming{.buffer = &formed, .limit = 100};
        text::Sink molding{.buffer = &molded, .limit = 100, .all = true};
        actions::form(&value, forming);
        actions::mold(&value, molding, false);
        EXPECT_EQ(forming.limit, 100 - len);
        EXPECT_EQ(molding.limit, 100 - len);
        EXPECT_EQ(text_of(&formed), row.text);
        EXPECT_EQ(text_of(&molded), row.text);
        Cell direct{};
        actions::form_to_string(&value, nullptr, &direct);
        EXPECT_EQ(text_of(&direct), row.text);
    }
}

TEST(IntegerCompare, OrdersByValueUnderEachOpCode) {
    Cell string{};
    string::rs_make_at(&string, 4);
    Cell char_65{TYPE_CHAR, 0, 65, 0};
    struct Row {
        int32_t value;
        Cell other;
        int32_t op;
        int32_t expected;
    } rows[] = {
        {1, integer_cell(2), actions::COMP_LESSER, -1},
        {2, integer_cell(2), actions::COMP_EQUAL, 0},
        {MAX, integer_cell(MIN), actions::COMP_GREATER, 1},  // no wrap-around in the difference
        {MIN, integer_cell(MAX), actions::COMP_SORT, -1},
        {2, integer_cell(2), actions::COMP_STRICT_EQUAL, 0},
        {2, integer_cell(2), actions::COMP_FIND, 0},
        {2, integer_cell(2), actions::COMP_SAME, 0},
        // char!: equal by value except under strict and search equality
        {65, char_65, actions::COMP_EQUAL, 0},
        {66, char_65, actions::COMP_GREATER_EQUAL, 1},
        {65, char_65, actions::COMP_STRICT_EQUAL, 1},
        {65, char_65, actions::COMP_FIND, 1},
        // not comparable, but never equal
        {1, string, actions::COMP_EQUAL, -2},
        {1, string, actions::COMP_LESSER, -2},
        {1, string, actions::COMP_STRICT_EQUAL, 1},
    };
    for (const Row& row : rows) {
        Cell value = integer_cell(row.value);
        EXPECT_EQ(actions::compare_typed(&value, &row.other, row.op), row.expected)
            << row.value << " op " << row.op << " type " << cell_type(&row.other);
    }
    Cell one = integer_cell(1);
    Cell float_one = float_cell(1.0);
    EXPECT_EQ(actions::compare_typed(&one, &float_one, actions::COMP_STRICT_EQUAL), 1);
}

using MathAction = Cell* (*)(Cell*, Cell*);

TEST(IntegerMath, ResultsOutsideTheRangeBecomeFloatsAndInexactQuotientsToo) {
    struct Row {
        const char* name;
        MathAction action;
        int32_t left, right;
        Number expected;
    } rows[] = {
        {"add", actions::add, MAX, 1, float_(2147483648.0)},
        {"add", actions::add, MIN, -1, float_(-2147483649.0)},
        {"add", actions::add, MAX, MIN, int_(-1)},
        {"subtract", actions::subtract, MIN, 1, float_(-2147483649.0)},
        {"subtract", actions::subtract, 0, MIN, float_(2147483648.0)},
        {"subtract", actions::subtract, -1, MAX, int_(MIN)},
        {"multiply", actions::multiply, 65536, 65536, float_(4294967296.0)},
        {"multiply", actions::multiply, -65536, 32768, int_(MIN)},
        {"multiply", actions::multiply, MIN, -1, float_(2147483648.0)},
        {"divide", actions::divide, 7, 2, float_(3.5)},
        {"divide", actions::divide, -7, 2, float_(-3.5)},
        {"divide", actions::divide, 6, 2, int_(3)},
        {"divide", actions::divide, MIN, 1, int_(MIN)},
        {"remainder", actions::remainder, -7, 2, int_(-1)},
        {"remainder", actions::remainder, 7, -2, int_(1)},
        {"remainder", actions::remainder, MIN, 3, int_(-2)},
        {"and~", actions::and_, 12, 10, int_(8)},
        {"or~", actions::or_, 12, 10, int_(14)},
        {"xor~", actions::xor_, 12, -1, int_(-13)},
    };
    for (const Row& row : rows) {
        Cell left = integer_cell(row.left);
        Cell right = integer_cell(row.right);
        EXPECT_EQ(row.action(&left, &right), &left);
        expect_number(left, row.expected,
                      std::string(row.name) + " " + std::to_string(row.left) + " " + std::to_string(row.right));
    }
}

TEST(IntegerMath, ACharOperandCountsAsItsCodePoint) {
    Cell left = integer_cell(1);
    Cell right{TYPE_CHAR, 0, 65, 0};
    actions::add(&left, &right);
    expect_number(left, int_(66), "1 + #\"A\"");
}

TEST(IntegerMath, DoMathWithoutAResultCellTruncatesAndWraps) {
    EXPECT_EQ(integer::do_math(7, 2, integer::OP_DIVIDE, nullptr), 3);
    EXPECT_EQ(integer::do_math(-7, 2, integer::OP_DIVIDE, nullptr), -3);
    EXPECT_EQ(integer::do_math(MAX, 1, integer::OP_ADD, nullptr), MIN);
    Cell scratch{TYPE_UNSET, 0, 0, 0};
    EXPECT_EQ(integer::do_math(MAX, 1, integer::OP_ADD, &scratch), 0);
    expect_number(scratch, float_(2147483648.0), "promoted scratch cell");
}

TEST(IntegerMath, DivisionErrorsAndUnrelatedOperandsRaise) {
    Cell string{};
    string::rs_make_at(&string, 4);
    Cell pair{TYPE_PAIR, 1, 2, 0};
    Cell tuple{TYPE_TUPLE, 0, 0, 0};
    Cell date{TYPE_DATE, 0, 0, 0};
    struct Row {
        const char* name;
        std::function<void()> body;
        uint32_t code;
    } rows[] = {
        {"1 / 0", [] { Cell a = integer_cell(1), b = integer_cell(0); actions::divide(&a, &b); }, ZERO_DIVIDE},
        {"1 % 0", [] { Cell a = integer_cell(1), b = integer_cell(0); actions::remainder(&a, &b); }, ZERO_DIVIDE},
        {"MIN / -1", [] { Cell a = integer_cell(MIN), b = integer_cell(-1); actions::divide(&a, &b); }, OVERFLOW},
        {"MIN % -1", [] { Cell a = integer_cell(MIN), b = integer_cell(-1); actions::remainder(&a, &b); }, OVERFLOW},
        {"do_math MIN / -1 without a cell", [] { integer::do_math(MIN, -1, integer::OP_DIVIDE, nullptr); },
         OVERFLOW},
        {"negate MIN", [] { Cell a = integer_cell(MIN); actions::negate(&a); }, OVERFLOW},
        {"absolute MIN", [] { Cell a = integer_cell(MIN); actions::absolute(&a); }, OVERFLOW},
        {"1 + string", [&] { Cell a = integer_cell(1); actions::add(&a, &string); },
         error_code(err::script::invalid_type)},
        {"1 / pair", [&] { Cell a = integer_cell(1); actions::divide(&a, &pair); },
         error_code(err::script::not_related)},
        {"1 - tuple", [&] { Cell a = integer_cell(1); actions::subtract(&a, &tuple); },
         error_code(err::script::not_related)},
        {"1 * date", [&] { Cell a = integer_cell(1); actions::multiply(&a, &date); },
         error_code(err::script::not_related)},
    };
    for (const Row& row : rows) EXPECT_EQ(test::raised(row.body), row.code) << row.name;
}

TEST(IntegerMath, NegateAbsoluteComplementEvenOdd) {
    Cell a = integer_cell(-5);
    expect_number(*actions::negate(&a), int_(5), "negate -5");
    a = integer_cell(MAX);
    expect_number(*actions::negate(&a), int_(-MAX), "negate MAX");
    a = integer_cell(-7);
    expect_number(*actions::absolute(&a), int_(7), "absolute -7");
    a = integer_cell(0);
    expect_number(*actions::complement(&a), int_(-1), "complement 0");
    for (int32_t v : {0, -2, MIN}) {
        Cell c = integer_cell(v);
        EXPECT_TRUE(actions::even(&c) && !actions::odd(&c)) << v;
    }
    for (int32_t v : {1, -3, MAX}) {
        Cell c = integer_cell(v);
        EXPECT_TRUE(actions::odd(&c) && !actions::even(&c)) << v;
    }
}

TEST(IntegerPower, StaysExactWhileItFitsAndFallsBackToFloat) {
    struct Row {
        int32_t base;
        Cell exponent;
        Number expected;
    } rows[] = {
        {2, integer_cell(30), int_(1073741824)},
        {2, integer_cell(31), float_(2147483648.0)},
        {-2, integer_cell(31), int_(MIN)},
        {46341, integer_cell(1), int_(46341)},  // its square would overflow but is never used
        {3, integer_cell(20), float_(3486784401.0)},
        {0, integer_cell(0), int_(1)},
        {-1, integer_cell(MAX), int_(-1)},
        {2, integer_cell(-1), float_(0.5)},
        {4, float_cell(0.5), float_(2.0)},
    };
    for (const Row& row : rows) {
        Cell value = integer_cell(row.base);
        Cell exponent = row.exponent;
        EXPECT_EQ(actions::power(&value, &exponent), &value);
        expect_number(value, row.expected, "power " + std::to_string(row.base));
    }
    Cell string{};
    string::rs_make_at(&string, 4);
    EXPECT_EQ(test::raised([&] { Cell v = integer_cell(2); actions::power(&v, &string); }),
              error_code(err::script::expect_arg));
}

using actions::Rounding;

Cell rounded(int32_t value, const Cell* scale, Rounding how) {
    Cell cell = integer_cell(value);
    actions::round(&cell, {.scale = scale, .mode = how});
    return cell;
}

TEST(IntegerRound, EachRefinementRoundsAsItSays) {
    constexpr Rounding none = Rounding::half_away, even = Rounding::half_even, down = Rounding::down,
                       half_down = Rounding::half_down, floor = Rounding::floor, ceiling = Rounding::ceiling,
                       half_ceiling = Rounding::half_ceiling;
    struct Row {
        int32_t value, scale;
        Rounding how;
        int32_t expected;
    } rows[] = {
        {17, 5, none, 15}, {18, 5, none, 20}, {15, 10, none, 20}, {-15, 10, none, -20},
        {25, 10, even, 20}, {35, 10, even, 40}, {-25, 10, even, -20},
        {15, 10, half_down, 10}, {-15, 10, half_down, -10},
        {-11, 5, floor, -15}, {11, 5, floor, 10},
        {-11, 5, ceiling, -10}, {11, 5, ceiling, 15},
        {-19, 10, down, -10}, {19, 10, down, 10},
        {15, 10, half_ceiling, 20}, {-15, 10, half_ceiling, -10},
        {7, 0, none, 7}, {7, -5, none, 5}, {20, 10, ceiling, 20},
        // results that fit are never reported as overflows
        {MAX, 10, floor, 2147483640}, {MAX, 10, down, 2147483640},
        {-MAX, 10, ceiling, -2147483640}, {-2147483645, 10, half_ceiling, -2147483640},
        {-MAX, 2, none, MIN}, {MIN, 10, none, MIN}, {MIN, 3, ceiling, MIN},
    };
    for (const Row& row : rows) {
        Cell scale = integer_cell(row.scale);
        Cell result = rounded(row.value, &scale, row.how);
        expect_number(result, int_(row.expected),
                      "round " + std::to_string(row.value) + " /to " + std::to_string(row.scale));
    }
    expect_number(rounded(12, nullptr, none), int_(12), "round without /to");
}

TEST(IntegerRound, AResultBeyondTheRangeOrAMoneyScaleRaises) {
    Cell ten = integer_cell(10);
    Cell money{TYPE_MONEY, 0, 0, 0};
    constexpr Rounding none = Rounding::half_away, floor = Rounding::floor, ceiling = Rounding::ceiling;
    struct Row {
        int32_t value;
        const Cell* scale;
        Rounding how;
        uint32_t code;
    } rows[] = {
        {MAX, &ten, none, OVERFLOW},
        {MAX, &ten, ceiling, OVERFLOW},
        {-MAX, &ten, floor, OVERFLOW},
        {MAX, &money, none, error_code(err::script::not_related)},
    };
    for (const Row& row : rows)
        EXPECT_EQ(test::raised([&] { rounded(row.value, row.scale, row.how); }), row.code) << row.value;
}

TEST(IntegerFromNumberArg, FloatsThatDoNotFitRaiseOutOfRange) {
    const uint32_t out_of_range = error_code(err::script::out_of_range);
    struct Row {
        Cell value;
        int32_t expected;  // when code is 0
        uint32_t code;
    } rows[] = {
        {integer_cell(-5), -5, 0},
        {float_cell(2147483647.0), MAX, 0},
        {float_cell(-2147483648.0), MIN, 0},
        {float_cell(-1.9), -1, 0},
        {float_cell(2147483647.5), 0, out_of_range},
        {float_cell(2147483648.0), 0, out_of_range},
        {float_cell(-2147483649.0), 0, out_of_range},
        {float_cell(std::numeric_limits<double>::quiet_NaN()), 0, out_of_range},
        {float_cell(std::numeric_limits<double>::infinity()), 0, out_of_range},
    };
    for (const Row& row : rows) {
        int32_t got = 0;
        EXPECT_EQ(test::raised([&] { got = integer::from_number_arg(&row.value); }), row.code)
            << float_::get(&row.value);
        if (row.code == 0) {
            EXPECT_EQ(got, row.expected);
        }
    }
}

TEST(IntegerTo, ConvertsEachKindOfSpec) {
    Cell ff{}, max_hex{}, long_hex{}, bad_hex{};
    issue::make_at(&ff, "FF");
    issue::make_at(&max_hex, "7fffffff");
    issue::make_at(&long_hex, "123456789");
    issue::make_at(&bad_hex, "FG");
    Cell five_bytes = binary_cell("\x01\x02\x03\x04\x05");
    Cell two_bytes = binary_cell("\x01\x02");
    Cell empty = binary_cell("");
    Cell past_head = binary_cell("\x01\x02\x03");
    set_series_index(&past_head, 2);
    Cell time{TYPE_TIME, 0, 0, 0};
    cell_set_f64(&time, 1.5);
    Cell block{TYPE_BLOCK, 0, 0, 0};
    const uint32_t type_limit = error_code(err::script::type_limit);
    const uint32_t invalid_data = error_code(err::script::invalid_data);
    struct Row {
        const char* name;
        Cell spec;
        int32_t expected;  // when code is 0
        uint32_t code;
    } rows[] = {
        {"integer", integer_cell(-3), -3, 0},
        {"char", Cell{TYPE_CHAR, 0, 233, 0}, 233, 0},
        {"-1.9", float_cell(-1.9), -1, 0},
        {"2147483647.9", float_cell(2147483647.9), 0, type_limit},
        {"NaN", float_cell(std::nan("")), 0, type_limit},
        {"time 1.5 s", time, 2, 0},
        {"#FF", ff, 255, 0},
        {"#7fffffff", max_hex, MAX, 0},
        {"#123456789", long_hex, 0, invalid_data},
        {"#FG", bad_hex, 0, invalid_data},
        {"#{0102030405}", five_bytes, 16909060, 0},
        {"#{0102}", two_bytes, 258, 0},
        {"#{}", empty, 0, 0},
        {"#{03} at index 2", past_head, 3, 0},
        {"block", block, 0, error_code(err::script::bad_to_arg)},
    };
    for (const Row& row : rows) {
        Cell result{TYPE_DATATYPE, TYPE_INTEGER, 0, 0};
        EXPECT_EQ(test::raised([&] { actions::to(&result, &row.spec); }), row.code) << row.name;
        if (row.code == 0) expect_number(result, int_(row.expected), row.name);
    }
}

TEST(IntegerMake, TakesLogicAsOneOrZeroAndOtherwiseConverts) {
    Cell result{};
    Cell yes{TYPE_LOGIC, 1, 0, 0}, no{TYPE_LOGIC, 0, 0, 0}, seven = integer_cell(7);
    expect_number(*test::make_as(TYPE_INTEGER, &yes, &result), int_(1), "make true");
    expect_number(*test::make_as(TYPE_INTEGER, &no, &result), int_(0), "make false");
    expect_number(*test::make_as(TYPE_INTEGER, &seven, &result), int_(7), "make 7");
}

TEST(IntegerRandom, DrawsWithinOneAndTheValueAndSeedingRepeatsTheDraws) {
    for (int32_t n : {1, -1, 0, 10, -10, MIN}) {
        for (int i = 0; i < 50; i++) {
            Cell v = integer_cell(n);
            int32_t got = integer::get(actions::random(&v, false, false, false));
            int32_t low = n > 0 ? 1 : n;
            int32_t high = n < 0 ? -1 : n;
            EXPECT_TRUE(got >= low && got <= high) << n << " gave " << got;
        }
    }
    auto draws = [] {
        Cell seed = integer_cell(42);
        actions::random(&seed, true, false, false);
        EXPECT_EQ(cell_type(&seed), TYPE_UNSET);
        std::string out;
        for (int i = 0; i < 5; i++) {
            Cell v = integer_cell(1000000);
            out += std::to_string(integer::get(actions::random(&v, false, false, false))) + " ";
        }
        return out;
    };
    EXPECT_EQ(draws(), draws());
}

}  // namespace
}  // namespace vek
