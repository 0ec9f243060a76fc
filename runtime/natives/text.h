// Text natives: case conversion of strings and chars in place.
#pragma once

#include <cstdint>

#include "runtime/core/unwind.h"

namespace vek::natives {

// A char! or the text of a string-like value from its head, or for /part (a
// count, or a position in the same series; else script invalid-refine-arg),
// changed to upper or lower case in place; the value is the result. Any
// other value raises script expect-arg.
Pending uppercase(bool check, const int32_t* refinements);
Pending lowercase(bool check, const int32_t* refinements);

}  // namespace vek::natives
