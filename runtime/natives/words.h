// Natives that make objects from unevaluated specs.
#pragma once

#include <cstdint>

#include "runtime/core/unwind.h"

namespace vek::natives {

Pending construct(bool check, const int32_t* refinements);

}  // namespace vek::natives
