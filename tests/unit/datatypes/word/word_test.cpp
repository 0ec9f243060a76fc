#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/actions/dispatch.h"
#include "runtime/core/raise.h"
#include "runtime/core/registry.h"
#include "runtime/core/root.h"
#include "runtime/core/stack.h"
#include "runtime/core/system.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/string/buffer.h"
#include "runtime/datatypes/word/context.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/memory/manager.h"
#include "runtime/tables/hash_table.h"
#include "runtime/tables/murmur.h"
#include "tests/unit/support/dispatch.h"
#include "tests/unit/support/stack_fixture.h"
#include "tests/unit/support/string_cells.h"
#include "tests/unit/support/support.h"

namespace vek {
namespace {

using test::called_on_stack;
using test::code_points_of;

int32_t global_index_of(uint32_t symbol) {
    return context::find_word(context::global_cell(), symbol, true);
}

TEST(WordMake, BindsToTheGlobalContextAddingTheSymbolWithAnUnsetValue) {
    uint32_t symbol = symbol::make("h10-fresh-word");
    ASSERT_EQ(global_index_of(symbol), -1);
    Cell cell{CELL_NEW_LINE | TYPE_INTEGER, 0, 0, 0};
    word::make_at(symbol, &cell);
    EXPECT_EQ(cell.header, CELL_NEW_LINE | TYPE_WORD);  // flags kept
    EXPECT_EQ(word::context(&cell), context::global);
    EXPECT_EQ(word::symbol(&cell), symbol);
    EXPECT_EQ(int32_t(word::index(&cell)), global_index_of(symbol));
    EXPECT_EQ(cell_type(context::get(&cell)), TYPE_UNSET);
}

TEST(WordMake, ACaseVariantTakesTheIndexOfTheSpellingAlreadyThere) {
    Cell lower{}, upper{};
    word::make_at(symbol::make("h10-variant"), &lower);
    word::make_at(symbol::make("H10-VARIANT"), &upper);
    EXPECT_NE(word::symbol(&upper), word::symbol(&lower));
    EXPECT_EQ(word::index(&upper), word::index(&lower));
}

const hash_table::Record* global_table() { return hash_table::record(context::table_of(context::global_cell())); }

// Binds each symbol with make_at: the indexes the words take, or an empty
// list when one of them is not the global table's answer.
std::vector<int32_t> bound_indexes(const std::vector<uint32_t>& symbols) {
    std::vector<int32_t> indexes;
    for (uint32_t symbol : symbols) {
        Cell cell{};
        word::make_at(symbol, &cell);
        if (int32_t(word::index(&cell)) != global_index_of(symbol)) return {};
        indexes.push_back(int32_t(word::index(&cell)));
    }
    return indexes;
}

// Two spellings of a name whose probe starts at the global table's last
// bucket: the second lands past the end, at a lower bucket, and when the
// table grows, re-placing the entries in bucket order puts it first. A
// word always takes the index the table answers now. The growth runs in a
// child process, so that the other tests keep the table they expect.
TEST(WordMakeDeathTest, TheIndexIsTheTablesAnswerAcrossGrowth) {
    auto grow_and_bind = [] {
        test::SparseTorture sparse(4093);  // tens of thousands of words
        uint32_t last = global_table()->bucket_count - 1;
        std::vector<uint32_t> symbols;
        for (int i = 0; symbols.size() < 4; i++) {
            std::string lower = "h10-edge-" + std::to_string(i);
            uint32_t symbol = symbol::make(lower.c_str());
            if ((murmur::mix(symbol) & last) != last) continue;
            std::string upper = "H10-EDGE-" + std::to_string(i);
            word::from_cstring(lower.c_str());
            word::from_cstring(upper.c_str());
            symbols.push_back(symbol);
            symbols.push_back(symbol::make(upper.c_str()));
        }
        std::vector<int32_t> before = bound_indexes(symbols);
        uint32_t buckets = global_table()->bucket_count;
        for (int i = 0; global_table()->bucket_count == buckets; i++) {
            word::from_cstring(("h10-filler-" + std::to_string(i)).c_str());
        }
        std::vector<int32_t> after = bound_indexes(symbols);
        if (before.empty() || after.empty()) std::exit(1);  // an index that is not the table's
        std::exit(after == before ? 2 : 0);  // 2: the growth reordered nothing, the case proves nothing
    };
    EXPECT_EXIT(grow_and_bind(), ::testing::ExitedWithCode(0), "");
}

TEST(WordMake, MakeInAndLoadInAppendBoundWords) {
    Cell block{TYPE_BLOCK, 0, uint32_t(memory::alloc_cells(1)), 0};
    word::make_in(&block, symbol::make("h10-a"));
    Cell* loaded = word::load_in(&block, "h10-b");
    SeriesBuffer* buffer = series_buffer(&block);
    ASSERT_EQ(buffer->length(), 2u);
    EXPECT_EQ(loaded, buffer->cells() + 1);
    EXPECT_STREQ(symbol::get_c_string(word::symbol(&buffer->cells()[0])), "h10-a");
    EXPECT_STREQ(symbol::get_c_string(word::symbol(loaded)), "h10-b");
    EXPECT_EQ(int32_t(word::index(loaded)), global_index_of(word::symbol(loaded)));
}

TEST(WordMake, FromCStringAnswersTheGlobalEntryOrItsRootCopyWhileBooting) {
    bool saved = booting;
    Cell* root_tail = series_buffer(&root::block)->cells_tail();
    booting = true;
    Cell* kept = word::from_cstring("h10-from-c");
    EXPECT_EQ(kept, root_tail);
    booting = false;
    Cell* entry = word::from_cstring("h10-from-c");
    EXPECT_NE(entry, kept);
    EXPECT_EQ(std::memcmp(entry, kept, sizeof(Cell)), 0);
    booting = saved;
}

TEST(WordMake, RefinementsInRootAreUnboundAndIssuesNeverResolve) {
    Cell* r = word::from_cstring("h10-unused");  // interns nothing new for the refinement below
    Cell* refinement = refinement::make_in_root("h10-unused");
    EXPECT_EQ(cell_type(refinement), TYPE_REFINEMENT);
    EXPECT_EQ(word::context(refinement), Node::none);
    EXPECT_EQ(word::symbol(refinement), word::symbol(r));

    bool saved = booting;
    booting = false;
    Cell* top = stack::top;
    Cell* issue = issue::from_cstring("h10 issue");
    EXPECT_EQ(issue, top);
    EXPECT_EQ(stack::top, top + 1);
    EXPECT_EQ(cell_type(issue), TYPE_ISSUE);
    EXPECT_EQ(word::context(issue), context::global);
    EXPECT_EQ(int32_t(word::index(issue)), -1);
    EXPECT_EQ(global_index_of(word::symbol(issue)), -1);  // an issue adds no word
    stack::top = top;
    booting = saved;
}

// ---------------------------------------------------------------- actions

// A word of the kind, bound to the global context.
Cell word_of(uint32_t type, const char* name) {
    Cell cell{};
    word::make_at(symbol::make(name), &cell);
    return *set_type(&cell, type);
}

Cell issue_of(const char* name) {
    Cell cell{};
    return *issue::make_at(&cell, name);
}

struct Written {
    std::u32string text;
    int32_t limit;
};

Written formed(const Cell& value, bool mold) {
    Cell out{};
    string::rs_make_at(&out, 16);
    text::Sink sink{.buffer = &out, .limit = 100};
    if (mold)
        actions::mold(&value, sink, false);
    else
        actions::form(&value, sink);
    return {code_points_of(out), sink.limit};
}

TEST(WordText, EachKindMoldsWithItsMarkAndFormsBare) {
    struct Case {
        Cell value;
        std::u32string mold;
        std::u32string form;
    } cases[] = {
        {word_of(TYPE_WORD, "h4-a"), U"h4-a", U"h4-a"},
        {word_of(TYPE_SET_WORD, "h4-a"), U"h4-a:", U"h4-a"},
        {word_of(TYPE_LIT_WORD, "h4-b"), U"'h4-b", U"h4-b"},
        {word_of(TYPE_GET_WORD, "h4-c"), U":h4-c", U"h4-c"},
        {word_of(TYPE_REFINEMENT, "h4-d"), U"/h4-d", U"h4-d"},
        {issue_of("h4-e"), U"#h4-e", U"h4-e"},
        {issue_of("a b"), U"#a b", U"a b"},  // issue names are not checked
        {word_of(TYPE_LIT_WORD, "h4-\xc3\xa9t\xc3\xa9"), U"'h4-\u00e9t\u00e9", U"h4-\u00e9t\u00e9"},
        {word_of(TYPE_SET_WORD, "h4-\xe2\x82\xac"), U"h4-\u20ac:", U"h4-\u20ac"},  // a unit-2 name widens the output
    };
    for (const Case& c : cases) {
        Written mold = formed(c.value, true);
        Written form = formed(c.value, false);
        EXPECT_EQ(mold.text, c.mold);
        EXPECT_EQ(form.text, c.form);
        EXPECT_EQ(mold.limit, 100 - int32_t(c.mold.size()));
        EXPECT_EQ(form.limit, 100 - int32_t(c.form.size()));
    }
}

TEST(WordText, MoldAppendsAfterWhatTheBufferHolds) {
    Cell out{};
    string::rs_make_at(&out, 4);
    string::append_c_string(&out, "[");
    Cell lit = word_of(TYPE_LIT_WORD, "h4-x");
    Cell set = word_of(TYPE_SET_WORD, "h4-y");
    text::Sink sink{.buffer = &out, .limit = 10};
    actions::mold(&lit, sink, false);
    actions::mold(&set, sink, false);
    EXPECT_EQ(code_points_of(out), U"['h4-xh4-y:");
    EXPECT_EQ(sink.limit, 0);
}

constexpr int32_t NOT_COMPARABLE = -2;

TEST(WordCompare, EqualityIgnoresKindAndCaseStrictnessWantsBoth) {
    Cell lower = word_of(TYPE_WORD, "h4-abc");
    Cell upper = word_of(TYPE_WORD, "H4-ABC");
    Cell set = word_of(TYPE_SET_WORD, "h4-abc");
    Cell lit = word_of(TYPE_LIT_WORD, "h4-abc");
    Cell lit_upper = word_of(TYPE_LIT_WORD, "H4-ABC");
    Cell other = word_of(TYPE_WORD, "h4-abd");
    Cell unbound = lower;
    word::set_context(&unbound, Node::none);
    struct Case {
        const Cell* a;
        const Cell* b;
        int32_t op;
        int32_t expected;
    } cases[] = {
        {&lower, &upper, actions::COMP_EQUAL, 0},
        {&lower, &upper, actions::COMP_NOT_EQUAL, 0},  // 0: the two are equal
        {&lower, &upper, actions::COMP_FIND, 0},
        {&lower, &upper, actions::COMP_STRICT_EQUAL, 1},
        {&lower, &other, actions::COMP_EQUAL, 1},
        {&lower, &set, actions::COMP_EQUAL, 0},
        {&lower, &set, actions::COMP_STRICT_EQUAL, 1},
        {&lower, &lower, actions::COMP_STRICT_EQUAL, 0},
        {&lower, &lower, actions::COMP_SAME, 0},
        {&lower, &unbound, actions::COMP_SAME, 1},
        {&lower, &upper, actions::COMP_SAME, 1},
        {&lower, &set, actions::COMP_SAME, 1},
        // 10: a word! and a lit-word! meet by exact symbol, other pairs as strict
        {&lower, &lit, 10, 0},
        {&lit, &lower, 10, 0},
        {&lower, &lit_upper, 10, 1},
        {&lower, &set, 10, 1},
        {&lower, &upper, 10, 1},
        // 11: by name, other pairs of one kind only
        {&lower, &lit_upper, 11, 0},
        {&lower, &upper, 11, 0},
        {&lower, &set, 11, 1},
        // orderings compare the names as text
        {&lower, &other, actions::COMP_LESSER, -1},
        {&other, &lower, actions::COMP_GREATER, 1},
        {&upper, &set, actions::COMP_LESSER, 0},
        {&upper, &lower, actions::COMP_CASE_SORT, -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(actions::compare_typed(c.a, c.b, c.op), c.expected)
            << symbol::get_c_string(word::symbol(c.a)) << " op " << c.op << " "
            << symbol::get_c_string(word::symbol(c.b));
}

TEST(WordCompare, IssuesCompareOnlyWithIssues) {
    Cell word = word_of(TYPE_WORD, "h4-i");
    Cell issue = issue_of("h4-i");
    Cell same_issue = issue_of("H4-I");
    const Cell integer{TYPE_INTEGER, 0, 5, 0};
    for (int32_t op : {0, 1, 2, 3, 9, 12}) {
        EXPECT_EQ(actions::compare_typed(&word, &issue, op), NOT_COMPARABLE) << op;
        EXPECT_EQ(actions::compare_typed(&issue, &word, op), NOT_COMPARABLE) << op;
        EXPECT_EQ(actions::compare_typed(&word, &integer, op), NOT_COMPARABLE) << op;
    }
    EXPECT_EQ(actions::compare_typed(&issue, &same_issue, actions::COMP_EQUAL), 0);
    EXPECT_EQ(actions::compare_typed(&issue, &same_issue, actions::COMP_STRICT_EQUAL), 1);
    auto word_compare = test::entry_of<registry::SLOT_COMPARE>(TYPE_WORD);
    EXPECT_EQ(word_compare(&issue, &word, actions::COMP_EQUAL), 0);  // an issue's name meets any word
}

TEST(WordTo, ConvertsIntoTheResultCellAndTakesTheRequestedType) {
    Cell result{};
    const Cell integer_type{TYPE_DATATYPE, TYPE_INTEGER, 0, 0};
    test::to_as(TYPE_WORD, &integer_type, &result);
    EXPECT_EQ(cell_type(&result), TYPE_WORD);
    EXPECT_STREQ(symbol::get_c_string(word::symbol(&result)), "integer!");
    EXPECT_EQ(word::context(&result), context::global);
    EXPECT_EQ(int32_t(word::index(&result)), global_index_of(word::symbol(&result)));

    const Cell yes{TYPE_LOGIC, 1, 0, 0}, no{TYPE_LOGIC, 0, 0, 0};
    EXPECT_STREQ(symbol::get_c_string(word::symbol(test::to_as(TYPE_LIT_WORD, &yes, &result))), "true");
    EXPECT_EQ(cell_type(&result), TYPE_LIT_WORD);
    EXPECT_STREQ(symbol::get_c_string(word::symbol(test::to_as(TYPE_WORD, &no, &result))), "false");

    Cell bound = word_of(TYPE_GET_WORD, "h4-kept");
    word::set_context(&bound, Node(0x1234));  // any binding is kept as it is
    test::to_as(TYPE_SET_WORD, &bound, &result);
    EXPECT_EQ(result.header, uint32_t(TYPE_SET_WORD));
    EXPECT_EQ(word::context(&result), word::context(&bound));
    EXPECT_EQ(word::symbol(&result), word::symbol(&bound));
    EXPECT_EQ(word::index(&result), word::index(&bound));
}

TEST(WordTo, Errors) {
    Cell result{};
    const Cell integer{TYPE_INTEGER, 0, 12, 0};
    const Cell none{TYPE_NONE, 0, 0, 0};
    Cell issue = issue_of("h4-abc");
    Cell refinement = word_of(TYPE_REFINEMENT, "h4-abc");
    Cell number = issue_of("12");
    uint32_t bad_to_arg = error_code(err::script::bad_to_arg);
    struct Case {
        const Cell* spec;
        uint32_t type;
        uint32_t code;
    } cases[] = {
        {&integer, TYPE_WORD, bad_to_arg},
        {&none, TYPE_SET_WORD, bad_to_arg},
        {&number, TYPE_WORD, bad_to_arg},  // its name scans as an integer
    };
    for (const Case& c : cases)
        EXPECT_EQ(test::raised([&] { test::to_as(c.type, c.spec, &result); }), c.code) << cell_type(c.spec);
    EXPECT_EQ(test::raised([&] { test::to_as(TYPE_ISSUE, &integer, &result); }), bad_to_arg);
    // An issue's or refinement's name that scans as a word converts.
    for (const Cell* named : {&issue, &refinement}) {
        test::to_as(TYPE_WORD, named, &result);
        EXPECT_STREQ(symbol::get_c_string(word::symbol(&result)), "h4-abc");
    }
}

TEST(IssueTo, TextNamesANewIssueWordsAreRetyped) {
    Cell result{};
    Cell text{};
    string::rs_make_at(&text, 8);
    string::append_c_string(&text, "xxa b");
    set_series_index(&text, 2);  // from the head on
    test::to_as(TYPE_ISSUE, &text, &result);
    EXPECT_EQ(cell_type(&result), TYPE_ISSUE);
    EXPECT_STREQ(symbol::get_c_string(word::symbol(&result)), "a b");
    EXPECT_EQ(word::context(&result), context::global);
    EXPECT_EQ(word::index(&result), WORD_UNRESOLVED);
    EXPECT_EQ(global_index_of(word::symbol(&result)), -1);

    const Cell e_acute{TYPE_CHAR, 0, 0xE9, 0};
    test::to_as(TYPE_ISSUE, &e_acute, &result);
    EXPECT_STREQ(symbol::get_c_string(word::symbol(&result)), "\xc3\xa9");

    Cell word = word_of(TYPE_LIT_WORD, "h4-w");
    test::to_as(TYPE_ISSUE, &word, &result);
    EXPECT_EQ(result.header, uint32_t(TYPE_ISSUE));
    EXPECT_EQ(word::context(&result), word::context(&word));
    EXPECT_EQ(word::symbol(&result), word::symbol(&word));
    EXPECT_EQ(word::index(&result), word::index(&word));  // binding kept

    const Cell integer_type{TYPE_DATATYPE, TYPE_INTEGER, 0, 0};
    test::to_as(TYPE_ISSUE, &integer_type, &result);  // through the word kinds
    EXPECT_EQ(cell_type(&result), TYPE_ISSUE);
    EXPECT_STREQ(symbol::get_c_string(word::symbol(&result)), "integer!");
}

TEST(WordIndex, OneBasedPositionOrNoneWhenUnresolved) {
    Cell bound = word_of(TYPE_WORD, "h4-indexed");
    Cell result = called_on_stack(actions::index_q, bound);
    EXPECT_EQ(cell_type(&result), TYPE_INTEGER);
    EXPECT_EQ(integer::get(&result), global_index_of(word::symbol(&bound)) + 1);
    word::set_index(&bound, WORD_UNRESOLVED);
    EXPECT_EQ(cell_type(&(result = called_on_stack(actions::index_q, bound))), TYPE_NONE);
}

TEST(WordAccess, UnsetValuesAreRefused) {
    Cell word = word_of(TYPE_WORD, "h4-never-set");
    EXPECT_EQ(test::raised([&] { word::get(&word); }), error_code(err::script::no_value));
    EXPECT_EQ(cell_type(word::push_value(&word)), TYPE_UNSET);
    stack::pop(1);

    Cell* saved_arguments = stack::arguments;
    Cell* saved_top = stack::top;
    auto assign = [&](const Cell& value) {
        stack::arguments = stack::top;
        stack::push(&word);
        stack::push(&value);
        word::set_from_frame();
    };
    const Cell unset{TYPE_UNSET, 0, 0, 0};
    EXPECT_EQ(test::raised([&] { assign(unset); }), error_code(err::script::need_value));
    const Cell seven{TYPE_INTEGER, 0, 7, 0};
    assign(seven);
    EXPECT_EQ(integer::get(stack::arguments), 7);  // the value is the result
    EXPECT_EQ(integer::get(context::get(&word)), 7);
    EXPECT_EQ(integer::get(word::get(&word)), 7);
    stack::arguments = saved_arguments;
    stack::top = saved_top;
}

TEST(WordAccess, ByContextAndIndex) {
    Node object = context::create(2, false, false, nullptr, context::KIND_OBJECT);
    Cell field = word_of(TYPE_WORD, "h4-field");
    int32_t index = context::add_word(context::cell_of(object), &field);
    const Cell five{TYPE_INTEGER, 0, 5, 0};
    Cell* stored = word::set_in(object, uint32_t(index), &five);
    EXPECT_EQ(stored, word::get_in(object, uint32_t(index)));
    EXPECT_EQ(integer::get(stored), 5);
    EXPECT_NE(word::entry_in(object, uint32_t(index))->header & context::WORD_ASSIGNED, 0u);
    EXPECT_EQ(word::find_in_or_global(object, word::symbol(&field)), word::entry_in(object, uint32_t(index)));
    EXPECT_EQ(word::context(word::find_in_or_global(object, symbol::make("h4-elsewhere"))), context::global);

    Cell* top = stack::top;
    EXPECT_EQ(integer::get(word::push_value_in(object, uint32_t(index))), 5);
    Node idle = context::create(1, true, false, nullptr, context::KIND_FUNCTION);  // no call runs it
    int32_t slot = context::add_word(context::cell_of(idle), &field);
    EXPECT_EQ(test::raised([&] { word::push_value_in(idle, uint32_t(slot)); }),
              error_code(err::script::not_defined));
    stack::top = top;
}

TEST(WordRegistration, KindsTakeWordActionsAndMoldTheirOwnWay) {
    using registry::action;
    using registry::implemented;
    for (uint32_t slot : {registry::SLOT_FORM, registry::SLOT_MOLD, registry::SLOT_TO, registry::SLOT_COMPARE,
                          registry::SLOT_INDEX_Q})
        EXPECT_TRUE(implemented(action(TYPE_WORD, slot))) << slot;
    for (uint32_t type : {TYPE_SET_WORD, TYPE_LIT_WORD, TYPE_GET_WORD, TYPE_REFINEMENT, TYPE_ISSUE}) {
        EXPECT_EQ(action(type, registry::SLOT_FORM), action(TYPE_WORD, registry::SLOT_FORM)) << type;
        EXPECT_EQ(action(type, registry::SLOT_MOLD), action(TYPE_WORD, registry::SLOT_MOLD)) << type;
    }
    for (uint32_t type : {TYPE_SET_WORD, TYPE_LIT_WORD, TYPE_GET_WORD, TYPE_REFINEMENT}) {
        EXPECT_EQ(action(type, registry::SLOT_TO), action(TYPE_WORD, registry::SLOT_TO)) << type;
        EXPECT_EQ(action(type, registry::SLOT_COMPARE), action(TYPE_WORD, registry::SLOT_COMPARE)) << type;
    }
    EXPECT_EQ(action(TYPE_GET_WORD, 34), action(TYPE_WORD, 34));
    EXPECT_EQ(action(TYPE_REFINEMENT, 34), nullptr);
    EXPECT_EQ(action(TYPE_ISSUE, 34), nullptr);
    // issue! makes and compares its own way.
    EXPECT_EQ(action(TYPE_ISSUE, registry::SLOT_MAKE), action(TYPE_ISSUE, registry::SLOT_TO));
    EXPECT_NE(action(TYPE_ISSUE, registry::SLOT_MAKE), action(TYPE_WORD, registry::SLOT_TO));
    EXPECT_TRUE(implemented(action(TYPE_ISSUE, registry::SLOT_COMPARE)));
    EXPECT_NE(action(TYPE_ISSUE, registry::SLOT_COMPARE), action(TYPE_WORD, registry::SLOT_COMPARE));
    EXPECT_EQ(action(TYPE_WORD, registry::SLOT_RANDOM), nullptr);
}

}  // namespace
}  // namespace vek
