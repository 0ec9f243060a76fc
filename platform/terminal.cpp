#include "platform/terminal.h"

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

void save() {
    if (isatty(STDIN_FILENO) && tcgetattr(STDIN_FILENO, &saved_settings) == 0)
        settings_saved.store(true);
}

void restore_async_safe() {
    // TCSANOW: draining pending output could block a handler indefinitely.
    if (settings_saved.load()) tcsetattr(STDIN_FILENO, TCSANOW, &saved_settings);
}

}  // namespace vek::platform::terminal
