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

// Counted up by the SIGWINCH handler.
std::atomic<uint32_t> resize_notices{0};
static_assert(std::atomic<uint32_t>::is_always_lock_free);

// The Mode bits in force, and UI_MODE_BIT while UI mode is on: read by
// signal handlers, so a bit is set before its mode is switched on and
// cleared after it is switched off.
constexpr uint32_t UI_MODE_BIT = 0x100;
std::atomic<uint32_t> modes_in_force{0};

// The settings UI mode puts back when it ends.
termios before_ui_mode;

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

// UI mode: the raw settings with Ctrl+C alone left to raise a signal.
termios ui_settings(termios settings) {
    settings = raw_settings(settings);
    settings.c_lflag |= ISIG;
    settings.c_cc[VQUIT] = _POSIX_VDISABLE;
    settings.c_cc[VSUSP] = _POSIX_VDISABLE;
    return settings;
}

void on_resize(int) { resize_notices.fetch_add(1); }

uint32_t bit(Mode mode) { return uint32_t(mode); }

// Switched off in this order: the mouse first, then the screen, then the
// cursor shown on the screen the user gets back.
constexpr Mode MODES[] = {Mode::mouse, Mode::alternate_screen, Mode::cursor_hidden};

constexpr std::string_view SGR_RESET = "\x1b[0m";

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
    uint32_t modes = modes_in_force.exchange(0);
    if (modes == 0) return;
    for (Mode mode : MODES)
        if (modes & bit(mode)) write_output(mode_sequence(mode, false));
    write_output(SGR_RESET);
}

bool enter_ui_mode() {
    if (in_ui_mode() || !isatty(STDIN_FILENO) || tcgetattr(STDIN_FILENO, &before_ui_mode) != 0) return false;
    termios ui = ui_settings(before_ui_mode);
    modes_in_force.fetch_or(UI_MODE_BIT);
    // TCSANOW, not TCSAFLUSH: keys typed ahead belong to the window.
    if (tcsetattr(STDIN_FILENO, TCSANOW, &ui) == 0) return true;
    modes_in_force.fetch_and(~UI_MODE_BIT);
    return false;
}

void leave_ui_mode() {
    if (!in_ui_mode()) return;
    tcsetattr(STDIN_FILENO, TCSANOW, &before_ui_mode);
    modes_in_force.fetch_and(~UI_MODE_BIT);
}

UiModeGuard::~UiModeGuard() {
    if (!in_ui_mode()) return;
    for (Mode mode : MODES) set_mode(mode, false);
    leave_ui_mode();
}

bool in_ui_mode() { return (modes_in_force.load() & UI_MODE_BIT) != 0; }

std::string_view mode_sequence(Mode mode, bool on) {
    switch (mode) {
    case Mode::mouse:
        return on ? "\x1b[?1000h\x1b[?1003h\x1b[?1015h\x1b[?1006h" : "\x1b[?1000l\x1b[?1003l\x1b[?1015l\x1b[?1006l";
    case Mode::alternate_screen: return on ? "\x1b[?1049h\x1b[2J" : "\x1b[?1049l";
    case Mode::cursor_hidden: return on ? "\x1b[?25l" : "\x1b[?25h";
    }
    return {};
}

void set_mode(Mode mode, bool on) {
    if (mode_on(mode) == on) return;
    if (on) modes_in_force.fetch_or(bit(mode));
    write_output(mode_sequence(mode, on));
    if (!on) modes_in_force.fetch_and(~bit(mode));
}

bool mode_on(Mode mode) { return (modes_in_force.load() & bit(mode)) != 0; }

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

bool wait_input(int timeout_ms) {
    pollfd input{.fd = STDIN_FILENO, .events = POLLIN, .revents = 0};
    return poll(&input, 1, timeout_ms) > 0;
}

void drop_input() { tcflush(STDIN_FILENO, TCIFLUSH); }

void watch_resizes() {
    struct sigaction action {};
    action.sa_handler = on_resize;
    action.sa_flags = SA_ONSTACK | SA_RESTART;
    sigemptyset(&action.sa_mask);
    sigaction(SIGWINCH, &action, nullptr);
}

uint32_t resize_count() { return resize_notices.load(); }

}  // namespace vek::platform::terminal
