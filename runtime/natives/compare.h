// Comparison natives: the comparison predicates (equal? to
// greater-or-equal?) through the datatypes' compare actions, same?, the
// identity test, and not. Each follows the native convention of natives.h:
// arguments from stack::arguments on, the logic! result in the first of them.
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/core/unwind.h"

namespace vek::natives {

Pending equal_q(bool check, const int32_t* refinements);
Pending not_equal_q(bool check, const int32_t* refinements);
Pending strict_equal_q(bool check, const int32_t* refinements);
Pending lesser_q(bool check, const int32_t* refinements);
Pending greater_q(bool check, const int32_t* refinements);
Pending lesser_or_equal_q(bool check, const int32_t* refinements);
Pending greater_or_equal_q(bool check, const int32_t* refinements);
Pending same_q(bool check, const int32_t* refinements);
Pending not_(bool check, const int32_t* refinements);

// The identity test of same?.
bool same_value_q(const Cell* a, const Cell* b);

}  // namespace vek::natives
