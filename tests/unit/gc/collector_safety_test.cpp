#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <thread>

#include "runtime/core/root.h"
#include "runtime/gc/collector.h"
#include "runtime/memory/externals.h"
#include "runtime/memory/manager.h"
#include "runtime/memory/series.h"
#include "tests/unit/support/death_test_fixture.h"
#include "tests/unit/support/manual_collection.h"
#include "tests/unit/support/value_cells.h"

namespace vek {
namespace {

using Collector = test::ManualCollectionTest;
using test::string_node;
using test::text_of;

// A buffer held by a pointer on the stack is pinned for one collection only,
// whatever kind of buffer it is.
TEST_F(Collector, PinsAndMarksAreClearedOnEveryKindOfBuffer) {
    Cell big = series_cell(TYPE_BINARY, memory::alloc_bytes(3u << 20));
    Cell small = test::block_cell(memory::alloc_cells(4));
    std::array<SeriesBuffer*, 3> buffers{series_buffer(&small), series_buffer(&big),
                                         series_buffer(root::argument_stack())};
    const char* kinds[] = {"frame buffer", "big buffer", "heap buffer"};
    ASSERT_TRUE(buffers[1]->flags & BUF_BIG);
    ASSERT_TRUE(buffers[2]->flags & BUF_HEAP);
    test::collect_clean();

    for (uint32_t i = 0; i < buffers.size(); i++) {
        EXPECT_EQ(buffers[i]->flags & (gc::BUF_PINNED | BUF_MARK), 0u) << kinds[i];
        EXPECT_TRUE(buffers[i]->flags & BUF_USED) << kinds[i];
    }
}

// ---- hooks and release callbacks that throw ----

struct HookFailure {};

enum class Thrower { none, mark_hook, sweep_hook, release_callback };
Thrower armed = Thrower::none;

// Throws once, when armed as the thrower.
template <Thrower self> void throw_if_armed() {
    if (armed != self) return;
    armed = Thrower::none;
    throw HookFailure{};
}

// A block holding a string, reached through a mark hook registered before
// the one that throws, so that it is marked when marking stops.
Cell held{};
void mark_held() { gc::mark_cell(&held); }

[[gnu::noinline]] void hold_a_string() {
    held = test::block_cell(memory::alloc_cells(1));
    *series::alloc_tail_cell(series_buffer(&held)) = Cell{TYPE_STRING, 0, uint32_t(string_node("held")), 0};
}

void release_or_throw(void*) { throw_if_armed<Thrower::release_callback>(); }

[[gnu::noinline]] void make_unreached_handle() {
    static int resource;
    static uint32_t type = externals::register_type("collector test resource", release_or_throw);
    externals::new_handle(&resource, type);
}

// Whatever throws, the collection that threw leaves the collector ready for
// the next one, and that one keeps what is reachable with its contents.
TEST_F(Collector, ThrowingHookOrReleaseCallbackLeavesTheCollectorWorking) {
    gc::add_root("collector test held block", mark_held);
    gc::add_root("collector test throwing root", throw_if_armed<Thrower::mark_hook>);
    gc::add_sweep("collector test throwing sweep", throw_if_armed<Thrower::sweep_hook>);
    struct Case {
        const char* what;
        Thrower thrower;
    } cases[] = {
        {"a mark hook", Thrower::mark_hook},
        {"a sweep hook", Thrower::sweep_hook},
        {"a release callback", Thrower::release_callback},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        hold_a_string();
        make_unreached_handle();
        armed = c.thrower;
        uint32_t cycle = memory::collection_cycle;
        EXPECT_THROW(test::collect_clean(), HookFailure);
        EXPECT_EQ(armed, Thrower::none);
        EXPECT_FALSE(gc::active());

        test::collect_clean();
        EXPECT_GT(memory::collection_cycle, cycle);
        const Cell* string = series_buffer(&held)->cells();
        ASSERT_EQ(cell_type(string), uint32_t(TYPE_STRING));
        EXPECT_EQ(text_of(series_node(string)), "held");
    }
    gc::remove_root(throw_if_armed<Thrower::mark_hook>);
    gc::remove_root(mark_held);
    held = Cell{};
}

// ---- debug-build checks ----

using CollectorChecks = test::FreshProcessTest;

TEST_F(CollectorChecks, AllocationDuringACollectionOrOffTheRuntimeThreadStopsTheProgram) {
#ifdef NDEBUG
    GTEST_SKIP() << "the checks are compiled out of release builds";
#else
    auto on_other_thread = [](void (*body)()) { std::thread(body).join(); };
    EXPECT_DEATH(on_other_thread([] { memory::alloc_bytes(16); }), "on_runtime_thread");
    EXPECT_DEATH(on_other_thread([] { gc::collect(); }), "on_runtime_thread");
    EXPECT_DEATH(
        {
            gc::add_root("collector test allocating root", [] { memory::alloc_bytes(16); });
            gc::collect();
        },
        "!gc::active");
#endif
}

}  // namespace
}  // namespace vek
