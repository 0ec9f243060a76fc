// Calendar arithmetic of date! on day numbers: days counted from 1 March of
// year 0 with March-based months, so that leap days fall at the end of a
// year. Day numbers here are proleptic Gregorian; 1 January 1970 is day
// 719468.
//
// The packed word holds years from MIN_YEAR to MAX_YEAR; every day number
// that leaves this range raises math overflow instead of wrapping.
//
// The week and ordinal date helpers move a date! cell to another day and keep
// its time flag, zone and time.
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"

namespace vek::date {

constexpr int32_t MIN_YEAR = -16384;
constexpr int32_t MAX_YEAR = 16383;
constexpr int32_t UNIX_EPOCH_DAY = 719468;  // 1 January 1970

bool leap_year(int32_t year);
// Division rounded toward minus infinity, so that years before 0 count days
// backwards from the same origin.
int32_t floor_div(int32_t a, int32_t b);
int32_t floor_mod(int32_t a, int32_t b);

// The day number as int32; raises math overflow when its year is outside
// MIN_YEAR..MAX_YEAR. Takes a double so that sums of big operands are
// checked before any integer conversion.
int32_t checked_day(double day_number);
// The day number of day d of month m of year y, months outside 1..12 moving
// the year and days outside the month moving the month (checked as above).
int32_t day_number_of(int64_t y, int64_t m, int64_t d);

// The day number of a packed date word (its year, month and day).
int32_t day_number(uint32_t packed);
// The packed date word of a day number, or-ed with the time flag and zone
// bits given.
uint32_t from_day_number(int32_t day_number, uint32_t time_and_zone_bits);
// The day number of 1 January of the packed date's year.
int32_t jan1_day_number(uint32_t packed);
// The day number of the Monday that starts ISO week 1 of the packed date's
// year.
int32_t week1_start(uint32_t packed);
// 1 for Monday to 7 for Sunday.
int32_t weekday(int32_t day_number);
// 1 for 1 January.
int32_t yearday(uint32_t packed);
// Weeks starting on Sunday, week 1 the one holding 1 January.
int32_t week(uint32_t packed);
// The ISO 8601 week, 1..53: days before the Monday of week 1 belong to the
// last week of the year before, days from week 1 of the next year on to
// week 1.
int32_t isoweek(uint32_t packed);

// The setters below move the date and raise math overflow as checked_day
// does.

// The Monday of ISO week n of the date's year.
void set_week(Cell* date, int32_t n);
// Weekday n (1 Monday .. 7 Sunday) of the date's Monday-based week.
void set_weekday(Cell* date, int32_t n);
// Day n of the date's year (1 is 1 January).
void set_yearday(Cell* date, int32_t n);
// The Sunday that starts week n (as counted by week) for n > 1, else
// 1 January.
void set_sunday_week(Cell* date, int32_t n);

}  // namespace vek::date
