// Block cell arrays: the layer over the cell buffers of block! and of every
// value laid out like it (paren!, hash!, map!, the path kinds). Reading and
// moving the head, appending, inserting, selecting, cloning, and making new
// blocks in a cell, in a parent block or on the evaluation stack.
//
// Block cell: header (the type, bit 30 the new-line flag), word 1 the head
// index in cells, word 2 the node of a cell buffer, word 3 the hash table of
// a hash! (unused by the other kinds). A head index may lie beyond the tail
// when the buffer was shortened through another value sharing it; each
// function says how it treats that.
//
// Every function that appends or inserts may move the buffer (and, through
// the collector, any other buffer): a Cell* answered is valid until the next
// call that may allocate.
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/memory/series.h"

namespace vek::block {

// Word 3 of a hash!: the node of the hash table indexing its cells.
inline Node hash_table_of(const Cell* hash) {
    VEK_CHECK_LAYOUT(hash, type_in<TYPE_HASH>);
    return Node(hash->data3);
}
inline void set_hash_table(Cell* hash, Node table) {
    VEK_CHECK_LAYOUT(hash, type_in<TYPE_HASH>);
    hash->data3 = uint32_t(table);
}

// The scratch cells of blocks made without a parent start unset, and are
// declared for the image of the heap (at every start).
void init_scratch();

// ---------------------------------------------------------------- head and tail

// Cells from the head to the tail; negative when the head lies beyond the tail.
int32_t rs_length(const Cell* block);
// The same, never below 0.
inline uint32_t length_from_head(const Cell* block) {
    int32_t n = rs_length(block);
    return n < 0 ? 0 : uint32_t(n);
}
// Moves the head one cell on unless that would pass the tail; answers whether
// the head then stands at the tail.
bool rs_next(Cell* block);
// The cell at the head; a head beyond the tail is first pulled back to it.
Cell* rs_head(Cell* block);
// Just past the last cell.
Cell* rs_tail(const Cell* block);
// Whether the head stands exactly at the tail.
bool rs_at_tail(const Cell* block);
// The cell at an index counted from the buffer's first cell, whatever the head.
Cell* rs_abs_at(const Cell* block, uint32_t index);
// Drops every cell from the head on (nothing when the head is at or beyond
// the tail).
void rs_clear(const Cell* block);
// The tail becomes the cell at an index from the buffer's first cell.
void truncate_at(const Cell* block, uint32_t index);
// Drops the last cell if there is one; a head then beyond the tail is pulled
// back to it.
void rs_remove_last(Cell* block);

// ---------------------------------------------------------------- adding cells
// Whole cells are copied, header flags included. A hash! indexes every cell
// added to it.

// A copy of the value as the new last cell (a full buffer doubles).
Cell* rs_append(const Cell* block, const Cell* value);
// Copies of the source's cells from its head to its tail at the target's
// tail; answers the target. The source may be the target itself.
const Cell* append_cells_of(const Cell* target, const Cell* source);
// Inserts a copy of the value at the head (at the buffer's first cell with
// at_start); a full buffer grows to twice the size it needs. With advance the
// head then moves past the new cell. Answers the new cell.
Cell* insert_value(Cell* block, const Cell* value, bool advance, bool at_start);
// Inserts copies of the source's cells, in order, at the target's head,
// which ends past them; answers the target.
Cell* insert_cells_of(Cell* target, const Cell* source);

// The lexer's three moves on the evaluation stack: the result cell into the
// block held just below it (inserted at that block's head, which advances, or
// appended), and the cell just after the result onto the block in it.
void insert_result_into_previous();
void append_result_to_previous();
void result_append_next();

// ---------------------------------------------------------------- lookup by value

// The cell after the first one equal to the value (search equality), or the
// none constant when nothing matches or the match is the last cell.
const Cell* rs_select(const Cell* block, const Cell* value);
// The cell after the first word!, set-word!, lit-word! or get-word! naming the
// word's symbol (any spelling of it unless exact), or the none constant.
const Cell* select_word(const Cell* block, const Cell* word, bool exact);
// Removes the first cell equal to the value (search equality), looking from
// the head or, with from_start, from the buffer's first cell. Answers whether
// a cell was removed at or before the head index; false also when none was.
bool remove_value(const Cell* block, const Cell* value, bool from_start);

// ---------------------------------------------------------------- copying

// Pushes a new value of the source's type holding copies of its cells from
// the head (room for at least one cell). With deep every nested block! is
// cloned the same way, and with any_block also every paren! and path kind; a
// nested clone keeps the header of the cell it replaces. A deep clone of a
// block that contains itself raises internal no-cycle; nesting deeper than the
// cycle guard allows raises internal too-deep.
Cell* clone(const Cell* value, bool deep, bool any_block);

// ---------------------------------------------------------------- making

// Writes a new empty block! into the cell (its header flags kept): capacity
// cells of room, a capacity below 1 giving 1.
Cell* make_at(Cell* cell, int32_t capacity);
// The same with the header written whole. With heap the buffer lies outside
// the series frames and never moves; otherwise every cell of its room is
// preset to unset!.
Cell* make_at_star(Cell* cell, int32_t capacity, bool heap);
// A new block appended to the parent, or, without one (nullptr), written
// into a scratch cell of the module that the next call without a parent
// overwrites. The heap variant's buffer never moves.
Cell* make_heap_in(const Cell* parent, int32_t capacity);
Cell* make_in(const Cell* parent, int32_t capacity);
// A copy of the value pushed on the evaluation stack.
Cell* push(const Cell* value);
// A new empty block of the capacity (below 1 gives 1) pushed on the stack.
Cell* push_only_star(int32_t capacity);

}  // namespace vek::block
