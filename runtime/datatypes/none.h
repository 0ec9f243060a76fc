// none!: the absent value. Besides its own actions it answers the series
// actions that make sense on "no series" (clear, find, remove, select,
// take) with none, so code can treat a missing series like an empty one;
// its length is none, not 0.
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"

namespace vek::none {

// The none constant; it holds no node, so the collector need not see it.
extern Cell constant;

// The current result cell turned into none!.
Cell* box();
// A new none! cell at the block's tail.
Cell* make_in(const Cell* block);
// A new none! cell on the evaluation stack.
Cell* push();

// Fills the constant and registers none!.
void init();

}  // namespace vek::none
