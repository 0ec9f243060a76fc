// The hash tables' shared machinery: bucket flags, probing, the arrays of a
// table and their re-placement. Private to the hash-table sources.
#pragma once

#include <cstdint>

#include "runtime/tables/array.h"
#include "runtime/tables/hash_table.h"

namespace vek::hash_table::layout {

// Bucket i has bits 2(i mod 16) and 2(i mod 16)+1 of flag word i / 16.
constexpr uint32_t FLAG_LIVE = 0;
constexpr uint32_t FLAG_DELETED = 1;
constexpr uint32_t FLAG_EMPTY = 2;
constexpr uint8_t ALL_EMPTY = 0xAA;
constexpr uint8_t NO_POSITION = 0xFF;  // bytes of a -1 entry
constexpr double LOAD = 0.77;
constexpr uint32_t NOT_FOUND = UINT32_MAX;

// A bucket's key (a position in the block, -c for chain c of a hash!, a
// record's byte offset) beside the hash that placed it: growth re-places
// keys without hashing them again, and a probe passes over other keys on
// their hash alone, before any comparison of keys.
struct Slot {
    int32_t key;
    uint32_t hash;
};
static_assert(sizeof(Slot) == 8);

inline uint32_t* flag_words(const Record* r) { return reinterpret_cast<uint32_t*>(array::data(r->flags)); }
inline Slot* slots(const Record* r) { return reinterpret_cast<Slot*>(array::data(r->keys)); }
inline Cell* cells(const Record* r) { return node_buffer(r->block)->cells(); }
inline uint32_t block_length(const Record* r) { return node_buffer(r->block)->length(); }
inline Node positions(const Record* r) { return Node(r->positions_or_width); }
inline int32_t* position_slots(const Record* r) { return reinterpret_cast<int32_t*>(array::data(positions(r))); }

inline uint32_t flag(const uint32_t* words, uint32_t bucket) {
    return (words[bucket >> 4] >> ((bucket & 15) * 2)) & 3;
}
inline void set_flag(uint32_t* words, uint32_t bucket, uint32_t value) {
    uint32_t shift = (bucket & 15) * 2;
    words[bucket >> 4] = (words[bucket >> 4] & ~(3u << shift)) | (value << shift);
}

// The triangular probe sequence: i, i + 1, i + 3, i + 6, ... modulo the
// bucket count. Over a power of two it visits every bucket before it comes
// back to the first one, where it stops.
struct Probe {
    uint32_t mask, start, bucket, step;
    Probe(uint32_t hash, uint32_t bucket_count)
        : mask(bucket_count - 1), start(hash & mask), bucket(start), step(0) {}
    bool advance() {
        step++;
        bucket = (bucket + step) & mask;
        return bucket != start;
    }
};

// The chain node of a kind-0 bucket key -c.
inline Node chain_of(const Record* r, int32_t key) { return Node(array::pick_ptr(r->chains, uint32_t(-key))); }
// The position of a kind-0 bucket's first cell.
inline int32_t first_position(const Record* r, int32_t key) {
    return key >= 0 ? key : int32_t(array::pick_ptr(chain_of(r, key), 1));
}
// The header cell of the record at a byte offset of a kind 3-4 block.
inline Cell* record_at(const Record* r, int32_t offset) {
    return reinterpret_cast<Cell*>(node_buffer(r->block)->first() + offset);
}
// A record's header cell holds its key in word 1.
inline uint32_t record_key(const Cell* header) { return payload_word(header, 1); }
inline void set_record_key(Cell* header, uint32_t key) { set_payload_word(header, 1, key); }

// Symbol names of equal length, compared exactly or ignoring ASCII case.
bool same_name_bytes(const void* a, const void* b, uint32_t length, bool fold);

// The smallest power of two at or above n (at least 1).
uint32_t power_of_two_at_least(uint64_t n);
// Flag array bytes for a bucket count: whole 32-bit words.
uint32_t flag_bytes(uint32_t bucket_count);

// count items of the unit, every byte set to byte.
Node filled_array(uint32_t count, uint32_t unit, uint8_t byte);
void fill_array(Node array, uint8_t byte);
// Extends an array to count items whose new bytes are byte.
void extend_array(Node array, uint32_t count, uint8_t byte);
// A slot array of n empty slots.
Node new_slots(uint32_t n);

// The request that growth at the upper bound makes: n - 1 while fewer than
// half the buckets hold live entries (the table is rebuilt at its size to
// drop deleted buckets), else n + 1.
uint32_t growth_request(const Record* r);

// New flag and slot arrays of the smallest power of two at or above request
// (at least 4) buckets, live keys re-placed by their stored hashes and
// deleted buckets dropped.
// Nothing happens unless the live entries stay below the new upper bound.
void resize(Node table, uint64_t request);

// Takes the cell at pos out of the index: a hash! cell leaves its bucket's
// group (an emptied bucket is deleted); a map! entry's value header becomes 0.
void remove_position(Node table, uint32_t pos);

}  // namespace vek::hash_table::layout
