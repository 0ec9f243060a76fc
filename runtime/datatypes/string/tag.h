// tag!: a string!-like value written between angle brackets.
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"

namespace vek::tag {

// A copy of the cell pushed on the evaluation stack.
Cell* push(const Cell* value);

// Registers tag!; string! must be registered first.
void init();

}  // namespace vek::tag
