// Test builders for values held whole in their cell (integer!, float! and the
// types laid out like it, char!, datatype!), for a block! over a buffer the
// test made, and for a series value moved to another head. They build the
// cell directly, so a test of a datatype does not depend on that datatype's
// own constructors.
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/memory/series.h"

namespace vek::test {

inline Cell integer_cell(int32_t value) { return Cell{TYPE_INTEGER, 0, uint32_t(value), 0}; }

// A float! holding the value, or a value of another type laid out as float!
// (percent!, time!).
inline Cell float_cell(double value, uint32_t type = TYPE_FLOAT) {
    Cell cell{type, 0, 0, 0};
    cell_set_f64(&cell, value);
    return cell;
}

inline Cell char_cell(uint32_t code_point) { return Cell{TYPE_CHAR, 0, code_point, 0}; }

inline Cell datatype_cell(uint32_t type) { return Cell{TYPE_DATATYPE, type, 0, 0}; }

inline Cell block_cell(Node node, uint32_t head = 0) { return Cell{TYPE_BLOCK, head, uint32_t(node), 0}; }

// The same series at another head.
inline Cell at_head(Cell series, uint32_t head) {
    set_series_index(&series, head);
    return series;
}

}  // namespace vek::test
