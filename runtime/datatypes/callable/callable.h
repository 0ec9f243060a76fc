// The layout shared by the callable values: native! (21), action! (22),
// op! (23), function! (24) and routine! (29).
//
// Every callable cell keeps the node of its spec block in word 2 and the node
// of its internal block in word 3. The second cell of every internal block is
// the argument cache: unset! until the evaluator's first call builds it. An
// op! is a copy of the cell it wraps, so it shares the source's internal
// block, argument cache included.
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/memory/series.h"

namespace vek::callable {

constexpr uint32_t INTERNAL_ARGS_CACHE = 1;

inline Node spec_node(const Cell* value) {
    VEK_CHECK_LAYOUT(value, is_any_function);
    return Node(value->data2);
}
inline Node internal_node(const Cell* value) {
    VEK_CHECK_LAYOUT(value, is_any_function);
    return Node(value->data3);
}
// The internal block's first cell; valid until the next call that may
// allocate.
inline Cell* internal(const Cell* value) { return node_buffer(internal_node(value))->cells(); }
inline Cell* args_cache(const Cell* value) { return internal(value) + INTERNAL_ARGS_CACHE; }

// Writes a block! (head 0) on the value's spec into the cell.
inline Cell* spec_block(const Cell* value, Cell* out) {
    *out = Cell{TYPE_BLOCK, 0, uint32_t(spec_node(value)), 0};
    return out;
}

// The spec entries that name an argument: word!, get-word! and lit-word!.
inline bool is_argument_word(uint32_t type) {
    return type == TYPE_WORD || type == TYPE_GET_WORD || type == TYPE_LIT_WORD;
}
// The spec entries that name a word of the function's context: the
// arguments and the refinements.
inline bool is_spec_word(uint32_t type) { return is_argument_word(type) || type == TYPE_REFINEMENT; }

}  // namespace vek::callable
