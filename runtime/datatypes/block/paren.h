// paren! (id 6, parent block!): a block that the evaluator evaluates in
// place. It differs from block! only in its delimiters.
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"

namespace vek::paren {

// Retypes the block cell to paren! and pushes a copy of it.
Cell* push(Cell* block);
// Slot 6: the cells molded as a block's, between "(" and ")" unless only.
int32_t mold(const Cell* value, const Cell* buffer, bool only, bool all, bool flat,
             const Cell* part, int32_t limit, int32_t indent);

// Registers paren!, after block!.
void init();

}  // namespace vek::paren
