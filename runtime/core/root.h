// The root block: cells that live as long as the runtime. Its first two cells
// are the blocks of the argument stack and of the frame stack; modules append
// further cells to keep values reachable. All three buffers sit in the Vek
// heap and never move, so an address into them stays valid.
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"

namespace vek::root {

// Boot appends every global word it makes while the boot flag is set, so the
// capacity leaves a wide margin over what the library needs: the buffer can
// never grow without moving the cells that others point at.
constexpr uint32_t ROOT_CELLS = 32768;
constexpr uint32_t ARGUMENT_STACK_CELLS = 20000;
constexpr uint32_t FRAME_STACK_CELLS = 15000;

// The root block's own cell; a root for the collector.
extern Cell block;

// Makes the root block and, as its first two values, the two stack blocks.
void init();

// A new unset! cell at the root block's tail; past the capacity, internal
// limit-hit.
Cell* append();

Cell* argument_stack();  // the block! cell of the argument stack
Cell* frame_stack();     // the block! cell of the frame stack

}  // namespace vek::root
