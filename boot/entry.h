// The entry code: what the runtime thread runs, from process set-up to the
// final quit.
#pragma once

#include <span>

#include "boot/library.h"

namespace vek::boot {

struct CommandLine {
    int argc;
    char** argv;
    std::span<const Module> library;  // the modules booted before the script runs
};

// Takes a CommandLine; never returns, since every way out quits the process.
int entry(void* command_line);

}  // namespace vek::boot
