// The operating system's description for the library's os-info: an object
// of four fields, in this order: name (string!), the distribution's pretty
// name from os-release, else its name, else the kernel's system name; arch
// (word!), the processor family: x86-64, ARM64, x86-32, ARM or Unknown;
// version (a tuple! of 3), the kernel release's first three numbers, each
// clamped to 255; build (integer!), the kernel release's fourth number, the
// distribution's build of that kernel ("6.8.0-45-generic" gives 45), or 0
// when the release has none.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/core/cell.h"

namespace vek::os_info {

// Pushes a new os-info object on the evaluation stack and answers it.
Cell* push();

// ---------------------------------------------------------------- the parts

// The PRETTY_NAME of os-release text, else its NAME, else the system name.
// Values may be quoted ('...' or "...", where a backslash escapes the next
// character); comment lines start with "#".
std::string name(std::string_view os_release, std::string_view system);

// The architecture word's text for a machine name as uname gives it.
const char* arch(std::string_view machine);

// The numbers at the start of a kernel release: runs of digits, each after
// the previous one and a single "." or "-", up to the first other character.
// The first three make the version (clamped to 255, missing ones 0), the
// fourth the build (clamped to the integer! range, 0 when missing).
struct KernelVersion {
    std::array<int32_t, 3> version;  // major, minor, patch
    int32_t build;                   // the fourth number
};
KernelVersion kernel_version(std::string_view release);

}  // namespace vek::os_info
