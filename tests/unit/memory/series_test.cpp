#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "runtime/core/root.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/memory/manager.h"
#include "runtime/memory/region.h"
#include "runtime/memory/series.h"
#include "tests/unit/support/value_cells.h"

using namespace vek;
using test::integer_cell;

namespace {

// These tests watch a buffer grow, so grow torture, which would move it at
// every append, stays off while they run.
class Series : public ::testing::Test {
protected:
    void SetUp() override { memory::grow_torture_enabled = false; }
    void TearDown() override { memory::grow_torture_enabled = saved_; }

private:
    bool saved_ = memory::grow_torture_enabled;
};

// A full buffer whose head starts mid-area: the append moves the used cells
// to the start of a buffer twice the size, and the old one is abandoned.
TEST_F(Series, AppendToFullBufferDoublesAndMovesUsedCellsToTheStart) {
    Node node = memory::alloc_series(4, 16, -1);  // 64 bytes, head at 32
    SeriesBuffer* old = node_buffer(node);
    constexpr uint32_t TYPE_BIT = 0x00000200;
    old->flags |= BUF_OWNED | TYPE_BIT;
    for (uint32_t i = 0; i < 2; i++) *series::alloc_tail_cell(old) = integer_cell(i);
    ASSERT_EQ(old->last(), old->area_end());

    Cell* c = series::alloc_tail_cell(old);
    EXPECT_EQ(c->header, uint32_t(TYPE_UNSET));
    SeriesBuffer* b = node_buffer(node);
    ASSERT_NE(b, old);
    EXPECT_EQ(b->capacity, 128u);
    EXPECT_EQ(b->first(), b->area());
    EXPECT_EQ(b->length(), 3u);
    EXPECT_EQ(c, b->cells() + 2);
    EXPECT_EQ(integer::get(&b->cells()[0]), 0);
    EXPECT_EQ(integer::get(&b->cells()[1]), 1);
    EXPECT_EQ(b->node, node);
    // Owner and type bits travel; the middle-start bit belonged to the old allocation.
    EXPECT_EQ(b->flags, 16u | BUF_KIND_CELLS | BUF_OWNED | TYPE_BIT | BUF_USED | BUF_CREATED);
    EXPECT_EQ(old->node, Node::none);
    EXPECT_FALSE(old->flags & BUF_USED);
}

TEST_F(Series, AppendsKeepDoubling) {
    Node node = memory::alloc_cells(1);
    for (uint32_t i = 0; i < 100; i++) *series::alloc_tail_cell(node_buffer(node)) = integer_cell(i);
    SeriesBuffer* b = node_buffer(node);
    EXPECT_EQ(b->capacity, 128u * 16);
    ASSERT_EQ(b->length(), 100u);
    for (uint32_t i = 0; i < 100; i++) ASSERT_EQ(uint32_t(integer::get(&b->cells()[i])), i);
}

TEST_F(Series, ReserveTailGrowsByTheLargerOfTwiceCapacityAndTwiceRequest) {
    struct Case { uint32_t used, n, capacity_after; };
    Case cases[] = {
        {0, 8, 16},    // fits: no move
        {8, 12, 32},   // twice the capacity
        {0, 40, 80},   // more than the whole capacity: twice the request
        {16, 17, 48},  // twice the request, rounded up to 16
    };
    for (const Case& c : cases) {
        Node node = memory::alloc_bytes(16);
        SeriesBuffer* b = node_buffer(node);
        std::memset(b->first(), 'x', c.used);
        b->tail = b->tail + c.used;
        std::byte* old_tail = series::reserve_tail(b, c.n);
        b = node_buffer(node);
        EXPECT_EQ(b->capacity, c.capacity_after) << c.used << "+" << c.n;
        EXPECT_EQ(old_tail, b->first() + c.used) << c.used << "+" << c.n;
        EXPECT_EQ(b->used_bytes(), c.used + c.n) << c.used << "+" << c.n;
        if (c.used) {
            EXPECT_EQ(b->first()[c.used - 1], std::byte{'x'});
        }
    }
}

// Grow torture moves a buffer at every append, even one with room to spare,
// at the same capacity and with the same contents; buffers outside the
// frames stay where they are.
TEST_F(Series, GrowTortureMovesABufferThatHasRoom) {
    memory::grow_torture_enabled = true;
    Node block = memory::alloc_cells(4);
    *series::alloc_tail_cell(node_buffer(block)) = integer_cell(7);
    Node bytes = memory::alloc_bytes(16);
    std::memset(series::reserve_tail(node_buffer(bytes), 3), 'x', 3);
    struct Case {
        const char* what;
        Node node;
        void (*append)(SeriesBuffer* buffer);
    } cases[] = {
        {"a cell", block, [](SeriesBuffer* b) { *series::alloc_tail_cell(b) = integer_cell(8); }},
        {"reserved bytes", bytes, [](SeriesBuffer* b) { std::memset(series::reserve_tail(b, 1), 'y', 1); }},
    };
    for (const Case& c : cases) {
        SeriesBuffer* before = node_buffer(c.node);
        uint32_t capacity = before->capacity;
        c.append(before);
        SeriesBuffer* after = node_buffer(c.node);
        EXPECT_NE(after, before) << c.what;
        EXPECT_EQ(after->capacity, capacity) << c.what;
    }
    SeriesBuffer* cells = node_buffer(block);
    ASSERT_EQ(cells->length(), 2u);
    EXPECT_EQ(integer::get(&cells->cells()[0]), 7);
    EXPECT_EQ(integer::get(&cells->cells()[1]), 8);
    SeriesBuffer* text = node_buffer(bytes);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(text->first()), text->used_bytes()), "xxxy");

    SeriesBuffer* stack = series_buffer(root::argument_stack());
    EXPECT_EQ(memory::grow_torture(stack), stack);
}

// A buffer past GROW_TORTURE_ALWAYS bytes moves at about one append in
// (capacity / GROW_TORTURE_ALWAYS), so that building a long series stays
// linear; its contents move with it.
TEST_F(Series, GrowTortureMovesALargeBufferNowAndThen) {
    memory::grow_torture_enabled = true;
    constexpr uint32_t CAPACITY = 64 * memory::GROW_TORTURE_ALWAYS;
    constexpr uint32_t APPENDS = 64 * 100;
    Node bytes = memory::alloc_bytes(CAPACITY);
    uint32_t moves = 0;
    for (uint32_t i = 0; i < APPENDS; i++) {
        SeriesBuffer* before = node_buffer(bytes);
        *series::reserve_tail(before, 1) = std::byte(i);
        if (node_buffer(bytes) != before) moves++;
    }
    EXPECT_GT(moves, 50u);
    EXPECT_LT(moves, 200u);
    SeriesBuffer* after = node_buffer(bytes);
    ASSERT_EQ(after->used_bytes(), APPENDS);
    EXPECT_EQ(after->capacity, CAPACITY);
    EXPECT_EQ(after->first()[APPENDS - 1], std::byte((APPENDS - 1) & 0xFF));
}

TEST_F(Series, CopyPartTakesUnitAndTypeBitsButNotOwner) {
    Node source = memory::alloc_units(8, 2);
    SeriesBuffer* s = node_buffer(source);
    const uint16_t text[] = {'a', 'b', 'c', 'd'};
    std::memcpy(s->first(), text, sizeof text);
    s->tail = s->tail + sizeof text;
    constexpr uint32_t TYPE_BIT = 0x00000400;
    s->flags |= BUF_OWNED | TYPE_BIT;

    struct Case { uint32_t start, count; };
    for (Case c : {Case{0, 0}, Case{1, 2}, Case{0, 4}}) {
        SeriesBuffer* copy = node_buffer(series::copy_part(source, c.start, c.count));
        EXPECT_EQ(copy->flags, 2u | TYPE_BIT | BUF_USED | BUF_CREATED) << c.start << "," << c.count;
        EXPECT_EQ(copy->length(), c.count);
        EXPECT_GE(copy->capacity, 16u);
        EXPECT_EQ(std::memcmp(copy->first(), text + c.start, c.count * 2), 0);
    }
}

}  // namespace
