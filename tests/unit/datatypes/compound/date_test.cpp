#include "runtime/datatypes/compound/date.h"

#include <gtest/gtest.h>

#include "runtime/core/raise.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/block/array.h"
#include "runtime/datatypes/word/context.h"
#include "runtime/datatypes/word/word.h"
#include "tests/unit/support/block_builder.h"
#include "tests/unit/support/stack_fixture.h"
#include "tests/unit/support/support.h"
#include "tests/unit/support/value_cells.h"

namespace vek {
namespace {

using test::integer_cell;
using test::raised;

uint32_t packed_of(int32_t year, int32_t month, int32_t day) {
    return uint32_t(year) << 17 | uint32_t(month) << 12 | uint32_t(day) << 7;
}

// Every day the packed word can hold, negative years included, maps to a
// date and back, and the next day number is the next calendar day.
TEST(DateCalendar, EveryDayNumberRoundTripsAndFollowsTheDayBefore) {
    int32_t first = date::day_number(packed_of(date::MIN_YEAR, 1, 1));
    int32_t last = date::day_number(packed_of(date::MAX_YEAR, 12, 31));
    uint32_t before = date::from_day_number(first, 0);
    for (int32_t n = first + 1; n <= last; n++) {
        uint32_t packed = date::from_day_number(n, 0);
        ASSERT_EQ(date::day_number(packed), n);
        bool next_day = date::day(packed) == date::day(before) + 1 && date::month(packed) == date::month(before);
        bool next_month = date::day(packed) == 1 && (date::month(packed) == date::month(before) + 1 ||
                                                     (date::month(packed) == 1 && date::month(before) == 12 &&
                                                      date::year(packed) == date::year(before) + 1));
        ASSERT_TRUE(next_day || next_month) << n;
        before = packed;
    }
    EXPECT_EQ(date::day_number(packed_of(1970, 1, 1)), date::UNIX_EPOCH_DAY);
}

TEST(DateCalendar, DayNumbersOutsideThePackedYearsOverflow) {
    int32_t first = date::day_number(packed_of(date::MIN_YEAR, 1, 1));
    int32_t last = date::day_number(packed_of(date::MAX_YEAR, 12, 31));
    EXPECT_EQ(date::checked_day(first), first);
    EXPECT_EQ(date::checked_day(last), last);
    EXPECT_EQ(raised([&] { date::checked_day(first - 1.0); }), error_code(err::math::overflow));
    EXPECT_EQ(raised([&] { date::checked_day(last + 1.0); }), error_code(err::math::overflow));
    EXPECT_EQ(raised([&] { date::day_number_of(date::MAX_YEAR, 13, 1); }), error_code(err::math::overflow));
    EXPECT_EQ(date::day_number_of(2023, 14, 1), date::day_number(packed_of(2024, 2, 1)));
    EXPECT_EQ(date::day_number_of(2024, -11, 1), date::day_number(packed_of(2023, 1, 1)));
}

// File times: a UTC date with its time, nanoseconds kept as a fraction.
TEST(DateCells, FileTimesCarryTheTimeFlagAndZoneZero) {
    Cell stamp{};
    date::make_at_ymdhms(&stamp, 2024, 3, 15, 10, 30, 15, 500000000);
    uint32_t packed = date::packed_date(&stamp);
    EXPECT_TRUE(date::has_time(packed));
    EXPECT_EQ(packed & date::ZONE_BITS, 0u);
    EXPECT_EQ(date::day_number(packed), date::day_number(packed_of(2024, 3, 15)));
    EXPECT_DOUBLE_EQ(cell_get_f64(&stamp), 37815.5);
}

}  // namespace
}  // namespace vek
