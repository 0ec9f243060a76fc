// What compiled library code uses in place of the interpreter: argument type
// checks against a function's typesets, getting and setting words and
// context slots with the interpreter's error semantics, refinement
// arguments, and printing an error without raising it.
//
// "The last pushed value" is the cell below the stack top, or the current
// frame's result cell when the frame pushed nothing.
#pragma once

#include <cstdint>

#include "runtime/cell.h"
#include "runtime/raise.h"
#include "runtime/series.h"

namespace vek::compiled {

// The value when its datatype is in the typeset; otherwise script expect-arg
// naming the running function, the value's datatype and the function's
// argument word at that position.
const Cell* check_arg_type(const Cell* typeset, int32_t position, const Cell* value);
// Checks the cell at stack::arguments + index, the argument word being the
// one at that index; a negative index checks nothing.
void check_slot_arg_type(const Cell* typeset, int32_t index);
// Checks only when the refinement (a logic! cell) is set.
const Cell* check_refinement_arg_type(const Cell* refinement, const Cell* typeset, int32_t position,
                                      const Cell* value);
// An unset! value raises expect-arg as above with the datatype unset!.
const Cell* check_arg_not_unset(int32_t position, const Cell* value);

// The word's value cell; unset! raises script no-value with the word.
Cell* get_word(const Cell* word);
// The last pushed value becomes the word's value (with object change
// events); unset! raises script need-value with the word. The _drop form
// then cuts the stack back to the frame's base.
void set_word(Cell* word);
void set_word_drop(Cell* word);

// The last pushed value is copied into the context's slot; unset! raises
// script need-value with the slot's word.
void set_context_slot(Node context, uint32_t index);
void set_context_slot_drop(Node context, uint32_t index);
// Copies without the unset! check, marks an object context's word entry
// assigned, and cuts the stack back.
void set_context_slot_quiet(Node context, uint32_t index);
// The slot's value cell; a context without values raises script not-defined
// with the slot's word.
Cell* get_context_slot(Node context, uint32_t index);

// A true refinement value sets the logic! cell at stack::arguments + index;
// otherwise the count argument cells after it become none!.
void set_refinement_args(const Cell* refinement, uint32_t index, uint32_t count);

// Builds the error and prints it as print does, inside a native frame named
// <anon> whose result ends up unset!; nothing is raised.
void print_error(Category category, uint32_t id, const Cell* arg1 = nullptr,
                 const Cell* arg2 = nullptr, const Cell* arg3 = nullptr);

}  // namespace vek::compiled
