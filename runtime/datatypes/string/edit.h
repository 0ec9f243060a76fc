// String editing: the editing actions that string! implements itself (append
// and insert, change, swap, take and trim, declared for the family in
// internal.h) live in edit.cpp; here are the common append that the action's
// entry tries first, the trims they build on and the engine behind the set
// natives on strings.
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/datatypes/block/sets.h"

namespace vek::string {

// The common append, a char! at the tail of a string! with room left, done
// as a store and a tail bump; the series comes back at its head. Answers
// false, leaving everything as it was, where append would do more (tell an
// owner, widen, grow).
bool append_in_place(Cell* series, const Cell* value);

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
