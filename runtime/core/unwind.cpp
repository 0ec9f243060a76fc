#include "runtime/core/unwind.h"

#include "runtime/core/system.h"

namespace vek {

void machine_throw(uint32_t code) {
    sysrec.thrown_code = code;
    throw VekThrow{code};
}

}  // namespace vek
