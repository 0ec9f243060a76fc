#include "runtime/natives/compression.h"

#include "runtime/natives/natives.h"

namespace vek::natives {

Pending compress(bool check, const int32_t* refinements) { return not_done(check, refinements); }

Pending decompress(bool check, const int32_t* refinements) { return not_done(check, refinements); }

}  // namespace vek::natives
