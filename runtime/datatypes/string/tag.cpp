// tag!: form and mold put the text between angle brackets.
#include "runtime/datatypes/string/tag.h"

#include "runtime/actions/dispatch.h"
#include "runtime/core/datatype.h"
#include "runtime/datatypes/string/buffer.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/eval/stack.h"

namespace vek::tag {

Cell* push(const Cell* value) { return stack::push(value); }

int32_t form(const Cell* value, const Cell* buffer, const Cell* part, int32_t limit) {
    string::append_char(series_buffer(buffer), '<');
    limit = string::form(value, buffer, part, limit - 1);
    string::append_char(series_buffer(buffer), '>');
    return limit - 1;
}

int32_t mold(const Cell* value, const Cell* buffer, bool, bool, bool, const Cell* part, int32_t limit, int32_t) {
    return form(value, buffer, part, limit);
}

void init() {
    datatype::DatatypeRecord record{TYPE_TAG, TYPE_STRING, "tag!", {}};
    for (uint32_t slot : {datatype::SLOT_MAKE, datatype::SLOT_REFLECT, datatype::SLOT_TO, datatype::SLOT_EVAL_PATH,
                          datatype::SLOT_COMPARE, datatype::SLOT_PUT, datatype::SLOT_MODIFY})
        record.actions[slot - 1] = datatype::INHERIT;
    for (uint32_t slot = datatype::SLOT_APPEND; slot <= datatype::SLOT_TAKE; slot++)
        if (slot != datatype::SLOT_SORT) record.actions[slot - 1] = datatype::INHERIT;
    record.actions[datatype::SLOT_FORM - 1] = datatype::as_action(static_cast<actions::FormFn>(form));
    record.actions[datatype::SLOT_MOLD - 1] = datatype::as_action(static_cast<actions::MoldFn>(mold));
    datatype::register_type(record);
}

}  // namespace vek::tag
