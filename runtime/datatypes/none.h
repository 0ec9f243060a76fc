// none!: the absent value. Besides its own actions it answers the series
// actions that make sense on "no series" (clear, find, remove, select,
// take) with none, so code can treat a missing series like an empty one;
// its length is none, not 0.
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"

namespace vek::none {

// The none constant; it holds no node, so the collector need not see it.
extern Cell constant;

// The current result cell turned into none!.
Cell* box();
// A new none! cell at the block's tail.
Cell* make_in(const Cell* block);
// A new none! cell on the evaluation stack.
Cell* push();

// make and to: a new none! pushed, whatever the spec.
Cell* make(Cell* result, const Cell* spec, uint32_t type);
int32_t form(const Cell* value, const Cell* buffer, const Cell* part, int32_t limit);
int32_t mold(const Cell* value, const Cell* buffer, bool only, bool all, bool flat,
             const Cell* part, int32_t limit, int32_t indent);
int32_t compare(const Cell* value1, const Cell* value2, int32_t op);

// The series actions, with the arguments their dispatchers pass. Each
// answers none: clear and remove write it into the result cell, find,
// select and take return the constant.
void clear(Cell* series);
Cell* find(Cell* series, const Cell* value, const Cell* part, bool only, bool case_sensitive, bool same,
           bool any, const Cell* wild, const Cell* skip, bool last, bool reverse, bool tail, bool match);
// -1, which the length? dispatcher turns into none.
int32_t length(const Cell* series);
void remove(Cell* series, const Cell* part, const Cell* key);
Cell* select(Cell* series, const Cell* value, const Cell* part, bool only, bool case_sensitive, bool same,
             bool any, const Cell* wild, const Cell* skip, bool last, bool reverse);
Cell* take(Cell* series, const Cell* part, bool deep, bool last);

// Fills the constant and registers none!.
void init();

}  // namespace vek::none
