// What compiled library code uses in place of the interpreter: argument type
// checks against a function's typesets, getting and setting words and
// context slots with the interpreter's error semantics, refinement
// arguments, and printing an error without raising it.
//
// "The last pushed value" is the cell below the stack top, or the current
// frame's result cell when the frame pushed nothing.
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/core/raise.h"
#include "runtime/core/unwind.h"
#include "runtime/memory/series.h"

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
void print_error(err::AnyId id, const Cell* arg1 = nullptr,
                 const Cell* arg2 = nullptr, const Cell* arg3 = nullptr);

// ---------------------------------------------------------------- switch

// The first cell of the block, from its index, of the key's datatype that
// equals the key, stepping one cell at a time (single_step) or over
// key/value pairs; nullptr when there is none or the key is a block!.
const Cell* switch_match(const Cell* key, const Cell* block, bool single_step);
// The first block! of the block after the matched cell; nullptr when none.
const Cell* block_after(const Cell* block, const Cell* match);
// The frame's first cell is the key, the second the block. The answer is,
// with seek_block, the first block! after the match, else the cell after it
// (the match itself when it is the last cell); none without a match or
// without a block after it. single_step pushes the answer, else it becomes
// the frame's result.
void switch_lookup(bool single_step, bool seek_block);

// ---------------------------------------------------------------- loading

// Scans the whole string into the block. The shared none when the scan
// stopped short of the string's end; the block cell made unset! when
// nothing was loaded; else the block's first value.
const Cell* load_first_value(const Cell* string, Cell* block);
// The same into the frame's first cell.
const Cell* load_first_value_at_stack(const Cell* string);

// ---------------------------------------------------------------- calls and paths

// One refinement of a compiled call: when value is true, the refinement (its
// 1-based ordinal among the action's or native's refinements) gets the
// argument position; otherwise count cells from that position become none!.
struct RefinementUse {
    const Cell* value;
    uint32_t ordinal;
    uint32_t position;
    uint32_t count;
};
constexpr uint32_t MAX_REFINEMENTS = 32;
// Calls entry index of the actions table (native false) or of the natives
// table (native true, with check? set), its refinement_count refinements
// absent unless a use makes them present. The arguments are in place from
// stack::arguments on.
Pending call_action_or_native(uint32_t index, bool native, uint32_t refinement_count,
                              const RefinementUse* uses, uint32_t use_count);

// Walks the count elements of a path from the head element (a word! head
// standing for its value) through each value's path action; in set mode the
// last step stores the frame's result cell. The final value becomes the
// frame's result.
void eval_path(bool set, const Cell* path, const Cell* elements, uint32_t count);

}  // namespace vek::compiled
