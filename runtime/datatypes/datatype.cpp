// datatype!: a value naming a datatype by its id (payload word 1).
#include "runtime/datatypes/datatype.h"

#include "runtime/actions/dispatch.h"
#include "runtime/core/registry.h"
#include "runtime/core/stack.h"
#include "runtime/memory/series.h"

namespace vek::datatype {

using namespace registry;

namespace {

Cell* make(Cell* cell, uint32_t id) {
    *cell = datatype::cell(id);
    return cell;
}

// form appends the name without its "!"; mold the whole name, with all
// wrapped as #(name).
void form(const Cell* value, text::Sink& out) {
    const NameEntry& entry = name_table[id(value)];
    out.append(entry.name, entry.length);
}

void mold(const Cell* value, text::Sink& out, bool) {
    const NameEntry& entry = name_table[id(value)];
    if (out.all) out.append("#(");
    out.append(entry.name);
    if (out.all) out.append(")");
}

// For the equality kinds of comparison: 0 when value2 is a datatype! of the
// same id, else 1. Any other op: -2, not comparable.
int32_t compare(const Cell* value1, const Cell* value2, int32_t op) {
    if (!is_equality(op)) return -2;
    bool same = cell_type(value2) == TYPE_DATATYPE && id(value2) == id(value1);
    return same ? 0 : 1;
}

}  // namespace

void init() {
    register_type(TYPE_DATATYPE, Row()
        .set<SLOT_FORM>(form)
        .set<SLOT_MOLD>(mold)
        .set<SLOT_COMPARE>(compare));
}

Cell* push(uint32_t id) { return make(stack::push_cell(), id); }

Cell* append_to(const Cell* block, uint32_t id) { return make(block::alloc_tail(block), id); }

}  // namespace vek::datatype
