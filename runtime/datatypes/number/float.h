// float!: the IEEE 754 binary64 number. A float! cell holds its value in
// words 2-3 (low half first); word 1 carries nothing. percent! and time!
// share the layout under their own ids, take float! as their parent and so
// reach the actions below with their own cells: every action reads "the
// float" of whichever of the three it is given and keeps its type unless
// said otherwise.
//
// Also here: the float services other modules share (the arithmetic kernel
// of the float-based types, near-equality for float64 and float32).
//
// Action signatures (the first argument is also the result cell):
//   make, to:  Cell* (Cell* result, const Cell* spec, uint32_t type)
//   random:  Cell* (Cell* value, bool seed, bool secure, bool only)
//   add, subtract, multiply, divide, remainder, power:
//       Cell* (Cell* value1, Cell* value2)
//   absolute, negate:  Cell* (Cell* value)
//   round:  Cell* (Cell* value, const actions::RoundArgs& args)
//   even?, odd?:  bool (const Cell* value)
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>

#include "runtime/core/cell.h"

namespace vek::float_ {

// A float! of the value.
inline Cell cell(double value) {
    Cell made = blank_cell(TYPE_FLOAT);
    cell_set_f64(&made, value);
    return made;
}

// Writes a float! (the cell's flags kept) and returns the cell.
Cell* make_at(Cell* cell, double value);
// A new float! appended at the block's tail.
Cell* make_in(const Cell* block, double value);
// A new float! pushed on the argument stack.
Cell* push(double value);
// The current frame's result cell made a float!.
Cell* box(double value);
// The float of a float!, percent! or time! cell.
inline double get(const Cell* cell) {
    VEK_CHECK_LAYOUT(cell, type_in<TYPE_FLOAT, TYPE_PERCENT, TYPE_TIME>);
    return cell_get_f64(cell);
}
// The payload of a float!, percent! or time!: word 1 cleared, the float in
// words 2-3; the header kept.
inline void set(Cell* cell, double value) {
    VEK_CHECK_LAYOUT(cell, type_in<TYPE_FLOAT, TYPE_PERCENT, TYPE_TIME>);
    cell->data1 = 0;
    cell_set_f64(cell, value);
}

// ---------------------------------------------------------------- float services

inline double abs_bits(double value) {
    return std::bit_cast<double>(std::bit_cast<uint64_t>(value) & ~(uint64_t(1) << 63));
}
inline bool is_nan(double value) { return std::isnan(value); }
inline bool is_float32_nan(float value) { return value != value; }
inline bool not_finite(double value) { return !std::isfinite(value); }

// Equal, or within the float64 epsilon of each other, or at most 10 units in
// the last place apart; NaN is near nothing.
bool near_equal(double a, double b);
// The float32 counterpart (coordinates of points): at most 10 units in the
// last place apart, or, at the top of the range, close to each other with
// the same sign.
bool float32_near_equal(float a, float b);

// The arithmetic kernel of the float-based types: op (integer::MathOp, add
// to remainder) of a left operand of type integer!, float!, percent! or
// time! and the right operand; the result overwrites value1, which is
// returned. IEEE results (infinities, NaN) are values, never errors. A
// money! right operand takes the operation to money::math_op.
Cell* math_op(Cell* value1, const Cell* value2, int32_t op);

// Registers float!.
void init();

}  // namespace vek::float_
