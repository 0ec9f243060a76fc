// The call native: runs another program and answers its exit code, or its
// process id when nothing waits for it. The command runs directly (split at
// white space, double quotes grouping), or through /bin/sh -c under /shell
// and when its program is not found; without /shell no other character of
// the command means anything, so pipes, redirections and variables need
// /shell. The child's standard streams are fed from and captured into Vek
// values or files as UTF-8 with LF line ends (platform/process.h does the
// work). Captured text that is not valid UTF-8 keeps U+FFFD in place of
// each bad sequence.
#pragma once

#include <cstdint>

#include "runtime/core/unwind.h"

namespace vek::call {

// call cmd /wait /show /console /shell /input in /output out /error err:
// an empty command answers 0 and starts nothing; a file! command is its
// path. /input feeds a string!'s UTF-8 or a binary!'s bytes from its index,
// or a file!'s contents. /output and /error append what the child wrote to a
// string! (CR LF and a lone CR become LF) or binary!, or append it to a
// file! (created when missing; one that cannot be opened gets nothing).
// Without /output or /error the stream goes nowhere, or to our own under
// /console, which also shares our standard input. Any of these waits for the
// child, as /wait does; otherwise the process id comes back at once. /show
// changes nothing here. The answer is the exit code (128 + the signal for a
// child ended by one), the process id, or -1 when the input file cannot be
// opened or the program cannot be started. Raises script invalid-arg for a
// command holding U+0000, script too-long when a captured stream passes
// 2 GiB, and what append raises for the /output and /error values.
Pending native(bool check, const int32_t* refinements);

}  // namespace vek::call
