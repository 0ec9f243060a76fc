// tag!: form and mold put the text between angle brackets.
#include "runtime/datatypes/string/tag.h"

#include "runtime/actions/dispatch.h"
#include "runtime/core/datatype.h"
#include "runtime/datatypes/string/buffer.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/eval/stack.h"

namespace vek::tag {

Cell* push(const Cell* value) { return stack::push(value); }

namespace {

// "<", the text and ">" (form and mold alike).
int32_t form(const Cell* value, const Cell* buffer, const Cell* part, int32_t limit) {
    string::append_char(series_buffer(buffer), '<');
    limit = string::form_text(value, buffer, part, limit - 1);
    string::append_char(series_buffer(buffer), '>');
    return limit - 1;
}

int32_t mold(const Cell* value, const Cell* buffer, bool, bool, bool, const Cell* part, int32_t limit, int32_t) {
    return form(value, buffer, part, limit);
}

}  // namespace

void init() {
    using namespace datatype;
    register_type(TYPE_TAG, Row()
        .inherit<SLOT_MAKE>()
        .inherit<SLOT_REFLECT>()
        .inherit<SLOT_TO>()
        .set<SLOT_FORM>(form)
        .set<SLOT_MOLD>(mold)
        .inherit<SLOT_EVAL_PATH>()
        .inherit<SLOT_COMPARE>()
        .inherit_range<SLOT_APPEND, SLOT_SELECT>()  // all but sort
        .inherit_range<SLOT_SKIP, SLOT_TAKE>()
        .inherit<SLOT_MODIFY>());
}

}  // namespace vek::tag
