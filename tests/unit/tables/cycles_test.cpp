#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "runtime/core/raise.h"
#include "runtime/core/stack.h"
#include "runtime/core/unwind.h"
#include "runtime/datatypes/string/buffer.h"
#include "runtime/tables/cycles.h"
#include "tests/unit/support/block_builder.h"
#include "tests/unit/support/support.h"

namespace vek {
namespace {

using test::text_of;

Node node(uint32_t n) { return Node(n * 4); }

class Cycles : public testing::Test {
protected:
    void SetUp() override { cycles::reset(); }
    void TearDown() override { cycles::reset(); }
};

TEST_F(Cycles, AnErrorLeavingAGuardedScopeRestoresTheDepth) {
    cycles::push(node(1));
    uint32_t code = test::raised([] {
        cycles::Scope outer(node(2));
        cycles::Scope inner(node(3));
        cycles::push(node(4));
        fire(err::script::no_value);
    });
    EXPECT_EQ(code, error_code(err::script::no_value));
    EXPECT_EQ(cycles::depth(), 1u);
    EXPECT_TRUE(cycles::find(node(1)));
    EXPECT_FALSE(cycles::find(node(2)));
}

TEST_F(Cycles, AScopeNeverRaisesTheDepthOfAnEmptiedGuard) {
    cycles::push(node(1));
    {
        cycles::Scope scope(node(2));
        cycles::reset();
    }
    EXPECT_EQ(cycles::depth(), 0u);
}

TEST_F(Cycles, TheThousandthEntryRaisesTooDeepAndEmptiesTheGuard) {
    for (uint32_t i = 1; i < cycles::CAPACITY; i++) cycles::push(node(i));
    EXPECT_EQ(cycles::depth(), 999u);
    uint32_t code = test::raised([] { cycles::push(node(5000)); });
    EXPECT_EQ(code, error_code(err::internal::too_deep));
    EXPECT_EQ(code, 906u);
    EXPECT_EQ(cycles::depth(), 0u);
    EXPECT_FALSE(cycles::find(node(1)));
}

TEST_F(Cycles, PoppingStopsAtAnEmptyGuard) {
    cycles::push(node(1));
    cycles::push(node(2));
    cycles::pop_n(5);
    EXPECT_EQ(cycles::depth(), 0u);
    cycles::pop();
    EXPECT_EQ(cycles::depth(), 0u);
    cycles::push(node(3));
    EXPECT_EQ(cycles::depth(), 1u);
}

TEST_F(Cycles, DetectAppendsTheMarkerOfTheTypeAndLowersTheLimit) {
    struct Row {
        uint32_t type;
        bool mold;
        const char* marker;
    };
    const Row rows[] = {
        {TYPE_BLOCK, true, "[...]"},  {TYPE_HASH, true, "[...]"},
        {TYPE_PAREN, true, "(...)"},  {TYPE_MAP, true, "#[...]"},
        {TYPE_OBJECT, true, "make object! [...]"},
        {TYPE_PATH, true, "..."},     {TYPE_STRING, true, "..."},
        {TYPE_BLOCK, false, "..."},   {TYPE_OBJECT, false, "..."},
    };
    cycles::push(node(7));
    for (const Row& row : rows) {
        // An object is looked up by its context (word 1), the others by word 2.
        Cell value = row.type == TYPE_OBJECT ? Cell{row.type, uint32_t(node(7)), uint32_t(node(8)), 0}
                                             : Cell{row.type, uint32_t(node(8)), uint32_t(node(7)), 0};
        Cell out;
        string::rs_make_at(&out, 16);
        text::Sink sink{.buffer = &out, .limit = 100};
        EXPECT_TRUE(cycles::detect(&value, sink, row.mold)) << row.marker;
        EXPECT_EQ(text_of(&out), row.marker);
        EXPECT_EQ(sink.limit, 100 - int32_t(std::string(row.marker).size())) << row.marker;
    }
}

TEST_F(Cycles, DetectOfAValueNotBeingProcessedAppendsNothing) {
    cycles::push(node(7));
    Cell object{TYPE_OBJECT, uint32_t(node(8)), uint32_t(node(7)), 0};  // its context is not on the guard
    Cell out;
    string::rs_make_at(&out, 16);
    text::Sink sink{.buffer = &out, .limit = 10};
    EXPECT_FALSE(cycles::detect(&object, sink, true));
    EXPECT_EQ(text_of(&out), "");
    EXPECT_EQ(sink.limit, 10);
}

}  // namespace
}  // namespace vek
