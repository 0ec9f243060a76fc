// The terminal: its settings as they were when the process started, so that
// every way out of the process can put them back; raw mode while a line is
// edited; reads of standard input that wait a bounded time; writes to
// standard output that bypass the runtime's output buffer; the size of the
// window and a flag raised when it changes. Nothing here knows Vek values:
// the console's line editor builds on it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include <termios.h>

namespace vek::platform::terminal {

// The window of the terminal on standard output, in character cells; both
// 0 when standard output is no terminal or the terminal cannot tell.
struct WindowSize {
    int32_t columns;
    int32_t rows;
};
WindowSize window_size();

bool stdout_is_terminal();

// Records the terminal settings when standard input is a terminal.
void save();
// Puts the recorded settings back; does nothing when none were recorded.
// Async-signal-safe, so fault and signal handlers may call it.
void restore_async_safe();

// Raw mode on standard input for as long as the guard lives: no echo, no
// line discipline, no signals from Ctrl+C or Ctrl+Z, bytes as they come.
// Output processing stays on. The destructor puts back the settings that
// were in force when the guard was made, whatever way the scope is left;
// neither switch discards input typed ahead. When standard input is no
// terminal the guard does nothing.
class RawMode {
public:
    RawMode();
    ~RawMode();
    RawMode(const RawMode&) = delete;
    RawMode& operator=(const RawMode&) = delete;

private:
    termios before_{};     // the settings put back
    bool active_ = false;  // raw mode was switched on
};

// What read_input answers besides a positive byte count.
constexpr int64_t READ_TIMED_OUT = 0;     // nothing came within the time-out
constexpr int64_t READ_FAILED = -1;       // the end of input or an error: the terminal hung up
constexpr int64_t READ_INTERRUPTED = -2;  // a signal (a resize, say) came first

// One read of at most size bytes of standard input, waiting at most
// timeout_ms milliseconds for the first one (-1: as long as it takes).
int64_t read_input(uint8_t* destination, size_t size, int timeout_ms);

// Writes all the bytes to standard output with as few system calls as the
// kernel allows (one, for a redraw of ordinary size). Answers false when
// the write failed.
bool write_output(std::string_view bytes);

// Installs the handler that notes window size changes (SIGWINCH). Other
// system calls go on after it; a waiting read_input returns at once, as
// poll is never restarted.
void watch_resizes();
// Whether the window changed size since the last call; clears the flag.
bool take_resize();

}  // namespace vek::platform::terminal
