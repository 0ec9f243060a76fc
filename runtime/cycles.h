// The cycle guard that keeps forming, molding, comparing and copying from
// recursing forever into a series that contains itself. Its stack lives with
// the text and table helpers; the evaluation stack only needs to empty it
// when it overflows, so that the error can still be formed.
#pragma once

namespace vek::cycles {

// Set by the module that owns the guard stack; none until then.
extern void (*reset_hook)();

// Empties the guard stack.
void reset();

}  // namespace vek::cycles
