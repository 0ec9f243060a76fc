// The terminal: its settings as they were when the process started, so that
// every way out of the process can put them back, and the size of its window.
#pragma once

#include <cstdint>

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

}  // namespace vek::platform::terminal
