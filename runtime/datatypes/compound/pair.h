// pair!: two 32-bit signed integers written x, the letter x, y (10x20): sizes
// and positions. Word 1 of the cell carries nothing, word 2 is x, word 3 y.
//
// Its arithmetic is integer arithmetic per coordinate with an integer!, a
// pair! or a float! cut toward zero; a result that leaves the integers (an
// overflow, an inexact division), a scaling by a float (multiply, divide) and
// a point2D! operand make the result a point2D!. The actions are reached
// through the action dispatch only.
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"

namespace vek::pair {

inline int32_t x(const Cell* cell) {
    VEK_CHECK_LAYOUT(cell, type_in<TYPE_PAIR>);
    return int32_t(cell->data2);
}
inline int32_t y(const Cell* cell) {
    VEK_CHECK_LAYOUT(cell, type_in<TYPE_PAIR>);
    return int32_t(cell->data3);
}

// Writes a pair! (the cell's flags kept) and returns the cell.
Cell* make_at(Cell* cell, int32_t x, int32_t y);
// A new pair! appended at the block's tail.
Cell* make_in(const Cell* block, int32_t x, int32_t y);
// A new pair! pushed on the argument stack.
Cell* push(int32_t x, int32_t y);

// Registers pair!.
void init();

}  // namespace vek::pair
