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

// Spans sorted by address, and for each page from the first span's to the
// last one's the span that covers it. Every span lies in pages of a frame of
// its own (alloc_virtual hands out whole pages), so a page meets at most one
// span of a table, and a look-up costs one index instead of a search.
template <class Span>
struct SpanTable {
    static constexpr uint32_t NO_SPAN = UINT32_MAX;
    std::vector<Span> spans;
    std::vector<uint32_t> span_of_page;
    uint32_t first_page = 0;

    void clear() {
        spans.clear();
        span_of_page.clear();
    }

    void index_pages() {
        std::sort(spans.begin(), spans.end(), [](const Span& a, const Span& b) { return a.start < b.start; });
        span_of_page.clear();
        if (spans.empty()) return;
        first_page = spans.front().start / region::PAGE;
        uint32_t last_page = first_page;
        for (const Span& s : spans)
            if (s.end > s.start) last_page = std::max<uint32_t>(last_page, (s.end - 1) / region::PAGE);
        span_of_page.assign(last_page - first_page + 1, NO_SPAN);
        for (uint32_t i = 0; i < spans.size(); i++) {
            if (spans[i].end == spans[i].start) continue;
            for (uint32_t page = spans[i].start / region::PAGE; page <= (spans[i].end - 1) / region::PAGE; page++)
                span_of_page[page - first_page] = i;
        }
    }

    const Span* find(uint32_t offset) const {
        uint32_t page = offset / region::PAGE - first_page;  // wraps below the first page
        if (page >= span_of_page.size() || span_of_page[page] == NO_SPAN) return nullptr;
        const Span& s = spans[span_of_page[page]];
        return offset >= s.start && offset < s.end ? &s : nullptr;
    }
};

SpanTable<NodeSpan> node_spans;
SpanTable<BufferSpan> buffer_spans;

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

bool in_node_area(uint32_t offset) { return node_spans.find(offset) != nullptr; }

NodeFrame* node_frame_of(uint32_t offset) {
    const NodeSpan* s = node_spans.find(offset);
    return s ? s->frame : nullptr;
}

const BufferSpan* span_of(uint32_t offset) { return buffer_spans.find(offset); }
const BufferSpan* spans_begin() { return buffer_spans.spans.data(); }
const BufferSpan* spans_end() { return buffer_spans.spans.data() + buffer_spans.spans.size(); }

VEK_UNCHECKED_READ SeriesBuffer* buffer_of_node(uint32_t word) {
    const NodeSpan* nodes = node_spans.find(word);
    if (!nodes || (word - nodes->start) % sizeof(uint32_t) != 0) return nullptr;
    uint32_t target = read32(region::base + word);
    const BufferSpan* buffers = buffer_spans.find(target);
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
