// The process's standard output (fd 1), where all runtime output goes.
#pragma once

#include <cstddef>

namespace vek::platform {

// Writes all the bytes, resuming after interruptions and short writes. A
// reader that has gone away (EPIPE) ends the process quietly by SIGPIPE.
// Returns false when another error stopped the write.
bool write_stdout(const void* bytes, size_t length);

// Whether any write so far stopped on such another error: the process then
// ends with a failure status.
bool stdout_write_failed();

}  // namespace vek::platform
