// The routine of the JSON decoder in the library: unescape resolves the
// escapes of a JSON string's content in place (its row is in routines.def).
#pragma once

#include "runtime/datatypes/callable/routine.h"

namespace vek::routines {

routine::Arg unescape(const routine::Arg* args);

}  // namespace vek::routines
