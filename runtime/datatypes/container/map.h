// map!: the key/value dictionary. A map cell holds, like a block, the head
// index (always 0) in word 1 and the node of its entry block in word 2: key
// and value cells alternate there in insertion order. Word 3 is the node of
// the map-kind hash table indexing the keys. A removed entry stays in the
// block as a hole whose value header is 0.
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/memory/series.h"

namespace vek::map {

// Word 3: the node of the hash table indexing the keys.
inline Node table(const Cell* map) {
    VEK_CHECK_LAYOUT(map, type_in<TYPE_MAP>);
    return Node(map->data3);
}
inline void set_table(Cell* map, Node table) {
    VEK_CHECK_LAYOUT(map, type_in<TYPE_MAP>);
    map->data3 = uint32_t(table);
}

// Whether values of the type may be map keys.
bool valid_key_type(uint32_t type);
// Prepares a key for storage: any word kind becomes a plain set-word!, a
// series key becomes a fresh copy of itself from its head; a type that may
// not be a key raises script invalid-path with named (the path, none, or the
// key itself) and the key's datatype.
void normalize_key(Cell* key, const Cell* named);

// Makes the cell a map!. With a block (which may be the cell itself, and
// whose head must be its first cell) its cells are the entries, a later pair with a key already
// present giving that entry its value and leaving the block; without one
// (nullptr) the map gets a new empty block with room for size cells. The
// table has room for size keys. Returns the cell.
Cell* make_at(Cell* cell, const Cell* block, uint32_t size);
// A copy of the cell pushed on the evaluation stack.
Cell* push(const Cell* value);
// Live entries.
int32_t entry_count(const Cell* map);
// Adds the key/value pairs of the source (a block or hash! from its index, or
// a map!'s live entries) to the map: a key present (strictly equal under
// case_sensitive, else equal) gets the new value, reviving a removed entry;
// another is normalised and appended with its value. A block of odd length
// raises script invalid-arg with the block; a key of a type that may not be
// a key raises script invalid-path.
void extend(const Cell* map, const Cell* spec_value, bool case_sensitive);
// One step of foreach with a block of count words over the map cell (a
// loop's own copy, whose index is the position in the entry block): sets
// the words in turn from the key and value cells from that position on,
// skipping removed entries, a set-word key given as a word!, and none once
// the entries run out; then moves the index past the cells used. Answers
// whether any word got a cell of an entry. A word of the block that is no
// word kind raises script invalid-arg with it.
bool foreach_next(Cell* map, const Cell* words, uint32_t count);

// Registers map!.
void init();

}  // namespace vek::map
