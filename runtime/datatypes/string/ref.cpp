// ref!: molds as "@" and its name; forms as the name alone.
#include "runtime/datatypes/string/ref.h"

#include "runtime/actions/dispatch.h"
#include "runtime/core/registry.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/string/buffer.h"
#include "runtime/datatypes/string/string.h"

namespace vek::ref {

Cell* push(const Cell* value) { return stack::push(value); }

namespace {

// "@" and the text; form gives the text alone.
void mold(const Cell* value, text::Sink& out, bool) {
    out.append_char('@');
    string::form_text(value, out);
}

}  // namespace

// No path access, append or put: a ref! is a name, not a text to extend.
void init() {
    using namespace registry;
    register_type(TYPE_REF, Row()
        .inherit<SLOT_MAKE>()
        .inherit<SLOT_REFLECT>()
        .inherit<SLOT_TO>()
        .inherit<SLOT_FORM>()
        .set<SLOT_MOLD>(mold)
        .inherit<SLOT_COMPARE>()
        .inherit_range<SLOT_AT, SLOT_POKE>()  // the series actions from at on but put and sort
        .inherit_range<SLOT_REMOVE, SLOT_SELECT>()
        .inherit_range<SLOT_SKIP, SLOT_TAKE>()
        .inherit<SLOT_MODIFY>());
}

}  // namespace vek::ref
