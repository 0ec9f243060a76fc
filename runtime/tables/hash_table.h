// Open-addressing hash tables. One layout serves five clients that differ in
// what a key is and how duplicates are treated: the index of a hash! block
// (equal keys share a bucket through a chain of positions), the pairs of a
// map!, the symbol table and context word tables, and two tables of records
// keyed by a node. A table never holds values: its keys are positions of
// cells in a value block (or byte offsets of records in it).
//
// Every operation takes the table's node. The functions that answer a cell
// or record address answer a pointer into the value block, valid until the
// next call that may allocate.
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/core/compare_op.h"
#include "runtime/memory/series.h"

namespace vek::hash_table {

enum Kind : int32_t {
    KIND_VALUES = 0,   // hash!
    KIND_MAP = 1,      // map!: keys and values alternate, keys indexed
    KIND_WORDS = 2,    // the symbol table and context word tables
    KIND_RECORDS = 3,  // records keyed by a node
    KIND_OWNERS = 4,   // the owner table: records keyed by the owned series' node
};

// The table's own buffer: eleven 32-bit fields in a byte series whose
// buffer carries BUF_KIND_HASH, so that the collector finds what it refers to.
struct Record {
    int32_t size;                 // live entries; equal hash! keys count once
    uint32_t positions_or_width;  // kind 0: position array node; kinds 3-4: bytes per record
    Node chains;                  // kind 0: one chain node per chain (none once emptied)
    Node flags;                   // two bits per bucket
    Node keys;                    // one signed 32-bit key per bucket
    Node block;                   // the value block
    int32_t occupied;             // live and deleted buckets
    uint32_t bucket_count;        // a power of two
    int32_t upper_bound;          // occupied count at which the next insertion grows
    int32_t kind;
    uint32_t stamp;               // always 0: nodes never move, so keys never go stale
};
static_assert(sizeof(Record) == 44);

inline Record* record(Node table) { return reinterpret_cast<Record*>(node_buffer(table)->first()); }

// The tables compare keys under COMP_EQUAL, COMP_STRICT_EQUAL or COMP_SAME
// (core/compare_op.h), through actions::compare_for_tables.
//
// The comparison of keys whose datatype has no compare action yet: it
// compares datatypes, string texts (case-insensitively unless strict), word
// symbols (resolved unless strict), symbol names, and the payload words of
// anything else.
bool default_compare(const Cell* a, const Cell* b, int op);

// What put_star reports when the table was rebuilt from its block instead:
// every cell, the one given included, is indexed, so a loop of puts stops.
constexpr int PUT_REBUILT = 2;

// kind 3-4 width: data cells per record. block is none or a series value
// whose cells from its head are indexed; kinds 3-4 and tables made without a
// block get a new block. A kind-2 table made with width 2 and a context! cell
// is a copy of that context's word table.
Node make(uint32_t size, const Cell* block, int32_t kind, uint32_t width);

// Indexes a cell that lies in the table's block (kinds 0-2).
Cell* put(Node table, Cell* cell);
Cell* put_star(Node table, Cell* cell, int* result);

// The matching cell, or nullptr. Kinds 1-2 answer the first live entry of the
// key's datatype that compares true under op. Kind 0 picks among the
// positions of the key's group: the first at or after head whose distance
// from head is a multiple of skip (last: the last one), or with reverse the
// last one before head. A map! looks up every word kind as a set-word!.
Cell* find(Node table, const Cell* key, int32_t head, int32_t skip, int op, bool last, bool reverse);
// Continues a probe for the next entry equal to key; *bucket -1 starts one.
// bucket and step are the caller's to keep between calls.
Cell* find_next(Node table, const Cell* key, int32_t* bucket, uint32_t* step);

// map!: the entry's value header becomes 0 (the key stays indexed). hash!:
// the cell leaves its bucket.
void remove_cell(Node table, Cell* cell);
void remove_range(Node table, uint32_t index, uint32_t count);
// Empties the table and its block.
void clear(Node table);

// A copy of the table indexing another block that holds the same cells; a
// hash! copy gets chains of its own.
Node copy(Node table, Node block);
// A copy with a copy of the block (context word tables).
Node clone(Node table);

// hash!: delta cells were inserted (delta > 0) before index, or removed
// (delta < 0) just before it; the count cells from index shift. With
// move_positions the removed cells also leave the table and the position
// array follows the cells. Answers 1, doing nothing, when count exceeds
// SHIFT_LIMIT: the caller then rebuilds with reset.
constexpr uint32_t SHIFT_LIMIT = 30000;
int shift_indexes(Node table, int32_t delta, uint32_t index, uint32_t count, bool move_positions);
// hash!: the count cells at from moved as a run; moving backward it now
// starts at to, moving forward it now ends at to. Nothing happens when to
// lies inside the run.
void move_indexes(Node table, uint32_t to, uint32_t from, uint32_t count);

// hash!: new buckets for request keys, then every cell of the block indexed again.
void reset(Node table, uint32_t request);
// Indexes the block's cells from start, every step cells. A map! walks its
// pairs: a key already present takes the pair's value and the pair leaves
// the block (the later value wins); a new key is normalised.
void reindex(Node table, uint32_t start, uint32_t step);

// Record tables (kinds 3-4). Each answers the record's data cells.
// add_record finds or adds the key's record; either way its data is unset!.
Cell* add_record(Node table, Node key);
Cell* find_record(Node table, Node key);
Cell* remove_record(Node table, Node key);

// The symbol table (kind 2 over the block of symbol! cells): the id
// (1-based) of the symbol with this UTF-8 name, made when absent. With fold a
// name equal ignoring ASCII case is taken; without it such a name makes a new
// symbol whose alias is the canonical one.
uint32_t find_symbol(Node table, const char* name, uint32_t length, bool fold);
// Context word tables (kind 2 over the block of word entries): the index of
// the symbol's entry, or -1. Case-insensitively, symbols meet when they
// resolve to the same id. With a context to add to, an absent symbol gets a
// new entry bound to it, whose index goes to *index (-1 is still answered);
// a present one's index also goes to *index.
int32_t find_or_add_word(Node table, uint32_t symbol, bool case_insensitive, Node context,
                         int32_t* index);

// For the collector: every node the table owns beside its own (arrays, block,
// chains).
void for_each_owned_node(Node table, void (*visit)(Node node, void* context), void* context);
// For the collector: removes each live record that dead() condemns, zeroing
// its header and key words.
void sweep_records(Node table, bool (*dead)(Node key, const Cell* data));

}  // namespace vek::hash_table
