// Natives that edit series in place: case conversion.
#pragma once

#include <cstdint>

#include "runtime/core/unwind.h"

namespace vek::natives {

Pending uppercase(bool check, const int32_t* refinements);
Pending lowercase(bool check, const int32_t* refinements);

}  // namespace vek::natives
