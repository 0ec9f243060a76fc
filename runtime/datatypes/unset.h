// unset!: the value of nothing, what an expression that produces no value
// returns. Its payload means nothing: turning a cell into unset! keeps
// whatever the payload held.
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"

namespace vek::unset {

// The unset constant; it holds no node, so the collector need not see it.
extern Cell constant;

// The current result cell retyped to unset!, payload kept.
Cell* box();
// A new unset! cell at the block's tail.
Cell* make_in(const Cell* block);
// A new unset! cell on the evaluation stack.
Cell* push();

// make and to: a new unset! pushed, whatever the spec.
Cell* make(Cell* result, const Cell* spec, uint32_t type);
// Forms as nothing, molds as "unset" ("#(unset)" with all).
int32_t form(const Cell* value, const Cell* buffer, const Cell* part, int32_t limit);
int32_t mold(const Cell* value, const Cell* buffer, bool only, bool all, bool flat,
             const Cell* part, int32_t limit, int32_t indent);
// Two unset! values are equal under the equality and sorting codes.
int32_t compare(const Cell* value1, const Cell* value2, int32_t op);

// Fills the constant and registers unset!.
void init();

}  // namespace vek::unset
