#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "runtime/actions/dispatch.h"
#include "runtime/core/raise.h"
#include "runtime/core/registry.h"
#include "runtime/datatypes/block/array.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/object/error.h"
#include "runtime/datatypes/object/object.h"
#include "runtime/datatypes/word/context.h"
#include "tests/unit/support/block_builder.h"
#include "tests/unit/support/support.h"
#include "tests/unit/support/value_cells.h"

namespace vek {
namespace {

using test::at_head;
using test::block_of;
using test::datatype_cell;
using test::integer_cell;
using test::text_of;

// Puts a test double into one slot of a datatype's row for the life of the
// object, so that what a dispatcher hands over can be seen.
class SlotOverride {
public:
    SlotOverride(uint32_t type, uint32_t slot, registry::ActionFn entry)
        : type_(type), slot_(slot), saved_(registry::action_table[type][slot - 1]) {
        registry::action_table[type][slot - 1] = entry;
    }
    ~SlotOverride() { registry::action_table[type_][slot_ - 1] = saved_; }
    SlotOverride(const SlotOverride&) = delete;
    SlotOverride& operator=(const SlotOverride&) = delete;

private:
    uint32_t type_, slot_;
    registry::ActionFn saved_;
};

// What the last recorded edit received.
struct Received {
    bool called = false;
    uint32_t series_head = 0;
    uint32_t value_head = 0;
    int32_t part = 0;
    int32_t dup = 0;
    const Cell* index_cell = nullptr;
};
Received received;

// A value of any type may be handed over: word 1 is its head when it is a series.
void record_insert(Cell* series, Cell* value, int32_t part, bool, int32_t dup, bool) {
    received = {true, series_index(series), payload_word(value, 1), part, dup, nullptr};
}
void record_change(Cell* series, Cell* value, int32_t part, bool, int32_t dup) {
    received = {true, series_index(series), payload_word(value, 1), part, dup, nullptr};
}
Cell* record_pick(Cell* series, int32_t index, const Cell* index_cell) {
    received = {true, 0, 0, index, 0, index_cell};
    return series;
}
Cell* record_poke(Cell* series, int32_t index, Cell* value, const Cell* index_cell) {
    received = {true, 0, 0, index, 0, index_cell};
    (void)series;
    return value;
}
Cell* record_copy(Cell* value, Cell* result, const Cell*, bool, const Cell*) {
    received.called = true;
    return copy_cell(value, result);
}

Cell error_raised(const std::function<void()>& body, uint32_t* code) {
    Cell error{};
    *code = test::raised(body, &error);
    return error;
}

std::string formed(const Cell* value) {
    Cell text{};
    actions::form_to_string(value, nullptr, &text);
    return text_of(&text);
}

// ---------------------------------------------------------------- dispatch

TEST(ActionDispatch, MakeAndToDispatchOnTheDatatypeNamedByThePrototype) {
    Cell spec = integer_cell(42);
    Cell prototype = datatype_cell(TYPE_INTEGER);
    Cell* made = actions::make(&prototype, &spec);
    EXPECT_EQ(cell_type(made), uint32_t(TYPE_INTEGER));
    EXPECT_EQ(integer::get(made), 42);

    prototype = datatype_cell(TYPE_STRING);
    EXPECT_EQ(text_of(actions::to(&prototype, &spec)), "42");

    // Any other prototype answers for its own type.
    Cell block = block_of("a b");
    Cell* empty = actions::make(&block, &spec);
    EXPECT_EQ(cell_type(empty), uint32_t(TYPE_BLOCK));
    EXPECT_EQ(block::length_from_head(empty), 0u);
}

TEST(ActionDispatch, AMissingImplementationRaisesExpectArgNamingTheDatatype) {
    Cell target = block_of("x");
    struct Case {
        const char* what;
        Cell value;
        std::function<void(Cell*)> call;
    } cases[] = {
        {"append integer!", integer_cell(1), [&](Cell* v) { actions::append(v, &target, nullptr, false, nullptr); }},
        {"negate logic!", *logic::constant(true), [](Cell* v) { actions::negate(v); }},
        {"pick integer!", integer_cell(1), [](Cell* v) { Cell i = integer_cell(1); actions::pick(v, &i); }},
        {"swap none!", none::constant, [&](Cell* v) { actions::swap(v, &target); }},
    };
    for (Case& c : cases) {
        uint32_t code = 0;
        Cell error = error_raised([&] { c.call(&c.value); }, &code);
        ASSERT_EQ(code, error_code(err::script::expect_arg)) << c.what;
        const Cell* named = error::field(&error, error::FIELD_ARG2);
        EXPECT_EQ(cell_type(named), uint32_t(TYPE_DATATYPE)) << c.what;
        EXPECT_EQ(datatype::id(named), cell_type(&c.value)) << c.what;
        std::string type_name = formed(named);
        EXPECT_NE(formed(&error).find(type_name + "!"), std::string::npos) << c.what;
    }
}

TEST(ActionDispatch, LengthOfMinusOneIsNone) {
    Cell none = none::constant;
    EXPECT_EQ(cell_type(actions::length_q(&none)), uint32_t(TYPE_NONE));

    for (int32_t length : {0, 5}) {
        static int32_t answer;
        answer = length;
        SlotOverride fake(TYPE_BLOCK, registry::SLOT_LENGTH_Q,
                          registry::as_action(static_cast<actions::LengthFn>(
                              [](const Cell*) { return answer; })));
        Cell block = block_of("1 2 3 4 5");
        Cell* result = actions::length_q(&block);
        EXPECT_EQ(cell_type(result), uint32_t(TYPE_INTEGER));
        EXPECT_EQ(integer::get(result), length);
    }
}

// ---------------------------------------------------------------- path access

TEST(ActionDispatch, PathAccessOnATypeWithoutItRaisesBadPathType) {
    Cell parent = integer_cell(7);
    Cell element = block_of("b");
    uint32_t code = 0;
    Cell error = error_raised(
        [&] { actions::eval_path_typed(&parent, block::rs_head(&element), {.index = -1, .last = true}); },
        &code);
    ASSERT_EQ(code, error_code(err::script::bad_path_type2));
    EXPECT_EQ(formed(error::field(&error, error::FIELD_ARG1)), "b");
    EXPECT_EQ(datatype::id(error::field(&error, error::FIELD_ARG2)), uint32_t(TYPE_INTEGER));

    // With the path: the third argument is the path as far as the step that
    // gave the value.
    Cell holder = block_of("a/b/c");
    Cell path = *block::rs_head(&holder);
    struct Case {
        int32_t index;
        const char* reached;
    } cases[] = {{0, "a"}, {1, "a/b"}, {2, "a/b/c"}, {9, "a/b/c"}};
    for (const Case& c : cases) {
        error = error_raised(
            [&] { actions::get_path_action(&parent, &path, &element, c.index); }, &code);
        ASSERT_EQ(code, error_code(err::script::bad_path_type)) << c.index;
        EXPECT_EQ(formed(error::field(&error, error::FIELD_ARG1)), "a/b/c");
        EXPECT_EQ(formed(error::field(&error, error::FIELD_ARG3)), c.reached) << c.index;
    }
}

// ---------------------------------------------------------------- /part and /dup

TEST(ActionDispatch, AppendAndInsertResolvePartAndDupOnTheValue) {
    SlotOverride append(TYPE_BLOCK, registry::SLOT_APPEND,
                        registry::as_action(static_cast<actions::InsertFn>(&record_insert)));
    SlotOverride insert(TYPE_BLOCK, registry::SLOT_INSERT,
                        registry::as_action(static_cast<actions::InsertFn>(&record_insert)));
    Cell target = block_of("x");
    Cell source = block_of("1 2 3 4 5 6");
    constexpr int32_t NO_DUP = INT32_MIN;
    enum PartKind { NONE, COUNT, POSITION };
    struct Case {
        const char* what;
        uint32_t value_head;
        PartKind kind;
        int32_t part;  // the count, or the position's head
        int32_t dup;   // NO_DUP: no /dup
        bool called;
        uint32_t expect_value_head;
        int32_t expect_part;
        int32_t expect_dup;
    } cases[] = {
        {"no refinement", 2, NONE, 0, NO_DUP, true, 2, -1, 1},
        {"count", 2, COUNT, 3, NO_DUP, true, 2, 3, 1},
        {"count 0", 2, COUNT, 0, NO_DUP, false, 0, 0, 0},
        {"negative count", 5, COUNT, -2, NO_DUP, true, 3, 2, 1},
        {"negative count beyond the head", 1, COUNT, -4, NO_DUP, true, 0, 1, 1},
        {"negative count at the head", 0, COUNT, -2, NO_DUP, false, 0, 0, 0},
        {"position after", 1, POSITION, 4, NO_DUP, true, 1, 3, 1},
        {"position before", 4, POSITION, 1, NO_DUP, true, 1, 3, 1},
        {"position at the head", 3, POSITION, 3, NO_DUP, false, 0, 0, 0},
        {"position beyond the tail", 2, POSITION, 40, NO_DUP, true, 2, 4, 1},
        {"head beyond the tail", 9, COUNT, 2, NO_DUP, true, 6, 2, 1},
        {"dup", 0, NONE, 0, 3, true, 0, -1, 3},
        {"dup 0", 0, NONE, 0, 0, false, 0, 0, 0},
        {"dup below 0", 0, COUNT, 2, -3, false, 0, 0, 0},
    };
    for (const Case& c : cases) {
        for (bool appending : {true, false}) {
            Cell value = at_head(source, c.value_head);
            Cell count = integer_cell(c.part);
            Cell position = at_head(source, uint32_t(c.part));
            const Cell* part = c.kind == COUNT ? &count : c.kind == POSITION ? &position : nullptr;
            Cell dup_count = integer_cell(c.dup);
            const Cell* dup = c.dup == NO_DUP ? nullptr : &dup_count;
            received = {};
            if (appending)
                actions::append(&target, &value, part, false, dup);
            else
                actions::insert(&target, &value, part, false, dup);
            ASSERT_EQ(received.called, c.called) << c.what;
            EXPECT_EQ(series_index(&value), c.value_head) << "the caller's value moved: " << c.what;
            if (!c.called) continue;
            EXPECT_EQ(received.value_head, c.expect_value_head) << c.what;
            EXPECT_EQ(received.part, c.expect_part) << c.what;
            EXPECT_EQ(received.dup, c.expect_dup) << c.what;
        }
    }
}

TEST(ActionDispatch, InsertPullsTheTargetHeadBackToItsTail) {
    SlotOverride insert(TYPE_BLOCK, registry::SLOT_INSERT,
                        registry::as_action(static_cast<actions::InsertFn>(&record_insert)));
    Cell target = at_head(block_of("x y z"), 7);
    Cell value = integer_cell(1);
    actions::insert(&target, &value, nullptr, false, nullptr);
    EXPECT_EQ(received.series_head, 3u);
    EXPECT_EQ(series_index(&target), 3u);
}

TEST(ActionDispatch, ChangeResolvesPartOnTheTarget) {
    SlotOverride change(TYPE_BLOCK, registry::SLOT_CHANGE,
                        registry::as_action(static_cast<actions::ChangeFn>(&record_change)));
    Cell source = block_of("1 2 3 4 5 6");
    Cell value = integer_cell(0);
    struct Case {
        const char* what;
        uint32_t head;
        bool position;
        int32_t part;
        bool called;
        uint32_t expect_head;
        int32_t expect_part;
    } cases[] = {
        {"count", 1, false, 2, true, 1, 2},
        {"count 0 still changes", 1, false, 0, true, 1, 0},
        {"negative count", 4, false, -2, true, 2, 2},
        {"negative count beyond the head", 2, false, -9, true, 0, 2},
        {"position after", 1, true, 5, true, 1, 4},
        {"position before", 5, true, 2, true, 2, 3},
        {"head beyond the tail", 10, false, 1, true, 6, 1},
    };
    for (const Case& c : cases) {
        Cell target = at_head(source, c.head);
        Cell count = integer_cell(c.part);
        Cell position = at_head(source, uint32_t(c.part));
        received = {};
        actions::change(&target, &value, c.position ? &position : &count, false, nullptr);
        ASSERT_EQ(received.called, c.called) << c.what;
        EXPECT_EQ(received.series_head, c.expect_head) << c.what;
        EXPECT_EQ(series_index(&target), c.expect_head) << c.what;
        EXPECT_EQ(received.part, c.expect_part) << c.what;
        EXPECT_EQ(received.dup, 1) << c.what;
    }

    Cell target = source;
    Cell zero = integer_cell(0);
    received = {};
    actions::change(&target, &value, nullptr, false, &zero);
    EXPECT_FALSE(received.called) << "dup 0";
    actions::change(&target, &value, nullptr, false, nullptr);
    EXPECT_EQ(received.part, -1) << "no /part";
}

TEST(ActionDispatch, BadPartArgumentsRaise) {
    SlotOverride append(TYPE_BLOCK, registry::SLOT_APPEND,
                        registry::as_action(static_cast<actions::InsertFn>(&record_insert)));
    SlotOverride change(TYPE_BLOCK, registry::SLOT_CHANGE,
                        registry::as_action(static_cast<actions::ChangeFn>(&record_change)));
    Cell target = block_of("x y z");
    Cell source = block_of("1 2 3");
    Cell elsewhere = block_of("1 2 3");
    Cell same_buffer_paren = source;
    set_type(&same_buffer_paren, TYPE_PAREN);
    Cell two = integer_cell(2);
    Cell word = *block::rs_head(&target);
    struct Case {
        const char* what;
        std::function<void()> call;
        err::Id<Category::script> id;
        const Cell* argument;
    } cases[] = {
        {"a value without a buffer", [&] { actions::append(&target, &two, &two, false, nullptr); },
         err::script::invalid_part, &two},
        {"a word value", [&] { actions::append(&target, &word, &two, false, nullptr); },
         err::script::invalid_part, &two},
        {"a position in another block",
         [&] { actions::append(&target, &source, &elsewhere, false, nullptr); },
         err::script::invalid_refine_arg, &elsewhere},
        {"a position of another type",
         [&] { actions::append(&target, &source, &same_buffer_paren, false, nullptr); },
         err::script::invalid_refine_arg, &same_buffer_paren},
        {"change: a position in the value",
         [&] { actions::change(&target, &source, &source, false, nullptr); },
         err::script::invalid_refine_arg, &source},
    };
    for (const Case& c : cases) {
        received = {};
        uint32_t code = 0;
        Cell error = error_raised(c.call, &code);
        ASSERT_EQ(code, error_code(c.id)) << c.what;
        EXPECT_FALSE(received.called) << c.what;
        const Cell* argument = error::field(&error, c.id == err::script::invalid_part ? error::FIELD_ARG1
                                                                                      : error::FIELD_ARG2);
        EXPECT_EQ(formed(argument), formed(c.argument)) << c.what;
        if (c.id == err::script::invalid_refine_arg) {
            EXPECT_EQ(formed(error::field(&error, error::FIELD_ARG1)), "part") << c.what;
        }
    }
}

// ---------------------------------------------------------------- form and mold

TEST(ActionDispatch, FormAndMoldCutTheirTextToThePartLimit) {
    Cell block = block_of("1 2 3");
    struct Case {
        bool mold;
        int32_t limit;  // below -1: no /part
        const char* text;
    } cases[] = {
        {false, -2, "1 2 3"}, {false, 3, "1 2"}, {false, 5, "1 2 3"}, {false, 50, "1 2 3"},
        {false, 0, ""},       {false, -1, ""},   {true, -2, "[1 2 3]"}, {true, 4, "[1 2"},
        {true, 0, ""},
    };
    for (const Case& c : cases) {
        Cell limit = integer_cell(c.limit);
        const Cell* part = c.limit < -1 ? nullptr : &limit;
        Cell value = block;  // the value doubles as the result cell
        if (c.mold)
            actions::mold_to_string(&value, part, &value);
        else
            actions::form_to_string(&value, part, &value);
        EXPECT_EQ(cell_type(&value), uint32_t(TYPE_STRING)) << c.text;
        EXPECT_EQ(text_of(&value), c.text) << c.limit;
    }

    // A limit of 0 answers before the value's form is looked for.
    Cell formless{TYPE_SERIES, 0, 0, 0};  // series! writes no text of its own
    Cell zero = integer_cell(0), one = integer_cell(1), result{};
    EXPECT_EQ(test::raised([&] { actions::form_to_string(&formless, &zero, &result); }), 0u);
    EXPECT_EQ(text_of(&result), "");
    EXPECT_EQ(test::raised([&] { actions::form_to_string(&formless, &one, &result); }),
              error_code(err::script::expect_arg));
}

// ---------------------------------------------------------------- pick, poke and copy

TEST(ActionDispatch, PickAndPokeTurnTheIndexIntoANumber) {
    SlotOverride pick(TYPE_BLOCK, registry::SLOT_PICK,
                      registry::as_action(static_cast<actions::PickFn>(&record_pick)));
    SlotOverride poke(TYPE_BLOCK, registry::SLOT_POKE,
                      registry::as_action(static_cast<actions::PokeFn>(&record_poke)));
    Cell block = block_of("a b c");
    Cell text = block_of("\"ab\"");
    struct Case {
        Cell index;
        int32_t number;
    } cases[] = {
        {integer_cell(3), 3},
        {integer_cell(-1), -1},
        {Cell{TYPE_CHAR, 0, 'a', 0}, 'a'},
        {*logic::constant(true), 1},
        {*logic::constant(false), 2},
        {*block::rs_head(&text), 0},
        {none::constant, 0},
    };
    for (const Case& c : cases) {
        actions::pick(&block, &c.index);
        EXPECT_EQ(received.part, c.number) << "pick " << formed(&c.index);
        EXPECT_EQ(received.index_cell, &c.index);
        Cell value = integer_cell(9);
        EXPECT_EQ(actions::poke(&block, &c.index, &value), &value);
        EXPECT_EQ(received.part, c.number) << "poke " << formed(&c.index);
        EXPECT_EQ(received.index_cell, &c.index);
    }
}

TEST(ActionDispatch, CopyTypesTakesOnlyADatatypeOrATypeset) {
    SlotOverride copy(TYPE_BLOCK, registry::SLOT_COPY,
                      registry::as_action(static_cast<actions::CopyFn>(&record_copy)));
    Cell block = block_of("a 1");
    Cell result{};
    Cell datatype = datatype_cell(TYPE_INTEGER);
    Cell typeset{TYPE_TYPESET, 0, 0, 0};
    const Cell* kinds[] = {nullptr, &datatype, &typeset};
    for (const Cell* kind : kinds) {
        received = {};
        actions::copy(&block, &result, nullptr, false, kind);
        EXPECT_TRUE(received.called);
    }

    Cell wrong = integer_cell(5);
    received = {};
    uint32_t code = 0;
    Cell error = error_raised([&] { actions::copy(&block, &result, nullptr, false, &wrong); }, &code);
    EXPECT_EQ(code, error_code(err::script::expect_arg));
    EXPECT_EQ(datatype::id(error::field(&error, error::FIELD_ARG2)), uint32_t(TYPE_INTEGER));
    EXPECT_FALSE(received.called);
}

// ---------------------------------------------------------------- native port actors

Cell* record_read(Cell* source, const actions::ReadArgs&) {
    received.called = true;
    return source;
}

TEST(ActionDispatch, APortWithANativeActorIsServedFromTheActorsTable) {
    static actions::PortActorTable table{};
    table[registry::SLOT_READ - registry::SLOT_APPEND] =
        registry::as_action(static_cast<actions::ReadFn>(&record_read));
    static uint32_t number = actions::register_port_actor(&table);

    Cell fields = block_of("spec scheme actor awake state data extra");
    Node context = context::make_from_spec(&fields, false, false, context::KIND_OBJECT);
    Cell port{TYPE_PORT, uint32_t(context), 0, 0};
    object::get_values(&port)[2] = Cell{TYPE_HANDLE, 0, number, 0};

    received = {};
    actions::read(&port);
    EXPECT_TRUE(received.called);
    EXPECT_EQ(test::raised([&] { actions::write(&port, &port); }),
              error_code(err::access::no_port_action));
    // Below the series slots, and for an actor that is no handle, the port's
    // own datatype answers: it has no negate, and its read wants an actor
    // object.
    EXPECT_EQ(test::raised([&] { actions::negate(&port); }), error_code(err::script::expect_arg));
    object::get_values(&port)[2] = none::constant;
    EXPECT_EQ(test::raised([&] { actions::read(&port); }),
              error_code(err::access::invalid_port));
}

}  // namespace
}  // namespace vek
