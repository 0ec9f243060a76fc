// Table arrays, key placement and in-place resizing.
#include "runtime/tables/hash_table_layout.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "runtime/core/raise.h"
#include "runtime/tables/murmur.h"

namespace vek::hash_table::layout {

namespace {

// Keeps the key array (4 bytes a bucket) within what a buffer can hold.
constexpr uint64_t MAX_BUCKETS = uint64_t(1) << 29;

void fill_bytes(Node array, uint32_t from, uint8_t byte) {
    SeriesBuffer* b = node_buffer(array);
    std::memset(b->first() + from, byte, b->used_bytes() - from);
}

}  // namespace

bool same_name_bytes(const void* a, const void* b, uint32_t length, bool fold) {
    if (!fold) return std::memcmp(a, b, length) == 0;
    auto p = static_cast<const uint8_t*>(a);
    auto q = static_cast<const uint8_t*>(b);
    for (uint32_t i = 0; i < length; i++)
        if (murmur::fold_ascii(p[i]) != murmur::fold_ascii(q[i])) return false;
    return true;
}

uint32_t power_of_two_at_least(uint64_t n) {
    if (n > MAX_BUCKETS) fire(err::internal::no_memory);
    uint64_t p = 1;
    while (p < n) p <<= 1;
    return uint32_t(p);
}

uint32_t flag_bytes(uint32_t bucket_count) { return bucket_count < 16 ? 4 : bucket_count / 4; }

Node filled_array(uint32_t count, uint32_t unit, uint8_t byte) {
    Node node = array::make(count, unit);
    SeriesBuffer* b = node_buffer(node);
    b->tail = b->offset + count * unit;
    fill_bytes(node, 0, byte);
    return node;
}

void fill_array(Node array, uint8_t byte) { fill_bytes(array, 0, byte); }

void extend_array(Node array, uint32_t count, uint8_t byte) {
    SeriesBuffer* b = node_buffer(array);
    uint32_t old_bytes = b->used_bytes();
    uint64_t bytes = uint64_t(count) * b->unit();
    if (bytes <= old_bytes) return;
    if (bytes > UINT32_MAX) fire(err::internal::no_memory);
    series::reserve_tail(b, uint32_t(bytes) - old_bytes);
    fill_bytes(array, old_bytes, byte);
}

Node new_slots(uint32_t n) { return filled_array(n, sizeof(Slot), 0); }

uint32_t growth_request(const Record* r) {
    uint32_t n = r->bucket_count;
    if (r->kind == KIND_MAP || uint64_t(r->size) * 2 >= n) return n + 1;
    return n - 1;
}

void resize(Node table, uint64_t request) {
    uint32_t n = std::max<uint32_t>(power_of_two_at_least(request), 4);
    auto bound = int32_t(std::trunc(LOAD * n + 0.5));
    if (record(table)->size >= bound) return;
    Node flags = filled_array(flag_bytes(n), 1, ALL_EMPTY);
    Node keys = new_slots(n);

    Record* r = record(table);
    const uint32_t* old_flags = flag_words(r);
    const Slot* old_slots = slots(r);
    auto new_flags = reinterpret_cast<uint32_t*>(array::data(flags));
    auto placed = reinterpret_cast<Slot*>(array::data(keys));
    int32_t live = 0;
    for (uint32_t b = 0; b < r->bucket_count; b++) {
        if (flag(old_flags, b) != FLAG_LIVE) continue;
        // Every key is distinct, so the first empty bucket of its sequence is its place.
        Probe probe(old_slots[b].hash, n);
        while (flag(new_flags, probe.bucket) != FLAG_EMPTY) probe.advance();
        set_flag(new_flags, probe.bucket, FLAG_LIVE);
        placed[probe.bucket] = old_slots[b];
        live++;
    }
    r->flags = flags;
    r->keys = keys;
    r->bucket_count = n;
    r->upper_bound = bound;
    r->occupied = live;
}

}  // namespace vek::hash_table::layout
