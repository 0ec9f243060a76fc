#include "runtime/io/os_info.h"

#include "runtime/datatypes/none.h"
#include "runtime/eval/stack.h"

namespace vek::os_info {

Cell* push() { return stack::push(&none::constant); }

}  // namespace vek::os_info
