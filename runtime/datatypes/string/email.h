// email!: a string!-like value, a user part and a host part joined by "@";
// the paths user and host read and replace those parts.
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"

namespace vek::email {

// A copy of the cell pushed on the evaluation stack.
Cell* push(const Cell* value);

// Registers email!; string! must be registered first.
void init();

}  // namespace vek::email
