#include "runtime/datatypes/callable/action.h"

#include "runtime/actions/dispatch.h"
#include "runtime/core/datatype.h"
#include "runtime/datatypes/callable/native.h"
#include "runtime/datatypes/string/buffer.h"

namespace vek::action {

Cell* push(const Cell* spec, uint32_t slot) { return native::push_made(TYPE_ACTION, spec, slot); }

namespace {

// make is native!'s. form: "?action?"; mold: "make action! [", the spec block
// molded, "]"; compare as native!'s, among action! values.
int32_t form(const Cell*, const Cell* buffer, const Cell*, int32_t limit) {
    static constexpr const char TEXT[] = "?action?";
    string::append_c_string(buffer, TEXT);
    return limit - int32_t(sizeof(TEXT) - 1);
}

int32_t mold(const Cell* value, const Cell* buffer, bool only, bool all, bool flat, const Cell* part,
             int32_t limit, int32_t indent) {
    return native::mold_made("make action! [", value, buffer, only, all, flat, part, limit, indent);
}

int32_t compare(const Cell* value1, const Cell* value2, int32_t op) {
    return native::compare_positions(value1, value2, op);
}

}  // namespace

void init() {
    using namespace datatype;
    register_type(TYPE_ACTION, Row()
        .inherit<SLOT_MAKE>()
        .inherit<SLOT_REFLECT>()
        .set<SLOT_FORM>(form)
        .set<SLOT_MOLD>(mold)
        .set<SLOT_COMPARE>(compare));
}

}  // namespace vek::action
