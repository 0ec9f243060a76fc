// What the string! family's files share inside the family: the string!
// action implementations that live in edit.cpp, find.cpp, sort.cpp and
// path_access.cpp, for string.cpp to register and for the family's own code
// to call. Only runtime/datatypes/string/ includes this header; code
// elsewhere reaches these actions through the typed dispatchers
// (runtime/actions/dispatch.h). The other string-like types and binary!
// take them from string! by inheritance.
#pragma once

#include <cstdint>

#include "runtime/actions/dispatch.h"
#include "runtime/core/cell.h"

namespace vek::string {

// ---------------------------------------------------------------- editing (edit.cpp)
//
// What a value contributes as text: a string, file, url, email or ref its
// code points from its head; a tag! the same between "<" and ">"; a char!
// its code point; a block!, paren! or hash! each element formed in turn with
// nothing between them; any other value its formed text.
//
// Each editing action tells the series' owner, if it has one, before and
// after the change, and re-reads the series after the first notice, since
// the owner's handler may have edited it. Sizes are checked before anything
// is written: one that overflows 32 bits raises internal no-memory and
// changes nothing. The positional editing actions (clear, remove, reverse,
// move, poke, copy) come from series! (datatypes/series/actions.h).

// Slots 25 and 35. part limits the text (-1: all of it): for a block without
// only, the number of its elements formed; for a block with only, or any
// other value formed with only, the code points formed; for text, the code
// points taken. A value formed without only is formed whole. dup (at least 1)
// repeats the text. Appending writes at the tail and leaves the series at
// its head; inserting writes at the head (clamped to the tail) and leaves the
// series just past the new text.
void append(Cell* series, Cell* value, int32_t part, bool only, int32_t dup, bool append);

// Slot 28. Writes dup copies of the value's whole text at the head, over as
// many code points as it writes (for a block or path value, dup times its
// element count), or over part code points when part is not negative, never
// past the tail. Leaves the series just past the new text.
void change(Cell* series, Cell* value, int32_t part, bool only, int32_t dup);

// Slot 47. Exchanges the code points at the two heads when both have one,
// widening either buffer as needed (a binary! keeps the low byte). series2
// must be string-like or a binary! (else script invalid-arg). Leaves series1.
void swap(Cell* series1, Cell* series2);

// Slot 50. series!'s take; without part the taken element itself (a char!,
// an integer! for a binary!) rather than a series of it. None when nothing
// follows the head.
Cell* take(Cell* series, const Cell* part, bool deep, bool last);

// Slot 51, by precedence: all or with removes every code point of a set
// (remove_char_set); auto raises internal not-done; lines collapses
// whitespace (trim_lines); otherwise trim_ends.
void trim(Cell* series, const actions::TrimArgs& args);

// ---------------------------------------------------------------- searching (find.cpp)
//
// Without case_sensitive or same, the code points of a string-like series
// and of the searched value are compared folded to upper case; a binary!
// series and a bitset! test never fold. The refinement arguments (part,
// wild, skip) are nullptr when the refinement is absent.

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
Cell* find(Cell* series, const Cell* value, const actions::FindArgs& args);

// The unit that follows the match, written into the series cell: a char!,
// or an integer! in a binary!; the none constant when nothing matches or
// the match ends the text.
Cell* select(Cell* series, const Cell* value, const actions::SelectArgs& args);

// ---------------------------------------------------------------- sorting (sort.cpp)

// Sorts the code points, or records of skip code points, from the head in
// place and answers the series.
//   case_sensitive: otherwise unit-1 text compares with A-Z folded to a-z,
//     wider text with both code points folded to upper case.
//   skip: records of that many code points; it must divide the range.
//   comparator: an integer! orders records by the code point at that
//     1-based offset (needs skip, excludes all); a function! is called with
//     two char! values (two one-record strings with all and skip), (b, a),
//     or (a, b) with reverse, and its answer orders them as for blocks.
//   part: a count, or a position in the same series; a negative count sorts
//     that many code points before the head, and the answer's head moves
//     back to the first of them.
//   all: records compare whole (needs skip).
//   reverse: descending. stable: equal records keep their order.
// Errors leave the text as it was: invalid-refine-arg for a bad part, skip
// or comparator, out-of-range for an offset outside the record, bad-refines
// for all without skip and an integer comparator with all or without skip.
Cell* sort(Cell* series, const actions::SortArgs& args);

// ---------------------------------------------------------------- path access (path_access.cpp)

// Slot 7 (s/2, s/2: #"x", s/key, s/key: #"x"). Reads when value is nullptr,
// else sets and answers value.
//
// An integer! element picks the element at that position (none when out of
// range) or pokes it (script out-of-range when out of range). A word!
// element raises script invalid-path. Any other element is searched for:
// reading answers the element right after the found text (select), setting
// pokes the value there, and raises script bad-path-set when the text is
// missing. case_sensitive searches without folding case. The other
// arguments mean nothing to strings.
//
// The answer of a read (a char!, integer! or none!) is written into the
// parent cell, which is answered.
Cell* eval_path(Cell* parent, const Cell* element, const actions::PathArgs& args);

}  // namespace vek::string
