// The editing actions that string! implements itself, inherited by the other
// string-like types: append and insert (one routine), change, swap, take and
// trim; and the engine behind the set natives on strings. The positional
// editing actions (clear, remove, reverse, move, poke, copy) come from series!
// (datatypes/series/actions.h).
//
// What a value contributes as text: a string, file, url, email or ref its
// code points from its head; a tag! the same between "<" and ">"; a char!
// its code point; a block!, paren! or hash! each element formed in turn with
// nothing between them; any other value its formed text.
//
// Each action tells the series' owner, if it has one, before and after the
// change, and re-reads the series after the first notice, since the owner's
// handler may have edited it. Sizes are checked before anything is written:
// one that overflows 32 bits raises internal no-memory and changes nothing.
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/datatypes/block/sets.h"

namespace vek::string {

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
void trim(Cell* series, bool head, bool tail, bool auto_, bool lines, bool all, const Cell* with);

// Removes from the head on every code point of the set: TAB, LF, CR and
// space when set is nullptr, else the code points of a string-like or
// binary! from its head, or the one of a char! or integer!. Another value
// raises script invalid-arg.
void remove_char_set(Cell* series, const Cell* set);
// Every run of whitespace becomes one space; none is left at either end.
void trim_lines(Cell* series);
// Leading whitespace goes unless tail, trailing whitespace unless head. With
// neither, spaces and tabs around each line feed go too, and when the
// trailing whitespace held a line feed one line feed ends the text.
void trim_ends(Cell* series, bool head, bool tail);

// Replaces the first input in its cell by the result: a new value of its
// type, head 0, holding each kept record once. Records are skip code points
// (an integer! of at least 1, else script invalid-refine-arg; nullptr for 1),
// judged by their first code point, compared folded to upper case unless
// case_sensitive. second, ignored by unique, must be string-like (else
// script invalid-arg).
Cell* set_operation(Cell* first, const Cell* second, bool case_sensitive, const Cell* skip,
                    block::SetMode mode);

}  // namespace vek::string
