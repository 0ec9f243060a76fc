// integer!: the 32-bit signed integer. An integer! cell holds its value in
// word 2; words 1 and 3 carry nothing, and the header's flags are kept when a
// cell is overwritten.
//
// Also here: the integer arithmetic every other module relies on (checked
// add, subtract and multiply; divide and remainder with their math errors;
// float-to-integer conversion), and the integer implementations of the
// actions.
//
// Action signatures. The operands are the call's argument cells and the first
// one is the result cell, so every arithmetic implementation writes its result
// into its first argument and returns it:
//   add, subtract, multiply, divide, remainder, and~, or~, xor~, power:
//       Cell* (Cell* value1, Cell* value2)
//   absolute, negate, complement:  Cell* (Cell* value)
//   even?, odd?:  bool (const Cell* value)
//   round:  Cell* (Cell* value, const actions::RoundArgs& args)
//   random:  Cell* (Cell* value, bool seed, bool secure, bool only)
//   make, to:  Cell* (Cell* result, const Cell* spec, uint32_t type)
// Other datatypes' arithmetic slots are called through the same signatures:
// an integer with a float!, percent! or time! goes to float!'s slot, which
// takes an integer on the left; with a money! to money!'s; with a pair!,
// point, tuple!, date! or vector! the operands are swapped and that type's
// slot runs. Until those datatypes register the slot, internal not-done.
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/core/raise.h"
#include "runtime/text/fixed_text.h"

namespace vek::integer {

constexpr int32_t MIN = INT32_MIN;
constexpr int32_t MAX = INT32_MAX;

// Arithmetic operation codes shared by the numeric types.
enum MathOp : int32_t {
    OP_ADD = 0, OP_SUBTRACT = 1, OP_MULTIPLY = 2, OP_DIVIDE = 3, OP_REMAINDER = 4,
    OP_OR = 5, OP_AND = 6, OP_XOR = 7,
};
// The name of the action an operation code stands for ("subtract").
const char* op_word(int32_t op);

// ---------------------------------------------------------------- checked arithmetic

// Each stores the exact result and answers true, or answers false (leaving
// *out wrapped) when the result leaves the 32-bit range.
inline bool checked_add(int32_t a, int32_t b, int32_t* out) { return !__builtin_add_overflow(a, b, out); }
inline bool checked_subtract(int32_t a, int32_t b, int32_t* out) { return !__builtin_sub_overflow(a, b, out); }
inline bool checked_multiply(int32_t a, int32_t b, int32_t* out) { return !__builtin_mul_overflow(a, b, out); }

// The quotient truncated toward zero and the remainder with the dividend's
// sign. A zero divisor raises math zero-divide; MIN by -1, whose quotient
// does not fit, raises math overflow (for the remainder too, as the machine
// division would fault on it).
inline void check_divisor(int32_t a, int32_t b) {
    if (b == 0) fire(err::math::zero_divide);
    if (a == MIN && b == -1) fire(err::math::overflow);
}
inline int32_t divide(int32_t a, int32_t b) {
    check_divisor(a, b);
    return a / b;
}
inline int32_t remainder(int32_t a, int32_t b) {
    check_divisor(a, b);
    return a % b;
}

// |value|; MIN raises math overflow.
inline int32_t abs(int32_t value) {
    if (value == MIN) fire(err::math::overflow);
    return value < 0 ? -value : value;
}

inline int32_t sign(int32_t value) { return (value > 0) - (value < 0); }

// ---------------------------------------------------------------- errors of the number types

// A datatype! value of the type, for error arguments.
inline Cell datatype_value(uint32_t type) { return Cell{TYPE_DATATYPE, type, 0, 0}; }

// script not-related: the action (its word, or an unbound word of that
// name) does not apply to the type.
[[noreturn]] void raise_not_related(const Cell* word, uint32_t type);
[[noreturn]] void raise_not_related(const char* action, uint32_t type);
// script invalid-type with the type.
[[noreturn]] void raise_invalid_type(uint32_t type);
// script bad-to-arg: the spec cannot become a value of the type.
[[noreturn]] void raise_bad_to_arg(uint32_t type, const Cell* spec);

// ---------------------------------------------------------------- floats to integers

// True when the float does not fit: above 2147483647.0, below -2147483648.0,
// or NaN.
inline bool float_out_of_range(double value) {
    return !(value >= -2147483648.0 && value <= 2147483647.0);
}
// The float truncated toward zero; a float that does not fit gives MIN, as the
// machine's conversion does, rather than an undefined result.
inline int32_t truncate(double value) {
    return float_out_of_range(value) ? MIN : int32_t(value);
}

// The integer of a number argument: an integer!'s value; a float! truncated
// toward zero, raising script out-of-range with the value when it does not
// fit. Any other cell gives its word 2.
int32_t from_number_arg(const Cell* value);

// The value of an issue!'s name read as at most eight hexadecimal digits;
// script invalid-data with the issue otherwise.
int32_t from_issue(const Cell* issue);
// The first four bytes of a binary! from its head, big-endian (fewer bytes
// make a smaller number, none 0).
int32_t from_binary(const Cell* binary);

// ---------------------------------------------------------------- cells

// An integer! cell of the value, for cells built by value.
constexpr Cell cell(int32_t value) { return Cell{TYPE_INTEGER, 0, uint32_t(value), 0}; }

// Writes an integer! (the cell's flags kept) and returns the cell.
inline Cell* make_at(Cell* cell, int32_t value) {
    set_type(cell, TYPE_INTEGER);
    cell->data2 = uint32_t(value);
    return cell;
}
// char! and handle! share the layout: they take integer!'s actions with
// their own cells.
inline int32_t get(const Cell* cell) {
    VEK_CHECK_LAYOUT(cell, type_in<TYPE_INTEGER, TYPE_CHAR, TYPE_HANDLE>);
    return int32_t(cell->data2);
}

// A new integer! appended at the block's tail.
Cell* make_in(const Cell* block, int32_t value);
// A new integer! pushed on the argument stack.
Cell* push(int32_t value);
// The current frame's result cell made an integer!.
Cell* box(int32_t value);
// Word 2 of the result cell, whatever its type.
int32_t get_result();
// The result cell's value when it is an integer!, else 0.
int32_t get_result_or_zero();

// Decimal text: "-2147483648" at the longest.
FixedText<12> to_decimal_text(int32_t value);
// The result cell made a new string! of the decimal text, sized to it.
Cell* form_at(Cell* result, int32_t value);

// The 32-bit result of op on left and right. When result is given: an add,
// subtract or multiply that overflows, and a divide that leaves a remainder,
// turn it into a float! of the exact operation on doubles (and answer 0);
// otherwise the value is also stored in it as an integer!. Division errors as
// divide and remainder above. Without a result cell, overflow wraps.
int32_t do_math(int32_t left, int32_t right, int32_t op, Cell* result);

// Registers integer!.
void init();

}  // namespace vek::integer
