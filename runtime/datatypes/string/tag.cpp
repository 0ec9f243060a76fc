// tag!: form and mold put the text between angle brackets.
#include "runtime/datatypes/string/tag.h"

#include "runtime/actions/dispatch.h"
#include "runtime/core/registry.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/string/buffer.h"
#include "runtime/datatypes/string/string.h"

namespace vek::tag {

Cell* push(const Cell* value) { return stack::push(value); }

namespace {

// "<", the text and ">" (form and mold alike).
void form(const Cell* value, text::Sink& out) {
    out.append_char('<');
    string::form_text(value, out);
    out.append_char('>');
}

void mold(const Cell* value, text::Sink& out, bool) { form(value, out); }

}  // namespace

void init() {
    using namespace registry;
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
