#include "runtime/natives/sets.h"

#include "runtime/natives/natives.h"

namespace vek::natives {

Pending union_(bool check, const int32_t* refinements) { return not_done(check, refinements); }
Pending intersect(bool check, const int32_t* refinements) { return not_done(check, refinements); }
Pending unique(bool check, const int32_t* refinements) { return not_done(check, refinements); }
Pending difference(bool check, const int32_t* refinements) { return not_done(check, refinements); }
Pending exclude(bool check, const int32_t* refinements) { return not_done(check, refinements); }
Pending complement_q(bool check, const int32_t* refinements) { return not_done(check, refinements); }
Pending dehex(bool check, const int32_t* refinements) { return not_done(check, refinements); }
Pending enhex(bool check, const int32_t* refinements) { return not_done(check, refinements); }
Pending debase(bool check, const int32_t* refinements) { return not_done(check, refinements); }
Pending enbase(bool check, const int32_t* refinements) { return not_done(check, refinements); }

}  // namespace vek::natives
