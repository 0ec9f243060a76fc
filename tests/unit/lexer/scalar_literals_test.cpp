// The text of the scalar datatypes that literals make (percent!, time!,
// date!, money!, tuple!, pair!, point2D!, point3D!), their comparisons and
// their registration.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <string>

#include "runtime/actions/dispatch.h"
#include "runtime/core/raise.h"
#include "runtime/core/registry.h"
#include "runtime/core/system.h"
#include "runtime/datatypes/block/array.h"
#include "runtime/datatypes/compound/date.h"
#include "runtime/datatypes/compound/pair.h"
#include "runtime/datatypes/compound/point.h"
#include "runtime/datatypes/compound/tuple.h"
#include "runtime/datatypes/number/float.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/number/money.h"
#include "runtime/datatypes/number/percent.h"
#include "runtime/datatypes/number/time.h"
#include "tests/unit/support/load_and_mold.h"
#include "tests/unit/support/string_cells.h"
#include "tests/unit/support/support.h"

namespace vek {
namespace {

constexpr double INF64 = std::numeric_limits<double>::infinity();
constexpr float INF32 = std::numeric_limits<float>::infinity();
constexpr int32_t LIMIT = 1000;

using test::load_one;

// Through the action dispatch, so that the registered entries are the ones
// tested; the limit must come back lowered by the characters appended.
std::string formed_within_limit(const Cell& value) {
    Cell out = test::output_cell();
    text::Sink sink{.buffer = &out, .limit = LIMIT};
    actions::form(&value, sink);
    std::string text = test::utf8(out);
    EXPECT_EQ(sink.limit, LIMIT - int32_t(text.size())) << text;
    return text;
}

std::string molded_within_limit(const Cell& value, bool all = false) {
    Cell out = test::output_cell();
    text::Sink sink{.buffer = &out, .limit = LIMIT, .all = all};
    actions::mold(&value, sink, false);
    std::string text = test::utf8(out);
    EXPECT_EQ(sink.limit, LIMIT - int32_t(text.size())) << text;
    return text;
}

Cell percent_cell(double fraction) {
    Cell cell{};
    return *percent::make_at(&cell, fraction);
}
Cell time_cell(double seconds) {
    Cell cell{};
    return *time::make_at(&cell, seconds);
}
Cell date_cell(int32_t year, int32_t month, int32_t day, double seconds = -1, int32_t zone_hours = 0,
               int32_t zone_minutes = 0) {
    Cell cell{};
    return *date::make_at(&cell, year, month, day, seconds < 0 ? 0 : seconds, zone_hours, zone_minutes, seconds >= 0);
}
Cell tuple_cell(std::initializer_list<uint8_t> bytes) {
    Cell cell{};
    return *tuple::make_at(&cell, bytes.begin(), uint32_t(bytes.size()));
}
Cell pair_cell(int32_t x, int32_t y) {
    Cell cell{};
    return *pair::make_at(&cell, x, y);
}
Cell point_cell(float x, float y) {
    Cell cell{};
    return *point2d::make_at(&cell, x, y);
}
Cell point3_cell(float x, float y, float z) {
    Cell cell{};
    return *point3d::make_at(&cell, x, y, z);
}

bool money_from_text(Cell* cell, bool negative, const char* code, const char* integral, const char* fraction) {
    return money::make_at_from_text(cell, negative, code, integral, std::strlen(integral), fraction,
                                    std::strlen(fraction));
}
Cell money_cell(bool negative, const char* code, const char* integral, const char* fraction) {
    Cell cell{};
    EXPECT_TRUE(money_from_text(&cell, negative, code, integral, fraction)) << integral << "." << fraction;
    return cell;
}

TEST(ScalarText, PercentShowsTheFractionTimesAHundred) {
    struct Row {
        double fraction;
        const char* text;
    } rows[] = {
        {0.5, "50%"}, {0.123, "12.3%"}, {1.0, "100%"}, {0.007, "0.7%"}, {-0.25, "-25%"}, {1e-20, "0%"},
    };
    for (const Row& row : rows) {
        Cell value = percent_cell(row.fraction);
        EXPECT_EQ(formed_within_limit(value), row.text);
        EXPECT_EQ(molded_within_limit(value), row.text);
    }
}

TEST(ScalarText, TimeShowsHoursMinutesAndSixDigitSeconds) {
    struct Row {
        double seconds;
        const char* text;
    } rows[] = {
        {3723.5, "1:02:03.5"},
        {0, "0:00:00"},
        {-90, "-0:01:30"},
        {45296.25, "12:34:56.25"},
        {100 * 3600.0, "100:00:00"},
        {3.14159265, "0:00:03.14159"},
        {59.9999999, "0:00:60"},
        {0.5, "0:00:00.5"},
        {1e-7, "0:00:00"},
        {1e20, "27777777777777776:46:40"},
        {INF64, "1.#INF"},
    };
    for (const Row& row : rows) {
        Cell value = time_cell(row.seconds);
        EXPECT_EQ(formed_within_limit(value), row.text) << row.seconds;
        EXPECT_EQ(molded_within_limit(value), row.text) << row.seconds;
    }
}

TEST(ScalarText, DateShowsDayMonthNameYearThenLocalTimeAndZone) {
    struct Row {
        Cell date;
        const char* text;
    } rows[] = {
        {date_cell(2024, 3, 15), "15-Mar-2024"},
        {date_cell(2024, 3, 15, 37800, 5, 30), "15-Mar-2024/10:30:00+05:30"},
        {date_cell(2024, 3, 15, 37800), "15-Mar-2024/10:30:00"},
        {date_cell(2024, 3, 15, 82800, -3, 30), "15-Mar-2024/23:00:00-03:30"},
        {date_cell(2024, 3, 15, 3600, 14, 45), "15-Mar-2024/1:00:00+14:45"},
        {date_cell(99, 1, 1), "1-Jan-0099"},
        {date_cell(100, 1, 1), "1-Jan-100"},
        {date_cell(-44, 3, 15), "15/Mar/-0044"},
        // Seconds past either end of the day carry into the date.
        {date_cell(2023, 12, 31, 25 * 3600.0), "1-Jan-2024/1:00:00"},
        {date_cell(2024, 3, 1, 0, 0, 0), "1-Mar-2024/0:00:00"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(formed_within_limit(row.date), row.text);
        EXPECT_EQ(molded_within_limit(row.date), row.text);
    }
    Cell before_midnight{};
    date::make_at(&before_midnight, 2024, 3, 1, -3600, 0, 0, true);
    EXPECT_EQ(formed_within_limit(before_midnight), "29-Feb-2024/23:00:00");
}

TEST(ScalarText, DateStoresUtcAndAZoneOfMinutesOnlyCanBeWest) {
    Cell east = date_cell(2024, 3, 15, 37800, 5, 30);
    EXPECT_EQ(cell_get_f64(&east), 37800 - 19800);
    // Local 1:00 at +5:00 is 20:00 UTC the day before: the local date stays.
    Cell early = date_cell(2024, 3, 15, 3600, 5, 0);
    EXPECT_EQ(cell_get_f64(&early), 3600 - 18000);
    EXPECT_EQ(formed_within_limit(early), "15-Mar-2024/1:00:00+05:00");

    Cell west = date_cell(2024, 3, 15, 37800, 0, 30);
    date::set_zone_negative(&west);
    EXPECT_EQ(formed_within_limit(west), "15-Mar-2024/10:30:00-00:30");
    EXPECT_EQ(cell_get_f64(&west), 37800 + 1800);
    date::set_zone_negative(&west);  // already west: unchanged
    EXPECT_EQ(cell_get_f64(&west), 37800 + 1800);

    Cell zone_zero = date_cell(2024, 3, 15, 37800);
    date::set_zone_negative(&zone_zero);  // no "-00:00"
    EXPECT_EQ(formed_within_limit(zone_zero), "15-Mar-2024/10:30:00");
}

TEST(ScalarText, DateNeedsAStringForItsMonthInTheSystemList) {
    Cell* march = block::rs_abs_at(system_fields::months(), series_index(system_fields::months()) + 2);
    Cell saved = *march;
    Cell not_a_name{};
    *march = *integer::make_at(&not_a_name, 3);
    Cell out = test::output_cell();
    Cell date = date_cell(2024, 3, 15);
    text::Sink sink{.buffer = &out, .limit = LIMIT};
    uint32_t code = test::raised([&] { actions::form(&date, sink); });
    *march = saved;
    EXPECT_EQ(code, error_code(err::script::invalid_months));
    EXPECT_EQ(formed_within_limit(date), "15-Mar-2024");
}

TEST(ScalarText, MoneyFormGroupsMoldDoesNotAndAllKeepsFiveDigits) {
    struct Row {
        Cell money;
        const char* form;
        const char* mold;
        const char* mold_all;
    } rows[] = {
        {money_cell(true, "USD", "1234", "5"), "-USD$1'234.50", "-USD$1234.50", "-USD$1234.50000"},
        {money_cell(false, nullptr, "1234567", "891"), "$1'234'567.89", "$1234567.89", "$1234567.89100"},
        {money_cell(false, nullptr, "99999999999999999", "99999"), "$99'999'999'999'999'999.99",
         "$99999999999999999.99", "$99999999999999999.99999"},
        {money_cell(false, nullptr, "123", ""), "$123.00", "$123.00", "$123.00000"},
        {money_cell(false, nullptr, "0", ""), "$0.00", "$0.00", "$0.00000"},
        // A zero amount is never negative.
        {money_cell(true, nullptr, "0", "0"), "$0.00", "$0.00", "$0.00000"},
        {money_cell(false, "eur", "1'000", "33333"), "EUR$1'000.33", "EUR$1000.33", "EUR$1000.33333"},
        {money_cell(false, nullptr, "000000000000000000001", "1234567"), "$1.12", "$1.12", "$1.12345"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(formed_within_limit(row.money), row.form);
        EXPECT_EQ(molded_within_limit(row.money), row.mold);
        EXPECT_EQ(molded_within_limit(row.money, true), row.mold_all);
    }
}

TEST(ScalarText, MoneyFromTextRefusesWhatItCannotHoldAndWritesNothing) {
    struct Row {
        const char* code;
        const char* integral;
        const char* fraction;
    } rows[] = {
        {"XYZ", "1", "0"},                    // not in the currency list
        {nullptr, "123456789012345678", ""},  // an 18th integral digit
        {nullptr, "12a", ""},
        {nullptr, "1", "5x"},
    };
    for (const Row& row : rows) {
        Cell cell = pair_cell(7, 8);
        EXPECT_FALSE(money_from_text(&cell, false, row.code, row.integral, row.fraction)) << row.integral;
        EXPECT_EQ(cell_type(&cell), TYPE_PAIR) << row.integral;
    }
    EXPECT_GT(money::find_currency("usd"), 0);
    EXPECT_EQ(money::find_currency("usd"), money::find_currency("USD"));
}

TEST(ScalarText, TuplePairAndPointTexts) {
    struct Row {
        Cell value;
        const char* text;
    } rows[] = {
        {tuple_cell({1, 2, 3}), "1.2.3"},
        {tuple_cell({255, 0, 0, 128}), "255.0.0.128"},
        {tuple_cell({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}), "1.2.3.4.5.6.7.8.9.10.11.12"},
        {tuple_cell({1, 2}), "1.2.0"},
        {pair_cell(10, 20), "10x20"},
        {pair_cell(-1, -2), "-1x-2"},
        {pair_cell(-2147483647 - 1, 2147483647), "-2147483648x2147483647"},
        {point_cell(1, 2.5f), "(1, 2.5)"},
        {point_cell(0.1f, 0.2f), "(0.1, 0.2)"},
        {point_cell(-3, 1e20f), "(-3, 1e20)"},
        {point_cell(INF32, -INF32), "(1.#INF, -1.#INF)"},
        {point3_cell(1, 2, 3), "(1, 2, 3)"},
        {point3_cell(0.5f, 1e-20f, 1234567.0f), "(0.5, 0, 1234567)"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(formed_within_limit(row.value), row.text);
        EXPECT_EQ(molded_within_limit(row.value), row.text);
    }
    Cell rgb{}, rgba{};
    EXPECT_EQ(formed_within_limit(*tuple::make_rgba(&rgb, 1, 2, 3, -1)), "1.2.3");
    EXPECT_EQ(formed_within_limit(*tuple::make_rgba(&rgba, 1, 2, 3, 4)), "1.2.3.4");
}

TEST(ScalarText, LiteralsMoldBackAsWritten) {
    const char* literals[] = {
        "50%", "12.5%", "0.7%", "1:02:03.5", "-0:01:30", "100:00:00", "15-Mar-2024",
        "15-Mar-2024/10:30:00+05:30", "1-Jan-2024/1:00:00-00:30", "1-Jan-0099", "15/Mar/-0044",
        "-USD$1234.50", "$0.00", "1.2.3", "1.2.3.4.5.6.7.8.9.10.11.12", "10x20", "-1x-2", "(1, 2.5)",
        "(0.1, 0.2)", "(1, 2, 3)", "(1.#INF, -1.#INF)",
    };
    for (const char* literal : literals) EXPECT_EQ(molded_within_limit(load_one(literal)), literal);
}

TEST(ScalarCompare, TuplesPairsPointsAndDates) {
    using actions::CompareOp;
    struct Row {
        const char* name;
        Cell a, b;
        CompareOp op;
        int32_t result;
    } rows[] = {
        {"missing tuple bytes count as 0", tuple_cell({1, 2, 3}), tuple_cell({1, 2, 3, 0}), actions::COMP_STRICT_EQUAL, 0},
        {"tuple order", tuple_cell({1, 2, 3}), tuple_cell({1, 2, 4}), actions::COMP_LESSER, -1},
        {"tuple longer", tuple_cell({1, 3, 0}), tuple_cell({1, 2, 9, 9}), actions::COMP_LESSER, 1},
        {"tuple and integer", tuple_cell({1, 2, 3}), pair_cell(1, 2), actions::COMP_EQUAL, -2},
        {"pair by y", pair_cell(1, 2), pair_cell(1, 3), actions::COMP_LESSER, -1},
        {"pair by x first", pair_cell(2, 0), pair_cell(1, 9), actions::COMP_LESSER, 1},
        {"pair with point", pair_cell(1, 2), point_cell(1, 2), actions::COMP_EQUAL, 0},
        {"pair and tuple", pair_cell(1, 2), tuple_cell({1, 2, 3}), actions::COMP_EQUAL, -2},
        {"point with pair", point_cell(1, 2), pair_cell(1, 2), actions::COMP_EQUAL, 0},
        {"point order", point_cell(1, 2), point_cell(1, 3), actions::COMP_LESSER, -1},
        {"point near", point_cell(1.0000001f, 2), point_cell(1, 2), actions::COMP_EQUAL, 0},
        {"point not strictly", point_cell(1.0000001f, 2), point_cell(1, 2), actions::COMP_STRICT_EQUAL, 1},
        {"zeros strictly equal", point_cell(0.0f, 1), point_cell(-0.0f, 1), actions::COMP_STRICT_EQUAL, 0},
        {"zeros not the same", point_cell(0.0f, 1), point_cell(-0.0f, 1), actions::COMP_SAME, 1},
        {"point3D by z", point3_cell(1, 2, 3), point3_cell(1, 2, 4), actions::COMP_LESSER, -1},
        {"point3D and pair", point3_cell(1, 2, 0), pair_cell(1, 2), actions::COMP_EQUAL, -2},
        {"date order", date_cell(2024, 3, 15), date_cell(2024, 3, 16), actions::COMP_LESSER, -1},
        {"date years signed", date_cell(-44, 3, 15), date_cell(2024, 1, 1), actions::COMP_LESSER, -1},
        {"date then time", date_cell(2024, 3, 15, 60), date_cell(2024, 3, 15, 30), actions::COMP_LESSER, 1},
        {"date without time", date_cell(2024, 3, 15), date_cell(2024, 3, 15, 0), actions::COMP_EQUAL, 0},
        {"date and tuple", date_cell(2024, 3, 15), tuple_cell({1, 2, 3}), actions::COMP_EQUAL, -2},
    };
    for (const Row& row : rows) EXPECT_EQ(actions::compare_values(&row.a, &row.b, row.op), row.result) << row.name;
}

TEST(ScalarRegistration, NamesOwnTextAndWhatPercentAndTimeTakeFromFloat) {
    using registry::action;
    struct Row {
        uint32_t type;
        const char* name;
    } rows[] = {
        {TYPE_PAIR, "pair!"},   {TYPE_PERCENT, "percent!"}, {TYPE_TUPLE, "tuple!"},     {TYPE_TIME, "time!"},
        {TYPE_DATE, "date!"},   {TYPE_MONEY, "money!"},     {TYPE_POINT2D, "point2D!"}, {TYPE_POINT3D, "point3D!"},
    };
    for (const Row& row : rows) {
        EXPECT_STREQ(registry::name_table[row.type].name, row.name);
        EXPECT_TRUE(registry::implemented(action(row.type, registry::SLOT_FORM))) << row.name;
        EXPECT_TRUE(registry::implemented(action(row.type, registry::SLOT_MOLD))) << row.name;
        EXPECT_NE(action(row.type, registry::SLOT_FORM), action(TYPE_FLOAT, registry::SLOT_FORM)) << row.name;
    }
    for (uint32_t slot : {registry::SLOT_MAKE, registry::SLOT_TO, registry::SLOT_ADD, registry::SLOT_ROUND,
                          registry::SLOT_POWER, registry::SLOT_COMPARE})
        EXPECT_EQ(action(TYPE_PERCENT, slot), action(TYPE_FLOAT, slot)) << slot;
    EXPECT_EQ(action(TYPE_TIME, registry::SLOT_COMPARE), action(TYPE_FLOAT, registry::SLOT_COMPARE));
    EXPECT_FALSE(registry::implemented(action(TYPE_TIME, registry::SLOT_POWER)));
}

}  // namespace
}  // namespace vek
