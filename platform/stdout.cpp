#include "platform/stdout.h"

#include <cerrno>
#include <unistd.h>

#include "platform/signals.h"

namespace vek::platform {

bool write_stdout(const void* bytes, size_t length) {
    auto next = static_cast<const char*>(bytes);
    while (length > 0) {
        ssize_t written = ::write(STDOUT_FILENO, next, length);
        if (written < 0) {
            if (errno == EINTR) continue;
            if (errno == EPIPE) die_by_sigpipe();
            return false;
        }
        next += written;
        length -= size_t(written);
    }
    return true;
}

}  // namespace vek::platform
