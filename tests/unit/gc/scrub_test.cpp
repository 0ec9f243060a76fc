#include <gtest/gtest.h>

#include "runtime/gc/collector.h"
#include "runtime/memory/manager.h"
#include "tests/unit/support/manual_collection.h"

namespace vek {
namespace {

using Scrub = test::ManualCollectionTest;

// Read back after the collection: a global, which the collector does not see.
Node planted = Node::none;

// A block that nothing refers to, its node left in many slots of a frame
// that is gone once this returns: where the collector's frames will lie.
[[gnu::noinline]] void leave_node_in_dead_frame() {
    planted = memory::alloc_cells(1);
    volatile uint32_t copies[1024];
    for (auto& copy : copies) copy = uint32_t(planted);
}

// Without the scrub, the collector's own frames leave some of those slots
// unwritten and its stack scan finds the node there.
TEST_F(Scrub, NodeLeftOnlyInADeadFrameIsFreedAfterAScrub) {
    test::collect_precisely();
    uint64_t in_use = memory::census().in_use;
    leave_node_in_dead_frame();
    gc::scrub_stack();
    gc::collect();
    EXPECT_EQ(memory::census().in_use, in_use);
    planted = Node::none;
}

}  // namespace
}  // namespace vek
