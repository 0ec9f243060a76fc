// The memory manager: nodes from node frames, series buffers from series
// frames, buffers of 2 MB and more from big frames of their own, all inside
// the Vek heap. It never frees on request: the collector reclaims.
#pragma once

#include <cstdint>
#include <vector>

#include "runtime/core/cell.h"
#include "runtime/memory/series.h"

namespace vek {

struct NodeFrame {
    Off next, previous;
    uint32_t node_count;
    Off free_list;         // first free node; each free node holds the next
    uint32_t used;
    uint32_t birth_cycle;
    uint32_t last_used;
    uint32_t stability;    // one bit per collection: 1 when used did not change
    uint32_t evacuated;
    uint32_t* nodes() { return reinterpret_cast<uint32_t*>(this + 1); }
};
static_assert(sizeof(NodeFrame) == 36);

// Padded to 32 bytes so that buffers carved from the area are 16-byte aligned.
struct SeriesFrame {
    Off next, previous;
    uint32_t total;  // size including this header
    Off free;        // where the next buffer is carved
    Off end;
    uint32_t reserved_[3];
    std::byte* area() { return reinterpret_cast<std::byte*>(this + 1); }
};
static_assert(sizeof(SeriesFrame) == 32);

// Padded to 16 bytes; exactly one buffer follows.
struct BigFrame {
    Off next;
    uint32_t link;  // stays 0
    uint32_t size;  // of the buffer
    uint32_t reserved_;
    SeriesBuffer* buffer() { return reinterpret_cast<SeriesBuffer*>(this + 1); }
};
static_assert(sizeof(BigFrame) == 16);

struct MemoryRecord {
    uint64_t total = 0;  // bytes obtained from the system for frames
    NodeFrame* node_first = nullptr;
    NodeFrame* node_last = nullptr;
    NodeFrame* node_current = nullptr;
    SeriesFrame* series_first = nullptr;
    SeriesFrame* series_current = nullptr;
    SeriesFrame* series_last = nullptr;
    // Emptied series frames kept with their pages for the next buffers, so
    // that they are not handed back to the system and faulted in again.
    SeriesFrame* series_spare = nullptr;
    uint64_t spare_bytes = 0;
    uint32_t first_series_size = 1048576;
    uint32_t next_series_size = 1048576;
    uint32_t series_limit = 2097152;  // also where buffers go to big frames
    BigFrame* big_first = nullptr;
    uint64_t allocated_since_collection = 0;  // bytes of buffers (with their nodes) since the last collection
    uint64_t collection_budget = uint64_t(8) << 20;  // a collection starts once that count passes it
    uint64_t external_bytes = 0;  // bytes held outside the heap for live values (image pixels)
};

extern MemoryRecord mem;

namespace memory {

constexpr uint32_t NODES_PER_FRAME = 10000;
// A frame with less room than this left is not worth settling on.
constexpr uint32_t FRAME_FLOOR = 52428;
// The size rules count a buffer as its capacity + 24 bytes; in a frame it
// really takes its header, its area and the gap after it. A frame's area is
// its nominal size plus the difference, so that every buffer the rules send
// to a frame of that size fits in it.
constexpr uint32_t BUF_NOMINAL_OVERHEAD = 24;
constexpr uint32_t BUF_CARVE_OVERHEAD = sizeof(SeriesBuffer) + BUF_GAP;
constexpr uint32_t FRAME_SLACK = BUF_CARVE_OVERHEAD - BUF_NOMINAL_OVERHEAD;

void init();
// The first node frame and the first series frame.
void init_frames();

// Operating-system pages inside the Vek heap; failure raises internal no-memory.
void* alloc_virtual(uint32_t size);
void free_virtual(void* p);

// The frame makers (new_node_frame, new_series_frame, alloc_big) answer
// nullptr when the system has no pages left: the allocators then run one
// collection and try again before raising no-memory.
NodeFrame* new_node_frame(uint32_t n);
Node alloc_node();
void free_node(NodeFrame* frame, Node node);
void update_node_frames();

// offset -1 asks for the head in the middle of the area.
SeriesBuffer* alloc_series_buffer(uint32_t count, uint32_t unit, int32_t offset);
Node alloc_series(uint32_t count, uint32_t unit, int32_t offset);
Node alloc_series_heap(uint32_t count, uint32_t unit, int32_t offset);
Node alloc_cells(uint32_t count);
Node alloc_unset_cells(uint32_t count);
Node alloc_bytes(uint32_t n);
Node alloc_units(uint32_t count, uint32_t unit);
Node alloc_bytes_filled(uint32_t n, uint8_t byte);
void set_series_flags(Node node, uint32_t bits);

// new_capacity 0 means twice the current capacity. grow does not copy.
SeriesBuffer* grow_series_buffer(Node node, SeriesBuffer* buffer, uint32_t new_capacity);
SeriesBuffer* expand_series(Node node, SeriesBuffer* buffer, uint32_t new_capacity);
SeriesBuffer* expand_series_filled(Node node, SeriesBuffer* buffer, uint32_t new_capacity, uint8_t byte);
Node copy_series(SeriesBuffer* buffer);

// size: the bytes a buffer takes in a frame (header, area and gap).
SeriesFrame* find_series_frame(uint32_t size);
SeriesFrame* new_series_frame();
SeriesBuffer* alloc_big(uint32_t size);
void free_big(SeriesBuffer* buffer);
// The collector's passes over the frames: keep decides for each big buffer
// whether its frame stays; an empty series frame is unlinked and kept as a
// spare, which the next buffers take before new pages. Spares beyond the
// next collection's budget go back to the system when pacing restarts.
void sweep_big_frames(bool (*keep)(SeriesBuffer* buffer));
void release_series_frame(SeriesFrame* frame);
// Every buffer of alloc_series_heap, for the collector's address tables.
void for_each_heap_series(void (*visit)(SeriesBuffer* buffer));
// Every buffer of every frame, live or not, then the heap buffers.
void for_each_buffer(void (*visit)(SeriesBuffer* buffer, void* context), void* context);
// Poisons what nobody may touch in frames that came in whole (a heap image):
// free nodes, the gap after every buffer, abandoned buffers and the free
// room of series frames. Nothing elsewhere than the sanitizer build.
void poison_free_space();

void fill_range(std::byte* start, std::byte* end, uint8_t byte);
// Pacing by volume. The collector calls this at the end of each collection:
// the next one starts once the buffers allocated from then on (big ones
// included) pass max(8 MB, the bytes that survived), so the heap at most
// doubles between collections.
void restart_pacing();
// Memory that values hold outside the Vek heap (an image's pixels) paces the
// collector as a big buffer does: pace_external counts the bytes toward the
// next collection, which may run at once. While they live they also count as
// surviving bytes in the budget, until release_external, called where they
// are freed, gives them back.
void pace_external(uint64_t bytes);
void release_external(uint64_t bytes);

// Repeats the buffer's first unit-sized item until count items are filled;
// returns the end of the filled bytes.
std::byte* fill_pattern(std::byte* buffer, uint32_t unit, uint32_t count);
inline uint32_t round_up(uint32_t n, uint32_t p) { return (n + p - 1) & -p; }
inline uint32_t round_next(uint32_t n, uint32_t p) { return (n + p) & -p; }

// What the frames hold, for the stats native: per node and series frame its
// free, used and total units, each big frame's size, the bytes in use, and
// the bytes every frame takes with its header.
struct FrameFigures {
    uint64_t free, used, size;
};
struct Census {
    std::vector<FrameFigures> nodes, series;
    std::vector<uint64_t> bigs;
    uint64_t in_use = 0;
    uint64_t occupied = 0;
};
Census census();

// Whether allocation may start the collector; off until the boot enables it.
extern bool collector_enabled;
// Keeps allocation from starting the collector while it lives, and restores
// the previous setting when it ends, whatever way the scope is left.
class CollectorPause {
public:
    CollectorPause() : was_enabled_(collector_enabled) { collector_enabled = false; }
    ~CollectorPause() { collector_enabled = was_enabled_; }
    CollectorPause(const CollectorPause&) = delete;
    CollectorPause& operator=(const CollectorPause&) = delete;

private:
    bool was_enabled_;
};
// Torture mode: with N > 0 (from VEK_GC_TORTURE at init), every Nth buffer
// allocation runs the collector first, while the collector is enabled.
extern uint32_t torture_interval;
// The collector's count of collections; a node frame records it at birth.
extern uint32_t collection_cycle;

// Grow torture (VEK_GROW_TORTURE=1 at init): a buffer that is about to take
// more elements in place moves anyway, so that a raw pointer held across an
// append goes stale at once (and faults in the sanitizer build). A buffer of
// up to GROW_TORTURE_ALWAYS bytes moves at every append; a larger one at
// random, at about one append in (its capacity / GROW_TORTURE_ALWAYS), so
// that an append copies that many bytes on average and a long series is
// built in linear time, not quadratic. The code that holds a pointer across
// an append is the same whatever the series' length, so the small series of
// every test catch it at once; large ones still move now and then.
extern bool grow_torture_enabled;
constexpr uint32_t GROW_TORTURE_ALWAYS = 4096;
SeriesBuffer* move_buffer(SeriesBuffer* buffer);
// Whether grow torture moves the buffer at this append: always for a small
// one, else at random as above.
bool grow_torture_moves(const SeriesBuffer* buffer);
// Called where an append or a reservation is about to use the buffer's spare
// room: the buffer to use from then on, which may have moved in grow
// torture. Buffers outside the frames (the stacks, the root block) never
// move.
inline SeriesBuffer* grow_torture(SeriesBuffer* buffer) {
    return grow_torture_enabled && !(buffer->flags & BUF_HEAP) && grow_torture_moves(buffer) ? move_buffer(buffer)
                                                                                             : buffer;
}

}  // namespace memory
}  // namespace vek
