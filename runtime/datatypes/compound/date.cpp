#include "runtime/datatypes/compound/date.h"

#include <bit>
#include <cmath>
#include <cstdlib>

#include "runtime/actions/dispatch.h"
#include "runtime/core/fixed_words.h"
#include "runtime/core/raise.h"
#include "runtime/core/registry.h"
#include "runtime/core/stack.h"
#include "runtime/core/system.h"
#include "runtime/datatypes/block/array.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/number/float.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/number/time.h"
#include "runtime/datatypes/string/buffer.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/memory/series.h"
#include "runtime/tables/random.h"

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
    if (!std::isfinite(*seconds)) fire(err::math::overflow);
    double zone_hours = zone_seconds(packed) / time::SECONDS_PER_HOUR;
    double carry = std::trunc(std::trunc(*seconds / time::SECONDS_PER_HOUR + zone_hours) / 24.0);
    double day = day_number + carry;
    *seconds -= carry * time::SECONDS_PER_DAY;
    double local = zone_hours * time::SECONDS_PER_HOUR + *seconds;
    if (local < 0.0) {
        *seconds += time::SECONDS_PER_DAY;
        day--;
    } else if (local >= time::SECONDS_PER_DAY) {  // rounding at the day's end
        *seconds -= time::SECONDS_PER_DAY;
        day++;
    }
    return checked_day(day);
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

Cell* make_at_ymdhms(Cell* cell, int32_t year, int32_t month, int32_t day, int32_t hours, int32_t minutes,
                     int32_t seconds, int32_t nanoseconds) {
    double time = hours * time::SECONDS_PER_HOUR + minutes * time::SECONDS_PER_MINUTE + seconds + 1e-9 * nanoseconds;
    return make_at(cell, year, month, day, time, 0, 0, true);
}

// ---------------------------------------------------------------- fields

namespace {

double hours_of(double seconds) { return std::trunc(seconds / time::SECONDS_PER_HOUR); }
double minutes_of(double seconds) {
    return std::floor(std::fmod(std::fabs(seconds), time::SECONDS_PER_HOUR) / time::SECONDS_PER_MINUTE);
}

Cell* time_or_none(Cell* out, bool given, double seconds) {
    return given ? time::make_at(out, seconds) : copy_cell(&none::constant, out);
}

bool same_symbol(const Cell* word, fixed_words::Sym name) {
    return symbol::resolve(word::symbol(word)) == symbol::resolve(fixed_words::symbol(name));
}

// The field of a word, or -1.
int32_t field_of_word(const Cell* word) {
    using fixed_words::Sym;
    static constexpr struct {
        Sym name;
        int32_t field;
    } names[] = {
        {Sym::date, FIELD_DATE},       {Sym::year, FIELD_YEAR},       {Sym::month, FIELD_MONTH},
        {Sym::day, FIELD_DAY},         {Sym::zone, FIELD_ZONE},       {Sym::time, FIELD_TIME},
        {Sym::hour, FIELD_HOUR},       {Sym::minute, FIELD_MINUTE},   {Sym::second, FIELD_SECOND},
        {Sym::weekday, FIELD_WEEKDAY}, {Sym::yearday, FIELD_YEARDAY}, {Sym::julian, FIELD_YEARDAY},
        {Sym::timezone, FIELD_TIMEZONE}, {Sym::week, FIELD_WEEK},     {Sym::isoweek, FIELD_ISOWEEK},
    };
    for (const auto& entry : names)
        if (same_symbol(word, entry.name)) return entry.field;
    return -1;
}

// The field a path element selects; another element raises script
// invalid-path.
int32_t field_of_element(const Cell* path, const Cell* element) {
    int32_t field = -1;
    if (cell_type(element) == TYPE_INTEGER) field = integer::get(element);
    else if (cell_type(element) == TYPE_WORD) field = field_of_word(element);
    if (field < 1 || field > FIELD_COUNT) fire(err::script::invalid_path, path ? path : &none::constant, element);
    return field;
}

}  // namespace

Cell* field_at(Cell* out, const Cell* date, int32_t field) {
    uint32_t packed = packed_date(date);
    double local = local_seconds(date);
    switch (field) {
    case FIELD_DATE: return init_cell(out, packed & ~(TIME_FLAG | ZONE_BITS), 0.0);
    case FIELD_YEAR: return integer::make_at(out, year(packed));
    case FIELD_MONTH: return integer::make_at(out, month(packed));
    case FIELD_DAY: return integer::make_at(out, day(packed));
    case FIELD_ZONE:
    case FIELD_TIMEZONE: return time_or_none(out, has_time(packed), zone_seconds(packed));
    case FIELD_TIME: return time_or_none(out, has_time(packed), local);
    case FIELD_HOUR: return integer::make_at(out, int32_t(hours_of(local)));
    case FIELD_MINUTE: return integer::make_at(out, int32_t(minutes_of(local)));
    case FIELD_SECOND: return float_::make_at(out, std::fmod(local, time::SECONDS_PER_MINUTE));
    case FIELD_WEEKDAY: return integer::make_at(out, weekday(day_number(packed)));
    case FIELD_YEARDAY: return integer::make_at(out, yearday(packed));
    case FIELD_WEEK: return integer::make_at(out, week(packed));
    default: return integer::make_at(out, isoweek(packed));
    }
}

// ---------------------------------------------------------------- setting fields

namespace {

int32_t integer_value(const Cell* value) {
    if (cell_type(value) != TYPE_INTEGER) fire(err::script::invalid_arg, value);
    return integer::get(value);
}

// The date moved to the day number, its time flag, zone and time kept.
void move_to_day(Cell* date, int32_t day_number) {
    set_packed_date(date, from_day_number(day_number, packed_date(date) & (TIME_FLAG | ZONE_BITS)));
}

// The zone bits of an offset: an integer! of whole hours, a time! of hours
// and quarter hours; both taken modulo 16 hours, the sign kept.
uint32_t zone_bits_of(const Cell* value) {
    double seconds;
    if (cell_type(value) == TYPE_INTEGER) seconds = (integer::get(value) % 16) * time::SECONDS_PER_HOUR;
    else if (cell_type(value) == TYPE_TIME) seconds = std::fmod(time::get(value), 16 * time::SECONDS_PER_HOUR);
    else fire(err::script::invalid_arg, value);
    if (!std::isfinite(seconds)) fire(err::script::invalid_arg, value);
    auto quarters = uint32_t(std::fabs(seconds) / 900.0);
    return seconds < 0.0 && quarters != 0 ? ZONE_WEST | quarters : quarters;
}

// The zone replaced; keep_local says the local time of day stays (the instant
// moves), else the instant stays and the local date and time follow.
void set_zone(Cell* date, const Cell* value, bool keep_local) {
    uint32_t bits = zone_bits_of(value);
    double local = has_time(packed_date(date)) ? local_seconds(date) : 0.0;
    double stored = has_time(packed_date(date)) ? cell_get_f64(date) : 0.0;
    set_packed_date(date, (packed_date(date) & ~ZONE_BITS) | TIME_FLAG | bits);
    if (keep_local) normalize(date, local, true);
    else normalize(date, stored, false);
}

// The local time of day with one clock field replaced, as time! paths set
// it; the date follows when it leaves the day.
void set_clock_field(Cell* date, int32_t field, const Cell* value) {
    double local = has_time(packed_date(date)) ? local_seconds(date) : 0.0;
    if (field == FIELD_HOUR) {
        local -= (std::floor(local / time::SECONDS_PER_HOUR) - integer_value(value)) * time::SECONDS_PER_HOUR;
    } else if (field == FIELD_MINUTE) {
        double minutes = std::floor(std::fmod(local, time::SECONDS_PER_HOUR) / time::SECONDS_PER_MINUTE);
        local -= (minutes - integer_value(value)) * time::SECONDS_PER_MINUTE;
    } else {
        double seconds;
        if (cell_type(value) == TYPE_INTEGER) seconds = integer::get(value);
        else if (cell_type(value) == TYPE_FLOAT) seconds = float_::get(value);
        else fire(err::script::invalid_arg, value);
        local -= std::fmod(local, time::SECONDS_PER_MINUTE) - seconds;
    }
    set_packed_date(date, packed_date(date) | TIME_FLAG);
    normalize(date, local, true);
}

void set_time(Cell* date, const Cell* value) {
    uint32_t packed = packed_date(date);
    if (cell_type(value) == TYPE_NONE) {
        init_cell(date, packed & ~(TIME_FLAG | ZONE_BITS), 0.0);
        return;
    }
    if (cell_type(value) != TYPE_TIME) fire(err::script::invalid_arg, value);
    set_packed_date(date, packed | TIME_FLAG);
    normalize(date, time::get(value), true);
}

void set_field(Cell* date, int32_t field, const Cell* value) {
    uint32_t packed = packed_date(date);
    switch (field) {
    case FIELD_DATE:
        // Only the calendar date: the time flag, zone and time stay this
        // date's own, so that a date without time keeps time 0.
        if (cell_type(value) != TYPE_DATE) fire(err::script::invalid_arg, value);
        move_to_day(date, day_number(packed_date(value)));
        return;
    case FIELD_YEAR: move_to_day(date, day_number_of(integer_value(value), month(packed), day(packed))); return;
    case FIELD_MONTH: move_to_day(date, day_number_of(year(packed), integer_value(value), day(packed))); return;
    case FIELD_DAY: move_to_day(date, day_number_of(year(packed), month(packed), integer_value(value))); return;
    case FIELD_ZONE: set_zone(date, value, true); return;
    case FIELD_TIMEZONE: set_zone(date, value, false); return;
    case FIELD_TIME: set_time(date, value); return;
    case FIELD_HOUR:
    case FIELD_MINUTE:
    case FIELD_SECOND: set_clock_field(date, field, value); return;
    case FIELD_WEEKDAY: set_weekday(date, integer_value(value)); return;
    case FIELD_YEARDAY: set_yearday(date, integer_value(value)); return;
    case FIELD_WEEK: set_sunday_week(date, integer_value(value)); return;
    default: set_week(date, integer_value(value)); return;
    }
}

}  // namespace

// ---------------------------------------------------------------- arithmetic

Cell* math(Cell* date, const Cell* operand, bool subtract) {
    uint32_t packed = packed_date(date);
    double days = day_number(packed);
    double seconds = cell_get_f64(date);
    double sign = subtract ? -1.0 : 1.0;
    switch (cell_type(operand)) {
    case TYPE_INTEGER: days += sign * integer::get(operand); break;
    case TYPE_TIME:
        packed |= TIME_FLAG;
        seconds += sign * time::get(operand);
        break;
    case TYPE_DATE: {
        if (!subtract) integer::raise_not_related("add", TYPE_DATE);
        uint32_t other = packed_date(operand);
        double carried = cell_get_f64(date) - cell_get_f64(operand);
        int32_t n = carry_days(day_number(packed) - day_number(other), &carried, packed);
        return integer::make_at(date, n);
    }
    default: integer::raise_invalid_type(cell_type(operand));
    }
    int32_t n = carry_days(checked_day(days), &seconds, packed);
    return init_cell(date, from_day_number(n, packed & (TIME_FLAG | ZONE_BITS)), seconds);
}

Cell* difference(Cell* result, const Cell* date1, const Cell* date2) {
    double days = double(day_number(packed_date(date1))) - day_number(packed_date(date2));
    return time::make_at(result, days * time::SECONDS_PER_DAY + (cell_get_f64(date1) - cell_get_f64(date2)));
}

int32_t to_epoch(const Cell* date) {
    double days = double(day_number(packed_date(date))) - UNIX_EPOCH_DAY;
    // Rounded to the nearest second, halves up, before 1970 as after it.
    double seconds = std::floor(days * time::SECONDS_PER_DAY + cell_get_f64(date) + 0.5);
    if (!(seconds >= INT32_MIN && seconds <= INT32_MAX)) {
        Cell datatype = integer::datatype_value(TYPE_INTEGER);
        fire(err::script::type_limit, &datatype);
    }
    return int32_t(seconds);
}

// ---------------------------------------------------------------- make and to

namespace {

// The slots of the block a date is made from, in the order the values come.
enum Slot { DAY, MONTH, YEAR, HOUR, MINUTE, SECONDS, TIME, ZONE_HOURS, ZONE_MINUTES, ZONE_TIME, SLOTS };

struct Step {
    int8_t next;  // -1: the value is refused
    int8_t slot;
};

// Per state: the step an integer!, a time! and a float! take.
constexpr Step STEPS[14][3] = {
    {{1, DAY}, {-1, 0}, {-1, 0}},            {{2, MONTH}, {-1, 0}, {-1, 0}},
    {{3, YEAR}, {-1, 0}, {-1, 0}},           {{8, HOUR}, {4, TIME}, {-1, 0}},
    {{6, ZONE_HOURS}, {5, ZONE_TIME}, {-1, 0}}, {{-1, 0}, {-1, 0}, {-1, 0}},
    {{7, ZONE_MINUTES}, {-1, 0}, {-1, 0}},   {{-1, 0}, {-1, 0}, {-1, 0}},
    {{9, MINUTE}, {-1, 0}, {-1, 0}},         {{10, SECONDS}, {-1, 0}, {10, SECONDS}},
    {{12, ZONE_HOURS}, {11, ZONE_TIME}, {-1, 0}}, {{-1, 0}, {-1, 0}, {-1, 0}},
    {{13, ZONE_MINUTES}, {-1, 0}, {-1, 0}},  {{-1, 0}, {-1, 0}, {-1, 0}},
};

struct BlockSpec {
    double values[SLOTS] = {};
    bool given[SLOTS] = {};
    uint32_t count = 0;
};

int32_t days_in_month(int32_t y, int32_t m) {
    static constexpr int32_t days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && leap_year(y) ? 29 : days[m - 1];
}

[[noreturn]] void bad_spec(const Cell* spec_value) { integer::raise_bad_to_arg(TYPE_DATE, spec_value); }

BlockSpec read_block(const Cell* block) {
    BlockSpec spec_value;
    int32_t state = 0;
    uint32_t length = block::length_from_head(block);
    for (uint32_t i = 0; i < length; i++) {
        const Cell* value = block::rs_abs_at(block, series_index(block) + i);
        int column;
        double number;
        switch (cell_type(value)) {
        case TYPE_INTEGER: column = 0, number = integer::get(value); break;
        case TYPE_TIME: column = 1, number = time::get(value); break;
        case TYPE_FLOAT: column = 2, number = float_::get(value); break;
        default: bad_spec(block);
        }
        Step step = STEPS[state][column];
        if (step.next < 0 || !std::isfinite(number)) bad_spec(block);
        spec_value.values[step.slot] = number;
        spec_value.given[step.slot] = true;
        state = step.next;
    }
    spec_value.count = length;
    if (length < 3) bad_spec(block);
    return spec_value;
}

// The zone bits of the given zone, refused beyond 15:45 either way.
uint32_t spec_zone_bits(const BlockSpec& spec_value, const Cell* block) {
    double seconds = spec_value.given[ZONE_TIME]
        ? spec_value.values[ZONE_TIME]
        : spec_value.values[ZONE_HOURS] * time::SECONDS_PER_HOUR +
              std::copysign(spec_value.values[ZONE_MINUTES] * time::SECONDS_PER_MINUTE, spec_value.values[ZONE_HOURS]);
    if (spec_value.values[ZONE_MINUTES] < 0.0) bad_spec(block);
    auto quarters = std::fabs(seconds) / 900.0;
    if (quarters >= 64.0) bad_spec(block);
    auto magnitude = uint32_t(quarters);
    return seconds < 0.0 && magnitude != 0 ? ZONE_WEST | magnitude : magnitude;
}

double spec_time(const BlockSpec& spec_value) {
    if (spec_value.given[TIME]) return spec_value.values[TIME];
    return spec_value.values[HOUR] * time::SECONDS_PER_HOUR + spec_value.values[MINUTE] * time::SECONDS_PER_MINUTE +
           spec_value.values[SECONDS];
}

// A date! from a block of day, month and year (or year, month and day), a
// time (or hour, minute and seconds) and a zone (or zone hours and
// minutes). strict refuses values that would carry; otherwise they carry.
Cell* from_block(Cell* result, const Cell* block, bool strict) {
    BlockSpec spec_value = read_block(block);
    if (spec_value.values[DAY] > 99 && spec_value.values[DAY] > spec_value.values[YEAR]) std::swap(spec_value.values[DAY], spec_value.values[YEAR]);
    double y = spec_value.values[YEAR], m = spec_value.values[MONTH], d = spec_value.values[DAY];
    double seconds = spec_time(spec_value);
    if (strict) {
        bool calendar = y >= MIN_YEAR && y <= MAX_YEAR && m >= 1 && m <= 12 && d >= 1 &&
                        d <= days_in_month(int32_t(y), int32_t(m));
        bool clock = seconds >= 0.0 && seconds < time::SECONDS_PER_DAY &&
                     (!spec_value.given[HOUR] || (hours_of(seconds) == spec_value.values[HOUR] &&
                                            minutes_of(seconds) == spec_value.values[MINUTE]));
        if (!calendar || !clock) bad_spec(block);
    }
    bool timed = spec_value.count > 3;
    uint32_t bits = timed ? TIME_FLAG | spec_zone_bits(spec_value, block) : 0;
    int32_t n = day_number_of(int64_t(y), int64_t(m), int64_t(d));
    init_cell(result, from_day_number(n, bits), 0.0);
    if (timed) normalize(result, seconds, true);
    return result;
}

// Unix time: whole days from 1 January 1970 and the seconds left, UTC.
Cell* from_epoch(Cell* result, int32_t seconds) {
    int32_t days = UNIX_EPOCH_DAY + seconds / 86400;
    init_cell(result, from_day_number(days, TIME_FLAG), 0.0);
    normalize(result, seconds % 86400, false);
    return result;
}

Cell* make(Cell* result, const Cell* spec_value, uint32_t) {
    switch (cell_type(spec_value)) {
    case TYPE_DATE: return copy_cell(spec_value, result);
    case TYPE_BLOCK:
    case TYPE_PAREN:
    case TYPE_HASH: return from_block(result, spec_value, true);
    default: bad_spec(spec_value);
    }
}

Cell* to(Cell* result, const Cell* spec_value, uint32_t) {
    switch (cell_type(spec_value)) {
    case TYPE_DATE: return copy_cell(spec_value, result);
    case TYPE_BLOCK:
    case TYPE_PAREN:
    case TYPE_HASH: return from_block(result, spec_value, false);
    case TYPE_INTEGER: return from_epoch(result, integer::get(spec_value));
    default: bad_spec(spec_value);
    }
}

}  // namespace

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

// A random day number from 0 to the date's own less one; with a time, also a
// random zone and a random time of day in steps of 24 seconds.
Cell* random(Cell* value, bool seed, bool secure, bool) {
    uint32_t packed = packed_date(value);
    if (seed) {
        random::seed(int32_t(packed + uint32_t(int64_t(std::trunc(cell_get_f64(value))))));
        return set_type(value, TYPE_UNSET);
    }
    int32_t n = checked_day(double(random::integer(day_number(packed), secure)) - 1);
    if (!has_time(packed)) return init_cell(value, from_day_number(n, 0), 0.0);
    uint32_t zone = uint32_t(secure ? random::next_secure() : random::next()) & ZONE_BITS;
    if ((zone & ZONE_MAGNITUDE) == 0) zone = 0;
    double r = random::fraction(secure);
    init_cell(value, from_day_number(n, TIME_FLAG | zone), 0.0);
    normalize(value, std::floor(r * 3600) * 24, true);
    return value;
}

Cell* add(Cell* value1, Cell* value2) { return math(value1, value2, false); }
Cell* subtract(Cell* value1, Cell* value2) { return math(value1, value2, true); }

// A field by number or word: an unknown word raises script cannot-use, a
// number outside the fields out-of-range.
Cell* pick(Cell* date, int32_t, const Cell* index) {
    int32_t field;
    if (cell_type(index) == TYPE_INTEGER) {
        field = integer::get(index);
        if (field < 1 || field > FIELD_COUNT) fire(err::script::out_of_range, index);
    } else if (cell_type(index) == TYPE_WORD) {
        field = field_of_word(index);
        if (field < 0) fire(err::script::cannot_use, index, date);
    } else {
        fire(err::script::invalid_arg, index);
    }
    return field_at(stack::push_cell(), date, field);
}

// Reads a field, or sets it in the date in place and answers the value set.
Cell* eval_path(Cell* parent, const Cell* element, const actions::PathArgs& args) {
    int32_t field = field_of_element(args.path, element);
    if (!args.value) return field_at(stack::push_cell(), parent, field);
    set_field(parent, field, args.value);
    return const_cast<Cell*>(args.value);
}

}  // namespace

void init() {
    using namespace registry;
    register_type(TYPE_DATE, Row()
        .set<SLOT_MAKE>(make)
        .set<SLOT_RANDOM>(random)
        .set<SLOT_TO>(to)
        .set<SLOT_FORM>(form)
        .set<SLOT_MOLD>(mold)
        .set<SLOT_EVAL_PATH>(eval_path)
        .set<SLOT_COMPARE>(compare)
        .set<SLOT_ADD>(add)
        .set<SLOT_SUBTRACT>(subtract)
        .set<SLOT_PICK>(pick));
}

}  // namespace vek::date
