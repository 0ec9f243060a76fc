// Record tables (kinds 3 and 4): records of (width + 1) cells in the value
// block, keyed by a node. A record's first cell is its header: unset! while
// the record is live, 0 once removed, with the key in payload word 1. A
// bucket's key is the record's byte offset in the block.
#include <algorithm>
#include <cstring>

#include "runtime/core/raise.h"
#include "runtime/memory/manager.h"
#include "runtime/tables/hash_table.h"
#include "runtime/tables/hash_table_layout.h"
#include "runtime/tables/murmur.h"

namespace vek::hash_table {

using namespace layout;

namespace {

constexpr uint32_t REMOVED = 0;

uint32_t record_bytes(const Record* r) { return r->positions_or_width; }

Cell* data_of(Cell* header) { return header + 1; }

// Header and data all unset!, the key kept.
void reset_record(Cell* header, Node key, uint32_t bytes) {
    for (uint32_t i = 0; i < bytes / sizeof(Cell); i++) make_unset(header + i);
    set_record_key(header, uint32_t(key));
}

// The bucket holding the key's live record, or NOT_FOUND; the empty bucket
// that ended the probe and the last deleted one seen go to the out-arguments.
uint32_t probe_key(const Record* r, Node key, uint32_t* empty, uint32_t* deleted) {
    const uint32_t* flags = flag_words(r);
    const Slot* keys = slots(r);
    Probe probe(murmur::mix(uint32_t(key)), r->bucket_count);
    do {
        uint32_t f = flag(flags, probe.bucket);
        if (f == FLAG_EMPTY) {
            *empty = probe.bucket;
            return NOT_FOUND;
        }
        if (f == FLAG_DELETED) *deleted = probe.bucket;
        else if (record_key(record_at(r, keys[probe.bucket].key)) == uint32_t(key)) return probe.bucket;
    } while (probe.advance());
    return NOT_FOUND;
}

uint32_t find_bucket(const Record* r, Node key) {
    uint32_t empty = NOT_FOUND, deleted = NOT_FOUND;
    return probe_key(r, key, &empty, &deleted);
}

// Copies every live record into a new block of its own, indexed by new arrays
// of the smallest power of two at or above request buckets: removed records
// and deleted buckets are gone.
void rebuild_records(Node table, uint32_t request) {
    uint32_t n = std::max<uint32_t>(power_of_two_at_least(request), 8);
    Record* r = record(table);
    uint64_t block_bytes = uint64_t(std::max(r->size, 1)) * record_bytes(r);
    if (block_bytes > UINT32_MAX) fire(err::internal::no_memory);
    Node block = memory::alloc_cells(uint32_t(block_bytes / sizeof(Cell)));
    Node flags = filled_array(flag_bytes(n), 1, ALL_EMPTY);
    Node keys = new_slots(n);

    r = record(table);
    uint32_t bytes = record_bytes(r);
    SeriesBuffer* target = node_buffer(block);
    auto new_flags = reinterpret_cast<uint32_t*>(array::data(flags));
    auto placed = reinterpret_cast<Slot*>(array::data(keys));
    const uint32_t* old_flags = flag_words(r);
    const Slot* old_slots = slots(r);
    for (uint32_t b = 0; b < r->bucket_count; b++) {
        if (flag(old_flags, b) != FLAG_LIVE) continue;
        const Cell* from = record_at(r, old_slots[b].key);
        auto offset = int32_t(target->used_bytes());
        std::memcpy(target->last(), from, bytes);
        target->tail = target->tail + bytes;
        Probe probe(old_slots[b].hash, n);
        while (flag(new_flags, probe.bucket) != FLAG_EMPTY) probe.advance();
        set_flag(new_flags, probe.bucket, FLAG_LIVE);
        placed[probe.bucket] = Slot{offset, old_slots[b].hash};
    }
    r->block = block;
    r->flags = flags;
    r->keys = keys;
    r->bucket_count = n;
    r->upper_bound = int32_t(LOAD * n);
    r->occupied = r->size;
}

}  // namespace

Cell* add_record(Node table, Node key) {
    Record* r = record(table);
    if (r->occupied >= r->upper_bound) {
        rebuild_records(table, growth_request(r));
        r = record(table);
    }
    uint32_t empty = NOT_FOUND, deleted = NOT_FOUND;
    uint32_t bucket = probe_key(r, key, &empty, &deleted);
    if (bucket == NOT_FOUND) {
        int32_t offset;
        if (deleted != NOT_FOUND) {
            bucket = deleted;
            offset = slots(r)[bucket].key;
        } else {
            bucket = empty;
            SeriesBuffer* block = node_buffer(r->block);
            offset = int32_t(block->used_bytes());
            series::reserve_tail(block, record_bytes(r));
            r = record(table);
            r->occupied++;
        }
        r->size++;
        set_flag(flag_words(r), bucket, FLAG_LIVE);
        slots(r)[bucket] = Slot{offset, murmur::mix(uint32_t(key))};
    }
    Cell* header = record_at(r, slots(r)[bucket].key);
    reset_record(header, key, record_bytes(r));
    return data_of(header);
}

Cell* find_record(Node table, Node key) {
    Record* r = record(table);
    uint32_t bucket = find_bucket(r, key);
    return bucket == NOT_FOUND ? nullptr : data_of(record_at(r, slots(r)[bucket].key));
}

Cell* remove_record(Node table, Node key) {
    Record* r = record(table);
    uint32_t bucket = find_bucket(r, key);
    if (bucket == NOT_FOUND) return nullptr;
    set_flag(flag_words(r), bucket, FLAG_DELETED);
    r->size--;
    Cell* header = record_at(r, slots(r)[bucket].key);
    header->header = REMOVED;
    return data_of(header);
}

void sweep_records(Node table, bool (*dead)(Node key, const Cell* data)) {
    Record* r = record(table);
    uint32_t* flags = flag_words(r);
    for (uint32_t b = 0; b < r->bucket_count; b++) {
        if (flag(flags, b) != FLAG_LIVE) continue;
        Cell* header = record_at(r, slots(r)[b].key);
        if (!dead(Node(record_key(header)), data_of(header))) continue;
        set_flag(flags, b, FLAG_DELETED);
        r->size--;
        header->header = REMOVED;
        set_record_key(header, 0);
    }
}

}  // namespace vek::hash_table
