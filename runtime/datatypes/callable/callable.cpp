#include "runtime/datatypes/callable/callable.h"

namespace vek::callable {

Cell* spec_block(const Cell* value, Cell* out) {
    *out = Cell{TYPE_BLOCK, 0, value->data2, 0};
    return out;
}

}  // namespace vek::callable
