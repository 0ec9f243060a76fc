// Sweeping and compaction. Each series frame is walked in address order;
// runs of live buffers slide down over the dead ones with one overlapping
// copy per run, and a later frame first offers its runs to the free space at
// the end of the frame before it, so that frames empty out and go back to
// the system. Pinned buffers stay where they are. The node of a dead buffer
// goes back to its frame as the walk meets the buffer.
#include <algorithm>
#include <cstring>

#include "runtime/gc/collector.h"
#include "runtime/gc/internal.h"
#include "runtime/memory/poison.h"

namespace vek::gc::detail {

namespace {

// Below this much room, the frame before is not worth filling.
constexpr uint32_t OFFER_FLOOR = 52429;
constexpr uint32_t LIVE_BITS = BUF_MARK | BUF_PINNED;

// The address tables still hold every node frame: frames are only released
// once the sweep is over.
void free_dead_node(Node node) { memory::free_node(node_frame_of(uint32_t(node)), node); }

SeriesBuffer* buffer_at(std::byte* p) { return reinterpret_cast<SeriesBuffer*>(p); }
std::byte* end_of(SeriesFrame* f) { return region::at<std::byte>(f->end); }
Off lowered(Off o, uint32_t by) { return Off(uint32_t(o) - by); }

// Moves the run [from, to) down to dest and re-points every buffer in it.
void move_run(std::byte* from, std::byte* to, std::byte* dest) {
    size_t length = size_t(to - from);
    auto distance = uint32_t(from - dest);
    poison::allow(dest, length);
    poison::allow(from, length);
    std::memmove(dest, from, length);
    for (std::byte* p = dest; p < dest + length; p += carve_size(buffer_at(p))) {
        SeriesBuffer* b = buffer_at(p);
        b->flags &= ~LIVE_BITS;
        b->offset = lowered(b->offset, distance);
        b->tail = lowered(b->tail, distance);
        node_point(b->node, b);
        poison::forbid(b->area_end(), BUF_GAP);
    }
    std::byte* vacated = std::max(dest + length, from);
    poison::forbid(vacated, size_t(to - vacated));
}

void keep_in_place(std::byte* from, std::byte* to) {
    for (std::byte* p = from; p < to; p += carve_size(buffer_at(p))) buffer_at(p)->flags &= ~LIVE_BITS;
}

// Dead space in front of a pinned buffer becomes a buffer that nothing uses,
// so that the frame can still be walked buffer by buffer. Dead space is
// made of whole buffers, so it always has room for a header.
void fill_dead(std::byte* from, std::byte* to) {
    if (from == to) return;
    SeriesBuffer* filler = buffer_at(from);
    poison::allow(filler, sizeof(SeriesBuffer));
    *filler = SeriesBuffer{};
    filler->capacity = uint32_t(to - from) - sizeof(SeriesBuffer) - BUF_GAP;
    filler->offset = filler->tail = region::off(filler->area());
    poison::forbid(filler->area(), filler->capacity + BUF_GAP);
}

// Where moved runs may go: the frame itself, and the free end of the frame
// before it while that is still offered.
struct Compaction {
    SeriesFrame* previous;
    std::byte* previous_write;
    std::byte* write;
    bool offering;

    uint32_t previous_room() const { return uint32_t(end_of(previous) - previous_write); }

    // The longest head of the run that fits in the previous frame.
    std::byte* fitting_cut(std::byte* from, std::byte* to) const {
        std::byte* cut = from;
        while (cut < to) {
            std::byte* next = cut + carve_size(buffer_at(cut));
            if (previous_write + (next - from) >= end_of(previous)) break;
            cut = next;
        }
        return cut;
    }

    void place_run(std::byte* from, std::byte* to) {
        if (offering && previous_room() >= OFFER_FLOOR) {
            std::byte* cut = fitting_cut(from, to);
            if (cut > from) {
                move_run(from, cut, previous_write);
                previous_write += cut - from;
                from = cut;
            }
        }
        if (from == to) return;
        if (from == write) {
            keep_in_place(from, to);
            offering = false;
        } else {
            move_run(from, to, write);
        }
        write += to - from;
    }

    void compact(SeriesFrame* f) {
        std::byte* end = region::at<std::byte>(f->free);
        std::byte* run = nullptr;  // start of the run of movable live buffers
        std::byte* p = f->area();
        while (p < end) {
            SeriesBuffer* b = buffer_at(p);
            uint32_t flags = b->flags;
            Node node = b->node;
            std::byte* next = p + carve_size(b);
            bool movable = (flags & BUF_MARK) && !(flags & BUF_PINNED);
            if (!movable && run) {
                place_run(run, p);
                run = nullptr;
            }
            if (movable) {
                if (!run) run = p;
            } else if (flags & BUF_PINNED) {
                fill_dead(write, p);
                b->flags &= ~LIVE_BITS;
                write = next;
                offering = false;
            } else if (node != Node::none) {
                free_dead_node(node);
            }
            p = next;
        }
        if (run) place_run(run, end);
        poison::forbid(write, size_t(end - write));
    }
};

}  // namespace

void compact_series_frames() {
    Compaction c{nullptr, nullptr, nullptr, false};
    for (SeriesFrame* f = mem.series_first; f;) {
        SeriesFrame* next = region::at<SeriesFrame>(f->next);
        c.write = f->area();
        c.offering = c.previous != nullptr;
        c.compact(f);
        if (c.previous) c.previous->free = region::off(c.previous_write);
        f->free = region::off(c.write);
        if (c.write == f->area() && next) {
            memory::release_series_frame(f);
        } else {
            c.previous = f;
            c.previous_write = c.write;
        }
        f = next;
    }
    mem.series_current = mem.series_first;
}

void sweep_big_frames() {
    memory::sweep_big_frames([](SeriesBuffer* b) {
        if (b->flags & BUF_MARK) {
            b->flags &= ~LIVE_BITS;
            return true;
        }
        if (b->node != Node::none) free_dead_node(b->node);
        return false;
    });
}

}  // namespace vek::gc::detail
