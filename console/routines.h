// The console's routines: reading the lines that ask and input answer, the
// raw reads of standard input, and the console's start-up. When standard
// input and output are both terminals, the line editor reads each line
// (console/line_editor.h) in raw mode, which lasts only while the line is
// edited; otherwise a line is read as it comes from a pipe or a file
// (console/stdin_reader.h), after the prompt when standard input is a
// terminal. The routines are rows of runtime/natives/routines.def, which
// the boot registers; the library declares them:
//   _set-buffer-history line hist  keeps the string to fill and the history
//   _read-input prompt hidden?     fills that string with the next line; an
//                                  edited line goes to the history's front
//   _input-end                     how that read ended when it gave no line: the
//                                  word ended (the input's end), dropped (Ctrl+D
//                                  at the line editor) or interrupted (Ctrl+C at
//                                  the console's own prompt); none after a line
//   _terminate-console             nothing to undo: raw mode never outlives an edit
//   input-stdin                    a new string holding the next line
//   read-stdin buffer buflen       raw bytes into a binary!
//   init-console str               the window title, and system/console/size
//                                  from the terminal
//   _set-top-level code            the block whose next evaluation is the
//                                  top level
#pragma once

#include <cstdint>
#include <string>

#include "runtime/core/cell.h"
#include "runtime/datatypes/callable/routine.h"

namespace vek::console {

using routine::Arg;

Arg set_buffer_history(const Arg* args);
Arg read_input(const Arg* args);
Arg input_end(const Arg* args);
Arg terminate_console(const Arg* args);
Arg input_stdin(const Arg* args);
Arg read_stdin(const Arg* args);
Arg init_console(const Arg* args);
Arg set_top_level(const Arg* args);

// Keeps the edit line and history in the root block: the same in every run.
// init_hooks declares the two cells' pointers (at every start).
void init_hooks();
void init_cells();
// Decides whether lines are edited, from this run's standard input and
// output, and then watches for window resizes.
void init_terminal();

// The keys the line editor read ahead of the line it answered (typed
// after the Enter), which the GUI takes on when its window opens.
std::string take_keys_read_ahead();

// read-stdin's work: inserts up to wanted bytes of standard input (at most
// READ_STDIN_LIMIT a call) at the binary's index, growing its buffer first,
// so that nothing is ever written past it. A negative count raises script
// invalid-arg with the count's cell.
constexpr uint32_t READ_STDIN_LIMIT = 1u << 20;
void read_stdin_into(const Cell* binary, const Cell* wanted);

}  // namespace vek::console
