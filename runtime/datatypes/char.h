// char!: one Unicode code point, 0 to U+10FFFF. A char! cell holds the code
// point in word 2; words 1 and 3 are 0. char! takes random, absolute, even?
// and odd? from integer!, its parent, and has its own construction, text
// forms, comparison and arithmetic that stays within the code point range.
//
// Action signatures are integer!'s (runtime/datatypes/number/integer.h).
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"

namespace vek::char_ {

constexpr int32_t MAX_CODE_POINT = 0x10FFFF;

// A char! of the code point.
constexpr Cell cell(uint32_t code_point) { return Cell{TYPE_CHAR, 0, code_point, 0}; }

// Writes a char! (the cell's flags kept) and returns the cell.
Cell* make_at(Cell* cell, uint32_t code_point);
inline uint32_t get(const Cell* cell) {
    VEK_CHECK_LAYOUT(cell, type_in<TYPE_CHAR>);
    return cell->data2;
}
// The code point replaced, the rest of the cell kept.
inline void set(Cell* cell, uint32_t code_point) {
    VEK_CHECK_LAYOUT(cell, type_in<TYPE_CHAR>);
    cell->data2 = code_point;
}
// A new char! pushed on the argument stack.
Cell* push(uint32_t code_point);
// The current frame's result cell made a char!.
Cell* box(uint32_t code_point);
// A new char! appended at the block's tail.
Cell* make_in_block(const Cell* block, uint32_t code_point);

// Arithmetic on value1's code point with a char!, integer! or float!
// (truncated) operand; the result stays in value1 and stays a char!. A result
// outside the code point range raises math overflow; a zero divisor math
// zero-divide; any other operand type script invalid-type. A vector! operand
// takes the whole operation (vector::scalar_on_left).
Cell* do_math(Cell* value1, const Cell* value2, int32_t op);

// Registers char!; integer! must be registered first.
void init();

}  // namespace vek::char_
