#include "runtime/datatypes/event.h"

#include <gtest/gtest.h>

#include "runtime/actions/dispatch.h"
#include "runtime/datatypes/compound/pair.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/word/context.h"
#include "runtime/core/stack.h"
#include "runtime/memory/region.h"
#include "tests/unit/support/block_builder.h"
#include "tests/unit/support/manual_collection.h"
#include "tests/unit/support/support.h"
#include "tests/unit/support/value_cells.h"

namespace vek {
namespace {

using EventCollection = test::ManualCollectionTest;

[[gnu::noinline]] void make_garbage(uint32_t buffers) {
    for (uint32_t i = 0; i < buffers; i++) memory::alloc_bytes(200);
}

// An event made from a spec giving its face, offset and picked, behind
// garbage that the next collection frees.
[[gnu::noinline]] Cell made_event(const Cell& face) {
    make_garbage(50);
    Cell offset{};
    pair::make_at(&offset, 3, 4);
    Cell spec = test::block_of({test::first_of("face:"), face, test::first_of("offset:"), offset,
                                test::first_of("picked:"), integer::cell(7)});
    Cell event = test::datatype_cell(TYPE_EVENT);
    actions::make(&event, &spec);
    return event;
}

// The block of a made event is held by the event alone, here an event stored
// in a block that the evaluation stack holds. The collections see only their
// precise roots, so nothing on the C++ stack pins the block: they keep it,
// compaction moves it, and the fields read the same from where it went.
TEST_F(EventCollection, AStoredMadeEventsBlockSurvivesCollectionsAndCompaction) {
    test::SavedStacks saved;
    Node context = context::create(1, false, false, nullptr, context::KIND_OBJECT);
    Cell face{TYPE_OBJECT, uint32_t(context), 0, 0};
    stack::push(&face);
    Cell stored = test::block_of({made_event(face)});
    const Cell* holder = stack::push(&stored);
    const Cell* event = series_buffer(holder)->cells();
    ASSERT_TRUE(event::made(event));
    Node block = event::block(event);
    auto place = uint32_t(region::off(node_buffer(block)));

    test::collect_precisely();
    make_garbage(50);  // in what a lost block would have left free
    test::collect_precisely();

    event = series_buffer(holder)->cells();
    ASSERT_EQ(event::block(event), block);
    ASSERT_EQ(node_buffer(block)->node, block);
    EXPECT_NE(uint32_t(region::off(node_buffer(block))), place);
    Cell value{};
    event::get_field(event, event::Field::face, &value);
    EXPECT_EQ(cell_type(&value), uint32_t(TYPE_OBJECT));
    EXPECT_EQ(payload_word(&value, 1), uint32_t(context));
    event::get_field(event, event::Field::offset, &value);
    EXPECT_EQ(pair::x(&value), 3);
    EXPECT_EQ(pair::y(&value), 4);
    event::get_field(event, event::Field::picked, &value);
    EXPECT_EQ(integer::get(&value), 7);
    saved.restore();
}

}  // namespace
}  // namespace vek
