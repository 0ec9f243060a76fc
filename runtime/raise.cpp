#include "runtime/raise.h"

#include "runtime/stack.h"

namespace vek {

// Until error values exist, the error raised is an integer! holding the
// error's code, and the argument cells are not kept.
void fire(Category cat, uint32_t id, const Cell*, const Cell*, const Cell*) {
    Cell error{TYPE_INTEGER, 0, error_code(cat, id), 0};
    stack::throw_error(&error);
}

}  // namespace vek
