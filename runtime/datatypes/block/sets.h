// The engine behind the set natives on blocks: unique, union, intersect,
// exclude and difference. Inputs are read from their heads as records of a
// fixed number of cells, judged by their first cell; each kept record is
// copied whole into a new block, once.
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"

namespace vek::block {

enum SetMode : int32_t {
    SET_UNIQUE = 8,
    SET_UNION = 9,
    SET_INTERSECT = 10,
    SET_EXCLUDE = 11,
    SET_DIFFERENCE = 12,
};

// Replaces the first input in its cell by the result: a new block (a hash!
// when the first input is one, or the second for the two-input modes), head
// 0. second is ignored by unique. Values meet under strict equality with
// case_sensitive, else under plain equality. skip is the record size (an
// integer! of at least 1, else script invalid-refine-arg; nullptr for 1).
Cell* set_operation(Cell* first, const Cell* second, bool case_sensitive, const Cell* skip, SetMode mode);

}  // namespace vek::block
