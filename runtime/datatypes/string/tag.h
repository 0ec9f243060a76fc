// tag!: a string!-like value written between angle brackets.
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"

namespace vek::tag {

// A copy of the cell pushed on the evaluation stack.
Cell* push(const Cell* value);

// "<", the text and ">" (form and mold alike).
int32_t form(const Cell* value, const Cell* buffer, const Cell* part, int32_t limit);
int32_t mold(const Cell* value, const Cell* buffer, bool only, bool all, bool flat,
             const Cell* part, int32_t limit, int32_t indent);

// Registers tag!; string! must be registered first.
void init();

}  // namespace vek::tag
