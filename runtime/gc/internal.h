// What the collector's parts share: the address tables that tell what an
// address is, the marking work list, and the sweep.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "runtime/memory/manager.h"
#include "runtime/memory/series.h"

// Reads that may land on memory the sanitizer forbids (free nodes, the C++
// stack's red zones, dead buffers): they only look, and never trust what
// they read without checking it.
#define VEK_UNCHECKED_READ __attribute__((no_sanitize("address")))

namespace vek::gc::detail {

VEK_UNCHECKED_READ inline uint32_t read32(const void* address) {
    uint32_t v;
    __builtin_memcpy(&v, address, sizeof v);
    return v;
}

VEK_UNCHECKED_READ inline uint64_t read64(const void* address) {
    uint64_t v;
    __builtin_memcpy(&v, address, sizeof v);
    return v;
}

// ---- address tables (address_tables.cpp) ----

// A stretch of the Vek heap that holds buffers: a series frame's carved part
// (frame set), or one big or heap buffer (frame null).
struct BufferSpan {
    uint32_t start, end;  // offsets
    SeriesFrame* frame;
};

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

    // Inline: marking asks it twice for every node it follows.
    const Span* find(uint32_t offset) const {
        uint32_t page = offset / region::PAGE - first_page;  // wraps below the first page
        if (page >= span_of_page.size() || span_of_page[page] == NO_SPAN) return nullptr;
        const Span& s = spans[span_of_page[page]];
        return offset >= s.start && offset < s.end ? &s : nullptr;
    }
};

// Rebuilt at the start of each collection; frames made or released while it
// runs are not seen.
extern SpanTable<NodeSpan> node_spans;
extern SpanTable<BufferSpan> buffer_spans;
void build_tables();
inline bool in_node_area(uint32_t offset) { return node_spans.find(offset) != nullptr; }
inline NodeFrame* node_frame_of(uint32_t offset) {
    const NodeSpan* s = node_spans.find(offset);
    return s ? s->frame : nullptr;
}
inline const BufferSpan* span_of(uint32_t offset) { return buffer_spans.find(offset); }
const BufferSpan* spans_begin();
const BufferSpan* spans_end();

// The buffer the word designates when it is a node: it lies in a node
// frame's node area, and points at a buffer in use whose node field is
// that word. Otherwise nullptr.
VEK_UNCHECKED_READ inline SeriesBuffer* buffer_of_node(uint32_t word) {
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

// The bytes a buffer takes in its frame: header, area and gap.
inline uint32_t carve_size(const SeriesBuffer* b) { return sizeof(SeriesBuffer) + b->capacity + BUF_GAP; }

// ---- marking (mark.cpp) ----

// Marks the buffer and queues its contents, by its kind.
void mark_buffer(SeriesBuffer* b);
// Marks the buffer alone: its contents are someone else's to judge.
void mark_buffer_only(SeriesBuffer* b);
// Marks everything the queued buffers reach.
void drain();
// Heap buffers are never swept, so their marks (and pins) are cleared here.
void clear_heap_marks();
// After a marking that was cut short: no buffer keeps a mark or a pin, and
// the work list is empty.
void forget_marks();

// ---- the C++ stack (stack_scan.cpp) ----

void scan_machine_stack();

// ---- sweeping (compact.cpp) ----

void compact_series_frames();
void sweep_big_frames();

}  // namespace vek::gc::detail
