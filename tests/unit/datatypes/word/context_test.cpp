#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "runtime/core/raise.h"
#include "runtime/core/root.h"
#include "runtime/core/sockets.h"
#include "runtime/core/stack.h"
#include "runtime/core/unwind.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/object/object.h"
#include "runtime/datatypes/word/context.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/memory/manager.h"
#include "tests/unit/support/block_builder.h"
#include "tests/unit/support/support.h"
#include "tests/unit/support/value_cells.h"

namespace vek {
namespace {

using test::block_of;
using test::integer_cell;

constexpr uint32_t NO_VALUE = error_code(err::script::no_value);
constexpr uint32_t NOT_DEFINED = error_code(err::script::not_defined);
constexpr uint32_t NOT_IN_CONTEXT = 303;

Cell word(uint32_t type, Node context, const char* name, int32_t index = -1) {
    return Cell{type, uint32_t(context), symbol::make(name), uint32_t(index)};
}
Cell word(Node context, const char* name, int32_t index = -1) { return word(TYPE_WORD, context, name, index); }

TEST(Context, ObjectContextGrowsAndFindsWordsIgnoringCase) {
    Node node = context::create(1, false, false, nullptr, context::KIND_OBJECT);
    constexpr int N = 300;
    for (int i = 0; i < N; i++) {
        Cell w = word(node, ("h9-field-" + std::to_string(i)).c_str());
        Cell v = integer_cell(i);
        context::set_word_value(context::cell_of(node), &w, &v);
    }
    Cell* c = context::cell_of(node);
    ASSERT_EQ(context::word_count(c), uint32_t(N));
    EXPECT_EQ(context::kind_of(c), context::KIND_OBJECT);
    EXPECT_EQ(context::node_of(c), node);
    for (int i = 0; i < N; i++) {
        std::string variant = "H9-FIELD-" + std::to_string(i);
        uint32_t sym = symbol::make(variant.c_str());
        ASSERT_EQ(context::find_word(c, sym, true), i);
        ASSERT_EQ(context::find_word(c, sym, false), -1);
        ASSERT_EQ(integer::get(context::get_value_cell(sym, node)), i);
        Cell* entry = context::word_at(c, uint32_t(i));
        ASSERT_EQ(word::context(entry), node);
        ASSERT_EQ(word::index(entry), uint32_t(i));
        Cell w = word(Node::none, variant.c_str());
        ASSERT_EQ(context::bind_word(c, &w), i);
        ASSERT_EQ(integer::get(context::get(&w)), i);
    }
}

TEST(Context, SettingAMissingWordAddsItAndMarksItAssigned) {
    Node node = context::create(4, false, false, nullptr, context::KIND_OBJECT);
    Cell w = word(node, "h9-late");
    Cell v = integer_cell(42);
    context::set(&w, &v);
    ASSERT_EQ(int32_t(word::index(&w)), 0);
    EXPECT_EQ(integer::get(context::get(&w)), 42);
    EXPECT_TRUE(context::word_at(context::cell_of(node), 0)->header & context::WORD_ASSIGNED);
    Cell other = word(Node::none, "H9-Late");
    EXPECT_EQ(context::bind_word(context::cell_of(node), &other), 0);
    EXPECT_EQ(integer::get(context::get(&other)), 42);
    // add_word_with_value leaves a present word alone.
    Cell nine = integer_cell(9);
    context::add_word_with_value(context::cell_of(node), &other, &nine);
    EXPECT_EQ(integer::get(context::get(&w)), 42);
}

TEST(Context, FailuresOfUnboundAndValuelessWords) {
    Node object = context::create(2, false, false, nullptr, context::KIND_OBJECT);
    Node function = context::create(2, true, false, nullptr, context::KIND_FUNCTION);
    Cell a = word(function, "h9-arg");
    context::add_word(context::cell_of(function), &a);
    word::set_index(&a, 0);
    Cell v = integer_cell(1);
    struct Case { const char* what; uint32_t code; std::function<void()> run; };
    Cell unbound = word(object, "h9-nothing");
    Cell no_context = word(Node::none, "h9-nothing", 0);
    Case cases[] = {
        {"unresolved word", NO_VALUE, [&] { context::get(&unbound); }},
        {"word without context", NO_VALUE, [&] { context::get(&no_context); }},
        {"set without context", NOT_DEFINED, [&] { context::set(&no_context, &v); }},
        {"stack context read, no call", NOT_IN_CONTEXT, [&] { context::get(&a); }},
        {"stack context write, no call", NOT_DEFINED, [&] { context::set(&a, &v); }},
    };
    for (const Case& c : cases) EXPECT_EQ(test::raised(c.run), c.code) << c.what;

    Cell self = word(object, "SELF");
    set_payload_word(context::owner_of(object), 3, 77);
    EXPECT_EQ(context::get(&self), context::owner_of(object));
}

TEST(Context, FunctionContextValuesLiveOnTheStack) {
    Node node = context::create(2, true, false, nullptr, context::KIND_FUNCTION);
    Cell* c = context::cell_of(node);
    EXPECT_TRUE(context::on_stack(c));
    Cell a = word(node, "h9-a"), b = word(node, "h9-b");
    word::set_index(&a, uint32_t(context::add_word(c, &a)));
    word::set_index(&b, uint32_t(context::add_word(c, &b)));
    ASSERT_EQ(word::index(&b), 1u);

    Cell* saved_top = stack::top;
    Cell* slots = stack::push_cell();
    make_unset(slots);
    make_unset(stack::push_cell());
    context::set_stack_values_pointer(node, region::off(slots));
    EXPECT_EQ(context::stack_values_pointer(node), region::off(slots));
    Cell seven = integer_cell(7);
    context::set(&b, &seven);
    EXPECT_EQ(integer::get(&slots[1]), 7);
    EXPECT_EQ(context::get(&b), &slots[1]);
    EXPECT_EQ(cell_type(context::get(&a)), TYPE_UNSET);
    // A word the function lacks has no slot on the stack.
    Cell stranger = word(node, "h9-stranger");
    EXPECT_EQ(test::raised([&] { context::set(&stranger, &seven); }), NOT_DEFINED);
    EXPECT_EQ(context::word_count(c), 2u);
    context::set_stack_values_pointer(node, Off::none);
    stack::top = saved_top;
}

TEST(Context, GlobalSpellingsShareOneValue) {
    Cell* lower = context::add_global_word(symbol::make("h9-glob"));
    uint32_t lower_index = word::index(lower);
    Cell* capital = context::add_global_word(symbol::make("H9-Glob"));
    EXPECT_EQ(word::symbol(capital), symbol::make("H9-Glob"));
    EXPECT_EQ(word::index(capital), lower_index);
    Cell v = integer_cell(5);
    context::set_global(symbol::make("H9-GLOB"), &v);
    EXPECT_EQ(integer::get(context::get_global_cell(symbol::make("h9-glob"))), 5);
    Cell w = *capital;
    EXPECT_EQ(integer::get(context::get(&w)), 5);

    uint32_t root_length = series_buffer(&root::block)->length();
    Cell* kept = context::add_global(symbol::make("h9-GLOB"), true, true);
    EXPECT_EQ(series_buffer(&root::block)->length(), root_length + 1);
    EXPECT_EQ(word::symbol(kept), symbol::make("h9-GLOB"));
    EXPECT_EQ(word::index(kept), lower_index);
}

TEST(Context, SpecMakesWordsAndCloneGetsFreshValues) {
    Cell spec = block_of({word(Node::none, "h9-a"), word(TYPE_GET_WORD, Node::none, "h9-b"),
                          word(TYPE_LIT_WORD, Node::none, "h9-c"), word(TYPE_REFINEMENT, Node::none, "h9-d"),
                          word(TYPE_SET_WORD, Node::none, "h9-e"), integer_cell(1), word(Node::none, "H9-A")});
    Node node = context::make_from_spec(&spec, false, true, context::KIND_OBJECT);
    Cell* c = context::cell_of(node);
    ASSERT_EQ(context::word_count(c), 4u);
    EXPECT_EQ(node_buffer(context::values_node(c))->length(), 4u);
    Cell d = word(node, "h9-d", 3);
    Cell v = integer_cell(3);
    context::set(&d, &v);

    Cell object{TYPE_OBJECT, uint32_t(node), 0, 0};
    Node copy = context::clone(&object, context::KIND_OBJECT);
    EXPECT_EQ(object::context_node(&object), copy);
    Cell* cc = context::cell_of(copy);
    EXPECT_TRUE(cc->header & context::FLAG24);
    ASSERT_EQ(context::word_count(cc), 4u);
    for (uint32_t i = 0; i < 4; i++) EXPECT_EQ(word::context(context::word_at(cc, i)), copy);
    EXPECT_EQ(cell_type(context::get_value_cell(symbol::make("h9-d"), copy)), TYPE_UNSET);
    EXPECT_EQ(integer::get(context::get(&d)), 3);
}

TEST(Context, BindReachesNestedSeriesAndStopsOnCycles) {
    Node node = context::create(4, false, false, nullptr, context::KIND_OBJECT);
    Cell x = word(node, "h9-x"), y = word(node, "h9-y");
    context::add_word(context::cell_of(node), &x);
    context::add_word(context::cell_of(node), &y);

    Cell paren = block_of({word(Node::none, "H9-X")}, TYPE_PAREN);
    Cell inner = block_of({word(TYPE_SET_WORD, Node::none, "h9-y"), paren});
    Cell outer = block_of({word(Node::none, "h9-x"), inner, word(Node::none, "self"), word(Node::none, "h9-z")});
    *series::alloc_tail_cell(series_buffer(&inner)) = outer;  // inner holds outer: a cycle
    context::bind(&outer, context::cell_of(node), true);

    Cell* o = series_buffer(&outer)->cells();
    EXPECT_EQ(word::context(&o[0]), node);
    EXPECT_EQ(word::index(&o[0]), 0u);
    EXPECT_EQ(word::context(&o[2]), node);
    EXPECT_EQ(int32_t(word::index(&o[2])), -1);
    EXPECT_EQ(context::get(&o[2]), context::owner_of(node));
    EXPECT_EQ(word::context(&o[3]), Node::none);
    EXPECT_EQ(word::index(&series_buffer(&inner)->cells()[0]), 1u);
    EXPECT_EQ(word::context(&series_buffer(&paren)->cells()[0]), node);
}

TEST(Context, CollectSetWordsAddsOnlyNewSetWords) {
    Node node = context::create(1, false, false, nullptr, context::KIND_OBJECT);
    Cell body = block_of({word(TYPE_SET_WORD, Node::none, "h9-p"), word(Node::none, "h9-q"),
                          word(TYPE_SET_WORD, Node::none, "H9-P"), word(TYPE_SET_WORD, Node::none, "h9-r")});
    EXPECT_TRUE(context::collect_set_words(context::cell_of(node), &body));
    EXPECT_EQ(context::word_count(context::cell_of(node)), 2u);
    EXPECT_FALSE(context::collect_set_words(context::cell_of(node), &body));
    set_series_index(&body, 99);
    EXPECT_FALSE(context::collect_set_words(context::cell_of(node), &body));
    EXPECT_EQ(series_index(&body), 4u);
}

struct Fired {
    int count = 0;
    uint32_t old_value = 0, new_value = 0;
} fired;

TEST(Context, OnChangeFiresOnlyForOwnersWithAnEventRecord) {
    sockets::on_change = [](const Cell*, const Cell*, const Cell* old_value, const Cell* new_value) {
        fired.count++;
        fired.old_value = uint32_t(integer::get(old_value));
        fired.new_value = uint32_t(integer::get(new_value));
    };
    Node node = context::create(1, false, false, nullptr, context::KIND_OBJECT);
    Cell w = word(node, "h9-watched");
    Cell one = integer_cell(1), two = integer_cell(2);
    context::set(&w, &one);
    EXPECT_EQ(fired.count, 0);
    *context::owner_of(node) = Cell{TYPE_OBJECT, uint32_t(node), 0, 1};  // an owner with an event record
    Cell* saved_top = stack::top;
    context::set_in(&w, &two, context::cell_of(node), false);
    EXPECT_EQ(fired.count, 0);
    context::set(&w, &one);
    EXPECT_EQ(fired.count, 1);
    EXPECT_EQ(fired.old_value, 2u);
    EXPECT_EQ(fired.new_value, 1u);
    EXPECT_EQ(stack::top, saved_top);
    sockets::reset();
}

}  // namespace
}  // namespace vek
