// What the collector's parts share: the address tables that tell what an
// address is, the marking work list, and the sweep.
#pragma once

#include <cstdint>
#include <cstring>

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

// Rebuilt at the start of each collection; frames made or released while it
// runs are not seen.
void build_tables();
bool in_node_area(uint32_t offset);
NodeFrame* node_frame_of(uint32_t offset);
const BufferSpan* span_of(uint32_t offset);
const BufferSpan* spans_begin();
const BufferSpan* spans_end();
// The buffer the word designates when it is a node: it lies in a node
// frame's node area, and points at a buffer in use whose node field is
// that word. Otherwise nullptr.
SeriesBuffer* buffer_of_node(uint32_t word);

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
void return_freed_nodes();

}  // namespace vek::gc::detail
