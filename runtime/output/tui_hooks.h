// Where the text-mode GUI backend plugs into the runtime's output and waiting.
// Each hook does nothing until the backend registers its own function.
#pragma once

namespace vek::tui {

using Hook = void (*)();

// Before runtime output reaches the terminal: in text-UI mode the backend
// erases the drawn interface and gives the console back its output mode.
extern Hook before_print;
// After that output: in text-UI mode the backend restores its own output mode
// and schedules a redraw.
extern Hook after_print;
// Called by wait after sleeping: in UI mode one pass of the backend's event
// loop (timers, input, redraw).
extern Hook wait_pass;

}  // namespace vek::tui
