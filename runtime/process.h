// Process set-up that comes before runtime initialisation.
#pragma once

namespace vek::runtime {

// Records the command line and the terminal's settings.
void init_process(int argc, char** argv);

// Makes the argument vector the system record's: on Linux the arguments are
// already the bytes the program was given, which the runtime takes as UTF-8,
// and they last as long as the process.
void build_argv(int argc, char** argv);

}  // namespace vek::runtime
