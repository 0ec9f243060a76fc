// Numbers read from text outside the lexer: to integer!, to/make float! and
// to money! of a string read its characters with these readers, which follow
// the lexer's number rules ("'" groups digits, "," may stand for the decimal
// point). Each reader takes the address of the first character, the number of
// characters and the string's unit (1, 2 or 4 bytes), and reports failure in
// *status (0 on success, -1 not a number, -2 integer overflow); raising the
// error is left to the caller. A character beyond ASCII is never part of a
// number.
//
// Below them, the decimal reader every float literal goes through.
#pragma once

#include <cstddef>
#include <cstdint>

#include "runtime/core/cell.h"

namespace vek::lexer {

constexpr int32_t NOT_A_NUMBER = -1;
constexpr int32_t INTEGER_OVERFLOW = -2;

// Optional sign, then digits and "'" anywhere.
int32_t scan_integer(const std::byte* first, uint32_t count, uint32_t unit, int32_t* status);
// At most 312 characters of float syntax; NaN on failure.
double scan_float(const std::byte* first, uint32_t count, uint32_t unit, int32_t* status);
// Optional sign, optional three-letter currency code and "$" (the "$" is
// needed after a code), digits with "'" separators and at most one ".".
// Writes a money! into result on success.
Cell* scan_money(const std::byte* first, uint32_t count, uint32_t unit, int32_t* status, Cell* result);

}  // namespace vek::lexer

namespace vek::dtoa {

// Reads the decimal number at the start of [start, end): an optional sign,
// digits with an optional "." and fraction, an optional exponent; "1.#INF",
// "-1.#INF" and "1.#NaN" (any case) too. exponent_adjust is added to the
// decimal exponent before rounding, so "0.7" with -2 is exactly the double
// nearest 0.007. *remaining gets the number of bytes left unread (0 when the
// whole range was the number; the whole length when no digit was found).
// Beyond the range of doubles the value is an infinity, below it a zero,
// each with the text's sign; "-0" alone reads as +0.0, "-0.0" as -0.0.
double text_to_float(const char* start, const char* end, int32_t exponent_adjust, int32_t* remaining);

}  // namespace vek::dtoa

namespace vek::string {

// Decimal text of a byte length read as a float64 (no exponent adjustment).
double to_float(const char* start, uint32_t length, int32_t* remaining);

}  // namespace vek::string
