#include "runtime/cycles.h"

namespace vek::cycles {

void (*reset_hook)() = nullptr;

void reset() {
    if (reset_hook) reset_hook();
}

}  // namespace vek::cycles
