#include <gtest/gtest.h>

#include "runtime/core/sockets.h"
#include "runtime/datatypes/object/object.h"
#include "runtime/datatypes/string/buffer.h"
#include "runtime/datatypes/word/context.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/memory/manager.h"
#include "runtime/tables/cycles.h"
#include "runtime/tables/ownership.h"
#include "tests/unit/support/string_cells.h"

namespace vek {
namespace {

using test::string_cell;

struct Notice {
    int calls = 0;
    Cell owner, word, value, action;
    int32_t index, part;
};
Notice notice;

bool record_notice(const Cell* owner, const Cell* word, const Cell* value, const Cell* action, const Cell*,
                   int32_t index, int32_t part) {
    notice.calls++;
    notice.owner = *owner;
    notice.word = *word;
    notice.value = *value;
    notice.action = *action;
    notice.index = index;
    notice.part = part;
    return true;
}

class Ownership : public testing::Test {
protected:
    void SetUp() override {
        saved_hook_ = sockets::notify_owner;
        sockets::notify_owner = record_notice;
        notice = {};
    }
    void TearDown() override { sockets::notify_owner = saved_hook_; }

    static Cell object() {
        return Cell{TYPE_OBJECT, uint32_t(context::create(1, false, false, nullptr, context::KIND_OBJECT)), 0, 0};
    }
    static Cell field(const char* name) {
        Cell w{};
        word::make_at(symbol::make(name), &w);
        return w;
    }
    static Cell block(uint32_t capacity) { return Cell{TYPE_BLOCK, 0, uint32_t(memory::alloc_cells(capacity)), 0}; }
    static bool owned(const Cell& value) { return series_buffer(&value)->flags & BUF_OWNED; }

private:
    sockets::NotifyOwnerFn saved_hook_;
};

TEST_F(Ownership, ABlockOwnedTwiceKeepsItsFirstOwnerDeeply) {
    Cell first = object(), second = object();
    Cell a = field("h10-a"), b = field("h10-b");
    Cell outer = block(2);
    Cell text = string_cell("x");
    *block::alloc_tail(&outer) = text;

    ownership::set_owner(&outer, &first, &a);
    ownership::set_owner(&outer, &second, &b);
    for (const Cell* value : {&outer, &text}) {
        const Cell* record = ownership::owner_of(series_node(value));
        ASSERT_NE(record, nullptr);
        EXPECT_EQ(object::context_node(&record[0]), object::context_node(&first));  // the owner
        EXPECT_EQ(word::symbol(&record[1]), word::symbol(&a));                        // its field word
    }
    EXPECT_TRUE(context::cell_of(object::context_node(&first))->header & ownership::CONTEXT_IS_OWNER);

    EXPECT_TRUE(ownership::check(&text, &b, nullptr, 3, 1));
    EXPECT_EQ(object::context_node(&notice.owner), object::context_node(&first));
    EXPECT_EQ(word::symbol(&notice.word), word::symbol(&a));
    EXPECT_EQ(series_node(&notice.value), series_node(&text));
    EXPECT_EQ(notice.index, 3);
}

TEST_F(Ownership, ABlockHoldingItselfIsWalkedOnceEachWay) {
    Cell owner = object();
    Cell f = field("h10-self");
    Cell loop = block(2);
    *block::alloc_tail(&loop) = loop;
    Cell text = string_cell("y");
    *block::alloc_tail(&loop) = text;

    ownership::set_owner(&loop, &owner, &f);
    EXPECT_TRUE(owned(loop));
    EXPECT_TRUE(owned(text));
    EXPECT_EQ(cycles::depth(), 0u);

    ownership::unbind(&loop);
    EXPECT_FALSE(owned(loop));
    EXPECT_FALSE(owned(text));
    EXPECT_EQ(ownership::owner_of(series_node(&loop)), nullptr);
    EXPECT_EQ(ownership::owner_of(series_node(&text)), nullptr);
}

TEST_F(Ownership, AnUnboundStringReportsNothing) {
    Cell owner = object();
    Cell f = field("h10-text");
    Cell text = string_cell("abc");
    ownership::set_owner(&text, &owner, &f);
    EXPECT_TRUE(owned(text));

    ownership::unbind(&text);
    EXPECT_FALSE(owned(text));
    EXPECT_EQ(ownership::owner_of(series_node(&text)), nullptr);
    EXPECT_FALSE(ownership::check(&text, &f, nullptr, 0, 0));
    EXPECT_EQ(notice.calls, 0);
}

TEST_F(Ownership, UnbindRangeLeavesTheOtherCellsOwned) {
    Cell owner = object();
    Cell f = field("h10-range");
    Cell outer = block(3);
    Cell texts[3] = {string_cell("0"), string_cell("1"), string_cell("2")};
    for (const Cell& t : texts) *block::alloc_tail(&outer) = t;
    ownership::set_owner(&outer, &owner, &f);

    ownership::unbind_range(&outer, 1, 1);
    EXPECT_TRUE(owned(texts[0]));
    EXPECT_FALSE(owned(texts[1]));
    EXPECT_TRUE(owned(texts[2]));
    EXPECT_TRUE(owned(outer));
}

TEST_F(Ownership, WithoutTheObjectsHookNoOwnerIsNotified) {
    Cell owner = object();
    Cell f = field("h10-quiet");
    Cell text = string_cell("q");
    ownership::set_owner(&text, &owner, &f);
    sockets::reset();
    EXPECT_FALSE(ownership::check(&text, &f, nullptr, 0, 0));
    EXPECT_NE(ownership::owner_of(series_node(&text)), nullptr);
}

}  // namespace
}  // namespace vek
