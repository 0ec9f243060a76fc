#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "runtime/gc/collector.h"
#include "runtime/memory/manager.h"
#include "runtime/memory/series.h"
#include "tests/unit/support/manual_collection.h"
#include "tests/unit/support/value_cells.h"

namespace vek {
namespace {

constexpr uint64_t MB = uint64_t(1) << 20;

// Allocation starts collections as it does in the program. The torture modes
// would only add collections, moves (and hours) to what these tests watch.
class Pacing : public testing::Test {
protected:
    void SetUp() override {
        memory::torture_interval = 0;
        memory::grow_torture_enabled = false;
    }
    void TearDown() override {
        memory::torture_interval = saved_interval_;
        memory::grow_torture_enabled = saved_grow_torture_;
    }

private:
    uint32_t saved_interval_ = memory::torture_interval;
    bool saved_grow_torture_ = memory::grow_torture_enabled;
};

// The live data: a block of byte buffers, rooted by a hook so that the stack
// scan plays no part in what stays.
Cell kept{};
void mark_kept() { gc::mark_cell(&kept); }

// The heap (the bytes in use, and the pages taken) at the start of each
// collection's marking, when all the garbage made since the last one is
// still there: at its largest.
struct Heap {
    uint64_t in_use, pages;
};
Heap peak{};
void sample_heap() {
    peak.in_use = std::max(peak.in_use, memory::census().in_use);
    peak.pages = std::max(peak.pages, mem.total);
}

Cell* append(Node block) { return series::alloc_tail_cell(node_buffer(block)); }

[[gnu::noinline]] void keep_buffers(uint32_t count, uint32_t bytes) {
    kept = test::block_cell(memory::alloc_cells(count));
    for (uint32_t i = 0; i < count; i++) {
        Node buffer = memory::alloc_bytes(bytes);
        *append(series_node(&kept)) = Cell{TYPE_BINARY, 0, uint32_t(buffer), 0};
    }
}

[[gnu::noinline]] void make_garbage(uint32_t bytes, uint64_t total) {
    for (uint64_t made = 0; made < total; made += bytes) memory::alloc_bytes(bytes);
}

// Whatever the live data and the garbage, the heap stays below
// max(2 x live, live + 32 MB), counted in bytes in use and in pages taken:
// garbage alone starts collections, big buffers count, and collections space
// out as the live data grows. The stack scan is off while the garbage is
// made, so that what survives a collection is the live data alone.
TEST_F(Pacing, HeapStaysWithinTwiceTheLiveDataOrThirtyTwoMegabytesMore) {
    struct Mix {
        const char* what;
        uint32_t live_count, live_bytes;
        uint32_t garbage_bytes;
    } mixes[] = {
        {"little live data, small garbage", 20000, 64, 40},
        {"little live data, big garbage", 20000, 64, 3 * MB},
        {"much live data, small garbage", 250000, 200, 40},
        {"much live data, medium garbage", 250000, 200, 10000},
        {"much live data, big garbage", 250000, 200, 3 * MB},
        {"big live buffers, small garbage", 24, 3 * MB, 100},
    };
    gc::add_root("pacing test data", mark_kept);
    gc::add_root("pacing test sampler", sample_heap);
    for (const Mix& m : mixes) {
        SCOPED_TRACE(m.what);
        keep_buffers(m.live_count, m.live_bytes);
        gc::scan_stack = false;
        gc::collect();
        Heap live{memory::census().in_use, mem.total};
        peak = Heap{};
        make_garbage(m.garbage_bytes, std::max(3 * live.in_use, 128 * MB));
        sample_heap();
        gc::scan_stack = true;
        EXPECT_LE(peak.in_use, std::max(2 * live.in_use, live.in_use + 32 * MB)) << "live " << live.in_use;
        EXPECT_LE(peak.pages, std::max(2 * live.pages, live.pages + 32 * MB)) << "live " << live.pages;
        kept = Cell{};
    }
    gc::remove_root(sample_heap);
    gc::remove_root(mark_kept);
}

// Below the budget new frames are made freely, and a buffer of its own big
// frame is counted like any other, without a collection of its own.
TEST_F(Pacing, FramesAndBigBuffersBelowTheBudgetStartNoCollection) {
    struct Case {
        const char* what;
        uint32_t bytes, count;
    } cases[] = {
        {"6 MB of small buffers, over several new frames", 100, 40000},
        {"one 3 MB buffer", 3 * MB, 1},
    };
    for (const Case& c : cases) {
        gc::collect();
        uint32_t cycle = memory::collection_cycle;
        make_garbage(c.bytes, uint64_t(c.bytes) * c.count);
        EXPECT_EQ(memory::collection_cycle, cycle) << c.what;
    }
}

// Takes every page the Vek heap has left for as long as it lives.
class ExhaustedHeap {
public:
    ExhaustedHeap() {
        for (uint64_t size = uint64_t(1) << 30; size >= region::PAGE; size /= 2)
            while (void* p = region::commit_pages(size)) taken_.push_back({p, size});
    }
    ~ExhaustedHeap() {
        for (const Taken& t : taken_) region::release_pages(t.pages, t.size);
    }
    ExhaustedHeap(const ExhaustedHeap&) = delete;
    ExhaustedHeap& operator=(const ExhaustedHeap&) = delete;

private:
    struct Taken {
        void* pages;
        uint64_t size;
    };
    std::vector<Taken> taken_;
};

// With no page left, a request that needs a new frame gets one more
// collection before no-memory: the garbage it frees makes room.
bool listed(const SeriesFrame* frame) {
    for (SeriesFrame* f = mem.series_first; f; f = region::at<SeriesFrame>(f->next))
        if (f == frame) return true;
    return false;
}

// A frame the collector empties keeps its pages for the next buffers, which
// take it before new pages; spares beyond the next budget go back.
TEST_F(Pacing, EmptiedFramesServeTheNextBuffersWithinTheBudget) {
    test::collect_clean();
    make_garbage(1000, 32 * MB);
    test::collect_clean();
    SeriesFrame* spare = mem.series_spare;
    ASSERT_NE(spare, nullptr);
    EXPECT_LE(mem.spare_bytes, mem.collection_budget);
    uint64_t pages = mem.total;
    while (mem.series_spare == spare) memory::alloc_bytes(100000);
    EXPECT_TRUE(listed(spare));
    EXPECT_EQ(mem.total, pages);
}

// Frames the collector emptied would serve the request without a collection.
void use_up_spare_frames() {
    uint64_t budget = mem.collection_budget;
    mem.collection_budget = UINT64_MAX;
    while (mem.series_spare) memory::alloc_bytes(100000);
    mem.collection_budget = budget;
}

TEST_F(Pacing, LastCollectionBeforeNoMemoryMakesRoom) {
    struct Case {
        const char* what;
        uint32_t garbage_bytes, garbage_count, request;
    } cases[] = {
        {"a big buffer", 3 * MB, 4, 3 * MB},
        {"a buffer that needs a new frame", 100000, 200, 2000000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::collect_clean();
        make_garbage(c.garbage_bytes, uint64_t(c.garbage_bytes) * c.garbage_count);
        use_up_spare_frames();
        mem.allocated_since_collection = 0;  // pacing stays out of it
        uint32_t cycle = memory::collection_cycle;
        ExhaustedHeap exhausted;
        EXPECT_NE(memory::alloc_bytes(c.request), Node::none);
        EXPECT_EQ(memory::collection_cycle, cycle + 1);
    }
}

}  // namespace
}  // namespace vek
