#include "runtime/natives/compare.h"

#include "runtime/actions/dispatch.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/logic.h"

namespace vek::natives {

namespace {

Pending compare_result(int32_t op) {
    Cell* args = stack::arguments;
    logic::box(actions::compare(args, args + 1, op));
    return Pending::none;
}

}  // namespace

// ---------------------------------------------------------------- comparison

Pending equal_q(bool, const int32_t*) { return compare_result(actions::COMP_EQUAL); }
Pending not_equal_q(bool, const int32_t*) { return compare_result(actions::COMP_NOT_EQUAL); }
Pending strict_equal_q(bool, const int32_t*) { return compare_result(actions::COMP_STRICT_EQUAL); }
Pending lesser_q(bool, const int32_t*) { return compare_result(actions::COMP_LESSER); }
Pending greater_q(bool, const int32_t*) { return compare_result(actions::COMP_GREATER); }
Pending lesser_or_equal_q(bool, const int32_t*) { return compare_result(actions::COMP_LESSER_EQUAL); }
Pending greater_or_equal_q(bool, const int32_t*) { return compare_result(actions::COMP_GREATER_EQUAL); }

namespace {

// Whether payload words first to last of the two cells are equal.
bool same_words(const Cell* a, const Cell* b, int first, int last) {
    for (int n = first; n <= last; n++)
        if (payload_word(a, n) != payload_word(b, n)) return false;
    return true;
}

}  // namespace

bool same_value_q(const Cell* a, const Cell* b) {
    uint32_t type = cell_type(a);
    if (type != cell_type(b)) return false;
    if (is_series(type)) return series_index(a) == series_index(b) && series_node(a) == series_node(b);
    switch (type) {
    case TYPE_DATATYPE:
    case TYPE_LOGIC:
    case TYPE_OBJECT: return same_words(a, b, 1, 1);
    case TYPE_CHAR:
    case TYPE_INTEGER:
    case TYPE_BITSET: return same_words(a, b, 2, 2);
    case TYPE_FLOAT:
    case TYPE_PERCENT:
    case TYPE_PAIR:
    case TYPE_TIME: return same_words(a, b, 2, 3);
    case TYPE_TUPLE: return actions::compare_values(a, b, actions::COMP_STRICT_EQUAL) == 0;
    case TYPE_NONE:
    case TYPE_UNSET: return true;
    case TYPE_MONEY: return actions::compare_values(a, b, actions::COMP_EQUAL) == 0;
    case TYPE_NATIVE:
    case TYPE_ACTION:
    case TYPE_POINT2D: return same_words(a, b, 1, 2);
    case TYPE_OP: return same_words(a, b, 2, 3);
    default: return same_payload(a, b);
    }
}

Pending same_q(bool, const int32_t*) {
    Cell* args = stack::arguments;
    logic::box(same_value_q(args, args + 1));
    return Pending::none;
}

Pending not_(bool, const int32_t*) {
    uint32_t type = cell_type(stack::arguments);
    logic::box(type == TYPE_NONE || (type == TYPE_LOGIC && !logic::get(stack::arguments)));
    return Pending::none;
}
}  // namespace vek::natives
