// Natives on words and objects: construct, the object made from an
// unevaluated blocks.
#pragma once

#include <cstdint>

#include "runtime/core/unwind.h"

namespace vek::natives {

// block /with object /only: see object::construct.
Pending construct(bool check, const int32_t* refinements);

}  // namespace vek::natives
