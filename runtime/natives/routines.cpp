#include "runtime/natives/routines.h"

namespace vek::routines {

void init() {}

}  // namespace vek::routines
