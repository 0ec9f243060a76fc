#include "tests/unit/support/support.h"

#include "runtime/core/fixed_words.h"
#include "runtime/core/stack.h"
#include "runtime/core/unwind.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/object/error.h"

namespace vek::test {

uint32_t code_of(const Cell* error) {
    const Cell* code = cell_type(error) == TYPE_ERROR ? error::field(error, error::FIELD_CODE) : error;
    return uint32_t(integer::get(code));
}

uint32_t raised(const std::function<void()>& body) {
    Cell error;
    return raised(body, &error);
}

uint32_t raised(const std::function<void()>& body, Cell* error) {
    SavedStacks saved;
    // Anonymous, as a catcher's frame is: the error names the code's own frames.
    stack::mark_try(fixed_words::word(fixed_words::Word::anon_tag));
    uint32_t code = 0;
    make_unset(error);
    try {
        body();
    } catch (VekThrow& t) {
        if (t.code != CODE_ERROR) throw;
        *error = stack::top[-1];
        code = code_of(error);
    }
    saved.restore();
    return code;
}

}  // namespace vek::test
