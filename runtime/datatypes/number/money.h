// money!: an exact decimal amount with an optional currency, 17 integral and
// 5 fractional digits held as packed BCD inside the cell.
//
// Cell bytes: 0-3 the header (bit 14 the sign, set for negative); byte 4 the
// currency, 0 for none, else the 1-based position of its word in the
// system's currency list; bytes 5-15 the amount, 22 digits most significant
// first (digit 1 is the high nibble of byte 5), digits 1-17 integral, 18-22
// the fraction in units of 0.00001. A zero amount is zero whatever the sign
// bit says.
//
// The arithmetic reads an amount as one exact integer count of 0.00001
// units (below 10^22, so 128 bits hold it and every product of two amounts
// that can fit); a result that needs an 18th integral digit raises script
// type-limit (money!). Nothing rounds silently but the fraction digits
// beyond the fifth, which multiplication, division and the lenient float
// conversion cut off.
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

// The 1-based position of the code, its first three letters, in the currency
// list (letter case ignored), or -1 when it is not there.
int32_t find_currency(const char* code);
// The same for a word! whose name is the code; a name of other than three
// letters is no currency.
int32_t find_currency_word(const Cell* word);

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

// ---------------------------------------------------------------- conversions

// Writes a money! without currency (the cell's flags kept) holding the
// integer.
Cell* from_integer(Cell* cell, int32_t value);
// Writes a money! without currency holding the float's decimal value, read
// to 22 significant digits. Raises script bad-make-arg (money!, the float)
// for an infinity or NaN, a magnitude of 10^17 or more, a non-zero
// magnitude below 0.00001, and, when strict, a float whose 22 digits carry
// more than five fraction digits (so 0.5 passes and 0.1 does not); lenient,
// those digits are cut off.
Cell* from_float(Cell* cell, double value, bool strict);
// The integral part with the sign; script type-limit (integer!) beyond the
// 32-bit range.
int32_t to_integer(const Cell* value);
// The nearest float to the amount.
double to_float(const Cell* value);

// ---------------------------------------------------------------- arithmetic and order

// op (integer::MathOp, add to remainder) of value1 and value2, at least one
// of them a money!, the other an integer!, float! or percent!; the result
// overwrites value1, which is returned. The result is a money! in the
// right's currency (the left's when the right has none), but a float! for
// money! divided by money!. Raises script invalid-type for money! times
// money! and for a non-money! divided by money! (remainder too), and for
// another operand type; script wrong-denom (value1, value2) for two
// different currencies; math zero-divide; script type-limit (money!) when
// the result has more than 17 integral digits.
Cell* math_op(Cell* value1, const Cell* value2, int32_t op);

// The compare action of money! (actions::CompareOp): value is a money!; the
// other an integer! (exactly), a float! (strictly converted, raising as
// from_float; one beyond the amounts money holds compares by its sign and
// magnitude) or a money!. Ordering two money! values of different
// currencies raises script wrong-denom; they are merely unequal under the
// equality codes, and the sorting codes order them by currency first. Any
// other type gives -2.
int32_t compare(const Cell* value, const Cell* other, int32_t op);
// The same answer seen from the other side: other (an integer! or float!)
// compared with the money! value.
int32_t compare_from_other(const Cell* other, const Cell* value, int32_t op);

// Registers money!.
void init();

}  // namespace vek::money
