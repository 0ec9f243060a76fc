// Helpers shared by the mold and form actions of the datatypes.
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"

namespace vek::mold {

// Appends four spaces per level to the string; returns the limit lowered by
// the characters appended.
int32_t indent(const Cell* string, int32_t level, int32_t limit);

}  // namespace vek::mold
