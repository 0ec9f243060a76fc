#include "runtime/core/system.h"

namespace vek {

SystemRecord sysrec;
bool booting = false;

}  // namespace vek
