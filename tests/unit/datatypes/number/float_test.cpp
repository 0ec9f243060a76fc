#include "runtime/datatypes/number/float.h"

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "runtime/actions/dispatch.h"
#include "runtime/core/raise.h"
#include "runtime/datatypes/block/array.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/text/float_text.h"
#include "tests/unit/support/dispatch.h"
#include "tests/unit/support/string_cells.h"
#include "tests/unit/support/support.h"
#include "tests/unit/support/value_cells.h"

namespace vek {
namespace {

constexpr double INF = std::numeric_limits<double>::infinity();
const double NaN = std::numeric_limits<double>::quiet_NaN();
constexpr double LARGEST = 1.7976931348623157e308;
constexpr double ULP_AT_ONE = 2.220446049250313e-16;

using test::float_cell;
using test::integer_cell;

uint64_t bits(double value) { return std::bit_cast<uint64_t>(value); }

// Type and bit pattern, so that -0.0 and NaN are told apart from 0.0.
void expect_value(const Cell& cell, uint32_t type, double value, const std::string& what) {
    EXPECT_EQ(cell_type(&cell), type) << what;
    if (std::isnan(value))
        EXPECT_TRUE(std::isnan(float_::get(&cell))) << what;
    else
        EXPECT_EQ(bits(float_::get(&cell)), bits(value)) << what << ": got " << float_::get(&cell);
}

// Restores the pretty-print flag that a test switches.
struct PrettyPrint {
    explicit PrettyPrint(bool on) { float_text::pretty_print = on; }
    ~PrettyPrint() { float_text::pretty_print = true; }
};

std::string formed(double value) {
    Cell out = test::output_cell();
    Cell cell = float_cell(value);
    text::Sink sink{.buffer = &out, .limit = 100};
    actions::form(&cell, sink);
    std::string text = test::utf8(out);
    EXPECT_EQ(sink.limit, 100 - int32_t(text.size()));
    return text;
}

std::string molded(double value) {
    Cell out = test::output_cell();
    Cell cell = float_cell(value);
    text::Sink sink{.buffer = &out, .limit = 100};
    actions::mold(&cell, sink, false);
    std::string text = test::utf8(out);
    EXPECT_EQ(sink.limit, 100 - int32_t(text.size()));
    return text;
}

TEST(FloatText, MoldIsTheShortestRoundTripTextAndFormTheSixteenDigitOne) {
    struct Row {
        double value;
        const char* mold;
        const char* form;
    } rows[] = {
        {0.1, "0.1", "0.1"},
        {1e16, "10000000000000000.0", "1.0e16"},
        {1e17, "1.0e17", "1.0e17"},
        {1e-7, "0.0000001", "1.0e-7"},
        {1e-8, "1.0e-8", "1.0e-8"},
        {0.000001, "0.000001", "1.0e-6"},
        {1.5e-7, "0.00000015", "1.5e-7"},
        {1.5e300, "1.5e300", "1.5e300"},
        {123456789012345680000.0, "1.2345678901234568e20", "1.234567890123457e20"},
        {5.0, "5.0", "5.0"},
        {-2.5, "-2.5", "-2.5"},
        {0.0, "0.0", "0.0"},
        {-0.0, "-0.0", "0.0"},
        {NaN, "1.#NaN", "1.#NaN"},
        {INF, "1.#INF", "1.#INF"},
        {-INF, "-1.#INF", "-1.#INF"},
        {LARGEST, "1.7976931348623157e308", "1.797693134862316e308"},
        {5e-324, "5.0e-324", "0.0"},
        {1.0 / 3, "0.3333333333333333", "0.3333333333333333"},
        {0.1 + 0.2, "0.30000000000000004", "0.3"},
        // "%.16g" shows the representation error and is made again at 14 digits
        {434.99999999999994, "434.99999999999994", "435.0"},
        {1e-20, "1.0e-20", "0.0"},
        {-1e-20, "-1.0e-20", "0.0"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(molded(row.value), row.mold) << row.mold;
        EXPECT_EQ(formed(row.value), row.form) << row.mold;
    }
}

TEST(FloatText, WithoutPrettyPrintFormShowsTinyValuesAndEveryDigit) {
    PrettyPrint off(false);
    EXPECT_EQ(formed(1e-20), "9.999999999999999e-21");
    EXPECT_EQ(formed(-0.0), "-0.0");
    EXPECT_EQ(formed(434.99999999999994), "434.9999999999999");
}

TEST(FloatText, EveryFiniteFloatMoldsToTextThatReadsBackExactly) {
    test::SparseTorture sparse(97);
    uint64_t state = 0x9E3779B97F4A7C15u;
    for (int i = 0; i < 20000; i++) {
        state = state * 6364136223846793005u + 1442695040888963407u;
        double value = std::bit_cast<double>(state);
        if (!std::isfinite(value)) continue;
        std::string text = molded(value);
        double back = 0;
        auto result = std::from_chars(text.data(), text.data() + text.size(), back);
        ASSERT_EQ(result.ec, std::errc()) << text;
        ASSERT_EQ(result.ptr, text.data() + text.size()) << text;
        ASSERT_EQ(bits(back), bits(value)) << text;
    }
}

TEST(FloatText, FixedDigitsAreCorrectlyRoundedAndStopAtTheLastNonZeroDigit) {
    struct Row {
        double value;
        int32_t ndigits;
        bool point_zero;
        const char* text;
    } rows[] = {
        {2.5, 6, false, "2.5"},
        {0.99999, 4, false, "1"},
        {0.125, 2, false, "0.12"},  // an exact tie goes to the even digit
        {0.375, 2, false, "0.38"},
        {0.5, 22, true, "0.5"},
        {0.1, 22, true, "0.1000000000000000055511"},
        {1234567.0, 3, true, "1230000.0"},
        {0.0, 6, false, "0"},
        {-0.0, 6, false, "-0"},
        {1e20, 6, false, "1e20"},
        {1e20, 6, true, "1.0e20"},
    };
    for (const Row& row : rows)
        EXPECT_STREQ(float_text::float_to_text(row.value, row.ndigits, row.point_zero).c_str(), row.text) << row.text;

    float_text::Digits d = float_text::float_to_digits(0.99999, 4, false);
    EXPECT_STREQ(d.text, "1");
    EXPECT_EQ(d.point, 1);
    d = float_text::float_to_digits(-0.0, 0, true);
    EXPECT_EQ(d.point, float_text::POINT_ZERO);
    EXPECT_TRUE(d.negative);
    EXPECT_EQ(float_text::float_to_digits(-NaN, 0, true).point, float_text::POINT_NOT_FINITE);
    EXPECT_STREQ(float_text::float_to_digits(-NaN, 0, true).text, "1.#NaN");
}

TEST(FloatText, EachFormatModeHasItsPrecisionAndSuffix) {
    struct Row {
        int32_t mode;
        double value;
        const char* text;
    } rows[] = {
        {float_text::FORMAT_FLOAT32, 1.0 / 3, "0.3333333"},
        {float_text::FORMAT_FLOAT32, 3.0, "3.0"},
        {float_text::FORMAT_FLOAT32, 1e20, "1.0e20"},
        {float_text::FORMAT_PERCENT32, 12.5, "12.5%"},
        {float_text::FORMAT_PERCENT32, 1e-20, "0%"},
        {float_text::FORMAT_PERCENT64, 1.0 / 3, "0.3333333333333%"},
        {float_text::FORMAT_PERCENT64, 3.0, "3%"},
        {float_text::FORMAT_SECONDS, 1.0 / 3, "0.333333"},
        {float_text::FORMAT_SECONDS, 3.0, "3"},
        {float_text::FORMAT_SECONDS, -1.5e-7, "-0.00000015"},
        {float_text::FORMAT_COORDINATE, 3.0, "3"},
        {float_text::FORMAT_COORDINATE, 1e20, "1e20"},
        {float_text::FORMAT_COORDINATE, -1e-20, "0"},
        {float_text::FORMAT_FLOAT64, -INF, "-1.#INF"},
        {float_text::FORMAT_PERCENT64, NaN, "1.#NaN"},
    };
    for (const Row& row : rows)
        EXPECT_STREQ(float_text::format(row.value, row.mode).c_str(), row.text) << "mode " << row.mode << " " << row.text;
}

TEST(FloatCompare, AnswersEachOpWithNearEqualityAndTheNaNRules) {
    using namespace actions;
    Cell string = test::text_cell(U"1");
    struct Row {
        double value;
        Cell other;
        int32_t op;
        int32_t expected;
    } rows[] = {
        {0.1 + 0.2, float_cell(0.3), COMP_EQUAL, 0},
        {0.1 + 0.2, float_cell(0.3), COMP_NOT_EQUAL, 0},
        {0.1 + 0.2, float_cell(0.3), COMP_STRICT_EQUAL, 1},
        {0.1 + 0.2, float_cell(0.3), COMP_GREATER, 1},
        {1.0, float_cell(1.0 + 11 * ULP_AT_ONE), COMP_EQUAL, 1},  // 11 units in the last place apart
        {1.0, float_cell(1.0 + 10 * ULP_AT_ONE), COMP_EQUAL, 0},
        {1e-300, float_cell(-1e-300), COMP_EQUAL, 0},  // within epsilon, across zero
        {2.0, integer_cell(2), COMP_EQUAL, 0},
        {2.0, integer_cell(3), COMP_LESSER, -1},
        {2.0, integer_cell(2), COMP_STRICT_EQUAL, 1},
        {0.5, float_cell(0.5, TYPE_PERCENT), COMP_EQUAL, 0},
        {0.5, float_cell(0.5, TYPE_PERCENT), COMP_FIND, 1},
        {0.5, float_cell(0.5, TYPE_PERCENT), COMP_SAME, 1},
        {-0.0, float_cell(0.0), COMP_STRICT_EQUAL, 0},
        {-0.0, float_cell(0.0), COMP_SAME, 1},
        {2.5, float_cell(2.5), COMP_SAME, 0},
        {NaN, float_cell(NaN), COMP_EQUAL, 1},
        {NaN, float_cell(NaN), COMP_STRICT_EQUAL, 1},
        {NaN, float_cell(NaN), COMP_SAME, 0},
        {NaN, float_cell(1.0), COMP_LESSER, 1},
        {NaN, float_cell(1.0), COMP_LESSER_EQUAL, 1},
        {1.0, float_cell(NaN), COMP_GREATER, -1},
        {1.0, float_cell(NaN), COMP_GREATER_EQUAL, -1},
        {1.0, float_cell(NaN), COMP_FIND, 1},
        {NaN, float_cell(1.0), COMP_SORT, 0},
        {1.0, string, COMP_EQUAL, -2},
        {1.0, string, COMP_LESSER, -2},
        {1.0, string, COMP_STRICT_EQUAL, 1},
        {1.0, Cell{TYPE_CHAR, 0, 1, 0}, COMP_EQUAL, -2},
    };
    for (const Row& row : rows) {
        Cell value = float_cell(row.value);
        EXPECT_EQ(actions::compare_typed(&value, &row.other, row.op), row.expected)
            << row.value << " op " << row.op << " other type " << cell_type(&row.other);
    }
    // Through the dispatcher: NaN is neither equal to, below nor above anything.
    Cell nan = float_cell(NaN), one = float_cell(1.0);
    for (int32_t op : {COMP_EQUAL, COMP_LESSER, COMP_LESSER_EQUAL, COMP_GREATER, COMP_GREATER_EQUAL})
        EXPECT_FALSE(compare(&nan, &one, op) || compare(&one, &nan, op)) << "op " << op;
    EXPECT_TRUE(compare(&nan, &one, COMP_NOT_EQUAL));
    // An integer on the left is compared as a float.
    Cell two = integer_cell(2), two_and_a_half = float_cell(2.5);
    EXPECT_TRUE(compare(&two, &two_and_a_half, COMP_LESSER));
    EXPECT_TRUE(compare(&two, &one, COMP_GREATER));
}

TEST(FloatCompare, Float32NearEqualityCountsUnitsInTheLastPlace) {
    float one = 1.0f;
    float ten_up = std::bit_cast<float>(std::bit_cast<uint32_t>(one) + 10);
    float eleven_up = std::bit_cast<float>(std::bit_cast<uint32_t>(one) + 11);
    float largest = std::numeric_limits<float>::max();
    EXPECT_TRUE(float_::float32_near_equal(one, ten_up));
    EXPECT_FALSE(float_::float32_near_equal(one, eleven_up));
    EXPECT_TRUE(float_::float32_near_equal(0.0f, -0.0f));
    EXPECT_FALSE(float_::float32_near_equal(std::nanf(""), std::nanf("")));
    EXPECT_TRUE(float_::float32_near_equal(largest, std::numeric_limits<float>::infinity()));
    EXPECT_FALSE(float_::float32_near_equal(-largest, std::numeric_limits<float>::infinity()));
}

using MathAction = Cell* (*)(Cell*, Cell*);

// float!'s arithmetic entries, which percent! inherits and integer! hands
// float operands to; time! on the left reaches them only this way.
struct FloatEntries {
    MathAction add = test::entry_of<registry::SLOT_ADD>(TYPE_FLOAT);
    MathAction subtract = test::entry_of<registry::SLOT_SUBTRACT>(TYPE_FLOAT);
    MathAction multiply = test::entry_of<registry::SLOT_MULTIPLY>(TYPE_FLOAT);
    MathAction divide = test::entry_of<registry::SLOT_DIVIDE>(TYPE_FLOAT);
    MathAction remainder = test::entry_of<registry::SLOT_REMAINDER>(TYPE_FLOAT);
};

TEST(FloatMath, ComputesInIEEEArithmeticAndPicksTheResultType) {
    auto [add, subtract, multiply, divide, remainder] = FloatEntries{};
    struct Row {
        const char* name;
        MathAction action;
        Cell left, right;
        uint32_t type;
        double expected;
    } rows[] = {
        {"1.5 + 2.25", add, float_cell(1.5), float_cell(2.25), TYPE_FLOAT, 3.75},
        {"1.5 - 2", subtract, float_cell(1.5), integer_cell(2), TYPE_FLOAT, -0.5},
        {"1.5 * #\"A\"", multiply, float_cell(1.5), Cell{TYPE_CHAR, 0, 65, 0}, TYPE_FLOAT, 97.5},
        {"1 / 0.0", divide, float_cell(1.0), float_cell(0.0), TYPE_FLOAT, INF},
        {"-1 / 0.0", divide, float_cell(-1.0), float_cell(0.0), TYPE_FLOAT, -INF},
        {"0.0 / 0.0", divide, float_cell(0.0), float_cell(0.0), TYPE_FLOAT, NaN},
        {"7.5 // 2", remainder, float_cell(7.5), integer_cell(2), TYPE_FLOAT, 1.5},
        {"-7.5 // 2", remainder, float_cell(-7.5), integer_cell(2), TYPE_FLOAT, -1.5},
        {"7.5 // 0.0", remainder, float_cell(7.5), float_cell(0.0), TYPE_FLOAT, NaN},
        {"7.5 // inf", remainder, float_cell(7.5), float_cell(INF), TYPE_FLOAT, 7.5},
        {"7.5 // NaN", remainder, float_cell(7.5), float_cell(NaN), TYPE_FLOAT, NaN},
        {"inf // inf", remainder, float_cell(INF), float_cell(INF), TYPE_FLOAT, NaN},
        {"integer 1 + 2.5", add, integer_cell(1), float_cell(2.5), TYPE_FLOAT, 3.5},
        {"50% * 2", multiply, float_cell(0.5, TYPE_PERCENT), integer_cell(2), TYPE_PERCENT, 1.0},
        {"50% * 50%", multiply, float_cell(0.5, TYPE_PERCENT), float_cell(0.5, TYPE_PERCENT), TYPE_PERCENT,
         0.25},
        {"2.0 * 50%", multiply, float_cell(2.0), float_cell(0.5, TYPE_PERCENT), TYPE_FLOAT, 1.0},
        {"50% + time", add, float_cell(0.5, TYPE_PERCENT), float_cell(60.0, TYPE_TIME), TYPE_TIME, 60.5},
        {"time + 1", add, float_cell(60.0, TYPE_TIME), integer_cell(1), TYPE_TIME, 61.0},
        {"integer 2 * time", multiply, integer_cell(2), float_cell(60.0, TYPE_TIME), TYPE_TIME, 120.0},
        {"time - time", subtract, float_cell(90.0, TYPE_TIME), float_cell(60.0, TYPE_TIME), TYPE_TIME, 30.0},
    };
    for (Row& row : rows) {
        EXPECT_EQ(row.action(&row.left, &row.right), &row.left) << row.name;
        expect_value(row.left, row.type, row.expected, row.name);
    }
}

TEST(FloatMath, IntegerOperandsReachTheFloatKernelThroughIntegerActions) {
    Cell one = integer_cell(1), two_and_a_half = float_cell(2.5);
    actions::add(&one, &two_and_a_half);
    expect_value(one, TYPE_FLOAT, 3.5, "1 + 2.5");
    Cell ten = integer_cell(10), quarter = float_cell(0.25);
    actions::divide(&ten, &quarter);
    expect_value(ten, TYPE_FLOAT, 40.0, "10 / 0.25");
    Cell max = integer_cell(integer::MAX), unit = integer_cell(1);
    actions::add(&max, &unit);
    expect_value(max, TYPE_FLOAT, 2147483648.0, "2147483647 + 1");
    Cell seven = integer_cell(7), half = float_cell(0.5);
    actions::round(&seven, {.scale = &half});
    expect_value(seven, TYPE_FLOAT, 7.0, "round/to 7 0.5");
}

TEST(FloatMath, OperandsItCannotTakeRaise) {
    Cell string = test::text_cell(U"x");
    const uint32_t invalid_type = error_code(err::script::invalid_type);
    const uint32_t not_related = error_code(err::script::not_related);
    auto [add, subtract, multiply, divide, remainder] = FloatEntries{};
    struct Row {
        const char* name;
        MathAction action;
        Cell left, right;
        uint32_t code;
    } rows[] = {
        {"1.0 + string", add, float_cell(1.0), string, invalid_type},
        {"50% + char", add, float_cell(0.5, TYPE_PERCENT), Cell{TYPE_CHAR, 0, 65, 0}, invalid_type},
        {"time * char", multiply, float_cell(1.0, TYPE_TIME), Cell{TYPE_CHAR, 0, 65, 0}, invalid_type},
        {"time + pair", add, float_cell(1.0, TYPE_TIME), Cell{TYPE_PAIR, 1, 2, 0}, invalid_type},
        {"1.0 - pair", subtract, float_cell(1.0), Cell{TYPE_PAIR, 1, 2, 0}, not_related},
        {"1.0 / point", divide, float_cell(1.0), Cell{TYPE_POINT2D, 0, 0, 0}, not_related},
        {"1.0 - vector", subtract, float_cell(1.0), Cell{TYPE_VECTOR, 0, 0, 0}, not_related},
        {"1.0 / money", divide, float_cell(1.0), Cell{TYPE_MONEY, 0, 0, 0}, invalid_type},
        {"time * money", multiply, float_cell(1.0, TYPE_TIME), Cell{TYPE_MONEY, 0, 0, 0}, invalid_type},
    };
    for (Row& row : rows) EXPECT_EQ(test::raised([&] { row.action(&row.left, &row.right); }), row.code) << row.name;

    EXPECT_EQ(test::raised([&] { Cell v = float_cell(2.0); actions::power(&v, &string); }),
              error_code(err::script::expect_arg));
}

TEST(FloatMath, PowerNegateAbsoluteEvenOdd) {
    Cell v = float_cell(4.0), half = float_cell(0.5);
    expect_value(*actions::power(&v, &half), TYPE_FLOAT, 2.0, "4.0 ** 0.5");
    v = float_cell(0.5, TYPE_PERCENT);
    Cell two = integer_cell(2);
    expect_value(*actions::power(&v, &two), TYPE_PERCENT, 0.25, "50% ** 2");
    for (double zero : {0.0, -0.0}) {
        v = float_cell(zero);
        expect_value(*actions::negate(&v), TYPE_FLOAT, 0.0, "negate a zero");
    }
    v = float_cell(-1.5, TYPE_TIME);
    expect_value(*actions::absolute(&v), TYPE_TIME, 1.5, "absolute of a time");
    struct Row {
        double value;
        bool even;
    } rows[] = {{3.7, false}, {-3.7, false}, {4.2, true}, {1e10, true}, {NaN, true}, {0.5, true}};
    for (const Row& row : rows) {
        Cell c = float_cell(row.value);
        EXPECT_EQ(actions::even(&c), row.even) << row.value;
        EXPECT_EQ(actions::odd(&c), !row.even) << row.value;
    }
}

using actions::Rounding;

TEST(FloatRound, EachRefinementAndScale) {
    constexpr Rounding none = Rounding::half_away, even = Rounding::half_even, down = Rounding::down,
                       half_down = Rounding::half_down, floor = Rounding::floor, ceiling = Rounding::ceiling,
                       half_ceiling = Rounding::half_ceiling;
    Cell cent = float_cell(0.01), two = integer_cell(2), tiny = float_cell(1e-310), zero = float_cell(0.0);
    struct Row {
        Cell value;
        const Cell* scale;
        Rounding how;
        uint32_t type;
        double expected;
    } rows[] = {
        {float_cell(2.5), nullptr, none, TYPE_FLOAT, 3.0},
        {float_cell(-2.5), nullptr, none, TYPE_FLOAT, -3.0},
        {float_cell(2.4), nullptr, none, TYPE_FLOAT, 2.0},
        {float_cell(2.5), nullptr, even, TYPE_FLOAT, 2.0},
        {float_cell(3.5), nullptr, even, TYPE_FLOAT, 4.0},
        {float_cell(-2.5), nullptr, even, TYPE_FLOAT, -2.0},
        {float_cell(2.5), nullptr, half_down, TYPE_FLOAT, 2.0},
        {float_cell(-2.5), nullptr, half_ceiling, TYPE_FLOAT, -2.0},
        {float_cell(2.5), nullptr, half_ceiling, TYPE_FLOAT, 3.0},
        {float_cell(-2.7), nullptr, down, TYPE_FLOAT, -2.0},
        {float_cell(-2.2), nullptr, floor, TYPE_FLOAT, -3.0},
        {float_cell(-2.7), nullptr, ceiling, TYPE_FLOAT, -2.0},
        {float_cell(-0.4), nullptr, none, TYPE_FLOAT, -0.0},
        {float_cell(1.2345), &cent, none, TYPE_FLOAT, 1.23},
        {float_cell(7.3), &two, none, TYPE_INTEGER, 0},  // checked as an integer below
        {float_cell(1.2345, TYPE_PERCENT), nullptr, none, TYPE_PERCENT, 1.23},
        {float_cell(3e-310), &tiny, none, TYPE_FLOAT, 3e-310},  // a subnormal unit
        {float_cell(1e300), nullptr, none, TYPE_FLOAT, 1e300},  // beyond 2^53 units: unchanged
        {float_cell(1.5), &zero, none, TYPE_FLOAT, 1.5},
        {float_cell(INF), nullptr, none, TYPE_FLOAT, INF},
    };
    for (Row& row : rows) {
        Cell* result = actions::round(&row.value, {.scale = row.scale, .mode = row.how});
        EXPECT_EQ(result, &row.value);
        if (row.type == TYPE_INTEGER) {
            EXPECT_EQ(cell_type(result), TYPE_INTEGER);
            EXPECT_EQ(integer::get(result), 8);
        } else {
            expect_value(*result, row.type, row.expected, std::to_string(row.expected));
        }
    }
}

TEST(FloatRound, MoneyScalesAndUnrepresentableResultsRaise) {
    Cell money{TYPE_MONEY, 0, 0, 0}, one = integer_cell(1), big_unit = float_cell(1e308);
    const uint32_t overflow = error_code(err::math::overflow);
    struct Row {
        const char* name;
        double value;
        const Cell* scale;
        uint32_t code;
    } rows[] = {
        {"money scale", 1.5, &money, error_code(err::script::not_related)},
        {"integer scale, result beyond 32 bits", 1e10, &one, overflow},
        {"multiple beyond the largest float", 1.7e308, &big_unit, overflow},
    };
    for (const Row& row : rows) {
        Cell value = float_cell(row.value);
        EXPECT_EQ(test::raised([&] { actions::round(&value, {.scale = row.scale}); }), row.code)
            << row.name;
    }
}

TEST(FloatMake, ConvertsEachKindOfSpec) {
    Cell block{};
    block::make_at(&block, 2);
    integer::make_in(&block, 15);
    integer::make_in(&block, -1);
    Cell three_tenths{};
    block::make_at(&three_tenths, 2);
    integer::make_in(&three_tenths, 3);
    float_::make_in(&three_tenths, -1.9);  // the exponent is truncated
    struct Row {
        const char* name;
        Cell spec_value;
        uint32_t target;
        double expected;
    } rows[] = {
        {"integer", integer_cell(-3), TYPE_FLOAT, -3.0},
        {"char", Cell{TYPE_CHAR, 0, 65, 0}, TYPE_FLOAT, 65.0},
        {"percent", float_cell(0.5, TYPE_PERCENT), TYPE_FLOAT, 0.5},
        {"float to percent", float_cell(0.5), TYPE_PERCENT, 0.5},
        {"time", float_cell(90.5, TYPE_TIME), TYPE_FLOAT, 90.5},
        {"#{3FF0000000000000}", test::binary_cell(std::string("\x3F\xF0\0\0\0\0\0\0", 8)), TYPE_FLOAT, 1.0},
        {"#{01} fills the low byte", test::binary_cell("\x01"), TYPE_FLOAT, 5e-324},
        {"#{} is zero", test::binary_cell(""), TYPE_FLOAT, 0.0},
        {"[15 -1]", block, TYPE_FLOAT, 1.5},
        {"[3 -1.9]", three_tenths, TYPE_FLOAT, 0.3},
        {"\"1.5\"", test::text_cell(U"1.5"), TYPE_FLOAT, 1.5},
        {"\"1,5\"", test::text_cell(U"1,5", 2), TYPE_FLOAT, 1.5},
        {"\"1'000.25\"", test::text_cell(U"1'000.25", 4), TYPE_FLOAT, 1000.25},
        {"\"1e309\"", test::text_cell(U"1e309"), TYPE_FLOAT, INF},
        // percent! loads its text: a percent keeps its value, a number is taken as it is
        {"\"50%\" to percent", test::text_cell(U"50%"), TYPE_PERCENT, 0.5},
        {"\"2\" to percent", test::text_cell(U" 2 "), TYPE_PERCENT, 2.0},
    };
    for (const Row& row : rows) {
        Cell result{TYPE_DATATYPE, row.target, 0, 0};
        EXPECT_EQ(test::raised([&] { actions::make(&result, &row.spec_value); }), 0u) << row.name;
        expect_value(result, row.target, row.expected, row.name);
    }
}

TEST(FloatMake, SpecsThatAreNoNumberRaiseBadToArg) {
    Cell one_value{};
    block::make_at(&one_value, 1);
    integer::make_in(&one_value, 15);
    Cell with_text{};
    block::make_at(&with_text, 2);
    integer::make_in(&with_text, 15);
    Cell text = test::text_cell(U"2");
    block::rs_append(&with_text, &text);
    Cell rows[] = {one_value, with_text, test::text_cell(U"12abc"), test::text_cell(U"١٢"),
                   test::text_cell(U""), Cell{TYPE_NONE, 0, 0, 0}};
    for (const Cell& spec_value : rows) {
        Cell result{TYPE_DATATYPE, TYPE_FLOAT, 0, 0};
        EXPECT_EQ(test::raised([&] { actions::make(&result, &spec_value); }),
                  error_code(err::script::bad_to_arg))
            << "spec type " << cell_type(&spec_value);
    }
    Cell percent_texts[] = {test::text_cell(U"1 2"), test::text_cell(U"abc"), test::text_cell(U"1.2.3"),
                            test::text_cell(U"[")};
    for (const Cell& spec_value : percent_texts) {
        Cell result{TYPE_DATATYPE, TYPE_PERCENT, 0, 0};
        EXPECT_EQ(test::raised([&] { actions::make(&result, &spec_value); }),
                  error_code(err::script::bad_to_arg))
            << test::utf8(spec_value);
    }
}

TEST(FloatRandom, ScalesTheValueKeepingItsTypeAndSeedingRepeatsTheDraws) {
    auto draws = [] {
        Cell seed = float_cell(42.0);
        EXPECT_EQ(cell_type(actions::random(&seed, true, false, false)), TYPE_UNSET);
        double out[5];
        for (double& d : out) {
            Cell v = float_cell(-10.0, TYPE_PERCENT);
            actions::random(&v, false, false, false);
            EXPECT_EQ(cell_type(&v), TYPE_PERCENT);
            d = float_::get(&v);
            EXPECT_TRUE(d <= 0.0 && d >= -10.0) << d;
        }
        return std::vector<double>(out, out + 5);
    };
    EXPECT_EQ(draws(), draws());
    for (int i = 0; i < 50; i++) {
        Cell v = float_cell(3.0);
        actions::random(&v, false, true, false);
        EXPECT_TRUE(float_::get(&v) >= 0.0 && float_::get(&v) <= 3.0);
    }
}

}  // namespace
}  // namespace vek
