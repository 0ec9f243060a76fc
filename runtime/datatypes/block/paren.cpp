#include "runtime/datatypes/block/paren.h"

#include "runtime/actions/dispatch.h"
#include "runtime/core/datatype.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/string/buffer.h"
#include "runtime/eval/stack.h"
#include "runtime/tables/cycles.h"

namespace vek::paren {

Cell* push(Cell* block) { return stack::push(set_type(block, TYPE_PAREN)); }

namespace {

// The cells molded as a block's, between "(" and ")" unless only.
int32_t mold(const Cell* value, const Cell* buffer, bool only, bool all, bool flat,
             const Cell* part, int32_t limit, int32_t indent) {
    if (cycles::detect(value, buffer, &limit, true)) return limit;
    if (!only) {
        string::append_c_string(buffer, "(");
        limit--;
    }
    limit = block::mold_each(value, buffer, only, all, flat, part, limit, indent);
    if (!only) {
        string::append_c_string(buffer, ")");
        limit--;
    }
    return limit;
}

}  // namespace

// Everything but trim comes from block!.
void init() {
    using namespace datatype;
    register_type(TYPE_PAREN, Row::inheriting()
        .set<SLOT_MOLD>(mold)
        .omit<SLOT_TRIM>());
}

}  // namespace vek::paren
