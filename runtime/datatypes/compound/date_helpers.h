// Calendar arithmetic of date! on day numbers: days counted from 1 March of
// year 0 with March-based months, so that leap days fall at the end of a
// year. Day numbers here are proleptic Gregorian; 1 January 1970 is day
// 719468.
//
// The week and ordinal date helpers move a date! cell to another day and keep
// its time flag, zone and time.
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"

namespace vek::date {

bool leap_year(int32_t year);

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

// The Monday of ISO week n of the date's year.
void set_week(Cell* date, int32_t n);
// Weekday n (1 Monday .. 7 Sunday) of the date's Monday-based week.
void set_weekday(Cell* date, int32_t n);
// Day n of the date's year (1 is 1 January).
void set_yearday(Cell* date, int32_t n);

}  // namespace vek::date
