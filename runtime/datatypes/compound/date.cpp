#include "runtime/datatypes/compound/date.h"

#include <bit>
#include <cmath>
#include <cstdlib>

#include "runtime/actions/dispatch.h"
#include "runtime/core/datatype.h"
#include "runtime/core/raise.h"
#include "runtime/core/system.h"
#include "runtime/datatypes/block/array.h"
#include "runtime/datatypes/number/float.h"
#include "runtime/datatypes/number/time.h"
#include "runtime/datatypes/string/buffer.h"
#include "runtime/eval/stack.h"
#include "runtime/memory/series.h"

namespace vek::date {

namespace {

constexpr uint32_t ZONE_MAGNITUDE = 0x3Fu;  // hours in bits 2-5, quarter hours in bits 0-1
constexpr uint32_t MONTH_NAME_LENGTH = 3;

uint32_t pack(int32_t year, int32_t month, int32_t day) {
    return uint32_t(year) << 17 | uint32_t(month) << 12 | uint32_t(day) << 7;
}

// Sign and magnitude: |hours| x 4 + minutes div 15, west of UTC for negative
// hours.
uint32_t zone_bits(int32_t hours, int32_t minutes) {
    uint32_t magnitude = (uint32_t(std::abs(hours)) * 4 + uint32_t(std::abs(minutes)) / 15) & ZONE_MAGNITUDE;
    return hours < 0 && magnitude != 0 ? ZONE_WEST | magnitude : magnitude;
}

// The whole days that the seconds reach past the local day, taken into the
// day number, so that the local time of day (seconds + zone offset) ends in
// [0, 86400).
int32_t carry_days(int32_t day_number, double* seconds, uint32_t packed) {
    if (!std::isfinite(*seconds)) return day_number;
    double zone_hours = zone_seconds(packed) / time::SECONDS_PER_HOUR;
    double carry = std::trunc(std::trunc(*seconds / time::SECONDS_PER_HOUR + zone_hours) / 24.0);
    day_number += int32_t(carry);
    *seconds -= carry * time::SECONDS_PER_DAY;
    if (zone_hours * time::SECONDS_PER_HOUR + *seconds < 0.0) {
        *seconds += time::SECONDS_PER_DAY;
        day_number--;
    }
    return day_number;
}

Cell* init_cell(Cell* cell, uint32_t packed, double seconds) {
    cell->header = TYPE_DATE;
    set_packed_date(cell, packed);
    cell_set_f64(cell, seconds);
    return cell;
}

// ---------------------------------------------------------------- text

char* decimal(char* out, uint32_t value, int width) {
    char digits[10];
    int n = 0;
    do {
        digits[n++] = char('0' + value % 10);
        value /= 10;
    } while (value != 0);
    for (; n < width; width--) *out++ = '0';
    while (n > 0) *out++ = digits[--n];
    return out;
}

void append(const Cell* buffer, const char* text, char* end) {
    string::append_c_string_part(buffer, text, uint32_t(end - text));
}

// The first three characters of the month's name in the system's list.
void append_month_name(const Cell* buffer, int32_t month) {
    const Cell* list = system_fields::months();
    if (month < 1 || uint32_t(month) > block::length_from_head(list)) fire(err::script::invalid_months);
    // A copy on the C++ stack: appending may move the list's buffer.
    Cell name = *block::rs_abs_at(list, series_index(list) + uint32_t(month) - 1);
    if (cell_type(&name) != TYPE_STRING) fire(err::script::invalid_months);
    uint32_t length = string::rs_length(&name);
    for (uint32_t i = 0; i < length && i < MONTH_NAME_LENGTH; i++)
        string::append_char(series_buffer(buffer), string::rs_abs_at(&name, series_index(&name) + i));
}

// "+05:30", "-03:30"; nothing for zone 0.
char* zone_text(char* out, uint32_t packed) {
    uint32_t magnitude = packed & ZONE_MAGNITUDE;
    if (magnitude == 0) return out;
    *out++ = packed & ZONE_WEST ? '-' : '+';
    out = decimal(out, magnitude >> 2, 2);
    *out++ = ':';
    return decimal(out, (magnitude & 3) * 15, 2);
}

// The day, the month and the year; "/" separates them when the year is
// negative, so that the year's "-" reads as its sign.
void append_calendar_date(const Cell* buffer, uint32_t packed) {
    int32_t y = year(packed);
    char separator = y < 0 ? '/' : '-';
    char text[16];
    char* out = decimal(text, uint32_t(day(packed)), 1);
    *out++ = separator;
    append(buffer, text, out);
    append_month_name(buffer, month(packed));
    out = text;
    *out++ = separator;
    if (y < 0) *out++ = '-';
    // Two-digit years stay four digits wide: read back, "99" would mean 1999.
    auto magnitude = uint32_t(std::abs(y));
    out = decimal(out, magnitude, magnitude <= 99 ? 4 : 1);
    append(buffer, text, out);
}

}  // namespace

int32_t zone_seconds(uint32_t packed) {
    auto seconds = int32_t(((packed >> 2) & 0xF) * 3600 + (packed & 3) * 900);
    return packed & ZONE_WEST ? -seconds : seconds;
}

// ---------------------------------------------------------------- cells

Cell* make_at(Cell* cell, int32_t year, int32_t month, int32_t day, double seconds, int32_t zone_hours,
              int32_t zone_minutes, bool has_time) {
    set_type(cell, TYPE_DATE);
    set_packed_date(cell, pack(year, month, day));
    cell_set_f64(cell, 0.0);
    if (has_time) {
        set_packed_date(cell, packed_date(cell) | TIME_FLAG | zone_bits(zone_hours, zone_minutes));
        normalize(cell, seconds, true);
    }
    return cell;
}

void set_zone_negative(Cell* date) {
    uint32_t packed = packed_date(date);
    if ((packed & ZONE_WEST) || (packed & ZONE_MAGNITUDE) == 0) return;
    double local = cell_get_f64(date) + zone_seconds(packed);
    set_packed_date(date, packed | ZONE_WEST);
    cell_set_f64(date, local - zone_seconds(packed_date(date)));
}

Cell* make_in(const Cell* block, uint32_t packed, double seconds) {
    return init_cell(block::alloc_tail(block), packed, seconds);
}

Cell* push(uint32_t packed, double seconds) { return init_cell(stack::push_cell(), packed, seconds); }

void normalize(Cell* date, double seconds, bool local) {
    uint32_t packed = packed_date(date);
    if (local) seconds -= zone_seconds(packed);
    int32_t n = carry_days(day_number(packed), &seconds, packed);
    set_packed_date(date, from_day_number(n, packed & (TIME_FLAG | ZONE_BITS)));
    cell_set_f64(date, seconds);
}

// ---------------------------------------------------------------- actions

namespace {

// 15-Mar-2024, 15-Mar-2024/10:30:00+05:30: the month's name from the
// system's month list. form and mold give the same text.
void form(const Cell* value, text::Sink& out) {
    const Cell* buffer = out.buffer;
    uint32_t packed = packed_date(value);
    uint32_t before = string::buffer_length(buffer);
    append_calendar_date(buffer, packed);
    if (has_time(packed)) {
        string::append_c_string(buffer, "/");
        // A sink of its own: the whole date is charged to the limit below.
        text::Sink clock{.buffer = buffer};
        time::form_text(cell_get_f64(value) + zone_seconds(packed), clock);
        char text[8];
        append(buffer, text, zone_text(text, packed));
    }
    out.limit -= int32_t(string::buffer_length(buffer) - before);
}

void mold(const Cell* value, text::Sink& out, bool) { form(value, out); }

// Dates with the same day and near-equal times are equal; ordering is by
// day, then time. Another datatype is not comparable.
int32_t compare(const Cell* value1, const Cell* value2, int32_t op) {
    if (cell_type(value2) != TYPE_DATE) return -2;
    // Year, month and day, the year's sign kept.
    auto key = [](const Cell* date) { return int32_t(packed_date(date) & ~TIME_FLAG) >> 7; };
    int32_t key1 = key(value1), key2 = key(value2);
    double seconds1 = cell_get_f64(value1), seconds2 = cell_get_f64(value2);
    switch (op) {
    case actions::COMP_EQUAL:
    case actions::COMP_NOT_EQUAL:
    case actions::COMP_STRICT_EQUAL:
    case actions::COMP_FIND: return key1 == key2 && float_::near_equal(seconds1, seconds2) ? 0 : 1;
    case actions::COMP_SAME:
        return key1 == key2 && std::bit_cast<uint64_t>(seconds1) == std::bit_cast<uint64_t>(seconds2) ? 0 : 1;
    default: break;
    }
    if (key1 != key2) return key1 < key2 ? -1 : 1;
    return (seconds1 > seconds2) - (seconds1 < seconds2);
}

}  // namespace

void init() {
    using namespace datatype;
    register_type(TYPE_DATE, Row()
        .set<SLOT_FORM>(form)
        .set<SLOT_MOLD>(mold)
        .set<SLOT_COMPARE>(compare));
}

}  // namespace vek::date
