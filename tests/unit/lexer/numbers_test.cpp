#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "runtime/core/raise.h"
#include "runtime/datatypes/compound/date.h"
#include "runtime/datatypes/number/float.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/object/error.h"
#include "runtime/datatypes/string/buffer.h"
#include "runtime/lexer/lexer.h"
#include "runtime/memory/series.h"
#include "runtime/text/to_number.h"
#include "tests/unit/support/dispatch.h"
#include "tests/unit/support/load_and_mold.h"
#include "tests/unit/support/string_cells.h"
#include "tests/unit/support/support.h"

namespace vek {
namespace {

constexpr double INF = std::numeric_limits<double>::infinity();

using test::expect_molds;
using test::load;
using test::load_error;
using test::load_one;
using test::molded;
using test::MoldRow;
using test::text_cell;

// The datatype the scan-only mode reports: error! for a malformed token.
uint32_t checked_type(std::string_view source) {
    Cell text = test::binary_cell(source);
    Cell result{};
    auto bytes = reinterpret_cast<const uint8_t*>(series_buffer(&text)->first());
    return lexer::scan(&result, bytes, uint32_t(source.size()), {.mode = lexer::Mode::scan, .one = true},
                       nullptr, &text, nullptr);
}

TEST(LexerNumbers, IntegersAndTheirOverflowToFloat) {
    struct Row {
        const char* source;
        uint32_t type;
        double value;
    } rows[] = {
        {"0", TYPE_INTEGER, 0},
        {"+7", TYPE_INTEGER, 7},
        {"-7", TYPE_INTEGER, -7},
        {"1'000'000", TYPE_INTEGER, 1000000},
        {"2147483647", TYPE_INTEGER, 2147483647},
        {"-2147483648", TYPE_INTEGER, -2147483648.0},
        {"-2'147'483'648", TYPE_INTEGER, -2147483648.0},
        {"2147483648", TYPE_FLOAT, 2147483648.0},
        {"-2147483649", TYPE_FLOAT, -2147483649.0},
        {"12345678901", TYPE_FLOAT, 12345678901.0},
        {"00000000001", TYPE_FLOAT, 1.0},  // past ten digits, whatever they are
        {"FFh", TYPE_INTEGER, 255},
        {"0Ah", TYPE_INTEGER, 10},
        {"7FFFFFFFh", TYPE_INTEGER, 2147483647},
        {"FFFFFFFFh", TYPE_INTEGER, -1},
    };
    for (const Row& row : rows) {
        Cell value = load_one(row.source);
        ASSERT_EQ(cell_type(&value), row.type) << row.source;
        double got = row.type == TYPE_INTEGER ? double(integer::get(&value)) : float_::get(&value);
        EXPECT_EQ(got, row.value) << row.source;
    }
}

// A token's value ends where its text ends: the "h" belongs to the token, the
// "%" and the ")" of a point are consumed, and the delimiter after them is
// not.
TEST(LexerNumbers, TokenEndsAreExact) {
    const MoldRow rows[] = {
        {"[FFh]", "[[255]]"},
        {"[FFh 1]", "[[255 1]]"},
        {"[50%]", "[[50%]]"},
        {"[1.5e3]", "[[1500.0]]"},
        {"[(1, 2)]", "[[(1, 2)]]"},
        {"[1x2 1.2.3 1:30 $1 1-Jan-2000]", "[[1x2 1.2.3 1:30:00 $1.00 1-Jan-2000]]"},
        {"(1, 2)(3, 4, 5)", "[(1, 2) (3, 4, 5)]"},
    };
    expect_molds(rows, std::size(rows));
}

TEST(LexerNumbers, ValuesAfterALineBreakKeepTheirMarker) {
    for (const char* source : {"1\n$1", "1\nUSD$1", "1\n2", "1\n50%", "1\n1:00", "1\n1-Jan-2000", "1\n(1, 2)", "1\n1.2.3"}) {
        Cell block = load(source);
        ASSERT_EQ(series_buffer(&block)->length(), 2u) << source;
        EXPECT_TRUE(series_buffer(&block)->cells()[1].header & CELL_NEW_LINE) << source;
    }
}

TEST(LexerNumbers, FloatsAndPercentsReadTheExactDecimal) {
    struct Row {
        const char* source;
        uint32_t type;
        double value;
    } rows[] = {
        {"1.5", TYPE_FLOAT, 1.5},
        {".5", TYPE_FLOAT, 0.5},
        {"0.1", TYPE_FLOAT, 0.1},
        {"1e3", TYPE_FLOAT, 1000},
        {"1.5E-3", TYPE_FLOAT, 0.0015},
        {"1'000.25", TYPE_FLOAT, 1000.25},
        {"1.7976931348623157e308", TYPE_FLOAT, 1.7976931348623157e308},
        {"1e309", TYPE_FLOAT, INF},
        {"-1e309", TYPE_FLOAT, -INF},
        {"1e-400", TYPE_FLOAT, 0.0},
        {"1.#INF", TYPE_FLOAT, INF},
        {"-1.#inf", TYPE_FLOAT, -INF},
        // The fraction is the decimal moved two places, never a division
        // by 100 after rounding.
        {"50%", TYPE_PERCENT, 0.5},
        {"0.7%", TYPE_PERCENT, 0.007},
        {"12.5%", TYPE_PERCENT, 0.125},
        {"-3%", TYPE_PERCENT, -0.03},
    };
    for (const Row& row : rows) {
        Cell value = load_one(row.source);
        ASSERT_EQ(cell_type(&value), row.type) << row.source;
        EXPECT_EQ(float_::get(&value), row.value) << row.source;
    }
    Cell minus_zero = load_one("-0.0");
    EXPECT_TRUE(std::signbit(float_::get(&minus_zero)));
    Cell nan = load_one("1.#nan");
    ASSERT_EQ(cell_type(&nan), TYPE_FLOAT);
    EXPECT_TRUE(std::isnan(float_::get(&nan)));
}

TEST(LexerNumbers, PairsPointsTuplesAndTimes) {
    const MoldRow rows[] = {
        {"10x20 10x-3 -1X2", "[10x20 10x-3 -1x2]"},
        {"(1, 2) (1.5,-2, 3e2) ( 1 ,\t2 )", "[(1, 2) (1.5, -2, 300) (1, 2)]"},
        {"1.2.3 255.0.0.128", "[1.2.3 255.0.0.128]"},
        {"1.2.3.4.5.6.7.8.9.10.11.12", "[1.2.3.4.5.6.7.8.9.10.11.12]"},
        {"1:30 +1:00 1:02:03.5", "[1:30:00 1:00:00 1:02:03.5]"},
        // A minus sign makes the whole time negative, whatever the first
        // field's value; with a fraction the fields are minutes and seconds.
        {"-0:30 1:30.5 -1:30.5 100:00", "[-0:30:00 0:01:30.5 -0:01:30.5 100:00:00]"},
    };
    expect_molds(rows, std::size(rows));
}

TEST(LexerNumbers, DatesOfEveryForm) {
    const MoldRow rows[] = {
        {"1-Jan-2000 15-mar-2024 1-Sept-2000", "[1-Jan-2000 15-Mar-2024 1-Sep-2000]"},
        {"2024-03-15 2024/3/15 15/3/2024 15-03-2024", "[15-Mar-2024 15-Mar-2024 15-Mar-2024 15-Mar-2024]"},
        // Two-digit years fall in 1950-2049; three digits are taken as they are.
        {"1-jan-20 1-jan-70 1-jan-020", "[1-Jan-2020 1-Jan-1970 1-Jan-0020]"},
        {"29-Feb-2024", "[29-Feb-2024]"},
        {"1-Jan-2000/10:30 1-Jan-2000/1:02:03.5", "[1-Jan-2000/10:30:00 1-Jan-2000/1:02:03.5]"},
        {"2024-03-15T10:30:00+05:30 1-Jan-2000/10:00-3:30",
         "[15-Mar-2024/10:30:00+05:30 1-Jan-2000/10:00:00-03:30]"},
        // A zone under an hour west of UTC keeps its sign.
        {"1-Jan-2000/10:00-0:30 1-Jan-2000/10:00-00:45", "[1-Jan-2000/10:00:00-00:30 1-Jan-2000/10:00:00-00:45]"},
        {"1-Jan-2000/10:00Z", "[1-Jan-2000/10:00:00]"},
        // Basic ISO form.
        {"20240102T1030Z 20240102T103045-0130", "[2-Jan-2024/10:30:00 2-Jan-2024/10:30:45-01:30]"},
        // ISO week dates: 2021 starts on a Friday, so its week 1 starts on
        // 4 January.
        {"2024-W01-1 2024-W01-7 2021-W01 2021-W01-3 2024-W00", "[1-Jan-2024 7-Jan-2024 4-Jan-2021 6-Jan-2021 1-Jan-2024]"},
        {"2024-W10-5T12:00", "[8-Mar-2024/12:00:00]"},
        // Ordinal dates.
        {"2024-060 2023-365 2024-366/6:00", "[29-Feb-2024 31-Dec-2023 31-Dec-2024/6:00:00]"},
    };
    expect_molds(rows, std::size(rows));
    Cell zoned = load_one("1-Jan-2000/10:00-0:30");
    EXPECT_EQ(date::zone_seconds(date::packed_date(&zoned)), -1800);
    EXPECT_EQ(cell_get_f64(&zoned), 36000.0 + 1800.0);  // stored as UTC
}

TEST(LexerNumbers, Money) {
    const MoldRow rows[] = {
        {"$1 $1.00 USD$1.00 -$1.50 +$2", "[$1.00 $1.00 USD$1.00 -$1.50 $2.00]"},
        {"$1'234.5 $0001.25 $0.5 eur$3", "[$1234.50 $1.25 $0.50 EUR$3.00]"},
        {"$12345678901234567.12345", "[$12345678901234567.12]"},
    };
    expect_molds(rows, std::size(rows));
}

TEST(LexerNumbers, MalformedNumbersAreSyntaxErrorsOfTheirType) {
    struct Row {
        const char* source;
        const char* message;
    } rows[] = {
        {"1''000", "*** Syntax Error: (line 1) invalid integer at 1''000"},
        {"FFFFFFFFFh", "*** Syntax Error: (line 1) invalid integer at FFFFFFFFFh"},
        {"Ah", "*** Syntax Error: (line 1) invalid word at Ah"},
        {"1e5+3", "*** Syntax Error: (line 1) invalid float at 1e5+3"},
        {"1.#INFINITY", "*** Syntax Error: (line 1) invalid float at 1.#INFINITY"},
        {"1.5x2", "*** Syntax Error: (line 1) invalid pair at 1.5x2"},
        {"1x99999999999", "*** Syntax Error: (line 1) invalid pair at 1x99999999999"},
        {"(1, 2, 3, 4)", "*** Syntax Error: (line 1) invalid point3D at 1, 2, 3, 4)"},
        {"(1, 2 3)", "*** Syntax Error: (line 1) invalid point2D at 1, 2 3)"},
        {"(1, 2e)", "*** Syntax Error: (line 1) invalid float at 1, 2e)"},
        {"1.2.3.4.5.6.7.8.9.10.11.12.13", "*** Syntax Error: (line 1) invalid tuple at 1.2.3.4.5.6.7.8.9.10.11.12.13"},
        {"1.256.3", "*** Syntax Error: (line 1) invalid tuple at 1.256.3"},
        {"1:30:", "*** Syntax Error: (line 1) invalid time at 1:30:"},
        {"US$1", "*** Syntax Error: (line 1) invalid money at US$1"},
        {"$1.123456", "*** Syntax Error: (line 1) invalid money at $1.123456"},
        {"$1''0", "*** Syntax Error: (line 1) invalid money at $1''0"},
        {"XYZ$1", "*** Syntax Error: (line 1) invalid money at XYZ$1"},
        {"$123456789012345678", "*** Syntax Error: (line 1) invalid money at $123456789012345678"},
        {"\n29-Feb-2023", "*** Syntax Error: (line 2) invalid date at 29-Feb-2023"},
    };
    for (const Row& row : rows) EXPECT_EQ(load_error(row.source), row.message) << row.source;
}

TEST(LexerNumbers, InvalidDatesAreRejected) {
    const char* rows[] = {
        "29-Feb-2023", "32-Jan-2000", "1-Foo-2000", "1-Ma-2000", "1-13-2000", "0-Jan-2000",
        "1-Jan-10000", "1-Jan-2000/24:00", "1-Jan-2000/10:60", "1-Jan-2000/10:00:60",
        "1-Jan-2000/10:00+16:00", "1-Jan-2000/10:00+1:60", "1-Jan-2000/10:30:", "1-Jan-2000x",
        "2024-W01-8", "2024-W01-0", "2024-000", "2023-366", "20240102T10", "20240102T1030+01",
        "1-Jan/2000",
    };
    for (const char* source : rows) {
        EXPECT_NE(load_error(source).find("invalid date at"), std::string::npos) << source;
        EXPECT_EQ(checked_type(source), uint32_t(TYPE_ERROR)) << source;
    }
}

// ---------------------------------------------------------------- conversions from strings

TEST(TextToNumber, ScanIntegerStatus) {
    struct Row {
        std::u32string_view text;
        int32_t value;
        int32_t status;
    } rows[] = {
        {U"1'000'000", 1000000, 0},
        {U"'1'", 1, 0},
        {U"+7", 7, 0},
        {U"-2147483648", integer::MIN, 0},
        {U"-2'147'483'648", integer::MIN, 0},
        {U"2147483647", integer::MAX, 0},
        {U"2147483648", 0, lexer::INTEGER_OVERFLOW},
        {U"-21474836480", 0, lexer::INTEGER_OVERFLOW},
        {U"12a", 0, lexer::NOT_A_NUMBER},
        {U"", 0, lexer::NOT_A_NUMBER},
        {U"-", 0, lexer::NOT_A_NUMBER},
        {U"1.5", 0, lexer::NOT_A_NUMBER},
        {U"\u0661", 0, lexer::NOT_A_NUMBER},  // an Arabic-Indic digit
    };
    for (uint32_t unit : {1u, 2u, 4u}) {
        for (const Row& row : rows) {
            bool fits = std::all_of(row.text.begin(), row.text.end(), [&](char32_t c) { return unit > 1 || c < 0x100; });
            if (!fits) continue;
            Cell text = text_cell(row.text, unit);
            int32_t status = 99;
            int32_t value = lexer::scan_integer(series_buffer(&text)->first(), uint32_t(row.text.size()), unit, &status);
            EXPECT_EQ(status, row.status) << unit;
            EXPECT_EQ(value, row.value) << unit;
        }
    }
}

TEST(TextToNumber, ScanFloatStatus) {
    struct Row {
        std::u32string_view text;
        double value;
        bool ok;
    } rows[] = {
        {U"1,5", 1.5, true},
        {U"1'000.25", 1000.25, true},
        {U"-2.5e-3", -0.0025, true},
        {U"1e400", INF, true},
        {U".", 0, false},
        {U"1.2.3", 0, false},
        {U"1e", 0, false},
        {U"abc", 0, false},
        {U"\uFF11.5", 0, false},  // a full-width digit
        {U"1\u0662", 0, false},
    };
    for (const Row& row : rows) {
        Cell text = text_cell(row.text, 2);
        int32_t status = 99;
        double value = lexer::scan_float(series_buffer(&text)->first(), uint32_t(row.text.size()), 2, &status);
        EXPECT_EQ(status, row.ok ? 0 : lexer::NOT_A_NUMBER);
        if (row.ok) {
            EXPECT_EQ(value, row.value);
        } else {
            EXPECT_TRUE(std::isnan(value));
        }
    }
    std::u32string long_text(313, U'1');
    Cell text = text_cell(long_text);
    int32_t status = 0;
    lexer::scan_float(series_buffer(&text)->first(), 313, 1, &status);
    EXPECT_EQ(status, lexer::NOT_A_NUMBER);
}

TEST(TextToNumber, ScanMoneyStatus) {
    struct Row {
        std::u32string_view text;
        const char* molded;  // nullptr: not money
    } rows[] = {
        {U"$1.50", "$1.50"},          {U"-$1.50", "-$1.50"}, {U"USD$1'000.50", "USD$1000.50"},
        {U"1.5", "$1.50"},            {U"+2", "$2.00"},      {U"USD1.5", nullptr},
        {U"US$1", nullptr},           {U"$.5", nullptr},     {U"$1.", nullptr},
        {U"$1''0", nullptr},          {U"$'1", nullptr},     {U"$1'", nullptr},
        {U"$1.0'0", nullptr},         {U"$1.2.3", nullptr},  {U"$", nullptr},
        {U"", nullptr},               {U"-", nullptr},       {U"XYZ$1", nullptr},
        {U"$\u0661", nullptr},
    };
    for (const Row& row : rows) {
        Cell text = text_cell(row.text, 2);
        Cell money{};
        int32_t status = 99;
        lexer::scan_money(series_buffer(&text)->first(), uint32_t(row.text.size()), 2, &status, &money);
        EXPECT_EQ(status, row.molded ? 0 : lexer::NOT_A_NUMBER) << test::utf8(text);
        if (row.molded) {
            EXPECT_EQ(molded(money), row.molded);
        }
    }
}

TEST(TextToNumber, TextToFloatEdges) {
    struct Row {
        const char* text;
        int32_t adjust;
        double value;
        int32_t remaining;
    } rows[] = {
        {"0.1", 0, 0.1, 0},
        {"1.7976931348623157e308", 0, 1.7976931348623157e308, 0},
        {"1e309", 0, INF, 0},
        {"4.9e-324", 0, 4.9406564584124654e-324, 0},
        {"1e-400", 0, 0.0, 0},
        {"50", -2, 0.5, 0},
        {"0.7", -2, 0.007, 0},
        {"12abc", 0, 12.0, 3},
        {"1e+", 0, 1.0, 2},
        {"-1.#INF", 0, -INF, 0},
        {"x", 0, 0.0, 1},
    };
    for (const Row& row : rows) {
        int32_t remaining = 99;
        double value = dtoa::text_to_float(row.text, row.text + std::strlen(row.text), row.adjust, &remaining);
        EXPECT_EQ(value, row.value) << row.text;
        EXPECT_EQ(remaining, row.remaining) << row.text;
    }
    int32_t remaining;
    const char* minus_zero = "-0.0";
    EXPECT_TRUE(std::signbit(dtoa::text_to_float(minus_zero, minus_zero + 4, 0, &remaining)));
    const char* bare = "-0";
    EXPECT_FALSE(std::signbit(dtoa::text_to_float(bare, bare + 2, 0, &remaining)));
    EXPECT_TRUE(std::isnan(string::to_float("1.#NaN", 6, &remaining)));
}

TEST(TextToNumber, ToIntegerOfStrings) {
    struct Row {
        std::u32string_view text;
        uint32_t type;
        int32_t value;  // ignored when an error is expected
        bool ok;
    } rows[] = {
        {U"1'000", TYPE_STRING, 1000, true},
        {U"-2147483648", TYPE_FILE, integer::MIN, true},
        {U"+42", TYPE_TAG, 42, true},
        {U"12a", TYPE_STRING, 0, false},
        {U"2147483648", TYPE_URL, 0, false},
        {U"", TYPE_EMAIL, 0, false},
        {U"\u0661\u0662", TYPE_STRING, 0, false},
    };
    const uint32_t bad_to_arg = error_code(err::script::bad_to_arg);
    for (const Row& row : rows) {
        Cell text = test::text_cell(row.text, 4, row.type);
        Cell result{};
        if (row.ok) {
            test::to_as(TYPE_INTEGER, &text, &result);
            ASSERT_EQ(cell_type(&result), TYPE_INTEGER);
            EXPECT_EQ(integer::get(&result), row.value);
        } else {
            EXPECT_EQ(test::raised([&] { test::to_as(TYPE_INTEGER, &text, &result); }), bad_to_arg);
        }
    }
    // From the string's position on.
    Cell tail = test::text_cell(U"ab12", 1, TYPE_STRING, 2);
    Cell result{};
    EXPECT_EQ(integer::get(test::to_as(TYPE_INTEGER, &tail, &result)), 12);
}

}  // namespace
}  // namespace vek
