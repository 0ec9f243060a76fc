// Comparison: every comparison in the runtime goes through the compare action
// of the first value's datatype (slot 9), which answers -1, 0 or 1, or -2
// when the values cannot be compared.
#include "runtime/actions/compare.h"

#include "runtime/actions/dispatch.h"
#include "runtime/core/quit.h"
#include "runtime/core/raise.h"
#include "runtime/core/registry.h"
#include "runtime/datatypes/callable/callable.h"
#include "runtime/datatypes/callable/native.h"
#include "runtime/datatypes/logic.h"
#include "runtime/tables/hash_table.h"

namespace vek::actions {

namespace {

// An op code outside the table is the unmatched multi-way branch of the
// runtime's error list.
constexpr int ERROR_UNMATCHED_BRANCH = ERROR_BAD_UNIT;

int32_t order(uint32_t a, uint32_t b) { return a < b ? -1 : a > b ? 1 : 0; }

}  // namespace

bool compare_for_tables(const Cell* a, const Cell* b, int op) {
    if (!registry::implemented(registry::action(cell_type(a), registry::SLOT_COMPARE)))
        return hash_table::default_compare(a, b, op);
    return compare(a, b, op);
}

bool compare(const Cell* value1, const Cell* value2, int32_t op) {
    int32_t result = compare_typed(value1, value2, op);
    if (result == -2 && !is_equality(op)) fire(err::script::invalid_compare, value1, value2);
    switch (op) {
    case COMP_EQUAL:
    case COMP_STRICT_EQUAL:
    case COMP_SAME:
    case COMP_SYMBOL_EQUAL:
    case COMP_NAME_EQUAL:
    case COMP_FIND: return result == 0;
    case COMP_NOT_EQUAL: return result != 0;
    case COMP_LESSER: return result < 0;
    case COMP_LESSER_EQUAL: return result <= 0;
    case COMP_GREATER: return result > 0;
    case COMP_GREATER_EQUAL: return result >= 0;
    default: quit_with_status(ERROR_UNMATCHED_BRANCH, uintptr_t(__builtin_return_address(0)));
    }
}

int32_t compare_values(const Cell* value1, const Cell* value2, int32_t op) {
    uint32_t type = cell_type(value1);
    // The orderings below read a payload word that only a value of the same
    // datatype carries; any other pair goes to the datatype's compare.
    if (type == cell_type(value2)) {
        switch (type) {
        case TYPE_LOGIC: return int32_t(logic::get(value1)) - int32_t(logic::get(value2));
        case TYPE_NATIVE:
        case TYPE_ACTION:
        case TYPE_OP: return order(native::position(value1), native::position(value2));
        case TYPE_FUNCTION:
        case TYPE_ROUTINE:
            return order(uint32_t(callable::internal_node(value1)), uint32_t(callable::internal_node(value2)));
        default: break;
        }
    }
    return compare_typed(value1, value2, op);
}

}  // namespace vek::actions
