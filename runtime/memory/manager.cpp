// The memory manager. Node frames hand out 32-bit nodes from free lists;
// series frames hand out buffers by bumping a free pointer; buffers of 2 MB
// and more get a big frame of their own. Every frame is a run of pages of the
// Vek heap obtained through alloc_virtual.
#include "runtime/memory/manager.h"

#include <algorithm>
#include <cassert>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "platform/os.h"
#include "platform/runtime_thread.h"
#include "runtime/core/raise.h"
#include "runtime/gc/collector.h"
#include "runtime/memory/image_state.h"
#include "runtime/memory/malloc_list.h"
#include "runtime/memory/poison.h"

namespace vek {

MemoryRecord mem;

namespace memory {

bool collector_enabled = false;
uint32_t collection_cycle = 0;
uint32_t torture_interval = 0;
bool grow_torture_enabled = false;

namespace {

constexpr uint64_t MIN_BUDGET = MemoryRecord{}.collection_budget;

uint32_t allocations_since_torture = 0;
// The state of grow torture's draws (xorshift64): the same moves in every run.
uint64_t grow_torture_draws = 1;
// The buffers of alloc_series_heap; they never move and are never freed.
std::vector<Off> heap_series;

// Room in front of the pages of alloc_virtual for their length; 16 bytes keep
// what follows 16-byte aligned.
constexpr uint32_t VIRTUAL_HEADER = 16;
// Keeps every size derived from a capacity (carve, frame headers, pages)
// inside 32 bits.
constexpr uint64_t MAX_CAPACITY = 0xFFFF0000u;

// The frames and the collector's tables must not change under a collection,
// and only the runtime thread may touch them at all.
void check_may_allocate() {
    assert(!gc::active());
    assert(platform::on_runtime_thread());
}

void run_collector() {
    if (collector_enabled) gc::collect();
}

// Counts a new buffer of this many bytes; a collection runs first when the
// count would pass the budget. With nothing counted since the last
// collection, even a buffer larger than the whole budget starts none: there
// would be nothing new to free.
void pace(uint64_t bytes) {
    if (mem.allocated_since_collection > 0 && mem.allocated_since_collection + bytes > mem.collection_budget)
        run_collector();
    mem.allocated_since_collection += bytes;
}

// make() answers what was asked for, or nullptr when memory ran out; then
// one collection runs and make() gets a second chance before no-memory.
template <class Make> auto or_collect(Make make) {
    auto made = make();
    if (!made) {
        run_collector();
        made = make();
    }
    if (!made) no_memory();
    return made;
}

void torture() {
    if (torture_interval == 0 || ++allocations_since_torture < torture_interval) return;
    allocations_since_torture = 0;
    run_collector();
}

uint32_t torture_interval_from_environment() {
    std::optional<std::string> text = platform::get_env("VEK_GC_TORTURE");
    if (!text) return 0;
    long n = std::strtol(text->c_str(), nullptr, 10);
    return n > 0 && n <= long(UINT32_MAX) ? uint32_t(n) : 0;
}

bool grow_torture_from_environment() {
    std::optional<std::string> text = platform::get_env("VEK_GROW_TORTURE");
    return text && std::strtol(text->c_str(), nullptr, 10) > 0;
}

// Pages as alloc_virtual gives them, or nullptr when the system has none.
void* try_alloc_virtual(uint32_t size) {
    uint64_t length = (uint64_t(size) + VIRTUAL_HEADER + region::PAGE - 1) & ~uint64_t(region::PAGE - 1);
    auto p = static_cast<std::byte*>(region::commit_pages(length));
    if (!p) return nullptr;
    std::memcpy(p, &length, sizeof length);
    mem.total += length;
    return p + VIRTUAL_HEADER;
}

uint32_t checked_32(uint64_t n) {
    if (n > UINT32_MAX) no_memory();
    return uint32_t(n);
}

// Capacity in bytes: a multiple of 16 and never 0, so that doubling always
// makes room.
uint32_t capacity_for(uint64_t bytes) {
    uint64_t capacity = std::max<uint64_t>((bytes + 15) & ~uint64_t(15), 16);
    if (capacity > MAX_CAPACITY) no_memory();
    return uint32_t(capacity);
}

Node link(SeriesBuffer* buffer, Node node) {
    buffer->node = node;
    node_point(node, buffer);
    return node;
}

uint32_t kind_for_unit(uint32_t unit) { return unit == sizeof(Cell) ? BUF_KIND_CELLS : 0; }

void init_header(SeriesBuffer* b, uint32_t capacity, uint32_t flags, int32_t offset) {
    uint32_t start = uint32_t(offset);
    if (offset == -1) {
        flags |= BUF_MID;
        start = capacity / 2;
    }
    b->flags = flags;
    b->node = Node::none;
    b->capacity = capacity;
    b->offset = b->tail = region::off(b->area()) + start;
    std::fill(std::begin(b->reserved_), std::end(b->reserved_), 0u);
    b->rule_keywords = Node::none;
    poison::forbid(b->area_end(), BUF_GAP);
}

// ---- series frames ----

bool has_room(const SeriesFrame* f, uint32_t carve) {
    return uint64_t(uint32_t(f->free)) + carve < uint32_t(f->end);
}

uint32_t room_left(const SeriesFrame* f) { return f->end - f->free; }

void insert_by_address(SeriesFrame* frame) {
    SeriesFrame* after = nullptr;  // the last frame below the new one
    for (SeriesFrame* f = mem.series_first; f && f < frame; f = region::at<SeriesFrame>(f->next))
        after = f;
    SeriesFrame* before = after ? region::at<SeriesFrame>(after->next) : mem.series_first;
    frame->previous = region::off(after);
    frame->next = region::off(before);
    if (after) after->next = region::off(frame);
    else mem.series_first = frame;
    if (before) before->previous = region::off(frame);
    else mem.series_last = frame;
}

// The first frame with room for the buffer and at least the floor, so that
// it is worth settling on.
SeriesFrame* roomy_frame(uint32_t carve) {
    for (SeriesFrame* f = mem.series_first; f; f = region::at<SeriesFrame>(f->next))
        if (has_room(f, carve) && room_left(f) >= FRAME_FLOOR) return f;
    return nullptr;
}

// A spare frame emptied by the collector, back in the list and empty, when
// one is kept and has room for the buffer.
SeriesFrame* reuse_spare_frame(uint32_t carve) {
    SeriesFrame* frame = mem.series_spare;
    if (!frame || frame->end - region::off(frame->area()) < carve) return nullptr;
    mem.series_spare = region::at<SeriesFrame>(frame->next);
    mem.spare_bytes -= frame->total;
    frame->free = region::off(frame->area());
    insert_by_address(frame);
    return frame;
}

// A roomy frame, else a spare or a new one, else any frame with room for the
// buffer.
SeriesFrame* any_frame_for(uint32_t nominal, uint32_t carve) {
    if (SeriesFrame* f = roomy_frame(carve)) return f;
    if (SeriesFrame* f = reuse_spare_frame(carve)) return f;
    if (nominal >= mem.next_series_size) mem.next_series_size = mem.series_limit;
    if (SeriesFrame* f = new_series_frame()) return f;
    return find_series_frame(carve);
}

// The frame a buffer of this nominal size and carved size goes to; it becomes
// current. Frames are made freely: pacing decides when to collect, and
// running out of pages only brings the last collection before no-memory.
SeriesFrame* frame_for(uint32_t nominal, uint32_t carve) {
    SeriesFrame* f = mem.series_current;
    if (f && has_room(f, carve)) return f;
    f = or_collect([=] { return any_frame_for(nominal, carve); });
    mem.series_current = f;
    return f;
}

SeriesBuffer* carve_from_frames(uint32_t capacity) {
    uint32_t carve = capacity + BUF_CARVE_OVERHEAD;
    SeriesFrame* f = frame_for(capacity + BUF_NOMINAL_OVERHEAD, carve);
    auto b = region::at<SeriesBuffer>(f->free);
    f->free = f->free + carve;
    poison::allow(b, sizeof(SeriesBuffer) + capacity);
    return b;
}

SeriesBuffer* alloc_buffer_bytes(uint64_t bytes, uint32_t unit, int32_t offset) {
    check_may_allocate();
    uint32_t capacity = capacity_for(bytes);
    uint32_t flags = (unit & BUF_UNIT_MASK) | BUF_USED | BUF_CREATED;
    torture();
    pace(uint64_t(capacity) + BUF_CARVE_OVERHEAD + sizeof(uint32_t));
    SeriesBuffer* b;
    if (capacity + BUF_NOMINAL_OVERHEAD >= mem.series_limit) {
        b = or_collect([=] { return alloc_big(capacity + BUF_CARVE_OVERHEAD); });
        flags |= BUF_BIG;
    } else {
        b = carve_from_frames(capacity);
    }
    init_header(b, capacity, flags, offset);
    return b;
}

// The old buffer stays readable until the caller has copied from it.
SeriesBuffer* regrow(Node node, SeriesBuffer* old, uint32_t new_capacity) {
    uint64_t target = new_capacity ? new_capacity : uint64_t(old->capacity) * 2;
    if (target < 1) no_memory();
    // Never smaller than the content: the tail must stay inside the area.
    target = std::max<uint64_t>(target, old->used_bytes());
    SeriesBuffer* fresh = alloc_buffer_bytes(target, old->unit(), 0);
    fresh->flags = inherited_flags(old->flags, fresh->flags);
    fresh->tail = fresh->offset + old->used_bytes();
    link(fresh, node);
    old->node = Node::none;
    old->rule_keywords = Node::none;  // its cache describes the live buffer's cells no more
    old->flags &= ~BUF_USED;
    return fresh;
}

// The header stays readable: whoever walks a frame reads it to step over the
// buffer.
void abandon(SeriesBuffer* old) { poison::forbid(old->area(), old->capacity); }

// ---- frame walks ----

NodeFrame* next_node_frame(NodeFrame* f) { return region::at<NodeFrame>(f->next); }
SeriesFrame* next_series_frame(SeriesFrame* f) { return region::at<SeriesFrame>(f->next); }
BigFrame* next_big_frame(BigFrame* f) { return region::at<BigFrame>(f->next); }

bool has_free_node(const NodeFrame* f) { return f && f->free_list != Off::none && !f->evacuated; }

// The first frame with a free node, else a new frame; nullptr when the
// system has no pages left.
NodeFrame* node_frame_with_room() {
    NodeFrame* f = mem.node_first;
    while (f && !has_free_node(f)) f = next_node_frame(f);
    return f ? f : new_node_frame(NODES_PER_FRAME);
}

// Makes sure that a free node waits, before a buffer is made: a new node
// frame may need the last collection before no-memory, which a buffer not
// yet linked to its node would not survive. Should the buffer's own
// allocation collect and release that node's frame, a collection has just
// run, and the node taken after it needs no other.
void reserve_node() {
    if (!has_free_node(mem.node_current)) mem.node_current = or_collect(node_frame_with_room);
}

// What the census calls in use, without listing the frames.
uint64_t bytes_in_use() {
    uint64_t bytes = 0;
    for (NodeFrame* f = mem.node_first; f; f = next_node_frame(f)) bytes += uint64_t(sizeof(uint32_t)) * f->used;
    for (SeriesFrame* f = mem.series_first; f; f = next_series_frame(f)) bytes += f->free - region::off(f->area());
    for (BigFrame* f = mem.big_first; f; f = next_big_frame(f)) bytes += f->size;
    return bytes;
}

}  // namespace

Census census() {
    Census c;
    for (NodeFrame* f = mem.node_first; f; f = next_node_frame(f)) {
        c.nodes.push_back({f->node_count - f->used, f->used, f->node_count});
        c.in_use += uint64_t(sizeof(uint32_t)) * f->used;
        c.occupied += sizeof(NodeFrame) + uint64_t(sizeof(uint32_t)) * f->node_count;
    }
    for (SeriesFrame* f = mem.series_first; f; f = next_series_frame(f)) {
        uint64_t used = f->free - region::off(f->area());
        uint64_t area = f->end - region::off(f->area());
        c.series.push_back({area - used, used, area});
        c.in_use += used;
        c.occupied += f->total;
    }
    for (BigFrame* f = mem.big_first; f; f = next_big_frame(f)) {
        c.bigs.push_back(f->size);
        c.in_use += f->size;
        c.occupied += sizeof(BigFrame) + uint64_t(f->size);
    }
    return c;
}

// ---- start-up ----

namespace {

// What the frames' lists and the pacing leave, for the image of the heap.
void keep_for_image() {
    image_state::keep("memory total", mem.total);
    image_state::keep_pointer("node frames first", mem.node_first);
    image_state::keep_pointer("node frames last", mem.node_last);
    image_state::keep_pointer("node frame current", mem.node_current);
    image_state::keep_pointer("series frames first", mem.series_first);
    image_state::keep_pointer("series frame current", mem.series_current);
    image_state::keep_pointer("series frames last", mem.series_last);
    image_state::keep("next series frame size", mem.next_series_size);
    image_state::keep_pointer("big frames first", mem.big_first);
    image_state::keep_pointer("spare series frames", mem.series_spare);
    image_state::keep("spare series bytes", mem.spare_bytes);
    image_state::keep("allocated since collection", mem.allocated_since_collection);
    image_state::keep("collection budget", mem.collection_budget);
    image_state::keep("external bytes", mem.external_bytes);
    image_state::keep_vector("heap series", heap_series);
    image_state::keep("collection cycle", collection_cycle);
}

}  // namespace

void init() {
    keep_for_image();
    mem = MemoryRecord{};
    mem.next_series_size = mem.first_series_size;
    collector_enabled = false;
    torture_interval = torture_interval_from_environment();
    grow_torture_enabled = grow_torture_from_environment();
    allocations_since_torture = 0;
    grow_torture_draws = 1;
}

void init_frames() {
    or_collect([] { return new_node_frame(NODES_PER_FRAME); });
    or_collect([] { return new_series_frame(); });
}

// ---- pages ----

void* alloc_virtual(uint32_t size) {
    void* p = try_alloc_virtual(size);
    if (!p) no_memory();
    return p;
}

void free_virtual(void* data) {
    if (!data) fire(err::internal::wrong_mem);
    auto p = static_cast<std::byte*>(data) - VIRTUAL_HEADER;
    bool plausible = region::contains(p) && (p - region::base) % region::PAGE == 0 &&
                     p - region::base >= ptrdiff_t(region::LOW_GUARD);
    uint64_t length = 0;
    if (plausible) std::memcpy(&length, p, sizeof length);
    if (!plausible || length == 0 || length % region::PAGE != 0 ||
        length > region::reserved - uint64_t(p - region::base))
        fire(err::internal::wrong_mem);
    mem.total -= length;
    region::release_pages(p, length);
}

// ---- nodes ----

NodeFrame* new_node_frame(uint32_t n) {
    uint32_t bytes = checked_32(sizeof(NodeFrame) + uint64_t(sizeof(uint32_t)) * n);
    auto frame = static_cast<NodeFrame*>(try_alloc_virtual(bytes));
    if (!frame) return nullptr;
    *frame = NodeFrame{};
    frame->node_count = n;
    frame->birth_cycle = collection_cycle;
    uint32_t* nodes = frame->nodes();
    for (uint32_t i = 0; i + 1 < n; i++) nodes[i] = uint32_t(region::off(&nodes[i + 1]));
    if (n) {
        nodes[n - 1] = 0;
        frame->free_list = region::off(nodes);
    }
    poison::forbid(nodes, size_t(n) * sizeof(uint32_t));

    frame->previous = region::off(mem.node_last);
    if (mem.node_last) mem.node_last->next = region::off(frame);
    else mem.node_first = mem.node_current = frame;
    mem.node_last = frame;
    return frame;
}

Node alloc_node() {
    check_may_allocate();
    NodeFrame* f = mem.node_current;
    if (!has_free_node(f)) {
        f = node_frame_with_room();
        if (!f) no_memory();
        mem.node_current = f;
    }
    auto word = region::at<uint32_t>(f->free_list);
    poison::allow(word, sizeof *word);
    f->free_list = Off(*word);
    *word = 0;
    f->used++;
    return node_of(word);
}

void free_node(NodeFrame* frame, Node node) {
    uint32_t* word = node_word(node);
    *word = uint32_t(frame->free_list);
    frame->free_list = Off(uint32_t(node));
    frame->used--;
    poison::forbid(word, sizeof *word);
}

void update_node_frames() {
    NodeFrame* f = mem.node_first;
    while (f) {
        NodeFrame* next = next_node_frame(f);
        if (f->used == 0 || f->evacuated) {
            NodeFrame* previous = region::at<NodeFrame>(f->previous);
            if (previous) previous->next = f->next;
            else mem.node_first = next;
            if (next) next->previous = f->previous;
            else mem.node_last = previous;
            free_virtual(f);
        } else {
            f->stability = (f->stability << 1) | (f->used == f->last_used ? 1u : 0u);
            f->last_used = f->used;
        }
        f = next;
    }
    mem.node_current = mem.node_first;
    while (mem.node_current && mem.node_current->used >= mem.node_current->node_count)
        mem.node_current = next_node_frame(mem.node_current);
}

// ---- series buffers ----

SeriesBuffer* alloc_series_buffer(uint32_t count, uint32_t unit, int32_t offset) {
    return alloc_buffer_bytes(uint64_t(count) * unit, unit, offset);
}

Node alloc_series(uint32_t count, uint32_t unit, int32_t offset) {
    reserve_node();
    SeriesBuffer* b = alloc_series_buffer(count, unit, offset);
    b->flags |= kind_for_unit(unit);
    return link(b, alloc_node());
}

Node alloc_series_heap(uint32_t count, uint32_t unit, int32_t offset) {
    uint32_t capacity = capacity_for(uint64_t(count) * unit);
    auto b = static_cast<SeriesBuffer*>(alloc_virtual(capacity + BUF_CARVE_OVERHEAD));
    uint32_t flags = (unit & BUF_UNIT_MASK) | BUF_USED | BUF_CREATED | BUF_HEAP | kind_for_unit(unit);
    init_header(b, capacity, flags, offset);
    heap_series.push_back(region::off(b));
    return link(b, alloc_node());
}

Node alloc_cells(uint32_t count) { return alloc_series(count, sizeof(Cell), 0); }

Node alloc_unset_cells(uint32_t count) {
    Node node = alloc_cells(count);
    SeriesBuffer* b = node_buffer(node);
    auto cells = reinterpret_cast<Cell*>(b->area());
    for (uint32_t i = 0; i < b->capacity / sizeof(Cell); i++) make_unset(&cells[i]);
    return node;
}

// A request for nothing still gets 16 bytes (see capacity_for).
Node alloc_bytes(uint32_t n) { return alloc_series(n, 1, 0); }
Node alloc_units(uint32_t count, uint32_t unit) { return alloc_series(count, unit, 0); }

Node alloc_bytes_filled(uint32_t n, uint8_t byte) {
    Node node = alloc_bytes(n);
    SeriesBuffer* b = node_buffer(node);
    fill_range(b->area(), b->area_end(), byte);
    return node;
}

void set_series_flags(Node node, uint32_t bits) { node_buffer(node)->flags |= bits; }

SeriesBuffer* grow_series_buffer(Node node, SeriesBuffer* buffer, uint32_t new_capacity) {
    SeriesBuffer* fresh = regrow(node, buffer, new_capacity);
    abandon(buffer);
    return fresh;
}

SeriesBuffer* expand_series(Node node, SeriesBuffer* buffer, uint32_t new_capacity) {
    SeriesBuffer* fresh = regrow(node, buffer, new_capacity);
    std::memcpy(fresh->first(), buffer->first(), buffer->used_bytes());
    abandon(buffer);
    return fresh;
}

SeriesBuffer* expand_series_filled(Node node, SeriesBuffer* buffer, uint32_t new_capacity, uint8_t byte) {
    uint32_t old_capacity = buffer->capacity;
    SeriesBuffer* fresh = expand_series(node, buffer, new_capacity);
    if (fresh->capacity > old_capacity) fill_range(fresh->area() + old_capacity, fresh->area_end(), byte);
    return fresh;
}

Node copy_series(SeriesBuffer* buffer) {
    Node node = alloc_series(buffer->capacity, 1, 0);
    SeriesBuffer* copy = node_buffer(node);
    copy->flags = inherited_flags(buffer->flags & ~BUF_OWNED, copy->flags);
    uint32_t used = buffer->used_bytes();
    std::memcpy(copy->first(), buffer->first(), used);
    copy->tail = copy->offset + used;
    return node;
}

// ---- frames ----

SeriesFrame* find_series_frame(uint32_t size) {
    for (SeriesFrame* f = mem.series_first; f; f = next_series_frame(f))
        if (has_room(f, size)) return f;
    return nullptr;
}

SeriesFrame* new_series_frame() {
    uint32_t size = mem.next_series_size;
    uint32_t area = size + FRAME_SLACK;
    uint32_t total = checked_32(uint64_t(sizeof(SeriesFrame)) + area);
    auto frame = static_cast<SeriesFrame*>(try_alloc_virtual(total));
    if (!frame) return nullptr;
    *frame = SeriesFrame{};
    frame->total = total;
    frame->free = region::off(frame->area());
    frame->end = frame->free + area;
    if (size < mem.series_limit) mem.next_series_size = size * 2;
    poison::forbid(frame->area(), area);
    insert_by_address(frame);
    if (!mem.series_current) mem.series_current = frame;
    return frame;
}

SeriesBuffer* alloc_big(uint32_t size) {
    auto frame = static_cast<BigFrame*>(try_alloc_virtual(checked_32(uint64_t(sizeof(BigFrame)) + size)));
    if (!frame) return nullptr;
    *frame = BigFrame{};
    frame->size = size;
    if (!mem.big_first) {
        mem.big_first = frame;
    } else {
        BigFrame* last = mem.big_first;
        while (last->next != Off::none) last = next_big_frame(last);
        last->next = region::off(frame);
    }
    return frame->buffer();
}

void free_big(SeriesBuffer* buffer) {
    BigFrame* frame = reinterpret_cast<BigFrame*>(buffer) - 1;
    BigFrame* previous = nullptr;
    for (BigFrame* f = mem.big_first; f; previous = f, f = next_big_frame(f)) {
        if (f != frame) continue;
        if (previous) previous->next = f->next;
        else mem.big_first = next_big_frame(f);
        free_virtual(f);
        return;
    }
}

void sweep_big_frames(bool (*keep)(SeriesBuffer* buffer)) {
    BigFrame* previous = nullptr;
    for (BigFrame* f = mem.big_first; f;) {
        BigFrame* next = next_big_frame(f);
        if (keep(f->buffer())) {
            previous = f;
        } else {
            if (previous) previous->next = f->next;
            else mem.big_first = next;
            free_virtual(f);
        }
        f = next;
    }
}

void release_series_frame(SeriesFrame* frame) {
    SeriesFrame* previous = region::at<SeriesFrame>(frame->previous);
    SeriesFrame* next = next_series_frame(frame);
    if (previous) previous->next = frame->next;
    else mem.series_first = next;
    if (next) next->previous = frame->previous;
    else mem.series_last = previous;
    if (mem.series_current == frame) mem.series_current = mem.series_first;
    frame->next = region::off(mem.series_spare);
    frame->previous = Off::none;
    mem.series_spare = frame;
    mem.spare_bytes += frame->total;
}

namespace {

void release_spare_frames_beyond(uint64_t bytes) {
    while (mem.spare_bytes > bytes) {
        SeriesFrame* frame = mem.series_spare;
        mem.series_spare = region::at<SeriesFrame>(frame->next);
        mem.spare_bytes -= frame->total;
        free_virtual(frame);
    }
}

}  // namespace

void for_each_heap_series(void (*visit)(SeriesBuffer* buffer)) {
    for (Off b : heap_series) visit(region::at<SeriesBuffer>(b));
}

void for_each_buffer(void (*visit)(SeriesBuffer* buffer, void* context), void* context) {
    for (SeriesFrame* f = mem.series_first; f; f = next_series_frame(f))
        for (Off at = region::off(f->area()); at != f->free;) {
            auto b = region::at<SeriesBuffer>(at);
            at = at + b->capacity + BUF_CARVE_OVERHEAD;
            visit(b, context);
        }
    for (BigFrame* f = mem.big_first; f; f = next_big_frame(f)) visit(f->buffer(), context);
    for (Off b : heap_series) visit(region::at<SeriesBuffer>(b), context);
}

void poison_free_space() {
#ifdef VEK_SANITIZE
    for (NodeFrame* f = mem.node_first; f; f = next_node_frame(f))
        for (Off free = f->free_list; free != Off::none;) {
            auto word = region::at<uint32_t>(free);
            free = Off(*word);
            poison::forbid(word, sizeof *word);
        }
    for_each_buffer(
        [](SeriesBuffer* b, void*) {
            if (!(b->flags & BUF_USED)) poison::forbid(b->area(), b->capacity);
            poison::forbid(b->area_end(), BUF_GAP);
        },
        nullptr);
    for (SeriesFrame* f = mem.series_first; f; f = next_series_frame(f))
        poison::forbid(region::ptr(f->free), f->end - f->free);
#endif
}

// ---- pacing and grow torture ----

void restart_pacing() {
    mem.allocated_since_collection = 0;
    mem.collection_budget = std::max(MIN_BUDGET, bytes_in_use() + mem.external_bytes);
    release_spare_frames_beyond(mem.collection_budget);
}

void pace_external(uint64_t bytes) {
    pace(bytes);
    mem.external_bytes += bytes;
}

void release_external(uint64_t bytes) { mem.external_bytes -= std::min(bytes, mem.external_bytes); }

SeriesBuffer* move_buffer(SeriesBuffer* buffer) { return expand_series(buffer->node, buffer, buffer->capacity); }

bool grow_torture_moves(const SeriesBuffer* buffer) {
    if (buffer->capacity <= GROW_TORTURE_ALWAYS) return true;
    grow_torture_draws ^= grow_torture_draws << 13;
    grow_torture_draws ^= grow_torture_draws >> 7;
    grow_torture_draws ^= grow_torture_draws << 17;
    return grow_torture_draws % (buffer->capacity / GROW_TORTURE_ALWAYS) == 0;
}

// ---- helpers ----

void fill_range(std::byte* start, std::byte* end, uint8_t byte) {
    if (end > start) std::memset(start, byte, size_t(end - start));
}

std::byte* fill_pattern(std::byte* buffer, uint32_t unit, uint32_t count) {
    size_t total = size_t(unit) * count;
    if (total == 0) return buffer;
    // Copying the filled part onto the rest doubles it each round.
    size_t filled = unit;
    while (filled * 2 <= total) {
        std::memcpy(buffer + filled, buffer, filled);
        filled *= 2;
    }
    std::memcpy(buffer + filled, buffer, total - filled);
    return buffer + total;
}

}  // namespace memory
}  // namespace vek
