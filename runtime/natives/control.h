// Control natives: conditionals, loops, function makers, do, reduce,
// compose, get and set. Each follows the native convention of natives.h: arguments from
// stack::arguments on, result in the first of them, a pending break,
// continue, return or exit handed back to the caller.
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/core/stack.h"
#include "runtime/core/unwind.h"
#include "runtime/datatypes/logic.h"
#include "runtime/natives/natives.h"

namespace vek::natives {

Pending if_(bool check, const int32_t* refinements);
Pending unless(bool check, const int32_t* refinements);
Pending either(bool check, const int32_t* refinements);
Pending any(bool check, const int32_t* refinements);
Pending all(bool check, const int32_t* refinements);
Pending while_(bool check, const int32_t* refinements);
Pending until(bool check, const int32_t* refinements);
Pending loop(bool check, const int32_t* refinements);
Pending repeat(bool check, const int32_t* refinements);
Pending forever(bool check, const int32_t* refinements);
Pending foreach(bool check, const int32_t* refinements);
Pending forall(bool check, const int32_t* refinements);
Pending remove_each(bool check, const int32_t* refinements);
Pending func(bool check, const int32_t* refinements);
Pending function(bool check, const int32_t* refinements);
Pending does(bool check, const int32_t* refinements);
Pending has(bool check, const int32_t* refinements);
Pending switch_(bool check, const int32_t* refinements);  // /default
Pending case_(bool check, const int32_t* refinements);    // /all
Pending do_(bool check, const int32_t* refinements);      // /expand /args /next /trace
Pending get(bool check, const int32_t* refinements);      // /any /case
Pending set(bool check, const int32_t* refinements);      // /any /case /only /some
Pending reduce(bool check, const int32_t* refinements);   // /into
Pending compose(bool check, const int32_t* refinements);  // /deep /only /into

// The block that the conditional (if, unless or either) runs, by the
// condition in its frame's first cell and its blocks after it; nullptr for
// none. either raises on an unset! condition. Inline, as the evaluator's
// own conditional step takes it too.
inline const Cell* chosen_branch(Intrinsic conditional) {
    const Cell* condition = stack::arguments;
    switch (conditional) {
        case Intrinsic::if_: return logic::is_false(condition) ? nullptr : condition + 1;
        case Intrinsic::unless: return logic::is_false(condition) ? condition + 1 : nullptr;
        default: return logic::result_true_strict() ? condition + 1 : condition + 2;
    }
}

// The value of each expression of the block source, without its new-line
// flag, appended to the block cell out, which must not move (an argument
// cell or a cell on the evaluation stack). The values pass through the
// current frame's result cell.
Pending reduce_append(const Cell* source, Cell* out);

}  // namespace vek::natives
