// Starting programs that run on their own, beside the runtime: the browser
// that browse opens. The program is found along PATH and started directly,
// never through a shell, so no character of its arguments is special.
#pragma once

#include <string>
#include <vector>

namespace vek::platform {

// Starts the program (a name looked up along PATH, or a path) with the
// arguments (the program name first), detached: in a session of its own,
// its standard streams on /dev/null, with an empty signal mask and default
// signal dispositions, and no descriptor of ours (they are all close-on-exec).
// The child is reaped by a waiting thread once it ends, so it never lingers
// as a zombie. Answers its process id, or -1 when it could not be started
// (the program was not found or cannot be run).
int spawn_detached(const char* program, const std::vector<std::string>& arguments);

}  // namespace vek::platform
