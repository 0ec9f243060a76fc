#include "runtime/text/float_text.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace vek::float_text {

bool pretty_print = true;
bool full_support = false;

namespace {

constexpr double EPSILON = std::numeric_limits<double>::epsilon();  // 2.220446049250313e-16
constexpr int32_t MAX_DIGITS = 30;

const char* not_finite_text(double value) {
    if (std::isnan(value)) return "1.#NaN";
    return std::signbit(value) ? "-1.#INF" : "1.#INF";
}

void copy_text(char* out, const char* text) { std::memcpy(out, text, std::strlen(text) + 1); }

// Appends the decimal text of n; returns the new end.
char* put_int(char* p, int32_t n) { return std::to_chars(p, p + 12, n).ptr; }

char* put_zeros(char* p, int32_t n) {
    std::memset(p, '0', size_t(std::max(n, 0)));
    return p + std::max(n, 0);
}

char* put(char* p, const char* text, size_t n) {
    std::memcpy(p, text, n);
    return p + n;
}

// ---------------------------------------------------------------- format

bool percent_mode(int32_t mode) { return mode == FORMAT_PERCENT32 || mode == FORMAT_PERCENT64; }

int32_t first_precision(int32_t mode) {
    switch (mode) {
    case FORMAT_FLOAT32:
    case FORMAT_PERCENT32:
    case FORMAT_COORDINATE: return 7;
    case FORMAT_PERCENT64: return 13;
    default: return 16;
    }
}

int32_t retry_precision(int32_t mode) {
    return mode == FORMAT_FLOAT32 || mode == FORMAT_SECONDS || mode == FORMAT_COORDINATE ? 5 : 14;
}

// "%.<precision>g" of the value; returns its length.
size_t general_text(char* out, size_t size, double value, int32_t precision) {
    return size_t(std::to_chars(out, out + size, value, std::chars_format::general, precision).ptr - out);
}

size_t first_text(char* out, size_t size, double value, int32_t mode) {
    if (mode != FORMAT_SECONDS) return general_text(out, size, value, first_precision(mode));
    FloatText text = float_to_text(value, 6, false);
    copy_text(out, text.c_str());
    return std::strlen(text.c_str());
}

struct Layout {
    size_t length;
    size_t exponent;  // position of "e", or length when there is none
    bool point;       // a "." before the exponent
};

Layout scan(const char* text, size_t length) {
    const char* e = std::find(text, text + length, 'e');
    size_t exponent = size_t(e - text);
    return {length, exponent, std::find(text, e, '.') != e};
}

// Past 16 significant characters the last two digits show the binary
// representation's error (…01, …99) rather than the value.
bool shows_representation_error(const char* text, const Layout& layout) {
    size_t end;
    if (layout.exponent < layout.length) {
        if (layout.exponent <= 16) return false;
        end = layout.exponent;
    } else {
        const char* digits = text[0] == '-' ? text + 1 : text;
        size_t limit = digits[0] == '0' ? 17 : 16;
        if (layout.length <= limit) return false;
        end = layout.length;
    }
    return (text[end - 2] == '0' && text[end - 1] == '1') || (text[end - 2] == '9' && text[end - 1] == '9');
}

// The text with its exponent rewritten ("e+20" as "e20", "e-05" as "e-5"),
// ".0" given to whole numbers of the modes that show it, "%" to percents.
FloatText finish(const char* text, const Layout& layout, int32_t mode) {
    FloatText out;
    char* p = put(out.chars.data(), text, layout.exponent);
    bool marks_whole = !percent_mode(mode) && mode != FORMAT_SECONDS && mode != FORMAT_COORDINATE;
    if (marks_whole && !layout.point) p = put(p, ".0", 2);
    if (layout.exponent < layout.length) {
        const char* q = text + layout.exponent + 1;
        const char* end = text + layout.length;
        bool negative = *q == '-';
        while (q < end && *q < '1') q++;
        *p++ = 'e';
        if (negative) *p++ = '-';
        p = put(p, q, size_t(end - q));
    }
    if (percent_mode(mode)) *p++ = '%';
    *p = '\0';
    return out;
}

}  // namespace

// ---------------------------------------------------------------- digits

Digits float_to_digits(double value, int32_t ndigits, bool point_zero) {
    Digits d{};
    d.negative = std::signbit(value) && !std::isnan(value);
    if (!std::isfinite(value)) {
        d.point = POINT_NOT_FINITE;
        copy_text(d.text, not_finite_text(value));
        return d;
    }
    if (value == 0.0) {
        d.point = POINT_ZERO;
        copy_text(d.text, d.negative ? (point_zero ? "-0.0" : "-0") : (point_zero ? "0.0" : "0"));
        return d;
    }
    // to_chars gives the digits as "d.ddde±x"; its shortest form reads back
    // exactly, its fixed precision is correctly rounded (half-even on ties).
    char sci[64];
    double magnitude = std::fabs(value);
    auto result = ndigits <= 0
                      ? std::to_chars(sci, sci + sizeof sci, magnitude, std::chars_format::scientific)
                      : std::to_chars(sci, sci + sizeof sci, magnitude, std::chars_format::scientific,
                                      std::min(ndigits, MAX_DIGITS) - 1);
    const char* end = result.ptr;
    const char* e = std::find(static_cast<const char*>(sci), end, 'e');
    int32_t count = 0;
    for (const char* p = sci; p < e; p++)
        if (*p != '.') d.text[count++] = *p;
    while (count > 1 && d.text[count - 1] == '0') count--;
    d.text[count] = '\0';
    d.count = count;
    int32_t exponent = 0;
    const char* digits = e + 1 + (e[1] == '+' || e[1] == '-');
    std::from_chars(digits, end, exponent);
    d.point = (e[1] == '-' ? -exponent : exponent) + 1;
    return d;
}

FloatText float_to_text(double value, int32_t ndigits, bool point_zero) {
    Digits d = float_to_digits(value, ndigits, point_zero);
    if (d.count == 0) return FloatText::of(d.text);
    FloatText out;
    const char* digits = d.text;
    int32_t n = d.count;
    int32_t k = d.point;
    char* p = out.chars.data();
    if (d.negative) *p++ = '-';
    if (k > 17 || k < -6) {
        *p++ = digits[0];
        if (n > 1) {
            *p++ = '.';
            p = put(p, digits + 1, size_t(n - 1));
        } else if (point_zero) {
            p = put(p, ".0", 2);
        }
        *p++ = 'e';
        p = put_int(p, k - 1);
    } else if (k >= 1) {
        if (k >= n) {
            p = put(p, digits, size_t(n));
            p = put_zeros(p, k - n);
            if (point_zero) p = put(p, ".0", 2);
        } else {
            p = put(p, digits, size_t(k));
            *p++ = '.';
            p = put(p, digits + k, size_t(n - k));
        }
    } else {
        p = put(p, "0.", 2);
        p = put_zeros(p, -k);
        p = put(p, digits, size_t(n));
    }
    *p = '\0';
    return out;
}

// ---------------------------------------------------------------- format

FloatText format(double value, int32_t mode) {
    if (!std::isfinite(value)) return FloatText::of(not_finite_text(value));
    if (pretty_print && std::fabs(value) < EPSILON)
        return FloatText::of(percent_mode(mode) ? "0%" : mode == FORMAT_COORDINATE ? "0" : "0.0");
    char text[48];
    Layout layout = scan(text, first_text(text, sizeof text - 1, value, mode));
    if (pretty_print && shows_representation_error(text, layout))
        layout = scan(text, general_text(text, sizeof text - 1, value, retry_precision(mode)));
    return finish(text, layout, mode);
}

}  // namespace vek::float_text
