// The entry code: what the runtime thread runs, from process set-up to the
// final quit.
#pragma once

namespace vek::boot {

struct CommandLine {
    int argc;
    char** argv;
};

// Takes a CommandLine; never returns, since every way out quits the process.
int entry(void* command_line);

}  // namespace vek::boot
