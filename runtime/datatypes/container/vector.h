// vector!: a packed numeric array. Its elements are all of one datatype,
// char!, integer!, float! or percent!, stored unboxed at a fixed width (the
// buffer's unit): char! and integer! 1, 2 or 4 bytes, float! 4 or 8,
// percent! 8. A vector cell is laid out as a string: word 1 the head index
// in elements, word 2 the node of the element buffer, word 3 the element
// datatype id. A percent! element holds the fraction (50% is 0.5).
//
// vector! takes string!'s series actions, which work on the unit; what it
// adds is construction from a make block, elements read and stored as values,
// element-wise arithmetic and bitwise operations, comparison and its text
// forms. Integer element arithmetic wraps at the element width.
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/memory/series.h"

namespace vek::vector {

// A vector! over the node's element buffer, at its head, of the element type.
inline Cell cell(Node node, uint32_t element_type) { return Cell{TYPE_VECTOR, 0, uint32_t(node), element_type}; }

// Word 3: the datatype id of the elements.
inline uint32_t element_type(const Cell* vector) {
    VEK_CHECK_LAYOUT(vector, type_in<TYPE_VECTOR>);
    return vector->data3;
}

// A vector! cell of the same element type over another buffer of elements,
// from its first one.
inline Cell over(const Cell* vector, Node elements) {
    return Cell{TYPE_VECTOR, 0, uint32_t(elements), element_type(vector)};
}

// The unit that an element type takes when the make block gives no bit size.
constexpr uint32_t default_unit(uint32_t type) { return type == TYPE_FLOAT || type == TYPE_PERCENT ? 8 : 4; }

// Writes a new empty vector! of the element type and unit (bytes) into the
// cell, with room for count elements. count x unit beyond 32 bits raises
// internal no-memory. Returns the cell.
Cell* make_at(Cell* cell, uint32_t count, uint32_t type, uint32_t unit);
// A copy of the cell pushed on the evaluation stack.
Cell* push(const Cell* value);

// The element at an index from the buffer's first one, written into out as a
// value of the element type: integers read signed at the unit width, chars
// unsigned, float32 widened to double. Returns out.
Cell* get_element(const Cell* vector, uint32_t index, Cell* out);
// Raises script invalid-arg with the value unless its type is the vector's
// element type: storing a value of another type would keep its bits under
// the wrong meaning.
void check_value(const Cell* vector, const Cell* value);
// Stores a value, already checked, at an index from the buffer's first
// element, which must lie before the tail: an integer or char by its low
// unit bytes, a float or percent as float64 or float32 by the unit.
void store(const Cell* vector, uint32_t index, const Cell* value);

// Each checks the value (script invalid-arg) and then: appends it at the
// tail; stores it at an index from the buffer start (the tail itself
// extends the vector by one; beyond it script out-of-range); inserts it at
// an index from the buffer start, moving the elements from there up.
void append_value(const Cell* vector, const Cell* value);
void poke_value(const Cell* vector, uint32_t index, const Cell* value);
void insert_value(const Cell* vector, uint32_t index, const Cell* value);
// append_value for each value of the block from its head; all are checked
// before any is appended.
void append_block(const Cell* vector, const Cell* block);
// number op vector, for an integer!, char!, float!, percent! or time! on
// the left (op an integer::MathOp): the vector's element-wise arithmetic
// with the number, done in place as for vector op number, and the vector
// left in the number's cell. subtract, divide and remainder, whose order
// matters, raise script not-related with the action's word and the
// number's datatype.
Cell* scalar_on_left(Cell* number, const Cell* vector, int32_t op);

// A new block! in the cell of the elements from the head, each a value of
// the element type. Returns the cell.
Cell* to_block(const Cell* vector, Cell* cell);

// Registers vector!; string! must be registered first.
void init();

}  // namespace vek::vector
