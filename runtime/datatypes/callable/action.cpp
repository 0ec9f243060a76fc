#include "runtime/datatypes/callable/action.h"

#include "runtime/actions/dispatch.h"
#include "runtime/core/registry.h"
#include "runtime/datatypes/callable/native.h"

namespace vek::action {

Cell* push(const Cell* spec, uint32_t slot) { return native::push_made(TYPE_ACTION, spec, slot); }

namespace {

// make is native!'s. form: "?action?"; mold: "make action! [", the spec block
// molded, "]"; compare as native!'s, among action! values.
void form(const Cell*, text::Sink& out) { out.append("?action?"); }

void mold(const Cell* value, text::Sink& out, bool only) {
    native::mold_made("make action! [", value, out, only);
}

int32_t compare(const Cell* value1, const Cell* value2, int32_t op) {
    return native::compare_positions(value1, value2, op);
}

}  // namespace

void init() {
    using namespace registry;
    register_type(TYPE_ACTION, Row()
        .inherit<SLOT_MAKE>()
        .inherit<SLOT_REFLECT>()
        .set<SLOT_FORM>(form)
        .set<SLOT_MOLD>(mold)
        .set<SLOT_COMPARE>(compare));
}

}  // namespace vek::action
