#include "runtime/datatypes/compound/date_helpers.h"

#include <cmath>

#include "runtime/core/raise.h"
#include "runtime/datatypes/compound/date.h"

namespace vek::date {

namespace {

// Days from the origin to 1 March of year yy.
int32_t days_before_march(int32_t yy) {
    return 365 * yy + floor_div(yy, 4) - floor_div(yy, 100) + floor_div(yy, 400);
}

uint32_t make_packed(int32_t year, int32_t month, int32_t day) {
    return uint32_t(year) << 17 | uint32_t(month) << 12 | uint32_t(day) << 7;
}

// The date cell moved to another day, its time flag, zone and time kept.
void move_to(Cell* date, double day_number) {
    set_packed_date(date, from_day_number(checked_day(day_number), packed_date(date) & (TIME_FLAG | ZONE_BITS)));
}

// 0 when 1 January is a Sunday, 6 when a Saturday.
int32_t days_after_sunday(int32_t jan1) { return floor_mod(jan1 + 3, 7); }

}  // namespace

int32_t floor_div(int32_t a, int32_t b) { return a / b - (a % b != 0 && (a < 0) != (b < 0)); }
int32_t floor_mod(int32_t a, int32_t b) { return a - floor_div(a, b) * b; }

int32_t checked_day(double n) {
    static const double first = day_number(make_packed(MIN_YEAR, 1, 1));
    static const double last = day_number(make_packed(MAX_YEAR, 12, 31));
    if (!(n >= first && n <= last)) fire(err::math::overflow);
    return int32_t(n);
}

int32_t day_number_of(int64_t y, int64_t m, int64_t d) {
    int64_t years = m >= 1 ? (m - 1) / 12 : -((12 - m) / 12);  // floor((m - 1) / 12)
    y += years;
    m -= years * 12;
    if (y < MIN_YEAR || y > MAX_YEAR) fire(err::math::overflow);
    return checked_day(double(day_number(make_packed(int32_t(y), int32_t(m), 1))) - 1 + double(d));
}

bool leap_year(int32_t year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int32_t day_number(uint32_t packed) {
    int32_t mm = (month(packed) + 9) % 12;  // March is 0, February 11
    int32_t yy = year(packed) - mm / 10;
    return days_before_march(yy) + (mm * 306 + 5) / 10 + day(packed) - 1;
}

uint32_t from_day_number(int32_t n, uint32_t time_and_zone_bits) {
    int32_t yy = int32_t(std::floor((10000.0 * n + 14780) / 3652425));
    int32_t ddd = n - days_before_march(yy);
    if (ddd < 0) ddd = n - days_before_march(--yy);
    int32_t mi = (100 * ddd + 52) / 3060;
    int32_t m = (mi + 2) % 12 + 1;
    int32_t y = yy + (mi + 2) / 12;
    int32_t d = ddd - (mi * 306 + 5) / 10 + 1;
    return make_packed(y, m, d) | time_and_zone_bits;
}

int32_t jan1_day_number(uint32_t packed) { return day_number(make_packed(year(packed), 1, 1)); }

int32_t weekday(int32_t n) { return floor_mod(n + 2, 7) + 1; }

int32_t yearday(uint32_t packed) { return day_number(packed) - jan1_day_number(packed) + 1; }

int32_t week(uint32_t packed) {
    int32_t e = days_after_sunday(jan1_day_number(packed));
    int32_t n = yearday(packed);
    return n > 7 - e ? (n + e - 1) / 7 + 1 : 1;
}

int32_t isoweek(uint32_t packed) {
    int32_t n = day_number(packed);
    int32_t start = week1_start(packed);
    if (n < start) {
        switch (weekday(jan1_day_number(packed))) {
        case 5: return 53;  // Friday: the year before ended on a Thursday
        case 6: return leap_year(year(packed) - 1) ? 53 : 52;
        default: return 52;
        }
    }
    if (year(packed) < MAX_YEAR && n >= week1_start(make_packed(year(packed) + 1, 1, 1))) return 1;
    return (n - start) / 7 + 1;
}

int32_t week1_start(uint32_t packed) {
    int32_t jan1 = jan1_day_number(packed);
    int32_t w = weekday(jan1) - 1;  // days since Monday
    // A year starting Friday to Sunday leaves those days to the last week of
    // the year before.
    return jan1 - w + (w >= 4 ? 7 : 0);
}

void set_week(Cell* date, int32_t n) { move_to(date, week1_start(packed_date(date)) + (double(n) - 1) * 7); }

void set_weekday(Cell* date, int32_t n) {
    int32_t day = day_number(packed_date(date));
    move_to(date, day - (weekday(day) - 1) + (double(n) - 1));
}

void set_yearday(Cell* date, int32_t n) { move_to(date, jan1_day_number(packed_date(date)) + double(n) - 1); }

void set_sunday_week(Cell* date, int32_t n) {
    int32_t jan1 = jan1_day_number(packed_date(date));
    move_to(date, n > 1 ? jan1 + 7.0 * n - days_after_sunday(jan1) - 7 : jan1);
}

}  // namespace vek::date
