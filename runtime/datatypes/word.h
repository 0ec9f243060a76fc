// Word cells and their constructors. The five word kinds -- word! (15),
// set-word! (16), lit-word! (17), get-word! (18), refinement! (19) -- and
// issue! (20) share one layout:
// - header: the type in bits 0-7, flags above (kept when a cell is retyped);
// - word 1: the node of the context the word is bound to (0: unbound);
// - word 2: the 1-based symbol id;
// - word 3: the 0-based index in the context, -1 while unresolved (issue!
//   always -1).
//
// The constructors bind to the global context. Cells answered point into
// buffers that may grow unless said otherwise: valid until the next call
// that may allocate.
#pragma once

#include <cstdint>

#include "runtime/cell.h"

namespace vek {

constexpr uint32_t WORD_UNRESOLVED = 0xFFFFFFFFu;  // word 3 of a word whose index is unknown

namespace word {

// Writes a word! of the symbol into the cell (its flags kept), bound to the
// global context, where the symbol is added (with an unset! value) when no
// spelling of it is there yet.
Cell* make_at(uint32_t symbol, Cell* cell);
// make_at into the current frame's result cell.
Cell* box(uint32_t symbol);
// make_at into a new cell at the block's tail.
Cell* make_in(const Cell* block, uint32_t symbol);
// Interns the UTF-8 name, then make_in.
Cell* load_in(const Cell* block, const char* name);
// make_at into a new cell on the argument stack.
Cell* push_global(uint32_t symbol);
// Interns the name and answers its entry in the global context (added when
// absent); while booting, the copy of it kept at the root block's tail,
// which never moves.
Cell* from_cstring(const char* name);

}  // namespace word

namespace refinement {

// A new unbound refinement! of the interned name at the root block's tail.
Cell* make_in_root(const char* name);

}  // namespace refinement

namespace issue {

// Writes an issue! of the interned name into the cell.
Cell* make_at(Cell* cell, const char* name);
// make_at into a new cell: at the root block's tail while booting, else on
// the argument stack.
Cell* from_cstring(const char* name);

}  // namespace issue
}  // namespace vek
