#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "runtime/datatypes/number/integer.h"
#include "runtime/gc/collector.h"
#include "runtime/memory/externals.h"
#include "runtime/memory/manager.h"
#include "runtime/memory/series.h"
#include "tests/unit/support/manual_collection.h"

namespace vek {
namespace {

std::vector<void*> released;
void note_release(void* object) { released.push_back(object); }

// A new handle is unreachable until a handle! value holds it, so nothing
// may collect behind the tests' backs.
class Externals : public test::ManualCollectionTest {
protected:
    void SetUp() override {
        released.clear();
        ManualCollectionTest::SetUp();
    }
};

using test::collect_clean;

Cell handle_cell(uint32_t index) { return Cell{TYPE_HANDLE, 0, 0, index}; }

// A block holding a handle!, parked in the reference pool; answers the pool
// index.
[[gnu::noinline]] uint32_t park_handle(uint32_t index) {
    Cell block{TYPE_BLOCK, 0, uint32_t(memory::alloc_cells(1)), 0};
    *series::alloc_tail_cell(series_buffer(&block)) = handle_cell(index);
    return ref_pool::add(&block);
}

TEST_F(Externals, UnreachedHandleIsReleasedExactlyOnce) {
    uint32_t type = externals::register_type("test", note_release);
    int resource = 0;
    uint32_t index = externals::new_handle(&resource, type);
    uint32_t parked = park_handle(index);

    collect_clean();
    EXPECT_TRUE(released.empty());
    EXPECT_EQ(externals::object(index), &resource);

    ref_pool::release(parked);
    test::collect_precisely();
    EXPECT_EQ(released, std::vector<void*>{&resource});
    EXPECT_EQ(externals::object(index), nullptr);
}

TEST_F(Externals, ReleasingByHandCallsBackOnlyWhenAsked) {
    uint32_t type = externals::register_type("test", note_release);
    uint32_t silent_type = externals::register_type("silent", nullptr);
    int a = 0, b = 0, c = 0;
    uint32_t first = externals::new_handle(&a, type);
    uint32_t second = externals::new_handle(&b, type);
    uint32_t third = externals::new_handle(&c, silent_type);

    externals::release_handle(first, true);
    externals::release_handle(second, false);
    externals::release_handle(second, true);  // no longer live: ignored
    externals::release_handle(third, true);
    EXPECT_EQ(released, std::vector<void*>{&a});
    EXPECT_EQ(externals::object(first), nullptr);
    // The freed slots are handed out again, the last freed first.
    EXPECT_EQ(externals::new_handle(&a, type), third);
    externals::release_handle(third, false);
}

TEST_F(Externals, TakingTheLastFreeSlotDoublesTheTable) {
    uint32_t type = externals::register_type("test", nullptr);
    uint32_t before = externals::slot_count();
    std::vector<uint32_t> taken;
    for (uint32_t i = 0; i <= before; i++) taken.push_back(externals::new_handle(nullptr, type));
    EXPECT_EQ(externals::slot_count(), 2 * before);
    std::vector<uint32_t> sorted = taken;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(std::adjacent_find(sorted.begin(), sorted.end()), sorted.end());
    EXPECT_LT(sorted.back(), 2 * before);
    for (uint32_t index : taken) externals::release_handle(index, false);
}

TEST_F(Externals, ReferencePoolKeepsValuesAndReusesIndexes) {
    std::vector<uint32_t> indexes;
    for (uint32_t i = 0; i < 3 * ref_pool::INITIAL_CELLS; i++) {
        Cell value{TYPE_INTEGER, 0, i, 0};
        indexes.push_back(ref_pool::add(&value));
    }
    collect_clean();
    for (uint32_t i = 0; i < indexes.size(); i++) {
        ASSERT_EQ(cell_type(ref_pool::get(indexes[i])), uint32_t(TYPE_INTEGER));
        ASSERT_EQ(uint32_t(integer::get(ref_pool::get(indexes[i]))), i);
    }
    ref_pool::release(0);
    ref_pool::release(indexes[5]);
    Cell again{TYPE_NONE, 0, 0, 0};
    EXPECT_EQ(ref_pool::add(&again), indexes[5]);
    for (uint32_t index : indexes) ref_pool::release(index);
}

}  // namespace
}  // namespace vek
