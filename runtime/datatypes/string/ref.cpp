// ref!: molds as "@" and its name; forms as the name alone.
#include "runtime/datatypes/string/ref.h"

#include "runtime/actions/dispatch.h"
#include "runtime/core/datatype.h"
#include "runtime/datatypes/string/buffer.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/eval/stack.h"

namespace vek::ref {

Cell* push(const Cell* value) { return stack::push(value); }

int32_t mold(const Cell* value, const Cell* buffer, bool, bool, bool, const Cell* part, int32_t limit, int32_t) {
    string::append_char(series_buffer(buffer), '@');
    return string::form(value, buffer, part, limit - 1);
}

// No path access, append or put: a ref! is a name, not a text to extend.
void init() {
    datatype::DatatypeRecord record{TYPE_REF, TYPE_STRING, "ref!", {}};
    for (uint32_t slot : {datatype::SLOT_MAKE, datatype::SLOT_REFLECT, datatype::SLOT_TO, datatype::SLOT_FORM,
                          datatype::SLOT_COMPARE, datatype::SLOT_MODIFY})
        record.actions[slot - 1] = datatype::INHERIT;
    for (uint32_t slot = datatype::SLOT_AT; slot <= datatype::SLOT_TAKE; slot++)
        if (slot != datatype::SLOT_PUT && slot != datatype::SLOT_SORT) record.actions[slot - 1] = datatype::INHERIT;
    record.actions[datatype::SLOT_MOLD - 1] = datatype::as_action(static_cast<actions::MoldFn>(mold));
    datatype::register_type(record);
}

}  // namespace vek::ref
