// Output, comparison and evaluation natives: print and prin, the comparison
// predicates, same?, not, type?, reduce, compose, stats, bind, in, value?,
// unset, new-line, new-line? and parse. Each follows the native convention of
// natives.h: arguments from stack::arguments on, the result in the first of
// them; those that evaluate hand a pending break, continue, return or exit
// back to their caller.
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/core/unwind.h"

namespace vek::natives {

Pending print(bool check, const int32_t* refinements);
Pending prin(bool check, const int32_t* refinements);
Pending equal_q(bool check, const int32_t* refinements);
Pending not_equal_q(bool check, const int32_t* refinements);
Pending strict_equal_q(bool check, const int32_t* refinements);
Pending lesser_q(bool check, const int32_t* refinements);
Pending greater_q(bool check, const int32_t* refinements);
Pending lesser_or_equal_q(bool check, const int32_t* refinements);
Pending greater_or_equal_q(bool check, const int32_t* refinements);
Pending same_q(bool check, const int32_t* refinements);
Pending not_(bool check, const int32_t* refinements);
Pending type_q(bool check, const int32_t* refinements);      // /word
Pending reduce(bool check, const int32_t* refinements);      // /into
Pending compose(bool check, const int32_t* refinements);     // /deep /only /into
Pending stats(bool check, const int32_t* refinements);       // /show /info
Pending bind(bool check, const int32_t* refinements);        // /copy
Pending in(bool check, const int32_t* refinements);
Pending value_q(bool check, const int32_t* refinements);
Pending unset(bool check, const int32_t* refinements);
Pending new_line(bool check, const int32_t* refinements);    // /all /skip
Pending new_line_q(bool check, const int32_t* refinements);
Pending parse(bool check, const int32_t* refinements);       // /case /part /trace

// The body of print (new_line true) and prin.
Pending print_value(bool new_line);
// The identity test of same?.
bool same_value_q(const Cell* a, const Cell* b);

// Whether the last output ended a line: set by print, cleared by prin; false
// before any output.
extern bool last_line;

}  // namespace vek::natives
