// date!: a calendar date with an optional time of day and time zone. Word 1
// of the cell is the packed date, words 2-3 the time as float64 seconds.
//
// Packed date: year (signed) in bits 17-31, month 1-12 in bits 12-15, day
// 1-31 in bits 7-11, the time flag in bit 16 (the date carries a time and a
// zone), the zone in bits 0-6 as sign and magnitude: bit 6 set west of UTC,
// hours in bits 2-5, quarter hours in bits 0-1.
//
// The stored time is the UTC time belonging to the local date of the packed
// word: stored seconds = local time of day - zone offset. Every constructor
// normalises so that the local time of day (stored + offset) lies in
// [0, 86400); the stored seconds may lie outside that range by the offset.
// A date without the time flag has time 0.0 and no zone.
//
// The calendar arithmetic on day numbers is in date_helpers.h.
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/datatypes/compound/date_helpers.h"

namespace vek::date {

// A date! of the packed date and the seconds of its time.
inline Cell cell(uint32_t packed, double seconds) {
    Cell made{TYPE_DATE, packed, 0, 0};
    cell_set_f64(&made, seconds);
    return made;
}

constexpr uint32_t TIME_FLAG = 1u << 16;
constexpr uint32_t ZONE_BITS = 0x7Fu;
constexpr uint32_t ZONE_WEST = 1u << 6;

// Word 1, the packed date.
inline uint32_t packed_date(const Cell* date) {
    VEK_CHECK_LAYOUT(date, type_in<TYPE_DATE>);
    return date->data1;
}
inline void set_packed_date(Cell* date, uint32_t packed) {
    VEK_CHECK_LAYOUT(date, type_in<TYPE_DATE>);
    date->data1 = packed;
}

inline int32_t year(uint32_t packed) { return int32_t(packed) >> 17; }
inline int32_t month(uint32_t packed) { return int32_t(packed >> 12) & 0xF; }
inline int32_t day(uint32_t packed) { return int32_t(packed >> 7) & 0x1F; }
inline bool has_time(uint32_t packed) { return (packed & TIME_FLAG) != 0; }
// The zone offset of the zone bits in seconds, negative west of UTC.
int32_t zone_seconds(uint32_t packed);
// The local time of day of a date: the stored seconds plus the zone offset.
inline double local_seconds(const Cell* date) { return cell_get_f64(date) + zone_seconds(packed_date(date)); }

// The fields that paths, pick and now read, by number.
enum Field : int32_t {
    FIELD_DATE = 1, FIELD_YEAR, FIELD_MONTH, FIELD_DAY, FIELD_ZONE, FIELD_TIME, FIELD_HOUR,
    FIELD_MINUTE, FIELD_SECOND, FIELD_WEEKDAY, FIELD_YEARDAY, FIELD_TIMEZONE, FIELD_WEEK,
    FIELD_ISOWEEK, FIELD_COUNT = FIELD_ISOWEEK
};

// Writes field 1..FIELD_COUNT of the date into out and returns out: the date
// alone, integer!s of the calendar, time!s of the zone and the local time
// (none! for a date without time), the seconds as a float!.
Cell* field_at(Cell* out, const Cell* date, int32_t field);

// Writes a date! (the cell's flags kept): the local time of day in seconds,
// the zone as hours (its sign the zone's) and minutes (counted in quarter
// hours). Days and seconds past the day's end carry. Without the time flag
// the time and the zone are dropped.
Cell* make_at(Cell* cell, int32_t year, int32_t month, int32_t day, double seconds,
              int32_t zone_hours, int32_t zone_minutes, bool has_time);
// Moves the date's zone west of UTC, keeping its local date and time: a zone
// of less than an hour has no hours to carry the sign to make_at.
void set_zone_negative(Cell* date);

// A date! of a packed word and stored seconds, appended at the block's tail
// or pushed on the argument stack; taken as they are.
Cell* make_in(const Cell* block, uint32_t packed, double seconds);
Cell* push(uint32_t packed, double seconds);

// Writes a date! with the time flag and zone 0 at h:m:s plus ns
// nanoseconds of that day (file times).
Cell* make_at_ymdhms(Cell* cell, int32_t year, int32_t month, int32_t day, int32_t hours, int32_t minutes,
                     int32_t seconds, int32_t nanoseconds);

// The packed date rebuilt from its day number after the day carry of the
// seconds, which are stored; local says the seconds are local time. Raises
// math overflow for non-finite seconds and for a year the packed word cannot
// hold.
void normalize(Cell* date, double seconds, bool local);

// Adds (or subtracts) an integer! of days or a time! of seconds to the date
// in place; a date! subtracted gives the integer! of days between them.
// Raises script not-related for a date added, invalid-type for another
// operand, math overflow past the calendar's range.
Cell* math(Cell* date, const Cell* operand, bool subtract);
// The time! from date2 to date1 written into result.
Cell* difference(Cell* result, const Cell* date1, const Cell* date2);
// Unix time of the date, rounded to the nearest second (halves up); raises
// script type-limit (integer!) past the range of integer!.
int32_t to_epoch(const Cell* date);

// Registers date!.
void init();

}  // namespace vek::date
