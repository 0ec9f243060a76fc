// money!: an exact decimal amount with an optional currency, 17 integral and
// 5 fractional digits held as packed BCD inside the cell.
//
// Cell bytes: 0-3 the header (bit 14 the sign, set for negative); byte 4 the
// currency, 0 for none, else the 1-based position of its word in the
// system's currency list; bytes 5-15 the amount, 22 digits most significant
// first (digit 1 is the high nibble of byte 5), digits 1-17 integral, 18-22
// the fraction in units of 0.00001. A zero amount is zero whatever the sign
// bit says.
#pragma once

#include <cstddef>
#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/text/sink.h"

namespace vek::money {

constexpr int32_t DIGITS = 22;
constexpr int32_t INTEGRAL_DIGITS = 17;
constexpr int32_t FRACTION_DIGITS = 5;
constexpr uint32_t AMOUNT_BYTES = 11;

inline bool sign(const Cell* cell) { return (cell->header & SIGN_BIT) != 0; }
void set_sign(Cell* cell, bool negative);
uint32_t currency(const Cell* cell);
void set_currency(Cell* cell, uint32_t index);
// Digit n, 1 to 22.
uint32_t digit(const Cell* cell, int32_t n);
void set_digit(Cell* cell, int32_t n, uint32_t value);
// 0 for a zero amount, -1 with the sign bit, else 1.
int32_t signum(const Cell* cell);

// The 1-based position of the three-letter code in the currency list (letter
// case ignored), or -1 when it is not there.
int32_t find_currency(const char* code);

// Writes a money! (the cell's flags kept) from its sign, currency index and
// the 11 amount bytes.
Cell* make_at(Cell* cell, bool negative, uint32_t currency, const uint8_t* amount);
// Writes the whole cell, a money! from text: the currency code (three
// letters, or nullptr for none), the integral digits (each "'" skipped) and
// the fraction digits (those past the fifth dropped). Answers false, writing
// nothing, for an unknown currency code, a byte that is no digit, or more
// than 17 integral digits past leading zeros.
bool make_at_from_text(Cell* cell, bool negative, const char* code, const char* integral,
                       size_t integral_length, const char* fraction, size_t fraction_length);

// The text of the amount: "-" when negative, the currency code, "$", the
// integral digits (grouped by "'" in threes when grouping), then "." and the
// number of fraction digits the system's money-digits option asks for
// (truncated), all five when all is set.
void form_text(const Cell* value, text::Sink& sink, bool all, bool grouping);

// Registers money!.
void init();

}  // namespace vek::money
