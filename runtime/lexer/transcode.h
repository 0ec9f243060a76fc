// The transcode native's work: text (a string! or the UTF-8 of a binary!)
// to values, or, with /prescan and /scan, to the datatype of its first value.
#pragma once

#include <cstdint>

namespace vek::lexer {

// The refinements, as the native's frame holds them: each is -1 when absent,
// else the position of its first argument cell (/part its length, /into its
// block, /trace its tracer).
struct TranscodeRefinements {
    int32_t next = -1;
    int32_t one = -1;
    int32_t prescan = -1;
    int32_t scan = -1;
    int32_t part = -1;
    int32_t into = -1;
    int32_t trace = -1;
};

// The source is in the frame's first argument cell, which receives the result.
// A /part position of another datatype raises script not-same-type, one in
// another series of the same datatype invalid-refine-arg.
// The tracer must be a function! (routine! values cannot be called from here):
// else script invalid-arg. With a tracer a binary! is scanned from a copy of
// its bytes, so that the tracer may change it.
void transcode(const TranscodeRefinements& refinements);

}  // namespace vek::lexer
