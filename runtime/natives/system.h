// System and data natives: the environment, the clock, waiting, the browser,
// the collector switch, object and map extension, series coercion and the
// contexts of words.
#pragma once

#include <cstdint>

#include "runtime/core/unwind.h"

namespace vek::natives {

Pending extend(bool check, const int32_t* refinements);
Pending to_local_file(bool check, const int32_t* refinements);
Pending wait(bool check, const int32_t* refinements);
Pending context_q(bool check, const int32_t* refinements);
Pending set_env(bool check, const int32_t* refinements);
Pending get_env(bool check, const int32_t* refinements);
Pending list_env(bool check, const int32_t* refinements);
Pending now(bool check, const int32_t* refinements);
Pending as(bool check, const int32_t* refinements);
Pending browse(bool check, const int32_t* refinements);
Pending recycle(bool check, const int32_t* refinements);

}  // namespace vek::natives
