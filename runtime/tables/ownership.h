// The owner table: which object, and which of its fields, owns each series
// (and bitset! and image!) reachable from that field, so that a change deep
// inside the series reaches the object's on-deep-change* handler. A record
// per owned series, keyed by its node in a kind-4 record table, holds three
// cells: a copy of the owned value, of the owner object and of the field
// word. A flag on the series says cheaply that a record exists.
//
// The object parts (walking an object's fields, firing its handler) come
// from the objects module through sockets::for_each_field and
// sockets::notify_owner; without them objects are not walked and no owner is
// ever notified.
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/memory/series.h"

namespace vek::ownership {

// The table's node; a collector root, swept of dead records after marking.
extern Node table;

// Makes the table.
void init();
// Registers the table's collector root and its sweep (at every start).
void init_hooks();

// Records the owner and field deeply (through blocks and objects), then marks
// the owner's context as an owner. A series that already has a record keeps
// it: the first owner wins until the series is unbound.
void set_owner(Cell* value, const Cell* owner, const Cell* field_word);
// Removes ownership deeply.
void unbind(Cell* value);
// A field of the owner was set, the old value given, the new one in the
// slot: the old value is let go when its record names this owner and field,
// and the new one becomes the field's, as the values the owner held when it
// was made did. Nothing for an owner that owns nothing (or is no object yet).
void field_set(const Cell* owner, const Cell* field_word, const Cell* old_value, Cell* slot);
// unbind of count cells of the block from the 0-based index (from the
// buffer's first cell).
void unbind_range(const Cell* block, uint32_t index, uint32_t count);
// The owner cell of the series' record, followed by the field word cell; or
// nullptr. Valid until the next call that may allocate.
Cell* owner_of(Node series);
// After the collector's marking: removes every record whose series or whose
// owner's context is not marked.
void sweep();
// Tells the owner of the value, when it has one, of a change: answers whether
// an owner was notified. An object! is looked up by its context node.
bool check(const Cell* value, const Cell* action, const Cell* new_value, int32_t index, int32_t part);

}  // namespace vek::ownership
