#include "runtime/datatypes/unset.h"

#include "runtime/actions/dispatch.h"
#include "runtime/core/registry.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/logic.h"
#include "runtime/memory/series.h"

namespace vek::unset {

Cell constant;

Cell* box() { return set_type(stack::arguments, TYPE_UNSET); }

Cell* make_in(const Cell* block) { return set_type(block::alloc_tail(block), TYPE_UNSET); }

Cell* push() { return make_unset(stack::push_cell()); }

namespace {

// make and to: a new unset! pushed, whatever the spec.
Cell* make(Cell*, const Cell*, uint32_t) { return push(); }

// Forms as nothing, molds as "unset" ("#(unset)" with all).
void form(const Cell*, text::Sink&) {}

void mold(const Cell*, text::Sink& out, bool) { out.append(out.all ? "#(unset)" : "unset"); }

// Two unset! values are equal under the equality and sorting codes.
int32_t compare(const Cell*, const Cell* value2, int32_t op) {
    if (cell_type(value2) != TYPE_UNSET || !logic::comparable_op(op)) return -2;
    return 0;
}

}  // namespace

void init() {
    make_unset(&constant);
    using namespace registry;
    register_type(TYPE_UNSET, Row()
        .set<SLOT_MAKE>(make)
        .set<SLOT_TO>(make)
        .set<SLOT_FORM>(form)
        .set<SLOT_MOLD>(mold)
        .set<SLOT_COMPARE>(compare));
}

}  // namespace vek::unset
