#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "runtime/actions/dispatch.h"
#include "runtime/core/registry.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/string/buffer.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/memory/manager.h"
#include "runtime/memory/series.h"
#include "tests/unit/support/block_builder.h"

namespace vek::registry {
namespace {

// Ids 55 and 56 have table rows but no datatype: the tests register there and
// put the rows back afterwards.
constexpr uint32_t PARENT = 55, CHILD = 56;

class Registry : public testing::Test {
protected:
    void SetUp() override {
        saved_rows_ = {action_table[PARENT], action_table[CHILD]};
        saved_names_ = {name_table[PARENT], name_table[CHILD]};
        saved_highest_ = highest_id;
    }
    void TearDown() override {
        action_table[PARENT] = saved_rows_[0];
        action_table[CHILD] = saved_rows_[1];
        name_table[PARENT] = saved_names_[0];
        name_table[CHILD] = saved_names_[1];
        highest_id = saved_highest_;
    }

private:
    std::array<ActionRow, 2> saved_rows_;
    std::array<NameEntry, 2> saved_names_;
    uint32_t saved_highest_;
};

void own_make() {}
void own_random() {}

TEST_F(Registry, ChildTakesTheParentsEntriesOnlyWhereItAsks) {
    DatatypeRecord parent{PARENT, 0, "test-parent!", {}};
    parent.actions[SLOT_MAKE - 1] = own_make;
    parent.actions[SLOT_REFLECT - 1] = INHERIT;  // no parent: stays INHERIT
    register_type(parent);
    EXPECT_EQ(action(PARENT, SLOT_REFLECT), INHERIT);
    EXPECT_FALSE(implemented(action(PARENT, SLOT_REFLECT)));

    DatatypeRecord child{CHILD, PARENT, "test-child!", {}};
    child.actions.fill(INHERIT);
    child.actions[SLOT_RANDOM - 1] = own_random;
    child.actions[SLOT_FORM - 1] = nullptr;
    register_type(child);
    EXPECT_EQ(action(CHILD, SLOT_MAKE), ActionFn(own_make));
    EXPECT_EQ(action(CHILD, SLOT_RANDOM), ActionFn(own_random));
    EXPECT_EQ(action(CHILD, SLOT_TO), nullptr);  // the parent's slot is empty
    EXPECT_EQ(action(CHILD, SLOT_FORM), nullptr);
    EXPECT_FALSE(implemented(action(CHILD, SLOT_REFLECT)));
    EXPECT_EQ(action(PARENT, SLOT_RANDOM), nullptr);  // the parent is untouched
}

TEST_F(Registry, EntriesPassThroughTwoGenerations) {
    DatatypeRecord parent{PARENT, TYPE_DATATYPE, "test-parent!", {}};
    parent.actions.fill(INHERIT);
    register_type(parent);
    DatatypeRecord child{CHILD, PARENT, "test-child!", {}};
    child.actions.fill(INHERIT);
    register_type(child);
    EXPECT_EQ(action(CHILD, SLOT_COMPARE), action(TYPE_DATATYPE, SLOT_COMPARE));
    EXPECT_EQ(action_table[CHILD], action_table[TYPE_DATATYPE]);
}

TEST_F(Registry, ListedTypesTakeTheirNameAndParentFromTheList) {
    // lit-word! registered again: word! is its parent. The fixture does not
    // keep its row, so it is put back here.
    uint32_t id = TYPE_LIT_WORD;
    ActionRow row = action_table[id];
    NameEntry name = name_table[id];
    register_type(id, Row().inherit<SLOT_MOLD>());
    EXPECT_STREQ(name_table[id].name, "lit-word!");
    EXPECT_EQ(action(id, SLOT_MOLD), action(TYPE_WORD, SLOT_MOLD));
    EXPECT_EQ(action(id, SLOT_FORM), nullptr);
    action_table[id] = row;
    name_table[id] = name;
}

// A row takes an entry only of its slot's signature, and only for a slot
// after the last one set.
template <class R, Slot slot, class F>
concept settable = requires(R row, F f) { row.template set<slot>(f); };
template <class R, Slot slot>
concept inheritable = requires(R row) { row.template inherit<slot>(); };

using AfterMold = decltype(Row().set<SLOT_MOLD>(actions::MoldFn{}));
static_assert(settable<Row, SLOT_FORM, actions::FormFn>);
static_assert(!settable<Row, SLOT_FORM, actions::MoldFn>);
static_assert(!settable<Row, SLOT_APPEND, void (*)()>);
static_assert(!settable<Row, SLOT_EMPTY, actions::FormFn>);
static_assert(settable<AfterMold, SLOT_COMPARE, actions::CompareFn>);
static_assert(!settable<AfterMold, SLOT_FORM, actions::FormFn>);
static_assert(!settable<AfterMold, SLOT_MOLD, actions::MoldFn>);
static_assert(!inheritable<AfterMold, SLOT_TO>);
static_assert(inheritable<AfterMold, SLOT_EVAL_PATH>);

Cell* made(Cell* result, const Cell*, uint32_t) { return result; }

TEST(Row, StepsWriteTheirSlotsAndLeaveTheOthersAsTheRowStarted) {
    auto row = Row().set<SLOT_MAKE>(made).inherit_range<SLOT_RANDOM, SLOT_TO>().omit<SLOT_FORM>();
    for (uint32_t slot = 1; slot <= ACTION_SLOTS; slot++) {
        ActionFn expected = nullptr;
        if (slot == SLOT_MAKE) expected = as_action(made);
        if (slot >= SLOT_RANDOM && slot <= SLOT_TO) expected = INHERIT;
        EXPECT_EQ(row.entries()[slot - 1], expected) << "slot " << slot;
    }
    auto inheriting = Row::inheriting().omit<SLOT_MOLD>();
    for (uint32_t slot = 1; slot <= ACTION_SLOTS; slot++)
        EXPECT_EQ(inheriting.entries()[slot - 1], slot == SLOT_MOLD ? nullptr : INHERIT) << "slot " << slot;
}

TEST_F(Registry, NamesAndHighestId) {
    EXPECT_STREQ(name_table[TYPE_DATATYPE].name, "datatype!");
    EXPECT_EQ(name_table[TYPE_DATATYPE].length, 8u);
    EXPECT_EQ(name_table[TYPE_DATATYPE].word, symbol::make("datatype!"));  // made at start-up

    register_type(DatatypeRecord{CHILD, 0, "test-child!", {}});
    EXPECT_EQ(name_table[CHILD].length, 10u);
    EXPECT_EQ(name_table[CHILD].word, symbol::make("test-child!"));  // registered late: made at once
    EXPECT_EQ(highest_id, CHILD);
    register_type(DatatypeRecord{PARENT, 0, "p!", {}});
    EXPECT_EQ(highest_id, CHILD);  // never lowered
    EXPECT_EQ(name_table[PARENT].length, 1u);
}

TEST(TypeList, RegisteredNamesAreTheListsNames) {
    for (uint32_t t = 1; t < TYPE_COUNT; t++) {
        if (!name_table[t].name) continue;
        ASSERT_NE(types::table[t].name, nullptr) << t;
        EXPECT_STREQ(name_table[t].name, types::table[t].name) << t;
    }
}

TEST(TypeList, ClassesMatchTheLanguagesTypesets) {
    EXPECT_TRUE(is_any_word(TYPE_GET_WORD) && !is_any_word(TYPE_REFINEMENT));
    EXPECT_TRUE(is_all_word(TYPE_ISSUE) && !is_all_word(TYPE_SYMBOL));
    EXPECT_TRUE(is_any_block(TYPE_HASH) && is_any_block(TYPE_GET_PATH) && !is_any_list(TYPE_PATH));
    EXPECT_TRUE(is_series(TYPE_IMAGE) && is_series(TYPE_REF) && !is_series(TYPE_SERIES) && !is_series(TYPE_MAP));
    EXPECT_TRUE(is_number(TYPE_PERCENT) && !is_number(TYPE_CHAR) && is_scalar(TYPE_DATE));
    EXPECT_FALSE(is_any_word(200));
}

TEST(DatatypeValue, RegisteredWithFormMoldAndCompareOnly) {
    for (uint32_t slot = 1; slot <= ACTION_SLOTS; slot++) {
        if (slot == SLOT_COMPARE || slot == SLOT_FORM || slot == SLOT_MOLD)
            EXPECT_TRUE(implemented(action(TYPE_DATATYPE, slot))) << "slot " << slot;
        else EXPECT_EQ(action(TYPE_DATATYPE, slot), nullptr) << "slot " << slot;
    }
}

TEST(DatatypeValue, FormDropsTheBangMoldAllWrapsTheName) {
    struct Case {
        uint32_t id;
        bool mold, all;
        const char* text;
    } cases[] = {
        {TYPE_INTEGER, false, false, "integer"},
        {TYPE_INTEGER, true, false, "integer!"},
        {TYPE_INTEGER, true, true, "#(integer!)"},
        {TYPE_SET_WORD, false, true, "set-word"},  // all means nothing to form
        {TYPE_LIT_WORD, true, false, "lit-word!"},
        {TYPE_DATATYPE, true, true, "#(datatype!)"},
    };
    for (const Case& c : cases) {
        const Cell value{TYPE_DATATYPE, c.id, 0, 0};
        Cell out{};
        string::rs_make_at(&out, 4);
        string::append_c_string(&out, "<");
        text::Sink sink{.buffer = &out, .limit = 20, .all = c.all};
        if (c.mold)
            actions::mold(&value, sink, false);
        else
            actions::form(&value, sink);
        EXPECT_EQ(test::text_of(&out), std::string("<") + c.text);
        EXPECT_EQ(sink.limit, 20 - int32_t(std::strlen(c.text))) << c.text;
    }
}

TEST(DatatypeValue, CompareAnswersEqualityOnly) {
    const Cell integer_type{TYPE_DATATYPE, TYPE_INTEGER, 0, 0};
    const Cell also_integer{TYPE_DATATYPE, TYPE_INTEGER, 7, 7};
    const Cell float_type{TYPE_DATATYPE, TYPE_FLOAT, 0, 0};
    const Cell integer_eleven{TYPE_INTEGER, TYPE_INTEGER, 0, 0};
    for (int32_t op = COMP_EQUAL; op <= COMP_FIND; op++) {
        if (!is_equality(op)) continue;
        EXPECT_EQ(actions::compare_typed(&integer_type, &also_integer, op), 0) << op;
        EXPECT_EQ(actions::compare_typed(&integer_type, &float_type, op), 1) << op;
        EXPECT_EQ(actions::compare_typed(&integer_type, &integer_eleven, op), 1) << op;
    }
    for (int32_t op : {-1, 3, 4, 5, 6, 7, 8, 13})
        EXPECT_EQ(actions::compare_typed(&integer_type, &also_integer, op), -2) << op;
}

TEST(DatatypeValue, PushAndAppendMakeDatatypeCells) {
    Cell* expected_top = stack::top;
    Cell* pushed = datatype::push(TYPE_BLOCK);
    EXPECT_EQ(pushed, expected_top);
    EXPECT_EQ(stack::top, expected_top + 1);
    EXPECT_EQ(pushed->header, uint32_t(TYPE_DATATYPE));
    EXPECT_EQ(datatype::id(pushed), uint32_t(TYPE_BLOCK));
    stack::pop(1);

    Cell block{TYPE_BLOCK, 0, uint32_t(memory::alloc_cells(1)), 0};
    datatype::append_to(&block, TYPE_STRING);
    Cell* appended = datatype::append_to(&block, TYPE_MAP);  // grows the buffer
    SeriesBuffer* buffer = series_buffer(&block);
    ASSERT_EQ(buffer->length(), 2u);
    EXPECT_EQ(appended, buffer->cells() + 1);
    for (auto [cell, id] : {std::pair{buffer->cells(), TYPE_STRING}, {buffer->cells() + 1, TYPE_MAP}}) {
        EXPECT_EQ(cell->header, uint32_t(TYPE_DATATYPE));
        EXPECT_EQ(datatype::id(cell), uint32_t(id));
    }
}

}  // namespace
}  // namespace vek::registry
