#include "runtime/datatypes/callable/action.h"

#include "runtime/core/datatype.h"
#include "runtime/datatypes/callable/native.h"
#include "runtime/datatypes/string/buffer.h"

namespace vek::action {

Cell* push(const Cell* spec, uint32_t slot) { return native::push_made(TYPE_ACTION, spec, slot); }

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

void init() {
    using namespace datatype;
    DatatypeRecord record{TYPE_ACTION, TYPE_NATIVE, "action!", {}};
    auto& slots = record.actions;
    slots[SLOT_MAKE - 1] = as_action(static_cast<actions::MakeFn>(native::make));
    slots[SLOT_REFLECT - 1] = INHERIT;
    slots[SLOT_FORM - 1] = as_action(static_cast<actions::FormFn>(form));
    slots[SLOT_MOLD - 1] = as_action(static_cast<actions::MoldFn>(mold));
    slots[SLOT_COMPARE - 1] = as_action(static_cast<actions::CompareFn>(compare));
    register_type(record);
}

}  // namespace vek::action
