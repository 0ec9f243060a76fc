// The collector's address tables: sorted lists of the node areas and of the
// stretches that hold buffers, so that any 32-bit word can be classified
// without touching memory that is not there.
#include <algorithm>
#include <vector>

#include "runtime/gc/internal.h"

namespace vek::gc::detail {

SpanTable<NodeSpan> node_spans;
SpanTable<BufferSpan> buffer_spans;

namespace {

uint32_t off_of(const void* p) { return uint32_t(region::off(p)); }

void add_buffer_span(SeriesBuffer* b) {
    uint32_t start = off_of(b);
    buffer_spans.spans.push_back({start, start + carve_size(b), nullptr});
}

}  // namespace

void build_tables() {
    node_spans.clear();
    for (NodeFrame* f = mem.node_first; f; f = region::at<NodeFrame>(f->next)) {
        uint32_t start = off_of(f->nodes());
        node_spans.spans.push_back({start, start + f->node_count * uint32_t(sizeof(uint32_t)), f});
    }
    buffer_spans.clear();
    for (SeriesFrame* f = mem.series_first; f; f = region::at<SeriesFrame>(f->next))
        buffer_spans.spans.push_back({off_of(f->area()), uint32_t(f->free), f});
    for (BigFrame* f = mem.big_first; f; f = region::at<BigFrame>(f->next)) add_buffer_span(f->buffer());
    memory::for_each_heap_series(add_buffer_span);

    node_spans.index_pages();
    buffer_spans.index_pages();
}

const BufferSpan* spans_begin() { return buffer_spans.spans.data(); }
const BufferSpan* spans_end() { return buffer_spans.spans.data() + buffer_spans.spans.size(); }

}  // namespace vek::gc::detail
