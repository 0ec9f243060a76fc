// Output natives: print and prin, the memory figures of stats, and the
// new-line markers of blocks (new-line, new-line?). Each follows the native
// convention of natives.h: arguments from stack::arguments on, the result in
// the first of them; print and prin, which reduce a block, hand a pending
// break, continue, return or exit back to their caller.
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/core/unwind.h"

namespace vek::natives {

Pending print(bool check, const int32_t* refinements);
Pending prin(bool check, const int32_t* refinements);
Pending stats(bool check, const int32_t* refinements);       // /show /info
Pending new_line(bool check, const int32_t* refinements);    // /all /skip
Pending new_line_q(bool check, const int32_t* refinements);

// The body of print (new_line true) and prin.
Pending print_value(bool new_line);

// Whether the last output ended a line: set by print, cleared by prin; false
// before any output.
extern bool last_line;

}  // namespace vek::natives
