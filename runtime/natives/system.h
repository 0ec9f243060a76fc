// System and data natives: the environment, the clock, waiting, the browser,
// the collector switch, map extension, series coercion and the contexts of
// words. Each follows the native convention of natives.h: arguments from
// stack::arguments on, the result in the first of them. Text handed to the
// system (environment names and values, the browser's target) is UTF-8 and
// may not hold U+0000 (script invalid-arg); text read back from it must be
// UTF-8 (access invalid-utf8).
#pragma once

#include <cstdint>

#include "runtime/core/unwind.h"

namespace vek::natives {

Pending extend(bool check, const int32_t* refinements);         // /case; an object! raises internal not-done
Pending to_local_file(bool check, const int32_t* refinements);  // /full
Pending wait(bool check, const int32_t* refinements);           // /all, which changes nothing
Pending context_q(bool check, const int32_t* refinements);
Pending set_env(bool check, const int32_t* refinements);        // a name the system refuses: script invalid-arg
Pending get_env(bool check, const int32_t* refinements);
Pending list_env(bool check, const int32_t* refinements);
Pending now(bool check, const int32_t* refinements);            // one field at most, or /time/precise
Pending as(bool check, const int32_t* refinements);
Pending browse(bool check, const int32_t* refinements);         // through xdg-open; none installed: nothing
Pending recycle(bool check, const int32_t* refinements);        // /on /off

}  // namespace vek::natives
