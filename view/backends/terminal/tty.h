// The text-mode GUI's use of the terminal: UI mode around the outermost
// event loop, reading what the terminal sends into the input parser, the
// terminal's size, and the frames, erasures and moves of the screen written
// to it. The terminal itself belongs to platform/terminal.h, which puts it
// back on every way out; this module decides when the GUI needs what.
#pragma once

#include <cstddef>
#include <cstdint>

#include "view/backends/terminal/input.h"
#include "view/backends/terminal/screen.h"

namespace vek::view::backends::terminal {

// The terminal's size in cells; 80 x 24 when it cannot tell.
struct TerminalSize {
    int32_t columns;  // cells across
    int32_t rows;     // cells down
};
TerminalSize terminal_size();

// Takes the terminal into UI mode when standard input is a terminal and UI
// mode is off: the screen learns the terminal's size, and the keys the line
// editor read ahead go to the parser. An inline screen then asks the
// terminal where its cursor is, when standard input and output are both
// terminals: the answer, parsed with the input, places the area. Answers
// whether UI mode was switched on.
bool enter_ui_mode(Screen& screen, InputParser& input);
// Gives the terminal back: the settings before UI mode.
void leave_ui_mode();

// Asks an inline screen's terminal where its cursor is, when standard input
// and output are both terminals: without them the answer would land in the
// shell after the program ends, or the question in redirected output.
void request_cursor_position(const Screen& screen);
// How many of those questions were written since the process started; the
// parser counts the answers.
uint32_t cursor_position_requests();

// Reads every byte the terminal has sent (without waiting) into the parser,
// or drops them when process is false. Answers how many were pending.
size_t pump(InputParser& input, bool process);

// Writes the rendered buffer as one frame, with the cursor hidden unless
// the caret shows; the runtime's buffered output goes out first. The redraw
// is then done and the frame on the terminal.
void write_frame(Screen& screen, bool caret_shown);
// Erases the inline area before the console prints over it.
void erase_inline_area(Screen& screen);
// Leaves the cursor below the inline area when the last window goes.
void leave_inline_area(Screen& screen);

}  // namespace vek::view::backends::terminal
