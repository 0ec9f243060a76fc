#include "platform/stdin.h"

#include <cerrno>
#include <unistd.h>

namespace vek::platform {

bool stdin_is_terminal() { return ::isatty(STDIN_FILENO) == 1; }

std::string read_all_stdin() {
    std::string text;
    char chunk[65536];
    for (;;) {
        ssize_t got = ::read(STDIN_FILENO, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return text;
        text.append(chunk, size_t(got));
    }
}

int64_t read_stdin(uint8_t* buffer, size_t size) {
    for (;;) {
        ssize_t got = ::read(STDIN_FILENO, buffer, size);
        if (got < 0 && errno == EINTR) continue;
        return got;
    }
}

}  // namespace vek::platform
