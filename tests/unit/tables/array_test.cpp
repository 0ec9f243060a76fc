#include <gtest/gtest.h>

#include <cstring>

#include "runtime/memory/series.h"
#include "runtime/tables/array.h"

namespace vek::array {
namespace {

TEST(Array, MakeWithNoItemsStillGetsSixteenBytesAndItsUnit) {
    for (uint32_t unit : {1u, 4u}) {
        Node a = make(0, unit);
        SeriesBuffer* b = node_buffer(a);
        EXPECT_EQ(b->capacity, 16u);
        EXPECT_EQ(b->unit(), unit);
        EXPECT_EQ(b->flags & BUF_KIND_MASK, 0u) << "raw, not cells";
        EXPECT_EQ(length(a), 0u);
    }
    EXPECT_EQ(node_buffer(make(0, 16))->flags & BUF_KIND_MASK, 0u) << "a 16-byte unit is not cells";
}

TEST(Array, PointersAppendPickFindPokeAndRemove) {
    Node a = make(0, 4);
    EXPECT_EQ(find_ptr(a, 7), -1) << "empty";
    // Enough items to grow the buffer several times.
    for (uint32_t i = 0; i < 100; i++) append_ptr(a, 1000 + i);
    ASSERT_EQ(length(a), 100u);
    EXPECT_EQ(pick_ptr(a, 1), 1000u);
    EXPECT_EQ(pick_ptr(a, 100), 1099u);
    EXPECT_EQ(find_ptr(a, 1000), 0);
    EXPECT_EQ(find_ptr(a, 1042), 42 * 4);
    EXPECT_EQ(find_ptr(a, 5), -1);

    poke_ptr(a, 3, 1000);  // now equal to the first item
    remove_ptr(a, 1000);   // removes the first only
    EXPECT_EQ(length(a), 99u);
    EXPECT_EQ(pick_ptr(a, 1), 1001u);
    EXPECT_EQ(pick_ptr(a, 2), 1000u);
    EXPECT_EQ(pick_ptr(a, 99), 1099u);

    remove_ptr(a, 12345);  // absent
    EXPECT_EQ(length(a), 99u);
}

TEST(Array, BytesAppendPickAndRemove) {
    Node a = make(2, 1);
    const char text[] = "abcdefghijklmnopqrstuvwxyz";
    append_bytes(a, text, 26);
    append_byte(a, '!');
    ASSERT_EQ(length(a), 27u);
    EXPECT_EQ(pick_byte(a, 1), 'a');
    EXPECT_EQ(pick_byte(a, 27), '!');
    remove_bytes(a, 1, 24);  // b..y
    ASSERT_EQ(length(a), 3u);
    EXPECT_EQ(std::memcmp(data(a), "az!", 3), 0);
}

TEST(Array, CutAtDropsTheItemAndEverythingAfter) {
    Node a = make(0, 4);
    for (uint32_t i = 1; i <= 5; i++) append_ptr(a, i);
    cut_at(a, 3);
    EXPECT_EQ(length(a), 2u);
    EXPECT_EQ(pick_ptr(a, 2), 2u);
    cut_at(a, 1);
    EXPECT_EQ(length(a), 0u);
    append_ptr(a, 9);
    clear(a);
    EXPECT_EQ(length(a), 0u);
}

TEST(Array, CopyIsIndependentWithTheSameCapacityFlagsAndItems) {
    Node a = make(0, 4);
    for (uint32_t i = 0; i < 10; i++) append_ptr(a, i * 3);
    Node c = copy(a);
    SeriesBuffer* original = node_buffer(a);
    SeriesBuffer* twin = node_buffer(c);
    EXPECT_EQ(twin->capacity, original->capacity);
    EXPECT_EQ(twin->flags & ~BUF_ALLOCATION_BITS, original->flags & ~BUF_ALLOCATION_BITS);
    ASSERT_EQ(length(c), 10u);
    EXPECT_EQ(std::memcmp(data(c), data(a), 40), 0);
    poke_ptr(c, 1, 77);
    EXPECT_EQ(pick_ptr(a, 1), 0u);
}

}  // namespace
}  // namespace vek::array
