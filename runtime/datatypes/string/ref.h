// ref!: a string!-like value written as "@" and a name.
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"

namespace vek::ref {

// A copy of the cell pushed on the evaluation stack.
Cell* push(const Cell* value);

// Registers ref!; string! must be registered first.
void init();

}  // namespace vek::ref
