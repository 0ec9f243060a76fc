// Natives on words, contexts and objects: type?, bind, in, value?, unset,
// and construct, the object made from an unevaluated block. Each follows the
// native convention of natives.h: arguments from stack::arguments on, the
// result in the first of them.
#pragma once

#include <cstdint>

#include "runtime/core/unwind.h"

namespace vek::natives {

Pending type_q(bool check, const int32_t* refinements);  // /word
Pending bind(bool check, const int32_t* refinements);    // /copy
Pending in(bool check, const int32_t* refinements);
Pending value_q(bool check, const int32_t* refinements);
Pending unset(bool check, const int32_t* refinements);

// block /with object /only: see object::construct.
Pending construct(bool check, const int32_t* refinements);

}  // namespace vek::natives
