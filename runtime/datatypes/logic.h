// logic!: true and false (word 1 holds 1 or 0), and the truth tests that
// decide every condition of the language. Exactly two values are false:
// none! and logic! false. Everything else, 0 and empty series included, is
// true; unset! is true where a test allows it at all.
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/core/stack.h"

namespace vek::logic {

// The true and false constants; they hold no node, so the collector need not
// see them.
extern Cell true_constant;
extern Cell false_constant;

// A logic! of the flag.
constexpr Cell cell(bool flag) { return Cell{TYPE_LOGIC, flag ? 1u : 0u, 0, 0}; }

inline bool get(const Cell* value) {
    VEK_CHECK_LAYOUT(value, type_in<TYPE_LOGIC>);
    return value->data1 != 0;
}
// The flag replaced, the header's flags kept.
inline void set(Cell* value, bool flag) {
    VEK_CHECK_LAYOUT(value, type_in<TYPE_LOGIC>);
    value->data1 = flag ? 1u : 0u;
}
inline Cell* constant(bool flag) { return flag ? &true_constant : &false_constant; }

// The current result cell becomes a logic! of the flag.
Cell* box(bool flag);
// A new logic! cell at the block's tail.
Cell* make_in(const Cell* block, bool flag);
// A new logic! cell on the evaluation stack.
Cell* push(bool flag);

// ---------------------------------------------------------------- truth tests

// Whether the value is one of the two false ones.
inline bool is_false(const Cell* value) {
    uint32_t type = cell_type(value);
    return type == TYPE_NONE || (type == TYPE_LOGIC && !get(value));
}

// A given value. With check, an unset! value raises script no-value naming
// the argument; without it, unset! is true.
bool value_true(const Cell* value, bool check, const Cell* argument);
// The last value pushed, or the result cell when the current frame pushed
// nothing; unset! is true.
bool top_true();
[[noreturn]] void raise_no_return();
// The result cell; unset! raises script no-return (the block gave no value).
// Inline, as every step of a conditional loop tests it.
inline bool result_true_strict() {
    if (cell_type(stack::arguments) == TYPE_UNSET) [[unlikely]] raise_no_return();
    return !is_false(stack::arguments);
}
// Whether the result cell is none! or false; unset! is not. Inline, as every
// conditional tests it.
inline bool result_false() { return is_false(stack::arguments); }

// ---------------------------------------------------------------- actions

// The comparison codes under which unset!, none! and logic! values compare
// at all: the equality, sameness, search and sorting codes.
bool comparable_op(int32_t op);

// Fills the two constants and registers logic!.
void init();

}  // namespace vek::logic
