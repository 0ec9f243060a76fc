// paren! (id 6, parent block!): a block that the evaluator evaluates in
// place. It differs from block! only in its delimiters.
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"

namespace vek::paren {

// Retypes the block cell to paren! and pushes a copy of it.
Cell* push(Cell* block);

// Registers paren!, after block!.
void init();

}  // namespace vek::paren
