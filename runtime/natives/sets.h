// Set and text-codec natives: the set operations on blocks, hashes, strings,
// bitsets and typesets, and percent and base encoding of text.
#pragma once

#include <cstdint>

#include "runtime/core/unwind.h"

namespace vek::natives {

// The set operations leave a new set in the result cell. Both sets must be
// of one kind (a block! and a hash! count as one; else script expect-val);
// blocks and hashes, strings, typesets and bitsets each go to their own
// engine (bitsets ignore /case and /skip); difference of two dates raises
// internal not-done; any other value raises script expect-arg. /case
// compares strictly; /skip takes records of that many values (below 1:
// script invalid-refine-arg).
Pending union_(bool check, const int32_t* refinements);
Pending intersect(bool check, const int32_t* refinements);
Pending unique(bool check, const int32_t* refinements);
Pending difference(bool check, const int32_t* refinements);
Pending exclude(bool check, const int32_t* refinements);
// Whether a bitset! is complemented; any other value raises script
// expect-arg.
Pending complement_q(bool check, const int32_t* refinements);
// A new string! of the text percent-decoded, or percent-encoded with
// everything but letters, digits and "-._~" escaped.
Pending dehex(bool check, const int32_t* refinements);
Pending enhex(bool check, const int32_t* refinements);
// Text in base 2, 16 or 64 (64 without /base) to a new binary!, or none when
// the text is not in that base; base 58 raises internal not-done, any other
// base script invalid-arg.
Pending debase(bool check, const int32_t* refinements);
// A binary!'s bytes, or a string!'s UTF-8, from the head, to a new string!
// in the base, bases as for debase. An output past the 32-bit range raises
// script too-long.
Pending enbase(bool check, const int32_t* refinements);

}  // namespace vek::natives
