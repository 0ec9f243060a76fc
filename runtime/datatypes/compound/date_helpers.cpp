#include "runtime/datatypes/compound/date_helpers.h"

#include <cmath>

#include "runtime/datatypes/compound/date.h"

namespace vek::date {

namespace {

// Division rounded toward minus infinity: years before 0 count days
// backwards from the same origin.
int32_t floor_div(int32_t a, int32_t b) { return a / b - (a % b != 0 && (a < 0) != (b < 0)); }
int32_t floor_mod(int32_t a, int32_t b) { return a - floor_div(a, b) * b; }

// Days from the origin to 1 March of year yy.
int32_t days_before_march(int32_t yy) {
    return 365 * yy + floor_div(yy, 4) - floor_div(yy, 100) + floor_div(yy, 400);
}

uint32_t make_packed(int32_t year, int32_t month, int32_t day) {
    return uint32_t(year) << 17 | uint32_t(month) << 12 | uint32_t(day) << 7;
}

// The date cell moved to another day, its time flag, zone and time kept.
void move_to(Cell* date, int32_t day_number) {
    set_packed_date(date, from_day_number(day_number, packed_date(date) & (TIME_FLAG | ZONE_BITS)));
}

}  // namespace

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

int32_t week1_start(uint32_t packed) {
    int32_t jan1 = jan1_day_number(packed);
    int32_t w = weekday(jan1) - 1;  // days since Monday
    // A year starting Friday to Sunday leaves those days to the last week of
    // the year before.
    return jan1 - w + (w >= 4 ? 7 : 0);
}

void set_week(Cell* date, int32_t n) { move_to(date, week1_start(packed_date(date)) + (n - 1) * 7); }

void set_weekday(Cell* date, int32_t n) {
    int32_t day = day_number(packed_date(date));
    move_to(date, day - (weekday(day) - 1) + (n - 1));
}

void set_yearday(Cell* date, int32_t n) { move_to(date, jan1_day_number(packed_date(date)) + n - 1); }

}  // namespace vek::date
