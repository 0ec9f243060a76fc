// Searching strings: the find and select actions of string!, which every
// string-like type and binary! reach by inheritance.
//
// Without case_sensitive or same, the code points of a string-like series
// and of the searched value are compared folded to upper case; a binary!
// series and a bitset! test never fold. The refinement arguments (part,
// wild, skip) are nullptr when the refinement is absent.
#pragma once

#include "runtime/core/cell.h"

namespace vek::string {

// The series moved to the first match, or the none constant. The value may
// be a char!, a bitset!, a text (string-like, binary! or a word's name), an
// integer! byte in a binary!, or anything else, which is searched as its
// formed text. Forwards from the head up to the part limit (a count, or a
// position in the same series) or the tail; last searches backwards from
// the end of that range down to the head; reverse backwards over the units
// before the head (all of them, or the part count), a match ending at the
// head at the latest. skip is the distance in units between the positions
// tried, which stay aligned with the head in either direction. match tests
// the first position only (reverse and match find nothing); tail moves past
// the matched text.
// any and wild raise internal not-done; a skip below 1 raises script
// out-of-range; a bad part raises invalid-refine-arg; a binary! value in a
// series that is not binary! raises invalid-arg.
Cell* find(Cell* series, const Cell* value, const Cell* part, bool only, bool case_sensitive,
           bool same, bool any, const Cell* wild, const Cell* skip, bool last, bool reverse,
           bool tail, bool match);

// The unit that follows the match, written into the series cell: a char!,
// or an integer! in a binary!; the none constant when nothing matches or
// the match ends the text.
Cell* select(Cell* series, const Cell* value, const Cell* part, bool only, bool case_sensitive,
             bool same, bool any, const Cell* wild, const Cell* skip, bool last, bool reverse);

}  // namespace vek::string
