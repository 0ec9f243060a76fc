#include "runtime/text/to_number.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

#include "runtime/datatypes/number/money.h"
#include "runtime/datatypes/string/buffer.h"
#include "runtime/lexer/load_numbers.h"

namespace vek {

namespace {

bool is_digit(uint32_t c) { return c >= '0' && c <= '9'; }
bool is_ascii_letter(uint32_t c) { return (c | 0x20) >= 'a' && (c | 0x20) <= 'z'; }

// The code points of a string's characters, read one by one.
class Chars {
public:
    Chars(const std::byte* first, uint32_t count, uint32_t unit) : first_(first), count_(count), unit_(unit) {}
    uint32_t count() const { return count_; }
    uint32_t operator[](uint32_t i) const { return string::get_char(first_ + size_t(i) * unit_, unit_); }

private:
    const std::byte* first_;
    uint32_t count_;
    uint32_t unit_;
};

// ---------------------------------------------------------------- decimal text to double

// The pieces of a decimal number found at the start of a text.
struct DecimalText {
    bool negative = false;
    const char* mantissa = nullptr;  // digits with at most one "."
    const char* mantissa_end = nullptr;
    int64_t exponent = 0;            // saturated far beyond the double range
    const char* end = nullptr;       // first byte not part of the number
    bool has_digit = false;
};

// Far enough outside the double range (10^-343 .. 10^309 for any mantissa the
// readers accept) to decide the result, and small enough never to overflow.
constexpr int64_t EXPONENT_LIMIT = 100000;

int64_t saturated(int64_t value) { return std::clamp(value, -EXPONENT_LIMIT, EXPONENT_LIMIT); }

DecimalText split_decimal(const char* p, const char* end) {
    DecimalText text;
    if (p < end && (*p == '+' || *p == '-')) text.negative = *p++ == '-';
    text.mantissa = p;
    while (p < end && is_digit(uint8_t(*p))) p++, text.has_digit = true;
    if (p < end && *p == '.') {
        p++;
        while (p < end && is_digit(uint8_t(*p))) p++, text.has_digit = true;
    }
    text.mantissa_end = p;
    text.end = p;
    if (!text.has_digit || p == end || (*p != 'e' && *p != 'E')) return text;
    const char* q = p + 1;
    bool negative_exponent = false;
    if (q < end && (*q == '+' || *q == '-')) negative_exponent = *q++ == '-';
    if (q == end || !is_digit(uint8_t(*q))) return text;  // "e" not followed by digits is not read
    int64_t exponent = 0;
    while (q < end && is_digit(uint8_t(*q))) exponent = saturated(exponent * 10 + (*q++ - '0'));
    text.exponent = negative_exponent ? -exponent : exponent;
    text.end = q;
    return text;
}

// Whether a nonzero mantissa times 10^exponent lies above 1: decides which way
// a result out of the double range went.
bool magnitude_above_one(const DecimalText& text) {
    int64_t position = 0;  // power of ten of the digit just before the point, + 1
    const char* point = text.mantissa_end;
    for (const char* p = text.mantissa; p < text.mantissa_end; p++)
        if (*p == '.') point = p;
    for (const char* p = text.mantissa; p < text.mantissa_end; p++) {
        if (*p == '.' || *p == '0') continue;
        position = p < point ? point - p : -(p - point - 1);
        break;
    }
    return position + text.exponent > 0;
}

// "1.#INF", "1.#NaN": one nonzero digit, ".", "#".
bool special_float(const char* p, const char* end, bool negative, double* value) {
    if (end - p < 4 || !is_digit(uint8_t(p[0])) || p[0] == '0' || p[1] != '.' || p[2] != '#') return false;
    char kind = char(p[3] | 0x20);
    if (kind == 'i') *value = negative ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
    else if (kind == 'n') *value = std::numeric_limits<double>::quiet_NaN();
    else return false;
    return true;
}

}  // namespace

namespace dtoa {

double text_to_float(const char* start, const char* end, int32_t exponent_adjust, int32_t* remaining) {
    DecimalText text = split_decimal(start, end);
    double special;
    if (special_float(text.mantissa, end, text.negative, &special)) {
        *remaining = 0;
        return special;
    }
    if (!text.has_digit) {
        *remaining = int32_t(end - start);
        return 0.0;
    }
    *remaining = int32_t(end - text.end);
    const char* digits = text.mantissa;
    while (digits < text.mantissa_end && *digits == '0') digits++;
    // Only zeros before any point: "-0" alone is the integer zero, while
    // "-0e1" (like "-0.0", read below) is a minus zero.
    if (digits == text.mantissa_end) return text.negative && text.end != text.mantissa_end ? -0.0 : 0.0;

    // The mantissa with the adjusted exponent written out, so that the one
    // rounding happens on the exact decimal value.
    std::array<char, 512> buffer;
    size_t mantissa_length = size_t(text.mantissa_end - digits);
    if (mantissa_length + 16 > buffer.size()) {
        *remaining = int32_t(end - start);
        return 0.0;
    }
    char* out = std::copy(digits, text.mantissa_end, buffer.data());
    if (out[-1] == '.') out--;  // "5." reads as "5"
    *out++ = 'e';
    out = std::to_chars(out, buffer.data() + buffer.size(), saturated(text.exponent + exponent_adjust)).ptr;

    double value = 0.0;
    auto [ptr, error] = std::from_chars(buffer.data(), out, value, std::chars_format::scientific);
    if (error == std::errc::result_out_of_range) {
        // from_chars leaves value untouched here: decide it from the text.
        text.exponent = saturated(text.exponent + exponent_adjust);
        value = magnitude_above_one(text) ? std::numeric_limits<double>::infinity() : 0.0;
    } else if (error != std::errc() || ptr != out) {
        *remaining = int32_t(end - start);
        return 0.0;
    }
    return text.negative ? -value : value;
}

}  // namespace dtoa

namespace string {

double to_float(const char* start, uint32_t length, int32_t* remaining) {
    return dtoa::text_to_float(start, start + length, 0, remaining);
}

}  // namespace string

namespace lexer {

int32_t scan_integer(const std::byte* first, uint32_t count, uint32_t unit, int32_t* status) {
    Chars text(first, count, unit);
    *status = NOT_A_NUMBER;
    uint32_t i = 0;
    bool negative = false;
    if (count > 0 && (text[0] == '+' || text[0] == '-')) negative = text[i++] == '-';
    // Accumulated as a magnitude so that -2147483648 needs no special path.
    uint64_t limit = negative ? 2147483648u : 2147483647u;
    uint64_t magnitude = 0;
    bool has_digit = false;
    for (; i < count; i++) {
        uint32_t c = text[i];
        if (c == '\'') continue;
        if (!is_digit(c)) return 0;
        magnitude = magnitude * 10 + (c - '0');
        if (magnitude > limit) {
            *status = INTEGER_OVERFLOW;
            return 0;
        }
        has_digit = true;
    }
    if (!has_digit) return 0;
    *status = 0;
    return negative ? int32_t(0u - uint32_t(magnitude)) : int32_t(magnitude);
}

double scan_float(const std::byte* first, uint32_t count, uint32_t unit, int32_t* status) {
    constexpr double NOT_A_FLOAT = std::numeric_limits<double>::quiet_NaN();
    *status = NOT_A_NUMBER;
    if (count > lexer::FLOAT_TEXT_MAX) return NOT_A_FLOAT;
    Chars text(first, count, unit);
    std::array<char, lexer::FLOAT_TEXT_MAX> copy{};
    for (uint32_t i = 0; i < count; i++) {
        uint32_t c = text[i];
        if (c > 0x7F) return NOT_A_FLOAT;
        copy[i] = c == ',' ? '.' : char(c);
    }
    if (!float_syntax(copy.data(), count)) return NOT_A_FLOAT;
    char* kept = std::remove(copy.data(), copy.data() + count, '\'');
    int32_t remaining;
    double value = dtoa::text_to_float(copy.data(), kept, 0, &remaining);
    if (remaining != 0) return NOT_A_FLOAT;
    *status = 0;
    return value;
}

Cell* scan_money(const std::byte* first, uint32_t count, uint32_t unit, int32_t* status, Cell* result) {
    Chars text(first, count, unit);
    *status = NOT_A_NUMBER;
    uint32_t i = 0;
    bool negative = false;
    if (count > 0 && (text[0] == '+' || text[0] == '-')) negative = text[i++] == '-';
    if (i == count) return result;

    std::array<char, 4> code{};
    bool has_code = is_ascii_letter(text[i]);
    if (has_code) {
        if (count - i < 5) return result;
        for (uint32_t k = 0; k < 3; k++) {
            uint32_t c = text[i + k];
            if (!is_ascii_letter(c)) return result;
            code[k] = char(c);
        }
        if (text[i + 3] != '$') return result;
        i += 4;
    } else if (text[i] == '$') {
        if (++i == count) return result;
    }

    // The amount: digits, "'" between digits of the integral part, one "."
    // between digits.
    std::array<char, 64> integral, fraction;
    size_t integral_length = 0, fraction_length = 0;
    bool in_fraction = false;
    for (uint32_t k = i; k < count; k++) {
        uint32_t c = text[k];
        bool first_char = k == i, last_char = k + 1 == count;
        uint32_t before = first_char ? 0 : text[k - 1];
        if (is_digit(c)) {
            size_t& length = in_fraction ? fraction_length : integral_length;
            if (length == integral.size()) return result;
            (in_fraction ? fraction : integral)[length++] = char(c);
        } else if (c == '\'') {
            if (first_char || last_char || before == '\'' || in_fraction) return result;
        } else if (c == '.') {
            if (first_char || last_char || before == '\'' || in_fraction) return result;
            in_fraction = true;
        } else {
            return result;
        }
    }
    if (!money::make_at_from_text(result, negative, has_code ? code.data() : nullptr, integral.data(),
                                  integral_length, fraction.data(), fraction_length))
        return result;
    *status = 0;
    return result;
}

}  // namespace lexer

}  // namespace vek
