// The transcode native's work: text (a string! or the UTF-8 of a binary!)
// to values, or, with /prescan and /scan, to the datatype of its first value.
#pragma once

#include <cstdint>

namespace vek::natives {

// The native's convention: the source in the frame's first argument cell,
// which receives the result; each refinement is -1 when absent, else the
// position of its first argument cell (/part its length, /into its block).
// /trace is not yet served.
void transcode(bool check, int32_t next, int32_t one, int32_t prescan, int32_t scan,
               int32_t part, int32_t into, int32_t trace);

}  // namespace vek::natives
