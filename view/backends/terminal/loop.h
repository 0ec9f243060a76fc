// The event loop of the terminal backend: ticks of 33 ms in which it waits
// for the terminal's input (or only sleeps, with no terminal on standard
// input), advances the timers by the time that really passed, turns the
// input into key and pointer events for the routing, sends resize events
// when the terminal's size changed, and writes a frame when something asked
// for one. With nothing due before the next input (no timer, no byte held
// back), the wait lasts until input comes: an idle window costs nothing.
// With no terminal on standard input (a pipe, /dev/null) the loop reads
// nothing and writes nothing to the terminal; its timers still run, and
// once none is left nothing could end it, so it ends.
//
// Loops nest on the one thread: an actor may open a window and wait in its
// loop. Each running loop keeps the window it was started for; the loop
// ends when exit_event_loop ends the innermost one or when its own window
// is destroyed, never for another face. Only the outermost loop takes the
// terminal (UI mode, the alternate screen, mouse reports) and gives it
// back. A one-pass loop (do-events/no-wait, and wait while UI mode is on)
// reads the input once and ends without waiting.
#pragma once

#include <cstddef>
#include <cstdint>

#include "view/backends/terminal/input.h"
#include "view/backends/terminal/screen.h"
#include "view/backends/terminal/widgets.h"

namespace vek::view::backends::terminal {

// The length of a tick.
constexpr int32_t TICK_MS = 33;
// How long the end of the outermost loop waits for the answers to its
// cursor position requests, so that none is typed at the next prompt.
constexpr int32_t POSITION_REPLY_MS = 100;

// A wait's time-out when nothing but input can end it.
constexpr int32_t WAIT_FOREVER = -1;

// What the loop asks of the world; tests put their own in place.
struct LoopIo {
    int64_t (*now_ms)();                            // a steady clock
    // Sleeps timeout_ms (or WAIT_FOREVER); with input, ends early when some
    // comes or a signal (a resize) does.
    void (*wait)(int32_t timeout_ms, bool input);
    size_t (*read)(InputParser& input);             // the bytes pending, without waiting
    uint32_t (*resizes)();                          // the terminal size changes noted so far
    bool (*take_terminal)(Screen& screen, InputParser& input, bool mouse);  // whether input is then read
    void (*give_back_terminal)(Screen& screen);
    void (*show_frame)(Screen& screen, bool caret_shown);
};
// Puts the io in place; answers the one it replaced.
LoopIo set_loop_io(const LoopIo& io);

// Runs a loop for the current window: one pass, or ticks until it ends.
// Answers whether the last read found input. Without a window there is
// nothing to wait for: a loop that is not one-pass returns at once.
// Anything an actor raises stays in its dispatch (events.h).
bool run_event_loop(bool one_pass);
// Ends the innermost running loop after its current tick.
void exit_event_loop();
// The window is destroyed: the loop started for it ends after its tick.
void window_destroyed(WidgetId window);
// How many loops are running.
size_t loop_depth();

// Installs the print hooks and wait's pass of the loop in their sockets
// (at every start).
void init_loop();
// No loop running and the io of the terminal (tests).
void reset_loop();

}  // namespace vek::view::backends::terminal
