// Set and text-codec natives: the set operations on blocks, hashes, strings,
// bitsets and typesets, and percent and base encoding of text.
#pragma once

#include <cstdint>

#include "runtime/core/unwind.h"

namespace vek::natives {

Pending union_(bool check, const int32_t* refinements);
Pending intersect(bool check, const int32_t* refinements);
Pending unique(bool check, const int32_t* refinements);
Pending difference(bool check, const int32_t* refinements);
Pending exclude(bool check, const int32_t* refinements);
Pending complement_q(bool check, const int32_t* refinements);
Pending dehex(bool check, const int32_t* refinements);
Pending enhex(bool check, const int32_t* refinements);
Pending debase(bool check, const int32_t* refinements);
Pending enbase(bool check, const int32_t* refinements);

}  // namespace vek::natives
