// unset!: the value of nothing, what an expression that produces no value
// returns. Its payload means nothing: turning a cell into unset! keeps
// whatever the payload held.
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"

namespace vek::unset {

// The unset constant; it holds no node, so the collector need not see it.
extern Cell constant;

// The current result cell retyped to unset!, payload kept.
Cell* box();
// A new unset! cell at the block's tail.
Cell* make_in(const Cell* block);
// A new unset! cell on the evaluation stack.
Cell* push();

// Fills the constant and registers unset!.
void init();

}  // namespace vek::unset
