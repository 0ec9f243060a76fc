// The terminal's settings as they were when the process started, so that
// every way out of the process can put them back.
#pragma once

namespace vek::platform::terminal {

// Records the terminal settings when standard input is a terminal.
void save();
// Puts the recorded settings back; does nothing when none were recorded.
// Async-signal-safe, so fault and signal handlers may call it.
void restore_async_safe();

}  // namespace vek::platform::terminal
