// Fixed-unit arrays over raw series buffers. Appending goes through
// series::reserve_tail, which may move the buffer: nothing here holds an
// address across it.
#include "runtime/tables/array.h"

#include <cstring>

#include "runtime/memory/manager.h"

namespace vek::array {

namespace {

SeriesBuffer* buffer_of(Node array) { return node_buffer(array); }

uint32_t* items(Node array) { return reinterpret_cast<uint32_t*>(buffer_of(array)->first()); }

}  // namespace

Node make(uint32_t count, uint32_t unit) {
    Node node = memory::alloc_series(count, unit, 0);
    // A 16-byte unit would otherwise be taken for value cells by the collector.
    buffer_of(node)->flags &= ~BUF_KIND_MASK;
    return node;
}

uint32_t length(Node array) { return buffer_of(array)->length(); }

void clear(Node array) {
    SeriesBuffer* b = buffer_of(array);
    b->tail = b->offset;
}

void cut_at(Node array, uint32_t index) {
    SeriesBuffer* b = buffer_of(array);
    b->tail = b->offset + (index - 1) * b->unit();
}

Node copy(Node array) { return memory::copy_series(buffer_of(array)); }

std::byte* data(Node array) { return buffer_of(array)->first(); }

void append_byte(Node array, uint8_t byte) {
    *series::reserve_tail(buffer_of(array), 1) = std::byte(byte);
}

uint8_t pick_byte(Node array, uint32_t index) { return uint8_t(buffer_of(array)->first()[index - 1]); }

void append_bytes(Node array, const void* source, uint32_t length) {
    std::memcpy(series::reserve_tail(buffer_of(array), length), source, length);
}

void remove_bytes(Node array, uint32_t offset, uint32_t count) {
    SeriesBuffer* b = buffer_of(array);
    std::byte* gap = b->first() + offset;
    std::memmove(gap, gap + count, size_t(b->last() - (gap + count)));
    b->tail = Off(uint32_t(b->tail) - count);
}

void append_ptr(Node array, uint32_t value) {
    std::memcpy(series::reserve_tail(buffer_of(array), sizeof value), &value, sizeof value);
}

int32_t find_ptr(Node array, uint32_t value) {
    const uint32_t* first = items(array);
    uint32_t count = buffer_of(array)->used_bytes() / sizeof(uint32_t);
    for (uint32_t i = 0; i < count; i++)
        if (first[i] == value) return int32_t(i * sizeof(uint32_t));
    return -1;
}

uint32_t pick_ptr(Node array, uint32_t index) { return items(array)[index - 1]; }

void poke_ptr(Node array, uint32_t index, uint32_t value) { items(array)[index - 1] = value; }

void remove_ptr(Node array, uint32_t value) {
    int32_t offset = find_ptr(array, value);
    if (offset >= 0) remove_bytes(array, uint32_t(offset), sizeof(uint32_t));
}

}  // namespace vek::array
