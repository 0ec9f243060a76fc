// The process's standard input (fd 0).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace vek::platform {

bool stdin_is_terminal();

// Every byte up to the end of input; a read error ends the text where it
// happened.
std::string read_all_stdin();

// One read of at most size bytes: the count read, 0 at the end of input, -1
// when the read fails.
int64_t read_stdin(uint8_t* buffer, size_t size);

}  // namespace vek::platform
