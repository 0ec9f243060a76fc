// The console's routines: reading the lines that ask and input answer, the
// raw reads of standard input, and the console's start-up. Until a line
// editor exists, a line is read the same way from a pipe, a file or a
// terminal in its normal mode (console/stdin_reader.h); at a terminal the
// prompt is written first. The library declares the routines during the
// boot:
//   _set-buffer-history line hist  keeps the string to fill and the history
//   _read-input prompt hidden?     fills that string with the next line
//   _input-ended?                  whether that read found the input at its end
//   _terminate-console             nothing to undo yet
//   input-stdin                    a new string holding the next line
//   read-stdin buffer buflen       raw bytes into a binary!
//   init-console str               system/console/size from the terminal
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"

namespace vek::console {

// Registers the routines, keeps the edit line and history in the root block
// and decides whether standard input is a terminal.
void init();

// read-stdin's work: inserts up to wanted bytes of standard input (at most
// READ_STDIN_LIMIT a call) at the binary's index, growing its buffer first,
// so that nothing is ever written past it. A negative count raises script
// invalid-arg with the count's cell.
constexpr uint32_t READ_STDIN_LIMIT = 1u << 20;
void read_stdin_into(const Cell* binary, const Cell* wanted);

}  // namespace vek::console
