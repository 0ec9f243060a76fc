#include "runtime/datatypes/unset.h"

#include <cstring>

#include "runtime/core/datatype.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/string/buffer.h"
#include "runtime/eval/stack.h"
#include "runtime/memory/series.h"

namespace vek::unset {

Cell constant;

Cell* box() { return set_type(stack::arguments, TYPE_UNSET); }

Cell* make_in(const Cell* block) { return set_type(block::alloc_tail(block), TYPE_UNSET); }

Cell* push() { return make_unset(stack::push_cell()); }

Cell* make(Cell*, const Cell*, uint32_t) { return push(); }

int32_t form(const Cell*, const Cell*, const Cell*, int32_t limit) { return limit; }

int32_t mold(const Cell*, const Cell* buffer, bool, bool all, bool, const Cell*, int32_t limit,
             int32_t) {
    const char* text = all ? "#(unset)" : "unset";
    string::append_c_string(buffer, text);
    return limit - int32_t(std::strlen(text));
}

int32_t compare(const Cell*, const Cell* value2, int32_t op) {
    if (cell_type(value2) != TYPE_UNSET || !logic::comparable_op(op)) return -2;
    return 0;
}

void init() {
    make_unset(&constant);
    datatype::DatatypeRecord record{TYPE_UNSET, 0, "unset!", {}};
    record.actions[datatype::SLOT_MAKE - 1] = datatype::as_action(make);
    record.actions[datatype::SLOT_TO - 1] = datatype::as_action(make);
    record.actions[datatype::SLOT_FORM - 1] = datatype::as_action(form);
    record.actions[datatype::SLOT_MOLD - 1] = datatype::as_action(mold);
    record.actions[datatype::SLOT_COMPARE - 1] = datatype::as_action(compare);
    datatype::register_type(record);
}

}  // namespace vek::unset
