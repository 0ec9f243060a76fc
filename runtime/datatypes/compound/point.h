// point2D! and point3D!: points with float32 coordinates, written in
// parentheses, the coordinates separated by a comma and a blank: (1, 2.5) and
// (1, 2, 3). Payload word 1 holds x, word 2 y, word 3 z (point3D!; a
// point2D! carries nothing there). Numbers entering a point are narrowed to
// float32.
#pragma once

#include <bit>
#include <cstdint>

#include "runtime/core/cell.h"

namespace vek::point2d {

inline float x(const Cell* cell) {
    VEK_CHECK_LAYOUT(cell, type_in<TYPE_POINT2D>);
    return std::bit_cast<float>(cell->data1);
}
inline float y(const Cell* cell) {
    VEK_CHECK_LAYOUT(cell, type_in<TYPE_POINT2D>);
    return std::bit_cast<float>(cell->data2);
}

// Writes a point2D! (the cell's flags kept) and returns the cell.
Cell* make_at(Cell* cell, float x, float y);
// A new point2D! appended at the block's tail.
Cell* make_in(const Cell* block, float x, float y);
// A new point2D! pushed on the argument stack.
Cell* push(float x, float y);
// The point arithmetic: op (integer::MathOp, add to remainder) of the
// point and value (integer!, float!, percent!, pair! or point2D!), each
// coordinate computed in float64 and stored as float32; the result
// overwrites point, which is returned. Division by zero gives infinities or
// NaN. Another type raises script invalid-type.
Cell* math_op(Cell* point, const Cell* value, int32_t op);

// Registers point2D!.
void init();

}  // namespace vek::point2d

namespace vek::point3d {

inline float x(const Cell* cell) {
    VEK_CHECK_LAYOUT(cell, type_in<TYPE_POINT3D>);
    return std::bit_cast<float>(cell->data1);
}
inline float y(const Cell* cell) {
    VEK_CHECK_LAYOUT(cell, type_in<TYPE_POINT3D>);
    return std::bit_cast<float>(cell->data2);
}
inline float z(const Cell* cell) {
    VEK_CHECK_LAYOUT(cell, type_in<TYPE_POINT3D>);
    return std::bit_cast<float>(cell->data3);
}

Cell* make_at(Cell* cell, float x, float y, float z);
Cell* make_in(const Cell* block, float x, float y, float z);
Cell* push(float x, float y, float z);
// As point2d::math_op, with integer!, float!, percent! or point3D! values.
Cell* math_op(Cell* point, const Cell* value, int32_t op);

// Registers point3D!.
void init();

}  // namespace vek::point3d
