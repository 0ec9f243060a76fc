// Appending to and copying series buffers. Any of these may move the buffer:
// callers re-read it through its node afterwards.
#include "runtime/memory/series.h"

#include <cstring>

#include "runtime/core/raise.h"
#include "runtime/memory/manager.h"

namespace vek::series {

Cell* alloc_tail_cell(SeriesBuffer* buffer) {
    buffer = memory::grow_torture(buffer);
    if (buffer->last() >= buffer->area_end()) buffer = memory::expand_series(buffer->node, buffer, 0);
    auto cell = reinterpret_cast<Cell*>(buffer->last());
    cell->header = TYPE_UNSET;
    buffer->tail = buffer->tail + sizeof(Cell);
    return cell;
}

std::byte* reserve_tail(SeriesBuffer* buffer, uint32_t n) {
    buffer = memory::grow_torture(buffer);
    if (uint64_t(uint32_t(buffer->tail)) + n > uint32_t(region::off_unchecked(buffer->area_end()))) {
        uint64_t target = buffer->capacity < n ? uint64_t(n) * 2 : uint64_t(buffer->capacity) * 2;
        if (target > UINT32_MAX) fire(err::internal::no_memory);
        buffer = memory::expand_series(buffer->node, buffer, uint32_t(target));
    }
    std::byte* old_tail = buffer->last();
    buffer->tail = buffer->tail + n;
    return old_tail;
}

Node copy_part(Node source, uint32_t start, uint32_t count) {
    uint64_t bytes = uint64_t(count) * node_buffer(source)->unit();
    if (bytes > UINT32_MAX) fire(err::internal::no_memory);
    Node node = memory::alloc_bytes(uint32_t(bytes));
    // Re-read after allocating: a collection may have moved the source.
    SeriesBuffer* from = node_buffer(source);
    SeriesBuffer* copy = node_buffer(node);
    copy->flags = inherited_flags(from->flags & ~BUF_OWNED, copy->flags);
    std::memcpy(copy->first(), from->at(start), bytes);
    copy->tail = copy->offset + uint32_t(bytes);
    return node;
}

}  // namespace vek::series
