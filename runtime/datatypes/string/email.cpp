// email!: its text molds undecorated, as it forms.
#include "runtime/datatypes/string/email.h"

#include "runtime/actions/dispatch.h"
#include "runtime/core/datatype.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/eval/stack.h"

namespace vek::email {

Cell* push(const Cell* value) { return stack::push(value); }

int32_t mold(const Cell* value, const Cell* buffer, bool, bool, bool, const Cell* part, int32_t limit, int32_t) {
    return string::form(value, buffer, part, limit);
}

// email! has no path access.
void init() {
    datatype::DatatypeRecord record{TYPE_EMAIL, TYPE_STRING, "email!", {}};
    for (uint32_t slot : {datatype::SLOT_MAKE, datatype::SLOT_REFLECT, datatype::SLOT_TO, datatype::SLOT_FORM,
                          datatype::SLOT_COMPARE, datatype::SLOT_PUT, datatype::SLOT_MODIFY})
        record.actions[slot - 1] = datatype::INHERIT;
    for (uint32_t slot = datatype::SLOT_APPEND; slot <= datatype::SLOT_TAKE; slot++)
        if (slot != datatype::SLOT_SORT) record.actions[slot - 1] = datatype::INHERIT;
    record.actions[datatype::SLOT_MOLD - 1] = datatype::as_action(static_cast<actions::MoldFn>(mold));
    datatype::register_type(record);
}

}  // namespace vek::email
