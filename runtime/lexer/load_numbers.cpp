#include "runtime/lexer/load_numbers.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "runtime/datatypes/compound/date.h"
#include "runtime/datatypes/compound/date_helpers.h"
#include "runtime/datatypes/compound/pair.h"
#include "runtime/datatypes/compound/point.h"
#include "runtime/datatypes/compound/tuple.h"
#include "runtime/datatypes/number/float.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/number/money.h"
#include "runtime/datatypes/number/percent.h"
#include "runtime/datatypes/number/time.h"
#include "runtime/lexer/lexer.h"
#include "runtime/lexer/tables.h"
#include "runtime/text/to_number.h"

namespace vek::lexer {

namespace {

bool is_digit(uint8_t c) { return c >= '0' && c <= '9'; }
bool is_sign(uint8_t c) { return c == '+' || c == '-'; }

// The token being loaded, with the scan it belongs to.
struct Token {
    State* st;
    const uint8_t* start;
    const uint8_t* end;

    [[noreturn]] void fail(int32_t type) const { syntax_error(st, type, start); }
};

// ---------------------------------------------------------------- float syntax

// Byte classes of the float automaton: other, sign, digit, exponent letter,
// point, separator.
uint8_t float_class(uint8_t c) {
    if (is_sign(c)) return 1;
    if (is_digit(c)) return 2;
    if (c == 'e' || c == 'E') return 3;
    if (c == '.') return 4;
    if (c == '\'') return 5;
    return 0;
}

constexpr uint8_t FLOAT_REJECT = 10;
constexpr uint8_t FLOAT_END_COLUMN = 6;

// Rows: states 0-10; columns: the six classes, then the end of the text.
constexpr uint8_t FLOAT_STATES[11][7] = {
    {10, 0, 1, 10, 4, 10, 10}, {10, 10, 1, 6, 5, 2, 9},   {10, 10, 1, 10, 10, 10, 9},
    {10, 10, 3, 6, 10, 4, 9},  {10, 10, 3, 10, 10, 10, 9}, {10, 10, 3, 10, 10, 10, 9},
    {10, 7, 8, 10, 10, 10, 10}, {10, 10, 8, 10, 10, 10, 10}, {10, 10, 8, 10, 10, 10, 9},
    {9, 9, 9, 9, 9, 9, 9},      {10, 10, 10, 10, 10, 10, 10},
};

// ---------------------------------------------------------------- decimal readers

enum class Read { ok, bad, overflow };

// Optional sign, digits with single "'" separators; the value must fit 32
// bits (-2147483648 however it is grouped).
Read read_integer(const uint8_t* p, const uint8_t* end, int32_t* value) {
    bool negative = false;
    if (p < end && is_sign(*p)) negative = *p++ == '-';
    uint64_t limit = negative ? 2147483648u : 2147483647u;
    uint64_t magnitude = 0;
    bool has_digit = false;
    for (; p < end; p++) {
        if (*p == '\'') {
            if (p + 1 < end && p[1] == '\'') return Read::bad;
            continue;
        }
        if (!is_digit(*p)) return Read::bad;
        magnitude = std::min<uint64_t>(magnitude * 10 + (*p - '0'), limit + 1);
        has_digit = true;
    }
    if (!has_digit) return Read::bad;
    if (magnitude > limit) return Read::overflow;
    *value = negative ? int32_t(0u - uint32_t(magnitude)) : int32_t(magnitude);
    return Read::ok;
}

// A run of decimal digits at p (at most max_digits of them), saturated far
// above any field limit. Answers the digits read.
size_t read_digits(const uint8_t*& p, const uint8_t* end, size_t max_digits, int64_t* value) {
    const uint8_t* first = p;
    int64_t result = 0;
    while (p < end && size_t(p - first) < max_digits && is_digit(*p))
        result = std::min<int64_t>(result * 10 + (*p++ - '0'), 1'000'000'000);
    *value = result;
    return size_t(p - first);
}

// The float of a checked text, with "'" separators removed first; NaN when it
// is not a float text of at most 312 bytes. exponent_adjust -2 reads a
// percent's number as its fraction, exactly.
double read_float(const uint8_t* start, const uint8_t* end, int32_t exponent_adjust) {
    constexpr double NOT_A_FLOAT = std::numeric_limits<double>::quiet_NaN();
    size_t length = size_t(end - start);
    if (!float_syntax(reinterpret_cast<const char*>(start), length)) return NOT_A_FLOAT;
    std::array<char, FLOAT_TEXT_MAX> copy;
    char* kept = std::remove_copy(start, end, copy.data(), '\'');
    int32_t remaining;
    double value = dtoa::text_to_float(copy.data(), kept, exponent_adjust, &remaining);
    return remaining == 0 ? value : NOT_A_FLOAT;
}

// A number the float reader rejected: NaN never comes from a valid text here
// (the special forms have their own loader).
bool float_failed(double value) { return std::isnan(value); }

// The float or the NaN of a special form ("1.#INF", "-1.#inf", "1.#NaN"); false
// for any other text.
bool read_special_float(const uint8_t* p, const uint8_t* end, double* value) {
    bool negative = false;
    if (p < end && is_sign(*p)) negative = *p++ == '-';
    if (end - p != 6 || p[0] != '1' || p[1] != '.' || p[2] != '#') return false;
    auto upper = [](uint8_t c) { return char(c & ~0x20); };
    char name[3] = {upper(p[3]), upper(p[4]), upper(p[5])};
    if (name[0] == 'N' && name[1] == 'A' && name[2] == 'N') {
        *value = std::numeric_limits<double>::quiet_NaN();
        return true;
    }
    if (name[0] == 'I' && name[1] == 'N' && name[2] == 'F') {
        *value = negative ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
        return true;
    }
    return false;
}

void store_float(const Token& token, bool load, double value) {
    if (load) float_::make_at(alloc_cell(token.st), value);
}

// ---------------------------------------------------------------- dates

constexpr const char* MONTH_NAMES[12] = {"January", "February", "March",     "April",   "May",      "June",
                                         "July",    "August",   "September", "October", "November", "December"};
constexpr int32_t MONTH_DAYS[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

// The month whose name begins with the 3 to 9 letters, ignoring case; 0 when
// none does.
int32_t month_of_name(const uint8_t* name, size_t length) {
    if (length < 3 || length > 9) return 0;
    for (int32_t month = 0; month < 12; month++) {
        const char* full = MONTH_NAMES[month];
        size_t i = 0;
        while (i < length && full[i] != '\0' && (name[i] | 0x20) == (full[i] | 0x20)) i++;
        if (i == length) return month + 1;
    }
    return 0;
}

struct DateFields {
    int64_t year = 0, month = 1, day = 1;
    bool has_time = false;
    double seconds = 0;
    int64_t zone_hours = 0, zone_minutes = 0;
    bool zone_negative = false;
    int64_t week = 0, weekday = 0, yearday = 0;
    bool week_form = false, weekday_given = false, ordinal_form = false;
};

// Reads the date token; false when its text is not a date.
class DateReader {
public:
    DateReader(const uint8_t* start, const uint8_t* end) : p_(start), end_(end) {}

    bool read(DateFields* date) {
        date_ = date;
        const uint8_t* first_start = p_;
        int64_t first;
        if (!signed_field(&first)) return false;
        size_t first_length = size_t(p_ - first_start);
        if (p_ == end_) return false;
        bool ok;
        if (is_digit(*p_)) ok = basic_form(first);
        else if (*p_ == '-' && p_ + 1 < end_ && p_[1] == 'W' && first_length == 4) ok = week_form(first);
        else if (*p_ == '-' && ordinal_ahead()) ok = ordinal_form(first);
        else if (*p_ == '-' || *p_ == '/') ok = calendar_form(first, first_length);
        else ok = false;
        return ok && p_ == end_;
    }

private:
    const uint8_t* p_;
    const uint8_t* end_;
    DateFields* date_ = nullptr;

    bool next_is(uint8_t c) const { return p_ < end_ && *p_ == c; }
    bool take(uint8_t c) {
        if (!next_is(c)) return false;
        p_++;
        return true;
    }

    // Optional "-", then 1 to 4 digits.
    bool signed_field(int64_t* value) {
        bool negative = take('-');
        if (read_digits(p_, end_, 4, value) == 0) return false;
        if (negative) *value = -*value;
        return true;
    }

    bool exact_digits(size_t count, int64_t* value) { return read_digits(p_, end_, count, value) == count; }

    // "-" and exactly three digits.
    bool ordinal_ahead() const {
        const uint8_t* q = p_ + 1;
        size_t digits = 0;
        while (q < end_ && is_digit(*q)) q++, digits++;
        return digits == 3;
    }

    // Seconds: digits and "." read as a float; absent gives 0.
    bool seconds(double* value) {
        const uint8_t* first = p_;
        while (p_ < end_ && (is_digit(*p_) || *p_ == '.')) p_++;
        if (p_ == first) {
            *value = 0;
            return true;
        }
        *value = read_float(first, p_, 0);
        return !float_failed(*value);
    }

    void set_zone(bool negative, int64_t hours, int64_t minutes) {
        date_->zone_negative = negative;
        date_->zone_hours = hours;
        date_->zone_minutes = minutes;
    }

    // yyyymmddThhmm[ss[.s]][Z|+hhmm|-hhmm], the year already read.
    bool basic_form(int64_t year) {
        date_->year = year;
        int64_t hour, minute;
        if (!exact_digits(2, &date_->month) || !exact_digits(2, &date_->day)) return false;
        if (!take('T') || !exact_digits(2, &hour) || !exact_digits(2, &minute)) return false;
        double second = 0;
        if (!take('Z')) {
            if (!seconds(&second)) return false;
            if (!take('Z') && (next_is('+') || next_is('-'))) {
                bool negative = *p_++ == '-';
                int64_t zone_hours, zone_minutes;
                if (!exact_digits(2, &zone_hours) || !exact_digits(2, &zone_minutes)) return false;
                set_zone(negative, zone_hours, zone_minutes);
            }
        }
        return set_time(hour, minute, second);
    }

    // yyyy-Www[-d][time]
    bool week_form(int64_t year) {
        p_ += 2;
        date_->year = year;
        date_->week_form = true;
        if (!exact_digits(2, &date_->week)) return false;
        if (take('-')) {
            date_->weekday_given = true;
            if (!exact_digits(1, &date_->weekday)) return false;
        }
        return optional_time();
    }

    // yyyy-ddd[time]
    bool ordinal_form(int64_t year) {
        p_++;
        date_->year = year;
        date_->ordinal_form = true;
        exact_digits(3, &date_->yearday);
        return optional_time();
    }

    // d-m-y or y-m-d, with "-" or "/" and the month as digits or a name.
    bool calendar_form(int64_t first, size_t first_length) {
        uint8_t separator = *p_++;
        int64_t month;
        const uint8_t* name = p_;
        if (read_digits(p_, end_, 2, &month) == 0) {
            while (p_ < end_ && ((*p_ | 0x20) >= 'a' && (*p_ | 0x20) <= 'z')) p_++;
            month = month_of_name(name, size_t(p_ - name));
            if (month == 0) return false;
        }
        if (!take(separator)) return false;
        const uint8_t* third_start = p_;
        int64_t third;
        if (!signed_field(&third)) return false;
        size_t third_length = size_t(p_ - third_start);
        date_->month = month;
        int64_t year_length;
        if (third < 0 || third > 31 || first < 100) {
            date_->day = first;
            date_->year = third;
            year_length = int64_t(third_length);
        } else {
            date_->year = first;
            date_->day = third;
            year_length = int64_t(first_length);
        }
        if (date_->year >= 0 && date_->year <= 99 && year_length < 3)
            date_->year += date_->year < 50 ? 2000 : 1900;
        return optional_time();
    }

    bool optional_time() {
        if (p_ == end_) return true;
        if (!take('/') && !take('T')) return false;
        return time_part();
    }

    // h[h]:m[m][:s][Z|(+|-)h[h][[:]m[m]]]
    bool time_part() {
        int64_t hour, minute;
        if (read_digits(p_, end_, 2, &hour) == 0 || !take(':')) return false;
        if (read_digits(p_, end_, 2, &minute) == 0) return false;
        double second = 0;
        if (take(':') && (p_ == end_ || !is_digit(*p_) || !seconds(&second))) return false;
        if (!take('Z') && (next_is('+') || next_is('-'))) {
            bool negative = *p_++ == '-';
            int64_t zone_hours, zone_minutes = 0;
            if (read_digits(p_, end_, 2, &zone_hours) == 0) return false;
            take(':');
            read_digits(p_, end_, 2, &zone_minutes);
            set_zone(negative, zone_hours, zone_minutes);
        }
        return set_time(hour, minute, second);
    }

    bool set_time(int64_t hour, int64_t minute, double second) {
        if (hour >= 24 || minute >= 60 || !(second < 60.0)) return false;
        date_->has_time = true;
        date_->seconds = double(hour * 3600 + minute * 60) + second;
        return true;
    }
};

bool valid_date(const DateFields& fields) {
    if (fields.year <= -10000 || fields.year >= 10000) return false;
    if (fields.zone_hours >= 16 || fields.zone_minutes >= 60) return false;
    if (fields.week_form) return !fields.weekday_given || (fields.weekday >= 1 && fields.weekday <= 7);
    if (fields.ordinal_form) return fields.yearday >= 1 && fields.yearday <= (date::leap_year(int32_t(fields.year)) ? 366 : 365);
    if (fields.month < 1 || fields.month > 12 || fields.day < 1 || fields.day > MONTH_DAYS[fields.month - 1]) return false;
    return !(fields.month == 2 && fields.day == 29 && !date::leap_year(int32_t(fields.year)));
}

void make_date(Cell* cell, const DateFields& fields) {
    date::make_at(cell, int32_t(fields.year), int32_t(fields.month), int32_t(fields.day), fields.seconds,
                  int32_t(fields.zone_hours), int32_t(fields.zone_minutes), fields.has_time);
    if (fields.zone_negative) date::set_zone_negative(cell);
    if (fields.week_form) {
        if (fields.week != 0) date::set_week(cell, int32_t(fields.week));
        if (fields.weekday_given) date::set_weekday(cell, int32_t(fields.weekday));
    }
    if (fields.ordinal_form) date::set_yearday(cell, int32_t(fields.yearday));
}

// ---------------------------------------------------------------- time

struct TimeNumber {
    bool negative = false;
    int64_t magnitude = 0;
};

// Optional "-", digits with "'" separators.
bool time_number(const uint8_t*& p, const uint8_t* end, bool allow_sign, TimeNumber* number) {
    if (allow_sign && p < end && *p == '-') {
        number->negative = true;
        p++;
    }
    bool has_digit = false;
    for (; p < end && (is_digit(*p) || *p == '\''); p++) {
        if (*p == '\'') continue;
        number->magnitude = std::min<int64_t>(number->magnitude * 10 + (*p - '0'), int64_t(1) << 50);
        has_digit = true;
    }
    return has_digit;
}

// The seconds of a time token; NaN when it is not a time.
double read_time(const uint8_t* p, const uint8_t* end, uint32_t flags) {
    constexpr double NOT_A_TIME = std::numeric_limits<double>::quiet_NaN();
    if (p < end && *p == '+') p++;
    TimeNumber first, second;
    if (!time_number(p, end, true, &first) || p == end || *p++ != ':') return NOT_A_TIME;
    const uint8_t* after_colon = p;
    if (!time_number(p, end, false, &second)) return NOT_A_TIME;
    double value;
    if (p == end) {
        value = double(first.magnitude) * 3600 + double(second.magnitude) * 60;
    } else {
        if (flags & F_EXPONENT) return NOT_A_TIME;
        bool hours_form = *p == ':';
        if (!hours_form && *p != '.' && *p != ',') return NOT_A_TIME;
        const uint8_t* seconds_start = hours_form ? p + 1 : after_colon;
        if (seconds_start == end) return NOT_A_TIME;
        double seconds = read_float(seconds_start, end, 0);
        if (float_failed(seconds) || seconds < 0) return NOT_A_TIME;
        value = hours_form ? double(first.magnitude) * 3600 + double(second.magnitude) * 60 + seconds
                           : double(first.magnitude) * 60 + seconds;
    }
    return first.negative ? -value : value;
}

// ---------------------------------------------------------------- money

constexpr size_t MONEY_INTEGRAL_MAX = 17;
constexpr size_t MONEY_FRACTION_MAX = 5;

bool load_money_text(const Token& token, bool load) {
    const uint8_t* p = token.start;
    const uint8_t* end = token.end;
    bool negative = false;
    if (p < end && is_sign(*p)) negative = *p++ == '-';
    const uint8_t* code = p;
    while (p < end && *p != '$') p++;
    size_t code_length = size_t(p - code);
    if (p == end || (code_length != 0 && code_length != 3)) return false;
    p++;
    if (p == end || !is_digit(*p)) return false;

    // The integral part: digits with single "'" between them.
    const uint8_t* integral = p;
    for (; p < end && *p != '.' && *p != ','; p++) {
        if (*p == '\'' ? p[-1] == '\'' : !is_digit(*p)) return false;
    }
    if (p[-1] == '\'') return false;
    const uint8_t* integral_end = p;
    // Leading zeros do not count, but one stays for an amount below 1.
    while (integral + 1 < integral_end && (*integral == '0' || *integral == '\'')) integral++;
    if (size_t(std::count_if(integral, integral_end, is_digit)) > MONEY_INTEGRAL_MAX) return false;

    const uint8_t* fraction = end;
    if (p < end) {
        fraction = ++p;
        while (p < end && is_digit(*p)) p++;
        if (p != end || p == fraction || size_t(p - fraction) > MONEY_FRACTION_MAX) return false;
    }
    if (code_length != 0 && money::find_currency(reinterpret_cast<const char*>(code)) < 0) return false;
    if (!load) return true;
    // Made aside: the maker writes a whole header, and the output cell's
    // new-line flag must stay.
    Cell made{};
    if (!money::make_at_from_text(&made, negative, code_length != 0 ? reinterpret_cast<const char*>(code) : nullptr,
                                  reinterpret_cast<const char*>(integral), size_t(integral_end - integral),
                                  reinterpret_cast<const char*>(fraction), size_t(end - fraction)))
        return false;
    Cell* cell = alloc_cell(token.st);
    made.header |= cell->header & CELL_NEW_LINE;
    *cell = made;
    return true;
}

// ---------------------------------------------------------------- points

// Spaces and tabs inside a point literal.
const uint8_t* skip_blanks(const uint8_t* p, const uint8_t* end) {
    while (p < end && (*p == ' ' || *p == '\t')) p++;
    return p;
}

// One coordinate, from p to the next ",", ")", space or tab.
float point_field(const Token& token, const uint8_t*& p, int32_t point_type) {
    p = skip_blanks(p, token.end);
    if (p == token.end || *p == ',') token.fail(point_type);
    const uint8_t* field = p;
    bool special = false;
    while (p < token.end && *p != ',' && *p != ' ' && *p != '\t') special |= *p++ == '#';
    double value;
    if (special ? !read_special_float(field, p, &value) : float_failed(value = read_float(field, p, 0)))
        token.fail(TYPE_FLOAT);
    p = skip_blanks(p, token.end);
    return float(value);
}

}  // namespace

bool float_syntax(const char* text, size_t length) {
    if (length > FLOAT_TEXT_MAX) return false;
    uint8_t state = 0;
    for (size_t i = 0; i < length && state != FLOAT_REJECT; i++)
        state = FLOAT_STATES[state][float_class(uint8_t(text[i]))];
    return FLOAT_STATES[state][FLOAT_END_COLUMN] != FLOAT_REJECT;
}

void load_integer(State* st, const uint8_t* start, const uint8_t* end, uint32_t, bool load) {
    Token token{st, start, end};
    st->position = end;
    auto double_separator = [](uint8_t a, uint8_t b) { return a == '\'' && b == '\''; };
    if (std::adjacent_find(start, end, double_separator) != end) token.fail(TYPE_INTEGER);
    int32_t value;
    // Past ten digits, leading zeros or not, the number is a float!.
    Read read = std::count_if(start, end, is_digit) > 10 ? Read::overflow : read_integer(start, end, &value);
    switch (read) {
    case Read::ok:
        if (load) integer::make_at(alloc_cell(st), value);
        return;
    case Read::overflow: {
        // Too large for 32 bits: the same digits make a float!.
        double number = read_float(start, end, 0);
        if (float_failed(number)) token.fail(TYPE_FLOAT);
        return store_float(token, load, number);
    }
    case Read::bad: token.fail(TYPE_INTEGER);
    }
}

void load_hex(State* st, const uint8_t* start, const uint8_t* end, uint32_t, bool load) {
    Token token{st, start, end};
    // The "h" belongs to the token: the next one starts right after it.
    st->position = end;
    const uint8_t* digits_end = end - 1;
    size_t count = size_t(digits_end - start);
    if (!is_digit(*start) && count == 1) token.fail(TYPE_WORD);
    if (count < 2 || count > 8) token.fail(TYPE_INTEGER);
    uint32_t value = 0;
    for (const uint8_t* p = start; p < digits_end; p++) {
        uint8_t c = *p;
        uint32_t digit = is_digit(c) ? c - '0' : (c | 0x20) >= 'a' && (c | 0x20) <= 'f' ? (c | 0x20) - 'a' + 10 : 16;
        if (digit == 16) token.fail(TYPE_INTEGER);
        value = value << 4 | digit;
    }
    if (load) integer::make_at(alloc_cell(st), int32_t(value));
}

void load_float(State* st, const uint8_t* start, const uint8_t* end, uint32_t, bool load) {
    Token token{st, start, end};
    st->position = end;
    double value = read_float(start, end, 0);
    if (float_failed(value)) token.fail(TYPE_FLOAT);
    store_float(token, load, value);
}

void load_percent(State* st, const uint8_t* start, const uint8_t* end, uint32_t, bool load) {
    Token token{st, start, end};
    st->position = end + 1;  // past the "%"
    double value = read_float(start, end, -2);
    if (float_failed(value)) token.fail(TYPE_PERCENT);
    if (load) percent::make_at(alloc_cell(st), value);
}

void load_special_float(State* st, const uint8_t* start, const uint8_t* end, uint32_t, bool load) {
    Token token{st, start, end};
    st->position = end;
    double value;
    if (!read_special_float(start, end, &value)) token.fail(TYPE_FLOAT);
    store_float(token, load, value);
}

void load_pair(State* st, const uint8_t* start, const uint8_t* end, uint32_t flags, bool load) {
    Token token{st, start, end};
    st->position = end;
    if (flags & F_DOT) token.fail(TYPE_PAIR);
    const uint8_t* x_end = std::find_if(start, end, [](uint8_t c) { return c == 'x' || c == 'X'; });
    int32_t x, y;
    if (x_end == end || read_integer(start, x_end, &x) != Read::ok || read_integer(x_end + 1, end, &y) != Read::ok)
        token.fail(TYPE_PAIR);
    if (load) pair::make_at(alloc_cell(st), x, y);
}

void load_point(State* st, const uint8_t* start, const uint8_t* end, uint32_t, bool load) {
    Token token{st, start, end};
    const uint8_t* p = start;
    float x = point_field(token, p, TYPE_POINT2D);
    if (p == end || *p++ != ',') token.fail(TYPE_POINT2D);
    float y = point_field(token, p, TYPE_POINT2D);
    bool three = p < end && *p == ',';
    float z = 0;
    if (three) {
        p++;
        z = point_field(token, p, TYPE_POINT3D);
        if (p != end) token.fail(TYPE_POINT3D);
    } else if (p != end) {
        token.fail(TYPE_POINT2D);
    }
    st->line = st->point_line;
    st->start_state = 0;
    st->position = end + 1;  // past the ")"
    if (!load) return;
    Cell* cell = close_point(st);
    if (three) point3d::make_at(cell, x, y, z);
    else point2d::make_at(cell, x, y);
}

void load_tuple(State* st, const uint8_t* start, const uint8_t* end, uint32_t, bool load) {
    Token token{st, start, end};
    st->position = end;
    std::array<uint8_t, tuple::MAX_SIZE> bytes{};
    uint32_t size = 0;
    for (const uint8_t* p = start;; p++) {
        int64_t value;
        if (size == tuple::MAX_SIZE || read_digits(p, end, size_t(end - p), &value) == 0 || value > 255)
            token.fail(TYPE_TUPLE);
        bytes[size++] = uint8_t(value);
        if (p == end) break;
        if (*p != '.') token.fail(TYPE_TUPLE);
    }
    if (size < 3) token.fail(TYPE_TUPLE);
    if (load) tuple::make_at(alloc_cell(st), bytes.data(), size);
}

void load_time(State* st, const uint8_t* start, const uint8_t* end, uint32_t flags, bool load) {
    Token token{st, start, end};
    st->position = end;
    double seconds = read_time(start, end, flags);
    if (std::isnan(seconds)) token.fail(TYPE_TIME);
    if (load) time::make_at(alloc_cell(st), seconds);
}

void load_money(State* st, const uint8_t* start, const uint8_t* end, uint32_t, bool load) {
    Token token{st, start, end};
    st->position = end;
    if (!load_money_text(token, load)) token.fail(TYPE_MONEY);
}

void load_date(State* st, const uint8_t* start, const uint8_t* end, uint32_t, bool load) {
    Token token{st, start, end};
    st->position = end;
    DateFields fields;
    if (!DateReader(start, end).read(&fields) || !valid_date(fields)) token.fail(TYPE_DATE);
    if (load) make_date(alloc_cell(st), fields);
}

}  // namespace vek::lexer
