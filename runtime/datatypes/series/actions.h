// series! (id 42): the abstract datatype whose record carries the navigation
// and editing actions that every series type shares. No value ever has this
// type; block! and string! (and through them their kinds) take the entries
// by inheritance. Each action is written once over the element width of the
// buffer (16-byte cells, 1-, 2- and 4-byte strings, bytes), moving raw bytes.
//
// Also here: the owner reports that every editing action of every series
// module makes, so that an object holding the series in a field hears of the
// change (runtime/tables/ownership.h routes it).
//
// The memory layer of series (buffers, nodes, growth) is runtime/memory/series.h.
//
// Action signatures (the first argument cell doubles as the result cell):
//   at, back, head, head?, index?, next, skip, tail, tail?:  void ()
//       operands on the evaluation stack from stack::arguments, the result
//       written in place;
//   length?:  int32_t (const Cell* series)
//   pick:     Cell* (Cell* series, int32_t index, const Cell* index_cell)
//   poke:     Cell* (Cell* series, int32_t index, Cell* value, const Cell* index_cell)
//   clear:    void (Cell* series)
//   remove:   void (Cell* series, const Cell* part, const Cell* key)
//   reverse:  void (Cell* series, const Cell* part, const Cell* size)
//   take:     Cell* (Cell* series, const Cell* part, bool deep, bool last)
//   copy:     Cell* (Cell* value, Cell* result, const Cell* part, bool deep, const Cell* kind)
//   move:     Cell* (Cell* origin, Cell* target, const Cell* part)
//   random:   Cell* (Cell* value, bool seed, bool secure, bool only)
//   reflect:  void (Cell* value, uint32_t field_symbol)
//   modify:   Cell* (Cell* target, const Cell* field, const Cell* value, bool case_sensitive)
// An absent refinement argument is nullptr.
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/core/registry.h"
#include "runtime/memory/series.h"

namespace vek::series {

// ---------------------------------------------------------------- owner reports

// The edits an owner hears of, each reported with a pair of action words:
// the present tense before the change, the past tense after it.
enum class Edit : uint32_t {
    append, insert, change, clear, poke, put, remove, take, reverse, random, move, sort, swap, trim,
};

// Tells the owner of the series, if it has one, of the change about to be
// made (new_value nullptr reports none). Answers whether an owner was told:
// only then must notify_after follow the change. The owner's handler runs
// Vek code that may change the series: after a true answer re-read the
// buffer, head and tail and clamp the range again.
bool notify_before(const Cell* series, Edit edit, const Cell* new_value, int32_t index, int32_t part);
void notify_after(const Cell* series, Edit edit, const Cell* new_value, int32_t index, int32_t part);

// ---------------------------------------------------------------- positions

// Whether the head lies at or past the tail.
bool rs_tail_q(const Cell* series);
// Elements in the buffer, whatever the head.
uint32_t total_length(const Cell* series);
// Moves the head by n only when it then stays at or before the tail; answers
// whether the new position is at or past the tail.
bool rs_skip(Cell* series, int32_t n);
// The head index at (at_flag) or skip would give for the argument, clamped
// to 0..total length. A non-integer! raises script invalid-arg.
uint32_t get_position(const Cell* series, const Cell* index, bool at_flag);
// Elements from the head (from element 0 with from_start) to the tail. A
// head beyond the tail is first pulled back to it, giving 0.
uint32_t clamp_length(Cell* series, bool from_start);

// ---------------------------------------------------------------- take and copy

// What the take and copy entries of block! and string! build on.
//
// The elements taken, as a new series of the source's type pushed on the
// stack, or none when nothing follows the head. Without /part the one
// element lies in a scratch buffer shared by every take: the caller lifts it
// out before the next take. With /part 0, or a position at the head, an
// empty series is answered and nothing removed. deep is for the block and
// string takes that call this; it is not looked at here.
Cell* take(Cell* series, const Cell* part, bool deep, bool last);

// series!'s own copy: a new series of the value's type (its new-line flag
// kept, head 0) holding its elements from the head, or the /part range: an
// integer! count, a pair! range or a position in the same series. Written
// into result and answered. deep and kind are for the block copy; not looked
// at here.
Cell* copy_shallow(Cell* value, Cell* result, const Cell* part, bool deep, const Cell* kind);

// ---------------------------------------------------------------- reflect and modify

// series!'s reflect and modify, which bitset! takes too: both know only the
// field owned. reflect answers the owner object, or none, in the value; any
// other field raises internal not-done. modify with none drops the value's
// owner, with a block! [object word] makes that object its owner through
// that field; other fields and values change nothing. Answers the target.
void reflect_owned(Cell* value, uint32_t field_symbol);
Cell* modify_owned(Cell* target, const Cell* field, const Cell* value, bool case_sensitive);

// Registers series!.
void init();

}  // namespace vek::series
