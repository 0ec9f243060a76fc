#include "runtime/datatypes/callable/callable.h"

namespace vek::callable {

Cell* spec_block(const Cell* value, Cell* out) {
    *out = Cell{TYPE_BLOCK, 0, uint32_t(spec_node(value)), 0};
    return out;
}

}  // namespace vek::callable
