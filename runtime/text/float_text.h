// Floats as text: the decimal digits of a float64 (shortest round-trip or a
// fixed number of significant digits, correctly rounded, half-even on exact
// ties), their layout as the language's float text, and the general float
// formatter with its precision modes that form of every float-based value
// uses.
#pragma once

#include <cstdint>

#include "runtime/text/fixed_text.h"

namespace vek::float_text {

// Set from system/options/float: pretty_print from its pretty? field (on at
// start-up), full_support from its full? field.
extern bool pretty_print;
extern bool full_support;

// The decimal-point position that marks the special results of
// float_to_digits.
constexpr int32_t POINT_NOT_FINITE = 9999;  // infinity or NaN
constexpr int32_t POINT_ZERO = 9998;

// A float's text, answered by value.
using FloatText = FixedText<48>;

struct Digits {
    // For a finite non-zero value: its decimal digits without trailing zeros,
    // NUL-terminated, the value being 0.d1d2...dn x 10^point. For the
    // special results: the whole text ("1.#INF", "-1.#INF", "1.#NaN", "0.0",
    // "-0.0", "0" or "-0").
    char text[32];
    int32_t count;  // digits in text (0 for the special results)
    int32_t point;
    bool negative;
};

// ndigits <= 0: the shortest digits that read back as the same value; above
// 0: at most that many significant digits. point_zero picks "0.0" over "0"
// for a zero.
Digits float_to_digits(double value, int32_t ndigits, bool point_zero);

// The float text of the value from float_to_digits: plain notation for
// decimal-point positions -6 to 17, scientific ("1.5e300", "1.0e17") beyond;
// point_zero adds ".0" to a whole number (and "0" after the point of a
// one-digit scientific text). mold of float! is ndigits 0 with point_zero.
FloatText float_to_text(double value, int32_t ndigits, bool point_zero);

// The modes of format: which value it is and how it is shown.
enum FormatMode : int32_t {
    FORMAT_FLOAT32 = 0,     // 7 significant digits, ".0" added to whole numbers
    FORMAT_FLOAT64 = 1,     // 16 significant digits, ".0" added to whole numbers
    FORMAT_PERCENT32 = 2,   // 7 digits of the value already multiplied by 100, then "%"
    FORMAT_PERCENT64 = 3,   // 13 digits, then "%"
    FORMAT_SECONDS = 4,     // 6 significant digits, nothing added
    FORMAT_COORDINATE = 5,  // 7 digits, nothing added
};

// The general float formatter behind form: "%g"-style text at the mode's
// precision, its exponent without "+" or leading zeros. While pretty_print
// is on, values below the float64 epsilon read as zero, and a text that shows
// the representation error (ending in "01" or "99" past 16 characters) is
// made once more at the mode's second precision.
FloatText format(double value, int32_t mode);

}  // namespace vek::float_text
