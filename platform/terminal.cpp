#include "platform/terminal.h"

#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace vek::platform::terminal {
namespace {

termios saved_settings;
// Read by signal handlers: it must be set only after the settings are complete.
std::atomic<bool> settings_saved{false};
static_assert(std::atomic<bool>::is_always_lock_free);

// Raised by the SIGWINCH handler, taken by the line editor.
std::atomic<bool> resize_pending{false};

// Raw mode as the line editor needs it: every key as bytes, nothing echoed,
// Ctrl+C, Ctrl+Z and Ctrl+S as plain bytes. Output processing (LF to CR LF)
// is left alone, so that output written between edits looks as before.
termios raw_settings(termios settings) {
    settings.c_iflag &= ~tcflag_t(BRKINT | ICRNL | INLCR | IGNCR | ISTRIP | IXON);
    settings.c_lflag &= ~tcflag_t(ECHO | ICANON | ISIG | IEXTEN);
    settings.c_cflag |= CS8;
    settings.c_cc[VMIN] = 1;
    settings.c_cc[VTIME] = 0;
    return settings;
}

void on_resize(int) { resize_pending.store(true); }

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

RawMode::RawMode() {
    if (!isatty(STDIN_FILENO) || tcgetattr(STDIN_FILENO, &before_) != 0) return;
    termios raw = raw_settings(before_);
    // TCSANOW, not TCSAFLUSH: text pasted ahead of the prompt is kept.
    active_ = tcsetattr(STDIN_FILENO, TCSANOW, &raw) == 0;
}

RawMode::~RawMode() {
    if (active_) tcsetattr(STDIN_FILENO, TCSANOW, &before_);
}

int64_t read_input(uint8_t* destination, size_t size, int timeout_ms) {
    pollfd input{.fd = STDIN_FILENO, .events = POLLIN, .revents = 0};
    int ready = poll(&input, 1, timeout_ms);
    if (ready < 0) return errno == EINTR ? READ_INTERRUPTED : READ_FAILED;
    if (ready == 0) return READ_TIMED_OUT;
    ssize_t count = read(STDIN_FILENO, destination, size);
    if (count > 0) return count;
    if (count < 0 && errno == EINTR) return READ_INTERRUPTED;
    if (count < 0 && errno == EAGAIN) return READ_TIMED_OUT;
    return READ_FAILED;
}

bool write_output(std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t written = write(STDOUT_FILENO, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(size_t(written));
    }
    return true;
}

void watch_resizes() {
    struct sigaction action {};
    action.sa_handler = on_resize;
    action.sa_flags = SA_ONSTACK | SA_RESTART;
    sigemptyset(&action.sa_mask);
    sigaction(SIGWINCH, &action, nullptr);
}

bool take_resize() { return resize_pending.exchange(false); }

}  // namespace vek::platform::terminal
