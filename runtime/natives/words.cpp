#include "runtime/natives/words.h"

#include "runtime/natives/natives.h"

namespace vek::natives {

Pending construct(bool check, const int32_t* refinements) { return not_done(check, refinements); }

}  // namespace vek::natives
