// email!: its text molds undecorated, as it forms.
#include "runtime/datatypes/string/email.h"

#include "runtime/actions/dispatch.h"
#include "runtime/core/datatype.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/eval/stack.h"

namespace vek::email {

Cell* push(const Cell* value) { return stack::push(value); }

namespace {

// The plain text (form and mold alike).
void mold(const Cell* value, text::Sink& out, bool) { string::form_text(value, out); }

}  // namespace

// email! has no path access.
void init() {
    using namespace datatype;
    register_type(TYPE_EMAIL, Row()
        .inherit<SLOT_MAKE>()
        .inherit<SLOT_REFLECT>()
        .inherit<SLOT_TO>()
        .inherit<SLOT_FORM>()
        .set<SLOT_MOLD>(mold)
        .inherit<SLOT_COMPARE>()
        .inherit_range<SLOT_APPEND, SLOT_SELECT>()  // all but sort
        .inherit_range<SLOT_SKIP, SLOT_TAKE>()
        .inherit<SLOT_MODIFY>());
}

}  // namespace vek::email
