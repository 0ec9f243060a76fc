// The routines that the library declares while it boots: C++ functions
// registered by name (runtime/datatypes/callable/routine.h).
#pragma once

namespace vek::routines {

// Registers every routine of the library under its name.
void init();

}  // namespace vek::routines
