// file!: a string!-like value naming a file, "/"-separated. It converts,
// forms and compares as url!, its parent; only its mold differs.
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"

namespace vek::file {

// A copy of the cell pushed on the evaluation stack.
Cell* push(const Cell* value);

// Registers file!; url! must be registered first.
void init();

}  // namespace vek::file
