// ref!: a string!-like value written as "@" and a name.
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"

namespace vek::ref {

// A copy of the cell pushed on the evaluation stack.
Cell* push(const Cell* value);

// "@" and the text; form gives the text alone.
int32_t mold(const Cell* value, const Cell* buffer, bool only, bool all, bool flat,
             const Cell* part, int32_t limit, int32_t indent);

// Registers ref!; string! must be registered first.
void init();

}  // namespace vek::ref
