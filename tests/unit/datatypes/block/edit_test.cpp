#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/actions/dispatch.h"
#include "runtime/core/raise.h"
#include "runtime/core/registry.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/block/array.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/series/actions.h"
#include "runtime/datatypes/typeset.h"
#include "runtime/datatypes/word/context.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/tables/cycles.h"
#include "runtime/tables/hash_table.h"
#include "runtime/tables/ownership.h"
#include "tests/unit/support/block_builder.h"
#include "tests/unit/support/cycle_guard_fixture.h"
#include "tests/unit/support/dispatch.h"
#include "tests/unit/support/load_and_mold.h"
#include "tests/unit/support/owner_reports.h"
#include "tests/unit/support/support.h"
#include "tests/unit/support/value_cells.h"

namespace vek {
namespace {

using test::at_head;
using test::block_of;
using test::first_of;
using test::hash_of;
using test::molded;
using test::nested_block;
using test::text_of;

// The block molded from its first cell, whatever its head.
std::string molded_whole(const Cell& block) { return molded(at_head(block, 0)); }

Cell at(const char* source, uint32_t head) { return at_head(block_of(source), head); }

class BlockEdit : public test::CycleGuardTest {
protected:
    void SetUp() override {
        CycleGuardTest::SetUp();
        base_ = stack::top;
    }
    void TearDown() override {
        CycleGuardTest::TearDown();
        stack::top = base_;
    }

private:
    Cell* base_ = nullptr;
};

// ---------------------------------------------------------------- append and insert

TEST_F(BlockEdit, AppendAndInsertSpliceRepeatAndPlaceTheValue) {
    struct Row {
        const char* target;
        uint32_t head;
        const char* value;  // a block: its first cell is the value unless spliced
        bool splice;
        int32_t part;
        bool only;
        int32_t dup;
        bool append;
        const char* expected;
        uint32_t index;
    };
    const Row rows[] = {
        {"1 2", 0, "3 4", true, -1, false, 1, true, "[1 2 3 4]", 0},
        {"1 2", 0, "3 4", true, -1, true, 1, true, "[1 2 [3 4]]", 0},
        {"1 2", 1, "3", false, -1, false, 1, true, "[1 2 3]", 0},
        {"1 2", 0, "0", false, -1, false, 3, false, "[0 0 0 1 2]", 3},
        {"1 2", 1, "a b", true, 1, false, 1, false, "[1 a 2]", 2},
        {"1 2", 2, "a b", true, -1, false, 1, false, "[1 2 a b]", 4},
        {"x", 0, "a b", true, 5, false, 3, true, "[x a b a b a b]", 0},
        {"x", 0, "a b c", true, 2, false, 7, false, "[a b a b a b a b a b a b a b x]", 14},
        {"1 2", 1, "", true, -1, false, 1, false, "[1 2]", 1},
        {"1 2", 1, "a", false, -1, false, 0, false, "[1 2]", 1},
    };
    for (const Row& row : rows) {
        Cell target = at(row.target, row.head);
        Cell value = block_of(row.value);
        if (!row.splice) value = first_of(row.value);
        test::insert_counted(&target, &value, row.part, row.only, row.dup, row.append);
        EXPECT_EQ(molded_whole(target), row.expected) << row.target << " + " << row.value;
        EXPECT_EQ(series_index(&target), row.index) << row.target << " + " << row.value;
    }
}

// Numbers from..to as the block notation and as molded.
std::string numbers(int from, int to) {
    std::string text;
    for (int n = from; n <= to; n++) {
        if (n > from) text += ' ';
        text += std::to_string(n);
    }
    return text;
}

TEST_F(BlockEdit, InsertingABlockIntoItselfCopiesItsCellsAsTheyWere) {
    Cell block = block_of(numbers(1, 40).c_str());
    Cell target = block;
    set_series_index(&target, 1);
    test::insert_counted(&target, &block, -1, false, 1, false);
    std::string expected = "[1 ";
    expected.append(numbers(1, 40)).append(" ").append(numbers(2, 40)).append("]");
    EXPECT_EQ(molded_whole(target), expected);
    EXPECT_EQ(series_index(&target), 41u);

    Cell small = block_of("1 2");
    test::insert_counted(&small, &small, -1, false, 2, true);
    EXPECT_EQ(molded(small), "[1 2 1 2 1 2]");
}

TEST_F(BlockEdit, AppendAcrossManyGrowthsKeepsEveryCell) {
    Cell block = block_of("");
    Cell pair = block_of("a b");
    for (int i = 0; i < 200; i++) test::insert_counted(&block, &pair, -1, false, 1, true);
    test::insert_counted(&block, &pair, 1, false, 300, false);
    EXPECT_EQ(series_buffer(&block)->length(), 700u);
    EXPECT_EQ(series_index(&block), 300u);
    for (uint32_t i : {0u, 299u, 300u, 698u})
        EXPECT_EQ(word::symbol(block::rs_abs_at(&block, i)), word::symbol(block::rs_abs_at(&pair, 0))) << i;
    EXPECT_EQ(word::symbol(block::rs_abs_at(&block, 699)), word::symbol(block::rs_abs_at(&pair, 1)));
}

TEST_F(BlockEdit, AHugeRepeatCountRaisesNoMemory) {
    Cell block = block_of("1");
    Cell value = block_of("a b c");
    uint32_t expected = error_code(err::internal::no_memory);
    EXPECT_EQ(test::raised([&] { test::insert_counted(&block, &value, -1, false, 0x7FFFFFFF, true); }), expected);
    EXPECT_EQ(test::raised([&] { test::change_counted(&block, &value, -1, false, 0x7FFFFFFF); }), expected);
    Cell one = first_of("x");  // 2^28 cells: a count that fits, a byte size that does not
    EXPECT_EQ(test::raised([&] { test::insert_counted(&block, &one, -1, false, 0x10000000, false); }), expected);
    EXPECT_EQ(molded(block), "[1]");
}

// Fills the buffer up to its capacity, so that the next append must grow it.
void fill_to_capacity(const Cell* block) {
    Cell filler = first_of("0");
    while (series_buffer(block)->last() < series_buffer(block)->area_end()) block::rs_append(block, &filler);
}

Cell typed_block(const char* source, uint32_t type) {
    Cell block = block_of(source);
    set_type(&block, type);
    return block;
}

// Appending one value takes a shortcut when the buffer has room. Into a
// buffer with room or a full one, the block must end as inserting the same
// value at its tail leaves it, which always takes the general path.
TEST_F(BlockEdit, OneValueAppendedEndsAsTheGeneralPathLeavesIt) {
    struct Row {
        const char* target;
        uint32_t type;
        uint32_t head;
        const char* values;  // the value is the last of them, new-line flag and all
        bool only;
    };
    const Row rows[] = {
        {"1 2", TYPE_BLOCK, 0, "3", false},
        {"1 2", TYPE_BLOCK, 1, "x:", false},
        {"1 2", TYPE_BLOCK, 2, "\"s\"", false},
        {"1 2", TYPE_BLOCK, 9, "a/b", false},
        {"1", TYPE_BLOCK, 0, "0\nx", false},
        {"1 2", TYPE_BLOCK, 0, "[a b]", true},
        {"1 2", TYPE_BLOCK, 0, "[a b]", false},
        {"1", TYPE_PAREN, 0, "2", false},
        {"a b", TYPE_PATH, 1, "c", false},
    };
    for (const Row& row : rows) {
        for (bool full : {false, true}) {
            Cell appended = typed_block(row.target, row.type);
            Cell inserted = typed_block(row.target, row.type);
            if (full) {
                fill_to_capacity(&appended);
                fill_to_capacity(&inserted);
            }
            Cell values = block_of(row.values);
            Cell value = *block::rs_abs_at(&values, block::length_from_head(&values) - 1);
            set_series_index(&appended, row.head);
            test::insert_counted(&appended, &value, -1, row.only, 1, true);
            set_series_index(&inserted, series_buffer(&inserted)->length());
            test::insert_counted(&inserted, &value, -1, row.only, 1, false);
            EXPECT_EQ(molded_whole(appended), molded_whole(inserted)) << row.values << (full ? " (full)" : "");
            EXPECT_EQ(series_index(&appended), 0u) << row.values;
            EXPECT_LE(series_buffer(&appended)->last(), series_buffer(&appended)->area_end()) << row.values;
        }
    }
}

// hash! registers no actions of its own yet: block!'s serve it directly.
TEST_F(BlockEdit, AHashIndexesEveryValueAppendedToIt) {
    auto append = test::entry_of<registry::SLOT_APPEND>(TYPE_BLOCK);
    auto find = test::entry_of<registry::SLOT_FIND>(TYPE_BLOCK);
    Cell hash = hash_of("a 1 b 2");
    Cell values = block_of("c 3 d 4");
    for (uint32_t i = 0; i < 4; i++) append(&hash, block::rs_abs_at(&values, i), -1, false, 1, true);
    for (uint32_t i = 0; i < 4; i++) {
        Cell found = hash;
        find(&found, block::rs_abs_at(&values, i), {});
        ASSERT_EQ(cell_type(&found), uint32_t(TYPE_HASH)) << i;
        EXPECT_EQ(series_index(&found), 4 + i);
    }
}

// ---------------------------------------------------------------- change

TEST_F(BlockEdit, ChangeOverwritesOrReplacesAPart) {
    struct Row {
        const char* target;
        uint32_t head;
        const char* value;
        bool splice;
        int32_t part;
        bool only;
        int32_t dup;
        const char* expected;
        uint32_t index;
    };
    const Row rows[] = {
        {"1 2 3 4 5", 0, "a b c", true, -1, false, 1, "[a b c 4 5]", 3},
        {"1 2 3 4 5", 0, "a b c", true, 1, false, 1, "[a b c 2 3 4 5]", 3},
        {"1 2 3 4 5", 1, "a b", true, 3, false, 1, "[1 a b 5]", 3},
        {"1 2 3", 0, "a b", true, -1, true, 1, "[[a b] 2 3]", 1},
        {"1 2 3", 0, "x", false, -1, false, 2, "[x x 3]", 2},
        {"1 2 3", 1, "a b c", true, -1, false, 1, "[1 a b c]", 4},
        {"1 2", 2, "a", false, -1, false, 1, "[1 2 a]", 3},
        {"1 2 3 4", 0, "", true, 2, false, 1, "[3 4]", 0},
        {"1 2 3 4", 1, "a", false, 0, false, 2, "[1 a a 2 3 4]", 3},
    };
    for (const Row& row : rows) {
        Cell target = at(row.target, row.head);
        Cell value = block_of(row.value);
        if (!row.splice) value = first_of(row.value);
        test::change_counted(&target, &value, row.part, row.only, row.dup);
        EXPECT_EQ(molded_whole(target), row.expected) << row.target << " <- " << row.value;
        EXPECT_EQ(series_index(&target), row.index) << row.target << " <- " << row.value;
    }
}

TEST_F(BlockEdit, ChangeFromTheSameBlockReadsItsCellsBeforeMovingThem) {
    struct Row {
        uint32_t target_head, value_head;
        int32_t part;
        const char* expected;
    };
    const Row rows[] = {
        {1, 0, -1, "[1 1 2 3 4]"},
        {0, 1, -1, "[2 3 4 4]"},
        {0, 2, 1, "[3 4 2 3 4]"},
        {2, 0, 1, "[1 2 1 2 3 4 4]"},
    };
    for (const Row& row : rows) {
        Cell target = block_of("1 2 3 4");
        Cell value = target;
        set_series_index(&target, row.target_head);
        set_series_index(&value, row.value_head);
        test::change_counted(&target, &value, row.part, false, 1);
        EXPECT_EQ(molded_whole(target), row.expected);
    }
}

TEST_F(BlockEdit, APartGivenAsAPositionCountsUpToIt) {
    Cell target = block_of("x");
    Cell value = at("a b c d", 1);
    Cell end = value;
    set_series_index(&end, 3);
    actions::insert(&target, &value, &end, false, nullptr);
    EXPECT_EQ(molded_whole(target), "[b c x]");
    EXPECT_EQ(series_index(&target), 2u);

    Cell changed = at("1 2 3 4 5", 1);
    Cell stop = changed;
    set_series_index(&stop, 3);
    Cell letter = first_of("a");
    actions::change(&changed, &letter, &stop, false, nullptr);
    EXPECT_EQ(molded_whole(changed), "[1 a 4 5]");
    EXPECT_EQ(series_index(&changed), 2u);
}

// ---------------------------------------------------------------- take

TEST_F(BlockEdit, TakeGivesTheValueOrABlockOfThem) {
    struct Row {
        const char* source;
        int32_t part;  // -1: no /part
        bool last;
        const char* taken;
        const char* left;
    };
    const Row rows[] = {
        {"1 2 3", -1, false, "1", "[2 3]"},
        {"1 2 3", -1, true, "3", "[1 2]"},
        {"1 2 3", 1, false, "[1]", "[2 3]"},
        {"1 2 3", 2, true, "[2 3]", "[1]"},
        {"1 2 3", 0, false, "[]", "[1 2 3]"},
        {"[a] 2", -1, false, "[a]", "[2]"},
        {"", -1, false, "none", "[]"},
    };
    for (const Row& row : rows) {
        Cell block = block_of(row.source);
        Cell count{TYPE_INTEGER, 0, uint32_t(row.part), 0};
        Cell taken = *actions::take(&block, row.part < 0 ? nullptr : &count, false, row.last);
        EXPECT_EQ(molded(taken), row.taken) << row.source;
        EXPECT_EQ(molded(block), row.left) << row.source;
    }
}

TEST_F(BlockEdit, TakeDeepCopiesTheSeriesItTakes) {
    Cell inner = block_of("1 2");
    Cell block = block_of("\"s\"");
    block::rs_append(&block, &inner);
    block::rs_append(&block, &inner);
    Node string_node = series_node(block::rs_abs_at(&block, 0));

    Cell count{TYPE_INTEGER, 0, 2, 0};
    Cell two = *actions::take(&block, &count, true, false);
    const Cell* text = block::rs_abs_at(&two, 0);
    EXPECT_EQ(cell_type(text), uint32_t(TYPE_STRING));
    EXPECT_EQ(text_of(text), "s");
    EXPECT_NE(series_node(text), string_node);
    EXPECT_NE(series_node(block::rs_abs_at(&two, 1)), series_node(&inner));

    Cell one = *actions::take(&block, nullptr, true, false);
    EXPECT_EQ(molded(one), "[1 2]");
    EXPECT_NE(series_node(&one), series_node(&inner));
}

// ---------------------------------------------------------------- swap and trim

TEST_F(BlockEdit, SwapExchangesTheHeadValuesOnly) {
    Cell one = block_of("1 2");
    Cell two = at("a b c", 1);
    actions::swap(&one, &two);
    EXPECT_EQ(molded(one), "[b 2]");
    EXPECT_EQ(molded_whole(two), "[a 1 c]");

    Cell empty = block_of("");
    actions::swap(&one, &empty);
    EXPECT_EQ(molded(one), "[b 2]");

    Cell number = first_of("7");
    EXPECT_EQ(test::raised([&] { actions::swap(&one, &number); }), error_code(err::script::invalid_arg));
}

TEST_F(BlockEdit, TrimDropsEveryNoneFromTheHeadOn) {
    Cell unset{TYPE_UNSET, 0, 0, 0};
    Cell block = block_of("");
    for (const Cell* value : {&none::constant, &unset, &none::constant, &none::constant})
        block::rs_append(&block, value);
    Cell tail = block_of("a none");  // the word none stays
    test::insert_counted(&block, &tail, -1, false, 1, true);
    block::rs_append(&block, &none::constant);
    set_series_index(&block, 1);
    actions::trim(&block, {.head = true, .all = true});
    EXPECT_EQ(block::length_from_head(&block), 3u);
    EXPECT_EQ(cell_type(block::rs_abs_at(&block, 0)), uint32_t(TYPE_NONE));
    EXPECT_EQ(cell_type(block::rs_abs_at(&block, 1)), uint32_t(TYPE_UNSET));
    EXPECT_EQ(cell_type(block::rs_abs_at(&block, 2)), uint32_t(TYPE_WORD));
    EXPECT_EQ(cell_type(block::rs_abs_at(&block, 3)), uint32_t(TYPE_WORD));
}

// ---------------------------------------------------------------- copy

TEST_F(BlockEdit, CopyPartKeepsTheTypeAndStartsAtTheHead) {
    Cell path = first_of("a/b/c/d");
    set_series_index(&path, 1);
    Cell count{TYPE_INTEGER, 0, 2, 0};
    Cell result{};
    actions::copy(&path, &result, &count, false, nullptr);
    EXPECT_EQ(cell_type(&result), uint32_t(TYPE_PATH));
    EXPECT_EQ(series_index(&result), 0u);
    EXPECT_EQ(molded(result), "b/c");
}

TEST_F(BlockEdit, CopyDeepOrByTypeCopiesOnlyWhatItShould) {
    Cell source = block_of("[1 [2]] (p) \"s\" a/b");
    auto node_at = [](const Cell* block, uint32_t i) { return series_node(block::rs_abs_at(block, i)); };
    auto nested_node = [](const Cell* block) {
        return series_node(block::rs_abs_at(block::rs_abs_at(block, 0), 1));
    };
    Cell block_type{TYPE_DATATYPE, TYPE_BLOCK, 0, 0};
    Cell strings_and_parens{};
    strings_and_parens.header = TYPE_TYPESET;
    typeset::clear(&strings_and_parens);
    typeset::set(&strings_and_parens, TYPE_STRING);
    typeset::set(&strings_and_parens, TYPE_PAREN);

    struct Row {
        bool deep;
        const Cell* types;
        bool copied[4];  // the block, the paren, the string, the path
        bool nested_copied;
    };
    const Row rows[] = {
        {false, nullptr, {false, false, false, false}, false},
        {true, nullptr, {true, true, true, true}, true},
        {false, &block_type, {true, false, false, false}, false},
        {true, &block_type, {true, false, false, false}, true},
        {false, &strings_and_parens, {false, true, true, false}, false},
    };
    for (const Row& row : rows) {
        Cell result{};
        actions::copy(&source, &result, nullptr, row.deep, row.types);
        EXPECT_EQ(molded(result), molded(source));
        for (uint32_t i = 0; i < 4; i++)
            EXPECT_EQ(node_at(&result, i) != node_at(&source, i), row.copied[i]) << i;
        EXPECT_EQ(nested_node(&result) != nested_node(&source), row.nested_copied);
    }
}

TEST_F(BlockEdit, DeepCopyRefusesCyclesAndExcessiveNesting) {
    test::SparseTorture sparse(97);
    Cell looped = block_of("1 [2]");
    block::rs_append(block::rs_abs_at(&looped, 1), &looped);
    Cell result{};
    EXPECT_EQ(test::raised([&] { actions::copy(&looped, &result, nullptr, true, nullptr); }),
              error_code(err::internal::no_cycle));
    EXPECT_EQ(cycles::depth(), 0u);

    Cell deep = nested_block(cycles::CAPACITY);
    EXPECT_EQ(test::raised([&] { actions::copy(&deep, &result, nullptr, true, nullptr); }),
              error_code(err::internal::too_deep));
    Cell shallower = nested_block(cycles::CAPACITY - 2);
    EXPECT_EQ(test::raised([&] { actions::copy(&shallower, &result, nullptr, true, nullptr); }), 0u);
}

// ---------------------------------------------------------------- owner reports

namespace reports_of = test::owner_reports;
using reports_of::own;
using reports_of::reports;

class OwnedBlock : public BlockEdit {
protected:
    void SetUp() override {
        BlockEdit::SetUp();
        reports_of::install(molded_whole, [](const Cell* block) { block::truncate_at(block, 0); });
    }
    void TearDown() override {
        reports_of::restore();
        BlockEdit::TearDown();
    }
};

TEST_F(OwnedBlock, EditsReportBeforeAndAfter) {
    struct Row {
        const char* name;
        void (*edit)(Cell* block);
        const char* before;
        const char* after;
        int32_t index, part;
    };
    const Row rows[] = {
        {"append", [](Cell* b) { Cell v = block_of("x y"); test::insert_counted(b, &v, -1, false, 2, true); },
         "append", "appended", 4, 4},
        {"append one", [](Cell* b) { Cell v = first_of("x"); test::insert_counted(b, &v, -1, false, 1, true); },
         "append", "appended", 4, 1},
        {"insert", [](Cell* b) { Cell v = first_of("x"); test::insert_counted(b, &v, -1, false, 1, false); },
         "insert", "inserted", 1, 1},
        {"change", [](Cell* b) { Cell v = block_of("x y"); test::change_counted(b, &v, 1, false, 1); },
         "change", "changed", 1, 1},
        {"take", [](Cell* b) { actions::take(b, nullptr, false, true); }, "take", "taken", 3, 1},
        {"swap", [](Cell* b) { Cell other = block_of("z"); actions::swap(b, &other); }, "swap", "swaped", 1, 1},
        {"trim", [](Cell* b) { actions::trim(b); },
         "trim", "trimmed", 1, 3},
    };
    for (const Row& row : rows) {
        Cell block = at("1 2 3 4", 1);
        own(&block);
        reports.clear();
        row.edit(&block);
        ASSERT_EQ(reports.size(), 2u) << row.name;
        EXPECT_EQ(reports[0].action, row.before);
        EXPECT_EQ(reports[1].action, row.after);
        EXPECT_EQ(reports[0].seen, "[1 2 3 4]") << row.name;
        EXPECT_EQ(reports[0].index, row.index) << row.name;
        EXPECT_EQ(reports[0].part, row.part) << row.name;
    }
}

// The handler runs Vek code that may shorten the block: the edit must work
// on the block as the handler left it.
TEST_F(OwnedBlock, AnEditFollowsWhatTheHandlerDidToTheBlock) {
    reports_of::shorten_on_first = true;
    struct Row {
        const char* name;
        void (*edit)(Cell* block);
        const char* expected;
    };
    const Row rows[] = {
        {"insert", [](Cell* b) { Cell v = block_of("x y"); test::insert_counted(b, &v, -1, false, 2, false); },
         "[x y x y]"},
        {"append", [](Cell* b) { Cell v = first_of("x"); test::insert_counted(b, &v, -1, false, 1, true); }, "[x]"},
        {"change", [](Cell* b) { Cell v = block_of("x y"); test::change_counted(b, &v, 3, false, 1); }, "[x y]"},
        {"trim", [](Cell* b) { actions::trim(b); }, "[]"},
    };
    for (const Row& row : rows) {
        Cell block = at("1 2 3 4", 3);
        own(&block);
        reports.clear();
        row.edit(&block);
        EXPECT_EQ(molded_whole(block), row.expected) << row.name;
        EXPECT_LE(series_index(&block), series_buffer(&block)->length()) << row.name;
    }
}

// ---------------------------------------------------------------- registration

TEST_F(BlockEdit, BlockKindsTakeTheirActionsFromTheRightPlace) {
    using namespace registry;
    struct Row {
        uint32_t type;
        Slot slot;
        uint32_t owner;  // the type whose own entry it is, 0 for none
    };
    const Row rows[] = {
        {TYPE_BLOCK, SLOT_LENGTH_Q, TYPE_SERIES},
        {TYPE_BLOCK, SLOT_REMOVE, TYPE_SERIES},
        {TYPE_BLOCK, SLOT_INSERT, TYPE_BLOCK},
        {TYPE_BLOCK, SLOT_FIND, TYPE_BLOCK},
        {TYPE_BLOCK, SLOT_SORT, TYPE_BLOCK},
        {TYPE_BLOCK, SLOT_ADD, 0},
        {TYPE_BLOCK, SLOT_READ, 0},
        {TYPE_PAREN, SLOT_TAKE, TYPE_BLOCK},
        {TYPE_PAREN, SLOT_SORT, TYPE_BLOCK},
        {TYPE_PAREN, SLOT_TRIM, 0},
        {TYPE_GET_PATH, SLOT_COPY, TYPE_BLOCK},
        {TYPE_GET_PATH, SLOT_NEXT, TYPE_SERIES},
        {TYPE_SET_PATH, SLOT_TRIM, 0},
        {TYPE_PATH, SLOT_SORT, 0},
        {TYPE_PATH, SLOT_RANDOM, 0},
    };
    for (const Row& row : rows) EXPECT_TRUE(test::entry_owned_by(row.type, row.slot, row.owner));
    // insert is the append routine.
    EXPECT_EQ(action(TYPE_BLOCK, SLOT_INSERT), action(TYPE_BLOCK, SLOT_APPEND));
}

}  // namespace
}  // namespace vek
