// email!: a string!-like value, a user part and a host part joined by "@".
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"

namespace vek::email {

// A copy of the cell pushed on the evaluation stack.
Cell* push(const Cell* value);

// The plain text (form and mold alike).
int32_t mold(const Cell* value, const Cell* buffer, bool only, bool all, bool flat,
             const Cell* part, int32_t limit, int32_t indent);

// Registers email!; string! must be registered first.
void init();

}  // namespace vek::email
