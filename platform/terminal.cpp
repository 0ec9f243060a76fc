#include "platform/terminal.h"

#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>

namespace vek::platform::terminal {
namespace {

termios saved_settings;
// Read by signal handlers: it must be set only after the settings are complete.
std::atomic<bool> settings_saved{false};
static_assert(std::atomic<bool>::is_always_lock_free);

}  // namespace

WindowSize window_size() {
    winsize size{};
    if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) != 0) return {0, 0};
    return {size.ws_col, size.ws_row};
}

bool stdout_is_terminal() { return isatty(STDOUT_FILENO) == 1; }

void save() {
    if (isatty(STDIN_FILENO) && tcgetattr(STDIN_FILENO, &saved_settings) == 0)
        settings_saved.store(true);
}

void restore_async_safe() {
    // TCSANOW: draining pending output could block a handler indefinitely.
    if (settings_saved.load()) tcsetattr(STDIN_FILENO, TCSANOW, &saved_settings);
}

}  // namespace vek::platform::terminal
