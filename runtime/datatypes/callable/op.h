// op! (23, child of native!): an infix operator made from a native!,
// action!, function! or routine!. The cell is a copy of its source's cell
// with the header 23 | (source type << 16); for a function! or routine!
// source a copy of the source value also sits in the fourth cell of the
// source's internal block, where the infix call finds it (flags included).
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/memory/series.h"

namespace vek::op {

constexpr uint32_t INTERNAL_SOURCE = 3;  // in a function!'s or routine!'s internal block

inline uint32_t source_type(const Cell* op) { return (op->header >> SOURCE_SHIFT) & TYPE_MASK; }

// The evaluator's note of the operation on numbers it computes itself for
// the operator (eval::inline_tag_for), 0 for none; copies keep it.
inline uint32_t inline_tag(const Cell* op) { return (op->header & INLINE_MASK) >> INLINE_SHIFT; }
inline void set_inline_tag(Cell* op, uint32_t tag) {
    op->header = (op->header & ~INLINE_MASK) | (tag << INLINE_SHIFT);
}

// The callable the operator wraps, written into out: for a function! or
// routine! the stored copy of the source, else the cell retyped to its
// source type.
Cell* unwrap(const Cell* op, Cell* out);

// Whether a spec suits an operator: exactly two arguments, the first not
// quoted (lit-word or get-word), no refinement but /local or /extern after
// the two, the count taken up to a set-word such as return:.
bool valid_spec(Node spec);

// Writes the operator made from the source into result. The source must be
// a native!, action!, function! or routine! (else script invalid-type with
// its datatype) whose spec passes valid_spec (else script bad-op-spec).
// result may be the source cell itself.
Cell* make_from(Cell* result, const Cell* source);
// A new operator pushed on the evaluation stack.
Cell* push(const Cell* source);

// Registers op!, after native!.
void init();

}  // namespace vek::op
