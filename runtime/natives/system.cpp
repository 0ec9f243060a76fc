#include "runtime/natives/system.h"

#include "runtime/natives/natives.h"

namespace vek::natives {

Pending extend(bool check, const int32_t* refinements) { return not_done(check, refinements); }
Pending to_local_file(bool check, const int32_t* refinements) { return not_done(check, refinements); }
Pending wait(bool check, const int32_t* refinements) { return not_done(check, refinements); }
Pending context_q(bool check, const int32_t* refinements) { return not_done(check, refinements); }
Pending set_env(bool check, const int32_t* refinements) { return not_done(check, refinements); }
Pending get_env(bool check, const int32_t* refinements) { return not_done(check, refinements); }
Pending list_env(bool check, const int32_t* refinements) { return not_done(check, refinements); }
Pending now(bool check, const int32_t* refinements) { return not_done(check, refinements); }
Pending as(bool check, const int32_t* refinements) { return not_done(check, refinements); }
Pending browse(bool check, const int32_t* refinements) { return not_done(check, refinements); }
Pending recycle(bool check, const int32_t* refinements) { return not_done(check, refinements); }

}  // namespace vek::natives
