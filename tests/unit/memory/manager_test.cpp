#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "runtime/core/raise.h"
#include "runtime/core/stack.h"
#include "runtime/core/system.h"
#include "runtime/core/unwind.h"
#include "runtime/memory/malloc_list.h"
#include "runtime/memory/manager.h"
#include "runtime/memory/region.h"
#include "tests/unit/support/support.h"

using namespace vek;

namespace {

class Memory : public ::testing::Test {};

uint32_t area_size(SeriesFrame* f) { return f->end - region::off(f->area()); }

bool in_some_series_frame(SeriesBuffer* b) {
    for (SeriesFrame* f = mem.series_first; f; f = region::at<SeriesFrame>(f->next))
        if (reinterpret_cast<std::byte*>(b) >= f->area() && region::off(b) < f->free) return true;
    return false;
}

TEST_F(Memory, RegionOffsetsRoundTripAndNoneIsNull) {
    EXPECT_EQ(region::off(nullptr), Off::none);
    EXPECT_EQ(region::ptr(Off::none), nullptr);
    SeriesBuffer* b = node_buffer(memory::alloc_bytes(8));
    Off o = region::off(b);
    EXPECT_GE(uint32_t(o), region::LOW_GUARD);
    EXPECT_EQ(region::at<SeriesBuffer>(o), b);
    EXPECT_TRUE(region::contains(b));
}

TEST_F(Memory, ReleasedPagesAreCoalescedReusedFirstAndZeroed) {
    auto a = static_cast<std::byte*>(region::commit_pages(region::PAGE));
    auto b = static_cast<std::byte*>(region::commit_pages(100));  // rounds up to a page
    auto guard = region::commit_pages(region::PAGE);  // keeps the run away from fresh space
    ASSERT_TRUE(a && b && guard);
    ASSERT_EQ(b, a + region::PAGE);
    std::memset(a, 0xAB, 2 * region::PAGE);
    region::release_pages(a, region::PAGE);
    region::release_pages(b, region::PAGE);

    auto again = static_cast<std::byte*>(region::commit_pages(2 * region::PAGE));
    EXPECT_EQ(again, a);
    EXPECT_EQ(again[0], std::byte{0});
    EXPECT_EQ(again[2 * region::PAGE - 1], std::byte{0});
    region::release_pages(again, 2 * region::PAGE);
    region::release_pages(guard, region::PAGE);
}

TEST_F(Memory, VirtualBlocksAreCountedInTotal) {
    uint64_t before = mem.total;
    void* p = memory::alloc_virtual(100);
    EXPECT_EQ(mem.total, before + region::PAGE);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % 16, 0u);
    memory::free_virtual(p);
    EXPECT_EQ(mem.total, before);
}

TEST_F(Memory, EmptyRequestsGetSixteenBytes) {
    struct Case { const char* what; Node node; uint32_t unit; uint32_t kind; };
    Case cases[] = {
        {"bytes", memory::alloc_bytes(0), 1, 0},
        {"units 1", memory::alloc_units(0, 1), 1, 0},
        {"units 2", memory::alloc_units(0, 2), 2, 0},
        {"units 4", memory::alloc_units(0, 4), 4, 0},
        {"cells", memory::alloc_cells(0), 16, BUF_KIND_CELLS},
    };
    for (const Case& c : cases) {
        SeriesBuffer* b = node_buffer(c.node);
        EXPECT_EQ(b->capacity, 16u) << c.what;
        EXPECT_EQ(b->flags, c.unit | c.kind | BUF_USED | BUF_CREATED) << c.what;
        EXPECT_EQ(b->node, c.node) << c.what;
        EXPECT_EQ(b->offset, region::off(b->area())) << c.what;
        EXPECT_EQ(b->length(), 0u) << c.what;
    }
}

TEST_F(Memory, MiddleOffsetStartsHalfwayAndIsFlagged) {
    SeriesBuffer* b = node_buffer(memory::alloc_series(10, 2, -1));
    EXPECT_EQ(b->capacity, 32u);
    EXPECT_EQ(b->offset, region::off(b->area()) + 16);
    EXPECT_EQ(b->tail, b->offset);
    EXPECT_TRUE(b->flags & BUF_MID);
}

TEST_F(Memory, RequestsThatCannotBeMetRaiseErrors) {
    constexpr uint32_t NO_MEMORY = error_code(err::internal::no_memory);
    constexpr uint32_t WRONG_MEM = error_code(err::internal::wrong_mem);
    struct Case { const char* what; void (*body)(); uint32_t code; };
    Case cases[] = {
        {"4 GiB of cells", [] { memory::alloc_series(0x10000000, 16, 0); }, NO_MEMORY},
        {"4 GiB from the heap", [] { memory::alloc_series_heap(0x40000000, 4, 0); }, NO_MEMORY},
        {"bytes past 32 bits", [] { memory::alloc_bytes(0xFFFFFFFF); }, NO_MEMORY},
        {"reserve past 32 bits", [] { series::reserve_tail(node_buffer(memory::alloc_bytes(16)), 0x90000000); }, NO_MEMORY},
        {"copy past 32 bits", [] { series::copy_part(memory::alloc_cells(1), 0, 0x10000000); }, NO_MEMORY},
        {"free null", [] { memory::free_virtual(nullptr); }, WRONG_MEM},
        {"free a buffer", [] { memory::free_virtual(node_buffer(memory::alloc_bytes(16))->area()); }, WRONG_MEM},
    };
    for (const Case& c : cases) EXPECT_EQ(test::raised(c.body), c.code) << c.what;
}

// A request counts as capacity + 24 bytes; from 2 MB on it gets a big frame.
TEST_F(Memory, BigFrameThreshold) {
    struct Case { uint32_t bytes; bool big; };
    Case cases[] = {
        {2097152 - 24, true},       // exactly 2 MB
        {2097152 - 24 - 16, false},  // the largest that stays in the frames
    };
    for (const Case& c : cases) {
        SeriesBuffer* b = node_buffer(memory::alloc_bytes(c.bytes));
        EXPECT_EQ(bool(b->flags & BUF_BIG), c.big) << c.bytes;
        EXPECT_EQ(in_some_series_frame(b), !c.big) << c.bytes;
        std::memset(b->area(), 1, b->capacity);  // the whole area is really there
    }
}

TEST_F(Memory, BigBuffersAreListedAndFreed) {
    SeriesBuffer* b = node_buffer(memory::alloc_bytes(3u << 20));
    ASSERT_TRUE(b->flags & BUF_BIG);
    auto frame_of = [](SeriesBuffer* buffer) { return reinterpret_cast<BigFrame*>(buffer) - 1; };
    auto listed = [&] {
        for (BigFrame* f = mem.big_first; f; f = region::at<BigFrame>(f->next))
            if (f == frame_of(b)) return true;
        return false;
    };
    EXPECT_TRUE(listed());
    EXPECT_EQ(frame_of(b)->size, b->capacity + memory::BUF_CARVE_OVERHEAD);
    uint64_t before = mem.total;
    memory::free_big(b);
    EXPECT_FALSE(listed());
    EXPECT_LT(mem.total, before);
}

TEST_F(Memory, SeriesFramesAreOneMegabyteThenTwo) {
    mem.next_series_size = mem.first_series_size;
    std::vector<uint32_t> sizes;
    for (int i = 0; i < 3; i++) sizes.push_back(area_size(memory::new_series_frame()) - memory::FRAME_SLACK);
    EXPECT_EQ(sizes, (std::vector<uint32_t>{1048576, 2097152, 2097152}));
    EXPECT_EQ(mem.next_series_size, 2097152u);

    for (SeriesFrame* f = mem.series_first; f; f = region::at<SeriesFrame>(f->next)) {
        SeriesFrame* next = region::at<SeriesFrame>(f->next);
        if (next) {
            EXPECT_LT(f, next) << "frames sorted by address";
        } else {
            EXPECT_EQ(f, mem.series_last);
        }
    }
}

TEST_F(Memory, GrowingWithoutCopyKeepsTypeBitsAndLength) {
    Node node = memory::alloc_bytes(20);
    SeriesBuffer* old = node_buffer(node);
    old->tail = old->tail + 20;
    constexpr uint32_t TYPE_BIT = 0x00000100;
    old->flags |= BUF_OWNED | TYPE_BIT;
    SeriesBuffer* grown = memory::grow_series_buffer(node, old, 0);
    EXPECT_EQ(grown->capacity, 64u);
    EXPECT_EQ(grown->used_bytes(), 20u);
    EXPECT_EQ(grown->flags, 1u | BUF_OWNED | TYPE_BIT | BUF_USED | BUF_CREATED);
    EXPECT_EQ(node_buffer(node), grown);
    EXPECT_EQ(old->node, Node::none);
    EXPECT_FALSE(old->flags & BUF_USED);
}

TEST_F(Memory, ExpandFilledFillsOnlyTheNewPart) {
    Node node = memory::alloc_bytes_filled(16, 0x11);
    SeriesBuffer* b = node_buffer(node);
    b->tail = b->tail + 16;
    b = memory::expand_series_filled(node, b, 48, 0x22);
    ASSERT_EQ(b->capacity, 48u);
    for (uint32_t i = 0; i < 48; i++)
        EXPECT_EQ(uint8_t(b->area()[i]), i < 16 ? 0x11 : 0x22) << i;
}

TEST_F(Memory, UnsetCellsFillTheWholeCapacity) {
    SeriesBuffer* b = node_buffer(memory::alloc_unset_cells(3));
    auto cells = reinterpret_cast<Cell*>(b->area());
    for (uint32_t i = 0; i < b->capacity / 16; i++) {
        EXPECT_EQ(cells[i].header, TYPE_UNSET);
        EXPECT_EQ(payload_word(&cells[i], 1) | payload_word(&cells[i], 2) | payload_word(&cells[i], 3), 0u);
    }
}

TEST_F(Memory, CopySeriesTakesUnitAndTypeBitsButNotOwner) {
    Node source = memory::alloc_units(8, 2);
    SeriesBuffer* s = node_buffer(source);
    std::memcpy(s->first(), "abcdef", 6);
    s->tail = s->tail + 6;
    s->flags |= BUF_OWNED;
    SeriesBuffer* copy = node_buffer(memory::copy_series(s));
    EXPECT_EQ(copy->capacity, s->capacity);
    EXPECT_EQ(copy->flags, 2u | BUF_USED | BUF_CREATED);
    EXPECT_EQ(copy->length(), 3u);
    EXPECT_EQ(std::memcmp(copy->first(), "abcdef", 6), 0);
}

TEST_F(Memory, HeapSeriesLiveOutsideTheFrames) {
    Node node = memory::alloc_series_heap(100, 16, 0);
    SeriesBuffer* b = node_buffer(node);
    EXPECT_EQ(b->flags, 16u | 0xA0100000u | BUF_KIND_CELLS);
    EXPECT_EQ(b->capacity, 1600u);
    EXPECT_EQ(b->node, node);
    EXPECT_EQ(b->tail, region::off(b->area()));
    EXPECT_FALSE(in_some_series_frame(b));
}

uint32_t free_nodes() {
    uint32_t n = 0;
    for (NodeFrame* f = mem.node_first; f; f = region::at<NodeFrame>(f->next)) n += f->node_count - f->used;
    return n;
}

uint32_t node_frame_count() {
    uint32_t n = 0;
    for (NodeFrame* f = mem.node_first; f; f = region::at<NodeFrame>(f->next)) n++;
    return n;
}

// Once every frame is full, a new frame of 10,000 nodes serves them in
// address order, and the one after those comes from yet another frame.
TEST_F(Memory, NodeFramesHandOutTenThousandNodes) {
    for (uint32_t n = free_nodes(); n > 0; n--) memory::alloc_node();
    NodeFrame* full_before = mem.node_last;

    std::vector<Node> nodes;
    for (uint32_t i = 0; i < memory::NODES_PER_FRAME; i++) nodes.push_back(memory::alloc_node());
    NodeFrame* frame = mem.node_last;
    ASSERT_NE(frame, full_before);
    EXPECT_EQ(mem.node_current, frame);
    EXPECT_EQ(frame->node_count, memory::NODES_PER_FRAME);
    EXPECT_EQ(frame->used, memory::NODES_PER_FRAME);
    EXPECT_EQ(frame->free_list, Off::none);
    for (uint32_t i = 0; i < nodes.size(); i++) {
        ASSERT_EQ(nodes[i], node_of(frame->nodes() + i)) << i;
        ASSERT_EQ(*node_word(nodes[i]), 0u) << i;
    }

    memory::alloc_node();
    NodeFrame* next = mem.node_last;
    EXPECT_NE(next, frame);
    EXPECT_EQ(mem.node_current, next);
    EXPECT_EQ(next->used, 1u);

    // Freed nodes go back to their frame; a frame left empty is released.
    for (Node n : nodes) memory::free_node(frame, n);
    EXPECT_EQ(frame->used, 0u);
    memory::update_node_frames();
    for (NodeFrame* f = mem.node_first; f; f = region::at<NodeFrame>(f->next)) EXPECT_NE(f, frame);
    EXPECT_EQ(mem.node_last, next);
    EXPECT_EQ(region::at<NodeFrame>(next->previous)->next, region::off(next));
    EXPECT_EQ(mem.node_current, next);
}

TEST_F(Memory, EvacuatedFramesGiveNoNodesAndAreReleased) {
    NodeFrame* frame = memory::new_node_frame(16);
    mem.node_current = frame;
    ASSERT_EQ(memory::alloc_node(), node_of(frame->nodes()));
    frame->evacuated = 1;
    memory::alloc_node();
    EXPECT_NE(mem.node_current, frame);
    EXPECT_EQ(frame->used, 1u);
    memory::update_node_frames();
    for (NodeFrame* f = mem.node_first; f; f = region::at<NodeFrame>(f->next)) EXPECT_NE(f, frame);
}

TEST_F(Memory, CensusCountsBytesInUse) {
    memory::CollectorPause pause;  // a collection would change the figure
    uint64_t before = memory::census().in_use;
    memory::alloc_bytes(100);  // a 112-byte area in a frame, plus its node
    uint64_t after = memory::census().in_use;
    EXPECT_EQ(after - before, 112 + memory::BUF_CARVE_OVERHEAD + 4);
}

TEST_F(Memory, CensusListsEveryFrame) {
    memory::alloc_bytes(3u << 20);  // at least one big frame
    memory::Census c = memory::census();
    ASSERT_EQ(c.nodes.size(), node_frame_count());
    EXPECT_EQ(c.nodes[0].free + c.nodes[0].used, c.nodes[0].size);
    EXPECT_EQ(c.nodes[0].size, mem.node_first->node_count);
    EXPECT_FALSE(c.series.empty());
    ASSERT_GE(c.bigs.size(), 1u);
    EXPECT_GE(c.bigs.back(), 3u << 20);
    EXPECT_GT(c.occupied, c.in_use);
}

TEST_F(Memory, HeapListResizeAndFree) {
    uint64_t before = malloc_list::total();
    void* a = malloc_list::resize(nullptr, 40);  // allocates
    ASSERT_NE(a, nullptr);
    void* b = malloc_list::alloc_zeroed(24);
    void* c = malloc_list::alloc(8);
    EXPECT_EQ(static_cast<uint8_t*>(b)[23], 0);
    EXPECT_EQ(malloc_list::total(), before + 40 + 24 + 8 + 3 * sizeof(HeapBlock));

    std::memset(b, 7, 24);
    b = malloc_list::resize(b, 1 << 20);  // the block in the middle of the list moves
    EXPECT_EQ(static_cast<uint8_t*>(b)[23], 7);
    EXPECT_EQ(malloc_list::total(), before + 40 + (1 << 20) + 8 + 3 * sizeof(HeapBlock));

    alignas(16) std::byte outsider[64];
    malloc_list::free(outsider + sizeof(HeapBlock));  // not in the list: ignored
    EXPECT_EQ(malloc_list::resize(b, 0), nullptr);
    malloc_list::free(a);
    malloc_list::free(c);
    EXPECT_EQ(malloc_list::total(), before);
    if (sysrec.heap_last) {
        EXPECT_EQ(sysrec.heap_last->next, nullptr);
    }
}

}  // namespace

namespace {

// In the sanitizer build a stale pointer into memory nobody may touch faults
// at once.
TEST_F(Memory, ForbiddenMemoryFaultsUnderTheSanitizer) {
#ifndef VEK_SANITIZE
    GTEST_SKIP() << "needs the sanitizer build";
#else
    auto touch = [](volatile std::byte* p) { (void)*p; };
    Node node = memory::alloc_bytes(16);
    SeriesBuffer* abandoned = node_buffer(node);
    memory::expand_series(node, abandoned, 0);
    SeriesBuffer* live = node_buffer(node);
    EXPECT_DEATH(touch(abandoned->area()), "use-after-poison");
    EXPECT_DEATH(touch(live->area_end()), "use-after-poison");  // the gap
    EXPECT_DEATH(touch(region::at<std::byte>(mem.series_current->free)), "use-after-poison");
    touch(live->area_end() - 1);
    touch(reinterpret_cast<std::byte*>(abandoned));  // headers stay readable
#endif
}

}  // namespace
