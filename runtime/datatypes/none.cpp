#include "runtime/datatypes/none.h"

#include "runtime/actions/dispatch.h"
#include "runtime/core/registry.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/logic.h"
#include "runtime/memory/series.h"

namespace vek::none {

namespace {

Cell* make_at(Cell* cell) {
    *cell = blank_cell(TYPE_NONE);
    return cell;
}

}  // namespace

Cell constant;

Cell* box() { return make_at(stack::arguments); }

Cell* make_in(const Cell* block) { return make_at(block::alloc_tail(block)); }

Cell* push() { return make_at(stack::push_cell()); }

namespace {

// make and to: a new none! pushed, whatever the spec.
Cell* make(Cell*, const Cell*, uint32_t) { return push(); }

void form(const Cell*, text::Sink& out) { out.append("none"); }

void mold(const Cell*, text::Sink& out, bool) { out.append(out.all ? "#(none)" : "none"); }

int32_t compare(const Cell*, const Cell* value2, int32_t op) {
    if (cell_type(value2) != TYPE_NONE || !logic::comparable_op(op)) return -2;
    return 0;
}

// The series actions answer none: clear and remove write it into the result
// cell, find, select and take return the constant.
void clear(Cell*) { box(); }

Cell* find(Cell*, const Cell*, const actions::FindArgs&) {
    return &constant;
}

// -1, which the length? dispatcher turns into none.
int32_t length(const Cell*) { return -1; }

void remove(Cell*, const Cell*, const Cell*) { box(); }

Cell* select(Cell*, const Cell*, const actions::SelectArgs&) {
    return &constant;
}

Cell* take(Cell*, const Cell*, bool, bool) { return &constant; }

}  // namespace

void init() {
    make_at(&constant);
    using namespace registry;
    register_type(TYPE_NONE, Row()
        .set<SLOT_MAKE>(make)
        .set<SLOT_TO>(make)
        .set<SLOT_FORM>(form)
        .set<SLOT_MOLD>(mold)
        .set<SLOT_COMPARE>(compare)
        .set<SLOT_CLEAR>(clear)
        .set<SLOT_FIND>(find)
        .set<SLOT_LENGTH_Q>(length)
        .set<SLOT_REMOVE>(remove)
        .set<SLOT_SELECT>(select)
        .set<SLOT_TAKE>(take));
}

}  // namespace vek::none
