// Path access on blocks (blk/2, blk/key, blk/2: value, blk/key: value),
// shared by paren! and the path kinds, which inherit it from block!.
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"

namespace vek::block {

// Slot 7. Reads when value is nullptr, else sets and answers value.
//
// An integer! element picks the element at that position (none when out of
// range) or pokes it (script out-of-range when out of range). Reading with a
// word! selects the value after that word (any spelling unless
// case_sensitive; a hash! searches its index instead); with any other
// element, the value after the first cell equal to it. Setting with a
// non-integer element finds the element (a block element as a sequence of
// cells) and pokes the cell after it: script bad-path-set with the path and
// the element when it is missing, out-of-range when it is the last cell.
// The answer of a read may lie in the block's buffer: copy it before the
// next call that may allocate.
//
// Sets go through the series poke, which tells the block's owner when it
// has one; a series held inside an owner carries the owner's record itself,
// so notify, which says that the parent lies inside an owner, adds nothing
// here. grandparent, previous, index, get and last mean nothing to blocks.
Cell* eval_path(Cell* parent, const Cell* element, const Cell* value, const Cell* path,
                const Cell* grandparent, const Cell* previous, int32_t index, bool case_sensitive,
                bool get, bool last, bool notify);

}  // namespace vek::block
