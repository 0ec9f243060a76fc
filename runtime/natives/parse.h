// The parse native: the entry from Vek to the parse engine
// (runtime/parse/), with the checks of its arguments and of /part.
#pragma once

#include <cstdint>

#include "runtime/core/unwind.h"

namespace vek::natives {

// input rules /case /part length /trace callback: what parse::process
// answers, or, for a /part limit at or before the input's index, whether the
// input is at its tail. A /part position in another series raises script
// invalid-refine-arg.
Pending parse(bool check, const int32_t* refinements);  // /case /part /trace

}  // namespace vek::natives
