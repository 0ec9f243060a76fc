#include "runtime/datatypes/block/paren.h"

#include "runtime/actions/dispatch.h"
#include "runtime/core/registry.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/tables/cycles.h"

namespace vek::paren {

Cell* push(Cell* block) { return stack::push(set_type(block, TYPE_PAREN)); }

namespace {

// The cells molded as a block's, between "(" and ")" unless only.
void mold(const Cell* value, text::Sink& out, bool only) {
    if (cycles::detect(value, out, true)) return;
    if (!only) out.append("(");
    block::mold_each(value, out, only);
    if (!only) out.append(")");
}

}  // namespace

// Everything but trim comes from block!.
void init() {
    using namespace registry;
    register_type(TYPE_PAREN, Row::inheriting()
        .set<SLOT_MOLD>(mold)
        .omit<SLOT_TRIM>());
}

}  // namespace vek::paren
