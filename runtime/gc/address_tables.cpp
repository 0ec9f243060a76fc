// The collector's address tables: sorted lists of the node areas and of the
// stretches that hold buffers, so that any 32-bit word can be classified
// without touching memory that is not there.
#include <algorithm>
#include <vector>

#include "runtime/gc/internal.h"

namespace vek::gc::detail {

namespace {

struct NodeSpan {
    uint32_t start, end;
    NodeFrame* frame;
};

std::vector<NodeSpan> node_spans;
std::vector<BufferSpan> buffer_spans;

uint32_t off_of(const void* p) { return uint32_t(region::off(p)); }

void add_buffer_span(SeriesBuffer* b) {
    uint32_t start = off_of(b);
    buffer_spans.push_back({start, start + carve_size(b), nullptr});
}

template <class Span>
const Span* find_span(const std::vector<Span>& spans, uint32_t offset) {
    auto after = std::upper_bound(spans.begin(), spans.end(), offset,
                                  [](uint32_t o, const Span& s) { return o < s.start; });
    if (after == spans.begin()) return nullptr;
    const Span& s = *(after - 1);
    return offset < s.end ? &s : nullptr;
}

}  // namespace

void build_tables() {
    node_spans.clear();
    for (NodeFrame* f = mem.node_first; f; f = region::at<NodeFrame>(f->next)) {
        uint32_t start = off_of(f->nodes());
        node_spans.push_back({start, start + f->node_count * uint32_t(sizeof(uint32_t)), f});
    }
    buffer_spans.clear();
    for (SeriesFrame* f = mem.series_first; f; f = region::at<SeriesFrame>(f->next))
        buffer_spans.push_back({off_of(f->area()), uint32_t(f->free), f});
    for (BigFrame* f = mem.big_first; f; f = region::at<BigFrame>(f->next)) add_buffer_span(f->buffer());
    memory::for_each_heap_series(add_buffer_span);

    auto by_start = [](const auto& a, const auto& b) { return a.start < b.start; };
    std::sort(node_spans.begin(), node_spans.end(), by_start);
    std::sort(buffer_spans.begin(), buffer_spans.end(), by_start);
}

bool in_node_area(uint32_t offset) { return find_span(node_spans, offset) != nullptr; }

NodeFrame* node_frame_of(uint32_t offset) {
    const NodeSpan* s = find_span(node_spans, offset);
    return s ? s->frame : nullptr;
}

const BufferSpan* span_of(uint32_t offset) { return find_span(buffer_spans, offset); }
const BufferSpan* spans_begin() { return buffer_spans.data(); }
const BufferSpan* spans_end() { return buffer_spans.data() + buffer_spans.size(); }

VEK_UNCHECKED_READ SeriesBuffer* buffer_of_node(uint32_t word) {
    const NodeSpan* nodes = find_span(node_spans, word);
    if (!nodes || (word - nodes->start) % sizeof(uint32_t) != 0) return nullptr;
    uint32_t target = read32(region::base + word);
    const BufferSpan* buffers = find_span(buffer_spans, target);
    if (!buffers) return nullptr;
    // Frames carve at 16-byte steps; a big or heap span holds its buffer at
    // its start.
    bool at_a_header = buffers->frame ? (target - buffers->start) % 16 == 0 : target == buffers->start;
    if (!at_a_header || buffers->end - target < sizeof(SeriesBuffer)) return nullptr;
    auto b = reinterpret_cast<SeriesBuffer*>(region::base + target);
    uint32_t flags = read32(&b->flags);
    uint32_t back = read32(&b->node);
    return (flags & BUF_USED) && back == word ? b : nullptr;
}

}  // namespace vek::gc::detail
