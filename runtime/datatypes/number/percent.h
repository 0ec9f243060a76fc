// percent!: a float64 shown as a percentage. The cell holds the fraction (50%
// holds 0.5) in words 2-3, laid out as float!, its parent, from which every
// action but form and mold is taken.
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"

namespace vek::percent {

// Writes a percent! holding the fraction (the cell's flags kept) and returns
// the cell.
Cell* make_at(Cell* cell, double fraction);
// A new percent! appended at the block's tail.
Cell* make_in(const Cell* block, double fraction);
// A new percent! pushed on the argument stack.
Cell* push(double fraction);
// The current frame's result cell made a percent!.
Cell* box(double fraction);

// Registers percent!; float! must be registered first.
void init();

}  // namespace vek::percent
