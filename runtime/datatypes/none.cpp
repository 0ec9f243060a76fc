#include "runtime/datatypes/none.h"

#include <cstring>

#include "runtime/actions/dispatch.h"
#include "runtime/core/datatype.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/string/buffer.h"
#include "runtime/eval/stack.h"
#include "runtime/memory/series.h"

namespace vek::none {

namespace {


Cell* make_at(Cell* cell) {
    *cell = Cell{TYPE_NONE, 0, 0, 0};
    return cell;
}

int32_t append(const Cell* buffer, const char* text, int32_t limit) {
    string::append_c_string(buffer, text);
    return limit - int32_t(std::strlen(text));
}

}  // namespace

Cell constant;

Cell* box() { return make_at(stack::arguments); }

Cell* make_in(const Cell* block) { return make_at(block::alloc_tail(block)); }

Cell* push() { return make_at(stack::push_cell()); }

Cell* make(Cell*, const Cell*, uint32_t) { return push(); }

int32_t form(const Cell*, const Cell* buffer, const Cell*, int32_t limit) {
    return append(buffer, "none", limit);
}

int32_t mold(const Cell*, const Cell* buffer, bool, bool all, bool, const Cell*, int32_t limit,
             int32_t) {
    return append(buffer, all ? "#(none)" : "none", limit);
}

int32_t compare(const Cell*, const Cell* value2, int32_t op) {
    if (cell_type(value2) != TYPE_NONE || !logic::comparable_op(op)) return -2;
    return 0;
}

void clear(Cell*) { box(); }

Cell* find(Cell*, const Cell*, const Cell*, bool, bool, bool, bool, const Cell*, const Cell*, bool, bool, bool, bool) {
    return &constant;
}

int32_t length(const Cell*) { return -1; }

void remove(Cell*, const Cell*, const Cell*) { box(); }

Cell* select(Cell*, const Cell*, const Cell*, bool, bool, bool, bool, const Cell*, const Cell*, bool, bool) {
    return &constant;
}

Cell* take(Cell*, const Cell*, bool, bool) { return &constant; }

void init() {
    make_at(&constant);
    datatype::DatatypeRecord record{TYPE_NONE, 0, "none!", {}};
    auto& slots = record.actions;
    slots[datatype::SLOT_MAKE - 1] = datatype::as_action(make);
    slots[datatype::SLOT_TO - 1] = datatype::as_action(make);
    slots[datatype::SLOT_FORM - 1] = datatype::as_action(form);
    slots[datatype::SLOT_MOLD - 1] = datatype::as_action(mold);
    slots[datatype::SLOT_COMPARE - 1] = datatype::as_action(compare);
    slots[datatype::SLOT_CLEAR - 1] = datatype::as_action(clear);
    slots[datatype::SLOT_FIND - 1] = datatype::as_action(static_cast<actions::FindFn>(find));
    slots[datatype::SLOT_LENGTH_Q - 1] = datatype::as_action(length);
    slots[datatype::SLOT_REMOVE - 1] = datatype::as_action(static_cast<actions::RemoveFn>(remove));
    slots[datatype::SLOT_SELECT - 1] = datatype::as_action(static_cast<actions::SelectFn>(select));
    slots[datatype::SLOT_TAKE - 1] = datatype::as_action(static_cast<actions::TakeFn>(take));
    datatype::register_type(record);
}

}  // namespace vek::none
