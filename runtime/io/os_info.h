// The operating system's description for the library's os-info.
#pragma once

#include "runtime/core/cell.h"

namespace vek::os_info {

// Pushes the os-info object (name, arch, version, build) and answers it.
Cell* push();

}  // namespace vek::os_info
