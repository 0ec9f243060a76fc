#include "runtime/datatypes/typeset.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <string>

#include "runtime/actions/dispatch.h"
#include "runtime/core/raise.h"
#include "runtime/core/registry.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/string/buffer.h"
#include "runtime/datatypes/word/context.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/memory/series.h"
#include "tests/unit/support/block_builder.h"
#include "tests/unit/support/dispatch.h"
#include "tests/unit/support/stack_fixture.h"
#include "tests/unit/support/support.h"
#include "tests/unit/support/value_cells.h"

namespace vek {
namespace {

using test::block_of;
using test::datatype_cell;
using test::integer_cell;

constexpr uint32_t NO_VALUE_CODE = error_code(err::script::no_value);
constexpr uint32_t INVALID_ARG = error_code(err::script::invalid_arg);
constexpr uint32_t INVALID_TYPE_SPEC = error_code(err::script::invalid_type_spec);
constexpr uint32_t BAD_TO_ARG = error_code(err::script::bad_to_arg);

std::array<uint32_t, 3> bits(const Cell& c) {
    return {typeset::bits(&c, 1), typeset::bits(&c, 2), typeset::bits(&c, 3)};
}

Cell of_types(std::initializer_list<uint32_t> types) {
    Cell t{TYPE_TYPESET, 0, 0, 0};
    for (uint32_t type : types) typeset::set(&t, type);
    return t;
}

// A global word holding the value.
Cell global_word(const char* name, const Cell& value) {
    Cell word{};
    word::make_at(symbol::make(name), &word);
    context::set(&word, &value);
    return word;
}

// Each test has a frame of its own whose result cell is the first operand.
class Typeset : public test::StackRestoringTest {
protected:
    void SetUp() override {
        Cell word{TYPE_WORD, 0, 1, 0};
        stack::mark_native(&word);
    }
};

TEST_F(Typeset, EachIdIsOneBitOfTheBytesInMemoryOrder) {
    struct Case { uint32_t type; std::array<uint32_t, 3> bits; } cases[] = {
        {0, {0x80, 0, 0}},
        {TYPE_UNSET, {0x20, 0, 0}},
        {TYPE_INTEGER, {0x1000, 0, 0}},       // byte 1, fourth bit from the top
        {31, {0x01000000, 0, 0}},              // last bit of word 1
        {TYPE_TYPESET, {0, 0x40, 0}},
        {TYPE_EVENT, {0, 0x020000, 0}},        // byte 6
        {95, {0, 0, 0x01000000}},
    };
    for (const Case& c : cases) {
        Cell t = of_types({c.type});
        EXPECT_EQ(bits(t), c.bits) << "id " << c.type;
        EXPECT_TRUE(typeset::contains(&t, c.type));
        EXPECT_FALSE(typeset::contains(&t, c.type ^ 1));
    }
    // Bit 0 and the ids beyond the registered datatypes are not members.
    Cell t = of_types({0, TYPE_NONE, TYPE_STRING, TYPE_TYPESET, 95});
    EXPECT_EQ(typeset::count(&t), 3u);
    typeset::clear(&t);
    EXPECT_EQ(bits(t), (std::array<uint32_t, 3>{0, 0, 0}));
}

TEST_F(Typeset, AnArgumentWithoutTypesTakesEverythingButUnset) {
    Cell block = block_of({});
    Cell* any = typeset::make_any_in_block(&block);
    EXPECT_EQ(series_buffer(&block)->length(), 1u);
    EXPECT_EQ(cell_type(any), TYPE_TYPESET);
    for (uint32_t type = 1; type <= registry::highest_id; type++)
        EXPECT_EQ(typeset::contains(any, type), type != TYPE_UNSET) << "id " << type;
    EXPECT_EQ(bits(*typeset::make_in_block(&block, 1, 2, 3)), (std::array<uint32_t, 3>{1, 2, 3}));
}

TEST_F(Typeset, BlocksOfTypes) {
    Cell number = global_word("h1-number!", of_types({TYPE_INTEGER, TYPE_FLOAT}));
    Cell string_type = global_word("h1-string-type", datatype_cell(TYPE_STRING));
    Cell class_word = global_word("h1-class", Cell{TYPE_WORD, 0, 1, 0});
    Cell no_value{};
    word::make_at(symbol::make("h1-no-value"), &no_value);
    Cell integer_type = datatype_cell(TYPE_INTEGER), block_type = datatype_cell(TYPE_BLOCK);

    struct Case {
        const char* what;
        std::initializer_list<Cell> spec;
        std::initializer_list<uint32_t> members;
        uint32_t error;
    } cases[] = {
        {"datatypes", {integer_type, block_type}, {TYPE_INTEGER, TYPE_BLOCK}, 0},
        {"words name datatypes and typesets", {string_type, number}, {TYPE_STRING, TYPE_INTEGER, TYPE_FLOAT}, 0},
        {"a nested block is skipped", {block_of({integer_type}), block_type}, {TYPE_BLOCK}, 0},
        {"a word naming a word stands for object!", {class_word}, {TYPE_OBJECT}, 0},
        {"nothing", {}, {}, 0},
        {"an integer", {integer_type, integer_cell(1)}, {}, INVALID_TYPE_SPEC},
        {"a word without a value", {no_value}, {}, NO_VALUE_CODE},
    };
    for (const Case& c : cases) {
        Cell spec = block_of(c.spec);
        Cell target = block_of({});
        if (c.error) {
            EXPECT_EQ(test::raised([&] { typeset::make_from_spec_in_block(&target, &spec); }), c.error) << c.what;
            continue;
        }
        Cell* made = typeset::make_from_spec_in_block(&target, &spec);
        EXPECT_EQ(made, series_buffer(&target)->cells());
        EXPECT_EQ(bits(*made), bits(of_types(c.members))) << c.what;
    }
}

TEST_F(Typeset, MakeAndTo) {
    Cell number = global_word("h1-number-2!", of_types({TYPE_FLOAT}));
    Cell unset_word{};
    word::make_at(symbol::make("h1-unset-word"), &unset_word);
    Cell string;
    string::rs_make_at(&string, 4);
    Cell integer_type = datatype_cell(TYPE_INTEGER);
    Cell existing = of_types({TYPE_CHAR});

    Cell result{};
    Cell union_spec = block_of({integer_type, number});
    EXPECT_EQ(bits(*test::make_as(TYPE_TYPESET, &union_spec, &result)), bits(of_types({TYPE_INTEGER, TYPE_FLOAT})));
    EXPECT_EQ(bits(*test::make_as(TYPE_TYPESET, &existing, &result)), bits(existing));

    Cell with_integer = block_of({integer_type, integer_cell(1)});
    Cell with_unset_word = block_of({unset_word});
    struct Case { const char* what; const Cell* spec; uint32_t error; } failures[] = {
        {"a string", &string, BAD_TO_ARG},
        {"an integer", &with_integer, INVALID_ARG},
        {"a word without a value", &with_unset_word, NO_VALUE_CODE},
    };
    for (const Case& c : failures)
        EXPECT_EQ(test::raised([&] { test::make_as(TYPE_TYPESET, c.spec, &result); }), c.error) << c.what;
}

TEST_F(Typeset, FormAndMoldListTheNames) {
    struct Case {
        std::initializer_list<uint32_t> members;
        bool only;
        const char* text;
    } cases[] = {
        {{TYPE_INTEGER, TYPE_FLOAT}, false, "make typeset! [integer! float!]"},
        {{TYPE_FLOAT, TYPE_INTEGER}, true, "integer! float!"},
        {{}, false, "make typeset! []"},
        {{}, true, ""},
        {{TYPE_NONE}, true, "none!"},
    };
    for (const Case& c : cases) {
        Cell t = of_types(c.members);
        Cell out;
        string::rs_make_at(&out, 8);
        text::Sink molding{.buffer = &out, .limit = 1000};
        actions::mold(&t, molding, c.only);
        EXPECT_EQ(test::text_of(&out), c.text);
        EXPECT_EQ(molding.limit, 1000 - int32_t(std::strlen(c.text))) << c.text;
        if (c.only) continue;
        Cell formed;
        string::rs_make_at(&formed, 8);
        text::Sink forming{.buffer = &formed, .limit = 1000};
        actions::form(&t, forming);
        EXPECT_EQ(forming.limit, molding.limit);
        EXPECT_EQ(test::text_of(&formed), c.text);
    }
}

TEST_F(Typeset, MoldStopsOnceAGivenLimitIsSpent) {
    Cell t = of_types({TYPE_NONE, TYPE_INTEGER, TYPE_FLOAT});
    Cell out;
    string::rs_make_at(&out, 8);
    text::Sink limited{.buffer = &out, .limited = true, .limit = 3};
    actions::mold(&t, limited, true);
    EXPECT_EQ(test::text_of(&out), "none! ");
    EXPECT_EQ(limited.limit, -3);

    Cell whole;
    string::rs_make_at(&whole, 8);
    text::Sink unlimited{.buffer = &whole, .limit = 3};  // no limit given
    actions::mold(&t, unlimited, true);
    EXPECT_EQ(unlimited.limit, 3 - 21);
    EXPECT_EQ(test::text_of(&whole), "none! integer! float!");
}

TEST_F(Typeset, CompareUnderEachOpCode) {
    Cell a = of_types({TYPE_INTEGER, TYPE_FLOAT}), same = of_types({TYPE_FLOAT, TYPE_INTEGER});
    Cell smaller = of_types({TYPE_STRING});
    Cell integer_type = datatype_cell(TYPE_INTEGER);
    struct Case { const Cell* value2; int32_t equality; int32_t sort; } cases[] = {
        {&same, 0, 0},
        {&smaller, 1, 1},
        {&integer_type, -2, -2},
    };
    for (const Case& c : cases) {
        for (int32_t op = 0; op <= 12; op++) {
            bool sort = op == COMP_SORT || op == COMP_CASE_SORT;
            int32_t expected = is_equality(op) ? c.equality : sort ? c.sort : -2;
            EXPECT_EQ(actions::compare_typed(&a, c.value2, op), expected) << "op " << op;
        }
    }
    EXPECT_EQ(actions::compare_typed(&smaller, &a, 7), -1);  // fewer members sort first
}

TEST_F(Typeset, SetArithmetic) {
    Cell ab = of_types({TYPE_BLOCK, TYPE_STRING}), bc = of_types({TYPE_STRING, TYPE_CHAR});
    Cell string_type = datatype_cell(TYPE_STRING);
    struct Case {
        int32_t op;
        const Cell* second;
        std::initializer_list<uint32_t> members;
    } cases[] = {
        {typeset::OP_UNION, &bc, {TYPE_BLOCK, TYPE_STRING, TYPE_CHAR}},
        {typeset::OP_OR, &bc, {TYPE_BLOCK, TYPE_STRING, TYPE_CHAR}},
        {typeset::OP_INTERSECT, &bc, {TYPE_STRING}},
        {typeset::OP_AND, &bc, {TYPE_STRING}},
        {typeset::OP_DIFFERENCE, &bc, {TYPE_BLOCK, TYPE_CHAR}},
        {typeset::OP_XOR, &bc, {TYPE_BLOCK, TYPE_CHAR}},
        {typeset::OP_EXCLUDE, &bc, {TYPE_BLOCK}},
        {typeset::OP_DIFFERENCE, &ab, {}},
        {typeset::OP_UNION, &string_type, {TYPE_BLOCK, TYPE_STRING}},
        {typeset::OP_EXCLUDE, &string_type, {TYPE_BLOCK}},
        {typeset::OP_UNIQUE, &bc, {TYPE_BLOCK, TYPE_STRING}},
    };
    for (const Case& c : cases) {
        stack::top = stack::arguments;
        stack::push(&ab);
        stack::push(c.second);
        Cell* result = typeset::do_set_op(c.op);
        EXPECT_EQ(result, stack::arguments);
        EXPECT_EQ(bits(*result), bits(of_types(c.members))) << "op " << c.op;
    }

    Cell one = integer_cell(1);
    stack::top = stack::arguments;
    stack::push(&ab);
    stack::push(&one);
    EXPECT_EQ(test::raised([] { typeset::do_set_op(typeset::OP_UNION); }), INVALID_ARG);

    struct Action { Cell* (*run)(Cell*, Cell*); std::initializer_list<uint32_t> members; } operations[] = {
        {actions::and_, {TYPE_STRING}},
        {actions::or_, {TYPE_BLOCK, TYPE_STRING, TYPE_CHAR}},
        {actions::xor_, {TYPE_BLOCK, TYPE_CHAR}},
    };
    for (const Action& a : operations) {
        Cell first = ab;
        EXPECT_EQ(a.run(&first, &bc), &first);
        EXPECT_EQ(bits(first), bits(of_types(a.members)));
    }
}

TEST_F(Typeset, ComplementAndFind) {
    Cell empty = of_types({});
    Cell* all = actions::complement(&empty);
    EXPECT_EQ(bits(*all), (std::array<uint32_t, 3>{~0u, ~0u, ~0u}));
    Cell one = integer_cell(1);
    for (uint32_t type : {TYPE_UNSET, TYPE_INTEGER, TYPE_EVENT}) {
        Cell datatype = datatype_cell(type);
        EXPECT_EQ(actions::find(all, &datatype), &logic::true_constant);
    }
    Cell numbers = of_types({TYPE_INTEGER});
    Cell string_type = datatype_cell(TYPE_STRING);
    auto find = [&](Cell* value) { return actions::find(&numbers, value); };
    EXPECT_EQ(find(&string_type), &logic::false_constant);
    EXPECT_EQ(test::raised([&] { find(&one); }), INVALID_ARG);
}

TEST_F(Typeset, ToBlockHoldsTheNameWordsInIdOrder) {
    Cell t = of_types({TYPE_STRING, TYPE_NONE, TYPE_TYPESET});
    Cell* result = stack::push_cell();
    EXPECT_EQ(typeset::to_block(&t, result), result);
    ASSERT_EQ(cell_type(result), TYPE_BLOCK);
    SeriesBuffer* buffer = series_buffer(result);
    ASSERT_EQ(buffer->length(), 3u);
    const char* names[] = {"none!", "string!", "typeset!"};
    for (uint32_t i = 0; i < 3; i++) {
        EXPECT_EQ(cell_type(&buffer->cells()[i]), TYPE_WORD);
        EXPECT_STREQ(symbol::get_c_string(word::symbol(&buffer->cells()[i])), names[i]);
    }
}

}  // namespace
}  // namespace vek
