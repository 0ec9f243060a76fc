#include "runtime/natives/series.h"

#include "runtime/natives/natives.h"

namespace vek::natives {

Pending uppercase(bool check, const int32_t* refinements) { return not_done(check, refinements); }
Pending lowercase(bool check, const int32_t* refinements) { return not_done(check, refinements); }

}  // namespace vek::natives
