#include "runtime/text/mold.h"

#include "runtime/datatypes/string/buffer.h"

namespace vek::mold {

int32_t indent(const Cell* string, int32_t level, int32_t limit) {
    for (int32_t i = 0; i < level; i++) string::append_c_string(string, "    ");
    return limit - 4 * level;
}

}  // namespace vek::mold
