// datatype! (id 1): a value naming a datatype by its id. Its name and its
// actions are those the registry (runtime/core/registry.h) keeps for that id.
//
// Cell: header 1; word 1 the id; words 2 and 3 unused (0).
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"

namespace vek::datatype {

// The id of the datatype a datatype! names: its payload word 1.
inline uint32_t id(const Cell* datatype) {
    VEK_CHECK_LAYOUT(datatype, type_in<TYPE_DATATYPE>);
    return datatype->data1;
}

// The datatype! value naming the id.
constexpr Cell cell(uint32_t id) { return Cell{TYPE_DATATYPE, id, 0, 0}; }

// Registers datatype!.
void init();
// A datatype! value (header 1, payload word 1 = id) pushed on the evaluation
// stack.
Cell* push(uint32_t id);
// A datatype! value appended at the tail of the block.
Cell* append_to(const Cell* block, uint32_t id);

}  // namespace vek::datatype
