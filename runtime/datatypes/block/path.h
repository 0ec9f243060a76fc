// The path kinds: path! (id 25, parent block!) and lit-path! (26), set-path!
// (27), get-path! (28), whose parent is path!. A path is a block whose cells
// are its steps; the kinds differ only in their molded prefix or suffix.
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"

namespace vek {

namespace path {

// Retypes the block cell to path! and pushes a copy of it.
Cell* push(Cell* block);
// Writes a new empty path! into the cell (its header flags kept).
Cell* make_at(Cell* cell, int32_t capacity);

// Slot 1: a block-like spec is copied shallowly; an integer!, float! or
// percent! (truncated) gives an empty path of that capacity (below 1 gives
// 1); anything else raises script bad-make-arg. Slot 4: an object!, typeset!
// or map! becomes the one step of a new path; anything else converts as to
// block! does. Both write the result cell, with the type asked for.
Cell* make(Cell* result, const Cell* spec, uint32_t type);
Cell* to(Cell* result, const Cell* spec, uint32_t type);
// Slots 5 and 6: the steps from the head joined by "/", whatever their
// new-line flags; a path being written already gives "...".
int32_t form(const Cell* value, const Cell* buffer, const Cell* part, int32_t limit);
int32_t mold(const Cell* value, const Cell* buffer, bool only, bool all, bool flat,
             const Cell* part, int32_t limit, int32_t indent);

// Registers the four kinds, path! first.
void init();

}  // namespace path

// The other kinds: the same constructor, and a mold adding the kind's mark
// ("'" before a lit-path, ":" before a get-path, ":" after a set-path). They
// form as plain paths.
namespace lit_path {
Cell* push(Cell* block);
int32_t mold(const Cell* value, const Cell* buffer, bool only, bool all, bool flat,
             const Cell* part, int32_t limit, int32_t indent);
}  // namespace lit_path

namespace set_path {
Cell* push(Cell* block);
int32_t mold(const Cell* value, const Cell* buffer, bool only, bool all, bool flat,
             const Cell* part, int32_t limit, int32_t indent);
}  // namespace set_path

namespace get_path {
Cell* push(Cell* block);
int32_t mold(const Cell* value, const Cell* buffer, bool only, bool all, bool flat,
             const Cell* part, int32_t limit, int32_t indent);
}  // namespace get_path

}  // namespace vek
