#include "platform/stdout.h"

#include <cerrno>
#include <unistd.h>

#include "platform/signals.h"

namespace vek::platform {

namespace {
bool write_failed = false;
}  // namespace

bool write_stdout(const void* bytes, size_t length) {
    auto next = static_cast<const char*>(bytes);
    while (length > 0) {
        ssize_t written = ::write(STDOUT_FILENO, next, length);
        if (written < 0) {
            if (errno == EINTR) continue;
            if (errno == EPIPE) die_by_sigpipe();
            write_failed = true;
            return false;
        }
        next += written;
        length -= size_t(written);
    }
    return true;
}

bool stdout_write_failed() { return write_failed; }

}  // namespace vek::platform
