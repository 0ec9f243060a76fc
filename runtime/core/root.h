// The root block: cells that live as long as the runtime. Its first two cells
// are the blocks of the argument stack and of the frame stack, the next two
// the errors raised when memory or a stack runs out; modules append further
// cells to keep values reachable. All three buffers sit in the Vek heap and
// never move, so an address into them stays valid.
//
// Beside it, the emergency reserve: pages of the Vek heap held back while
// there is room, and handed back when memory runs out and before an error
// that ends the script is reported, so that the error can still be caught
// and reported.
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

// Makes the root block and, as its first values, the two stack blocks and
// the two cells of the reserved errors (unset! until error::init_prototype
// fills them).
void init();
// Registers the root block's collector root (at every start).
void init_hooks();

// A new unset! cell at the root block's tail; past the capacity, internal
// limit-hit.
Cell* append();

Cell* argument_stack();  // the block! cell of the argument stack
Cell* frame_stack();     // the block! cell of the frame stack

// The internal no-memory and stack-overflow errors, made at start-up:
// raising them allocates nothing.
Cell* no_memory_error();
Cell* stack_overflow_error();

// Whether the reserve is held.
bool reserve_held();
// Hands the reserve back to the heap; nothing when it is not held.
void release_reserve();
// Takes the reserve again when it was handed back (a try does before it
// runs its block and when it is done); when the heap has no room for it, it
// stays out until a later call finds room.
void take_reserve();

}  // namespace vek::root
