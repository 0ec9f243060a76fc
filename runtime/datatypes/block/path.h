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

// Registers the four kinds, path! first.
void init();

}  // namespace path

// The other kinds: the same constructor, and a mold adding the kind's mark
// ("'" before a lit-path, ":" before a get-path, ":" after a set-path). They
// form as plain paths.
namespace lit_path {
Cell* push(Cell* block);
}  // namespace lit_path

namespace set_path {
Cell* push(Cell* block);
}  // namespace set_path

namespace get_path {
Cell* push(Cell* block);
}  // namespace get_path

}  // namespace vek
