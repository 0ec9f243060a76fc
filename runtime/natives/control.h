// Control natives: conditionals, loops, function makers, do, reduce,
// compose, get and set. Each follows the native convention of natives.h: arguments from
// stack::arguments on, result in the first of them, a pending break,
// continue, return or exit handed back to the caller.
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/core/unwind.h"

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

// The value of each expression of the block source, without its new-line
// flag, appended to the block cell out, which must not move (an argument
// cell or a cell on the evaluation stack). The values pass through the
// current frame's result cell.
Pending reduce_append(const Cell* source, Cell* out);

}  // namespace vek::natives
