// The terminal: its settings as they were when the process started, so that
// every way out of the process can put them back; raw mode while a line is
// edited, and UI mode while the GUI shows a window, with the terminal modes
// that the GUI switches on (mouse reports, the alternate screen, a hidden
// cursor) recorded so that every way out switches them off again; reads of
// standard input that wait a bounded time; writes to standard output that
// bypass the runtime's output buffer; the size of the window and a count of
// its changes. Nothing here knows Vek values: the console's line editor and
// the GUI's terminal backend build on it.
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
// Puts the recorded settings back (nothing when none were recorded), then
// switches off the terminal modes in force (mouse reports, the alternate
// screen, a hidden cursor) and, when any was on or UI mode was, resets the
// character attributes. Async-signal-safe, so fault and signal handlers may
// call it.
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

// UI mode on standard input: raw as for the line editor, except that Ctrl+C
// still interrupts (ISIG on, with the quit and suspend characters disabled),
// so that a program that never gives the terminal back can still be left.
// Answers whether it was switched on: not when standard input is no terminal
// or UI mode is already on. Input typed ahead is kept.
bool enter_ui_mode();
// Puts back the settings that were in force when UI mode was entered.
void leave_ui_mode();
bool in_ui_mode();

// Switches the modes off and leaves UI mode, if it is on, when the guard
// goes, however the scope is left (a C++ exception included).
class UiModeGuard {
public:
    UiModeGuard() = default;
    ~UiModeGuard();
    UiModeGuard(const UiModeGuard&) = delete;
    UiModeGuard& operator=(const UiModeGuard&) = delete;
};

// The terminal modes the GUI switches, each written to standard output as
// its DEC private mode sequences when its state changes, and recorded where
// restore_async_safe reads them.
enum class Mode : uint32_t {
    mouse = 0x1,             // mouse reports 1000, 1003, 1015 and 1006
    alternate_screen = 0x2,  // 1049, cleared on entry
    cursor_hidden = 0x4,     // 25 reset
};
void set_mode(Mode mode, bool on);
bool mode_on(Mode mode);
// The bytes that switch the mode on or off, as set_mode writes them.
std::string_view mode_sequence(Mode mode, bool on);

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
// Async-signal-safe.
bool write_output(std::string_view bytes);

// Waits at most timeout_ms milliseconds for input: whether some came.
bool wait_input(int timeout_ms);

// Drops the input typed but not yet read.
void drop_input();

// Installs the handler that notes window size changes (SIGWINCH). Other
// system calls go on after it; a waiting read_input returns at once, as
// poll is never restarted.
void watch_resizes();
// How many size changes were noted since the process started: each reader
// compares it with the count it saw last, so that no reader takes a change
// from another.
uint32_t resize_count();

}  // namespace vek::platform::terminal
