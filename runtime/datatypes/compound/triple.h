// triple!: a record of three signed 32-bit integers held in one cell, words
// 1, 2 and 3 in that order. The lexer and the parse engine keep positions in
// triples on their stacks; scripts meet one only when it is printed. There
// is no constructor action and no arithmetic.
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"

namespace vek::triple {

// A triple! of the three numbers.
constexpr Cell cell(int32_t first, int32_t second, int32_t third) {
    return Cell{TYPE_TRIPLE, uint32_t(first), uint32_t(second), uint32_t(third)};
}

// Value n, 1 to 3.
inline int32_t get(const Cell* triple, int n) {
    VEK_CHECK_LAYOUT(triple, type_in<TYPE_TRIPLE>);
    return int32_t(payload_word(triple, n));
}

// Writes a triple of the three values into the cell (its flags dropped) and
// returns the cell.
Cell* make_at(Cell* cell, int32_t first, int32_t second, int32_t third);

// Registers triple!.
void init();

}  // namespace vek::triple
