// file!: a string!-like value naming a file, "/"-separated. It converts,
// forms and compares as url!, its parent; only its mold differs.
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"

namespace vek::file {

// A copy of the cell pushed on the evaluation stack.
Cell* push(const Cell* value);

// "%" and the text; wrapped in double quotes when it holds a character
// below 0x80 that may not stand in a bare file literal, and then "^", the
// double quote and control characters are written as caret escapes.
int32_t mold(const Cell* value, const Cell* buffer, bool only, bool all, bool flat,
             const Cell* part, int32_t limit, int32_t indent);

// Registers file!; url! must be registered first.
void init();

}  // namespace vek::file
