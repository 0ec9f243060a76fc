// Natives that leave an evaluation early (break, continue, exit, return,
// throw), the one that catches throws (catch), try, and apply. break,
// continue, exit and return come back as pending codes; throw, and what try
// does not stop, leave as the VekThrow exception.
#pragma once

#include <cstdint>

#include "runtime/core/unwind.h"

namespace vek::natives {

Pending break_(bool check, const int32_t* refinements);     // /return
Pending continue_(bool check, const int32_t* refinements);
Pending exit(bool check, const int32_t* refinements);
Pending return_(bool check, const int32_t* refinements);
Pending throw_(bool check, const int32_t* refinements);     // /name
Pending catch_(bool check, const int32_t* refinements);     // /name
Pending try_(bool check, const int32_t* refinements);       // /all /keep
Pending apply(bool check, const int32_t* refinements);      // /all /safer

}  // namespace vek::natives
