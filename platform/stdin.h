// The process's standard input (fd 0), read whole when it holds a script.
#pragma once

#include <string>

namespace vek::platform {

bool stdin_is_terminal();

// Every byte up to the end of input; a read error ends the text where it
// happened.
std::string read_all_stdin();

}  // namespace vek::platform
