// Files and directories on POSIX: what the file! actions, size? and the
// library's routines need of the file system. Every operation opens what it
// needs and closes it before it returns; there are no streams.
#pragma once

#include "runtime/core/cell.h"

namespace vek::files {

// Makes the directory that the file! names; false when the system refuses.
bool make_dir(const Cell* file);

// Whether a file or a directory of that name exists.
bool exists(const Cell* file);

// Writes the value to standard output as write does to a file, with no
// refinement.
void write_stdout(const Cell* value);

}  // namespace vek::files
