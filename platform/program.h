// What the running program knows of its own executable: the build id that
// the linker writes into it, which names one build of the program and no
// other, so that data made by one build (a heap image) is never taken by
// another.
#pragma once

#include <cstdint>
#include <vector>

namespace vek::platform {

// The bytes of the executable's GNU build-id note; empty when the program
// was linked without one.
std::vector<uint8_t> build_id();

}  // namespace vek::platform
