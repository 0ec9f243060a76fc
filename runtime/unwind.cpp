#include "runtime/unwind.h"

#include "runtime/system.h"

namespace vek {

void machine_throw(uint32_t code) {
    sysrec.thrown_code = code;
    throw VekThrow{code};
}

}  // namespace vek
