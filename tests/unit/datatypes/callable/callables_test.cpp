#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <string_view>

#include "runtime/actions/dispatch.h"
#include "runtime/core/fixed_words.h"
#include "runtime/core/raise.h"
#include "runtime/core/stack.h"
#include "runtime/core/system.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/callable/action.h"
#include "runtime/datatypes/callable/callable.h"
#include "runtime/datatypes/callable/function.h"
#include "runtime/datatypes/callable/native.h"
#include "runtime/datatypes/callable/op.h"
#include "runtime/datatypes/callable/routine.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/word/context.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/datatypes/word/word.h"
#include "tests/unit/support/cycle_guard_fixture.h"
#include "tests/unit/support/load_and_mold.h"
#include "tests/unit/support/support.h"

namespace vek {
namespace {

using test::formed;
using test::load_one;
using test::molded;

Cell made(uint32_t type, std::string_view spec_value) {
    Cell result{TYPE_DATATYPE, type, 0, 0};
    Cell given = load_one(spec_value);
    return *actions::make(&result, &given);
}

Cell func(std::string_view spec_and_body) { return made(TYPE_FUNCTION, spec_and_body); }

Cell op_of(const Cell& source) {
    Cell result{TYPE_DATATYPE, TYPE_OP, 0, 0};
    return *actions::make(&result, &source);
}

Cell reflected(Cell value, const char* field) {
    actions::reflect(&value, symbol::make(field));
    return value;
}

class Callables : public test::CycleGuardTest {
protected:
    void SetUp() override {
        CycleGuardTest::SetUp();
        saved_top_ = stack::top;
        // Type words stand for their datatypes, as once the boot has bound them.
        for (uint32_t type : {TYPE_INTEGER, TYPE_BLOCK, TYPE_FLOAT}) {
            Cell datatype{TYPE_DATATYPE, type, 0, 0};
            context::set_global(symbol::make(registry::name_table[type].name), &datatype);
        }
    }
    void TearDown() override {
        stack::top = saved_top_;
        CycleGuardTest::TearDown();
    }

private:
    Cell* saved_top_ = nullptr;
};

TEST_F(Callables, SpecValidation) {
    struct Row {
        const char* spec_value;
        uint32_t error;  // 0: accepted
    };
    const Row rows[] = {
        {"[a [integer!] b \"doc\" /only c return: [block!]]", 0},
        {"[a /local b c]", 0},
        {"[a :b 'c /ref d \"doc\" /local e]", 0},
        {"[return: [integer!] /local x]", 0},
        {"[\"doc\" a [integer! block!] \"doc\"]", 0},
        {"[a \"doc\" [integer!]]", error_code(err::script::bad_func_def)},
        {"[return: [integer!] a]", error_code(err::script::bad_func_def)},
        {"[a return: [integer!] return: [integer!]]", error_code(err::script::bad_func_def)},
        {"[a return: integer!]", error_code(err::script::bad_func_def)},
        {"[a return: [integer!] b]", error_code(err::script::bad_func_def)},
        {"[a /local b /ref]", error_code(err::script::bad_func_def)},
        {"[a /local :b]", error_code(err::script::bad_func_def)},
        {"[a /local b return: [integer!]]", error_code(err::script::bad_func_def)},
        {"[a /ref [integer!]]", error_code(err::script::bad_func_def)},
        {"[a: b]", error_code(err::script::bad_func_def)},
        {"[a 1]", error_code(err::script::bad_func_def)},
        {"[[1] a]", error_code(err::script::bad_func_def)},
        {"[a a]", error_code(err::script::dup_vars)},
        {"[a /a]", error_code(err::script::dup_vars)},
        {"[A a]", error_code(err::script::dup_vars)},
        {"[a /local b b]", error_code(err::script::dup_vars)},
        {"[a [type-word-never-set]]", error_code(err::script::no_value)},
        {"[a [1]]", error_code(err::script::invalid_type_spec)},
    };
    for (const Row& row : rows) {
        Cell spec_value = load_one(row.spec_value);
        EXPECT_EQ(test::raised([&] { function::validate_spec(&spec_value); }), row.error) << row.spec_value;
    }
    Cell traced = load_one("[[trace] a]");
    Cell quiet = load_one("[[no-trace other] a]");
    EXPECT_EQ(function::validate_spec(&traced), function::FLAG_TRACE);
    EXPECT_EQ(function::validate_spec(&quiet), function::FLAG_NO_TRACE);
    EXPECT_EQ(func("[[[trace] a] []]").header, TYPE_FUNCTION | function::FLAG_TRACE);
}

TEST_F(Callables, CollectLocals) {
    struct Row {
        const char* spec_value;
        const char* body;
        const char* result;
    };
    const Row rows[] = {
        {"[a]", "[b: 1 foreach [c d] x [] repeat e 3 [] f: 2]", "[a /local b c d e f]"},
        {"[a]", "[local: 1]", "[a]"},
        {"[a /extern b]", "[b: 1 c: 2]", "[a /local c]"},
        {"[a /extern b /local x]", "[y: 1 x: 2]", "[a /local x y]"},
        {"[a /local b]", "[b: 1 (c: 2) [d: 3 [c: 4]]]", "[a /local b c d]"},
        {"[A 'g]", "[a: 1 G: 2 h: 3 H: 4]", "[A 'g /local h]"},
        {"[]", "[remove-each w s [] foreach [x :y] s [] foreach :z s [] repeat q: 2 []]", "[/local w x y q]"},
        {"[/only]", "[only: 1]", "[/only]"},
    };
    for (const Row& row : rows) {
        Cell spec_value = load_one(row.spec_value);
        Cell body = load_one(row.body);
        function::collect_locals(&spec_value, &body);
        EXPECT_EQ(molded(spec_value), row.result) << row.spec_value << " " << row.body;
    }

    Cell spec_value = load_one("[a /extern b 1]");
    Cell body = load_one("[c: 1]");
    EXPECT_EQ(test::raised([&] { function::collect_locals(&spec_value, &body); }), error_code(err::script::bad_func_extern));

    // A body that holds itself is walked once.
    Cell looped = load_one("[d: 1]");
    block::rs_append(&looped, &looped);
    Cell open = load_one("[]");
    function::collect_locals(&open, &looped);
    EXPECT_EQ(molded(open), "[/local d]");
}

TEST_F(Callables, LocalSlots) {
    Cell spec_value = load_one("[a /r b /local c d]");
    EXPECT_EQ(function::count_locals(&spec_value, 0, false), 3);
    EXPECT_EQ(function::count_locals(&spec_value, 3, true), 3);
    Cell none_local = load_one("[a /r b]");
    EXPECT_EQ(function::count_locals(&none_local, 0, false), 0);
    EXPECT_EQ(function::count_locals(&none_local, 0, true), -1);

    Cell* before = stack::top;
    function::init_locals(3);
    ASSERT_EQ(stack::top - before, 3);
    EXPECT_EQ(before[0].header, uint32_t(TYPE_LOGIC));
    EXPECT_FALSE(logic::get(&before[0]));
    EXPECT_EQ(cell_type(&before[1]), uint32_t(TYPE_NONE));
    EXPECT_EQ(cell_type(&before[2]), uint32_t(TYPE_NONE));
    function::init_locals(0);
    EXPECT_EQ(stack::top - before, 3);
}

TEST_F(Callables, FunctionValue) {
    Cell source = load_one("[[a /b c] [a: [c] (c)]]");
    Cell result{TYPE_DATATYPE, TYPE_FUNCTION, 0, 0};
    Cell f = *actions::make(&result, &source);
    ASSERT_EQ(cell_type(&f), uint32_t(TYPE_FUNCTION));

    Node context = function::context_node(&f);
    EXPECT_EQ(context::word_count(context::cell_of(context)), 3u);
    EXPECT_TRUE(context::on_stack(context::cell_of(context)));
    EXPECT_EQ(std::memcmp(context::owner_of(context), &f, sizeof(Cell)), 0);

    // The body is a deep copy bound to the context; the source is untouched.
    Cell body = *function::body(&f);
    Cell original = *(block::rs_head(&source) + 1);
    EXPECT_NE(series_node(&body), series_node(&original));
    EXPECT_NE(series_node(&block::rs_head(&body)[1]), series_node(&block::rs_head(&original)[1]));
    EXPECT_EQ(word::context(&block::rs_head(&body)[0]), context);
    Cell inner = block::rs_head(&body)[1];
    EXPECT_EQ(word::context(&block::rs_head(&inner)[0]), context);
    EXPECT_NE(word::context(&block::rs_head(&original)[0]), context);

    const Cell* cells = function::internal(&f);
    for (uint32_t i : {function::INTERNAL_ARGS_CACHE, function::INTERNAL_CODE, function::INTERNAL_OP_SOURCE,
                       function::INTERNAL_EXTRA})
        EXPECT_EQ(cell_type(cells + i), uint32_t(TYPE_UNSET)) << i;

    // The maker's code and integer are kept; a spec not at its head is
    // copied from there; a given context is used as it is.
    Cell spec_value = load_one("[x y z]");
    set_series_index(&spec_value, 1);
    Node given = function::make_value(&spec_value, nullptr, context, 7, 12, 0);
    Cell g = stack::top[-1];
    EXPECT_EQ(given, context);
    EXPECT_EQ(function::context_node(&g), context);
    EXPECT_EQ(molded(reflected(g, "spec")), "[y z]");
    EXPECT_EQ(integer::get(function::internal(&g) + function::INTERNAL_CODE), 7);
    EXPECT_EQ(integer::get(function::internal(&g) + function::INTERNAL_EXTRA), 12);
    EXPECT_EQ(cell_type(function::body(&g)), uint32_t(TYPE_NONE));

    for (const char* bad : {"[[a]]", "[[a] 1]", "[a []]", "1"}) {
        Cell argument = load_one(bad);
        Cell prototype{TYPE_DATATYPE, TYPE_FUNCTION, 0, 0};
        EXPECT_EQ(test::raised([&] { actions::make(&prototype, &argument); }), error_code(err::script::bad_func_def))
            << bad;
    }
}

TEST_F(Callables, NativeAndActionPositions) {
    struct Row {
        uint32_t type;
        const char* spec_value;
        bool accepted;
    };
    const Row rows[] = {
        {TYPE_NATIVE, "[[x] 1]", true},    {TYPE_NATIVE, "[[x] 107]", true},
        {TYPE_NATIVE, "[[x] 0]", false},   {TYPE_NATIVE, "[[x] 108]", false},
        {TYPE_NATIVE, "[[x] 121]", false}, {TYPE_NATIVE, "[[x] -1]", false},
        {TYPE_ACTION, "[[x] 1]", true},    {TYPE_ACTION, "[[x] 6]", true},
        {TYPE_ACTION, "[[x] 10]", true},   {TYPE_ACTION, "[[x] 62]", true},
        {TYPE_ACTION, "[[x] 7]", false},   {TYPE_ACTION, "[[x] 9]", false},
        {TYPE_ACTION, "[[x] 63]", false},  {TYPE_ACTION, "[[x] 0]", false},
        {TYPE_NATIVE, "[[x] 1 2]", false}, {TYPE_NATIVE, "[[x]]", false},
        {TYPE_NATIVE, "[x 1]", false},     {TYPE_ACTION, "[[x] 1.0]", false},
        {TYPE_NATIVE, "[x]", false},
    };
    for (const Row& row : rows) {
        uint32_t code = test::raised([&] { made(row.type, row.spec_value); });
        EXPECT_EQ(code, row.accepted ? 0 : error_code(err::script::bad_make_arg)) << row.type << " " << row.spec_value;
    }

    Cell native = made(TYPE_NATIVE, "[[value /only] 5]");
    EXPECT_EQ(native::position(&native), 5u);
    EXPECT_EQ(native::entry(&native), natives::table[4]);
    Cell refinement = load_one("/only");
    const Cell* spec_words = context::cell_of(native::context_node(&native));
    EXPECT_GE(context::find_word(spec_words, word::symbol(&refinement), true), 0);
    EXPECT_EQ(cell_type(callable::args_cache(&native)), uint32_t(TYPE_UNSET));

    Cell action = made(TYPE_ACTION, "[[series value] 25]");
    EXPECT_EQ(action::slot(&action), 25u);
    Cell slot = reflected(action, "body");
    EXPECT_EQ(integer::get(&slot), 25);
}

TEST_F(Callables, Operators) {
    Cell add = made(TYPE_ACTION, "[[a b] 11]");
    Cell plus = op_of(add);
    EXPECT_EQ(plus.header, TYPE_OP | (TYPE_ACTION << op::SOURCE_SHIFT));
    Cell unwrapped;
    op::unwrap(&plus, &unwrapped);
    EXPECT_EQ(std::memcmp(&unwrapped, &add, sizeof(Cell)), 0);

    Cell f = func("[[[trace] a b] [a]]");
    Cell infix = op_of(f);
    op::unwrap(&infix, &unwrapped);
    EXPECT_EQ(std::memcmp(&unwrapped, &f, sizeof(Cell)), 0);
    EXPECT_EQ(molded(reflected(infix, "body")), "[a]");

    struct Row {
        const char* function;
        uint32_t error;
    };
    const Row rows[] = {
        {"[[a b] []]", 0},
        {"[[a :b] []]", 0},
        {"[[a b /local c] []]", 0},
        {"[[a b return: [integer!]] []]", 0},
        {"[[\"doc\" a [integer!] b] []]", 0},
        {"[[a] []]", error_code(err::script::bad_op_spec)},
        {"[[a b c] []]", error_code(err::script::bad_op_spec)},
        {"[['a b] []]", error_code(err::script::bad_op_spec)},
        {"[[:a b] []]", error_code(err::script::bad_op_spec)},
        {"[[a b /only] []]", error_code(err::script::bad_op_spec)},
        {"[[a /local b c] []]", error_code(err::script::bad_op_spec)},
    };
    for (const Row& row : rows) {
        Cell source = func(row.function);
        EXPECT_EQ(test::raised([&] { op_of(source); }), row.error) << row.function;
    }
    for (const Cell& source : {load_one("1"), plus}) {
        EXPECT_EQ(test::raised([&] { op_of(source); }), error_code(err::script::invalid_type));
    }
}

TEST_F(Callables, FormAndMold) {
    Cell f = func("[[a b] [a + b]]");
    Cell routine_spec = load_one("[a [integer!]]");
    routine::make_value(&routine_spec, nullptr, 1, 0, false);
    Cell r = stack::top[-1];
    Cell body = load_one("[x]");
    routine::make_value(&routine_spec, &body, 1, 0, false);
    Cell r_body = stack::top[-1];
    struct Row {
        Cell value;
        const char* form;
        const char* mold;
    };
    const Row rows[] = {
        {made(TYPE_NATIVE, "[[value /only] 3]"), "?native?", "make native! [[value /only]]"},
        {made(TYPE_ACTION, "[[a b] 11]"), "?action?", "make action! [[a b]]"},
        {op_of(made(TYPE_ACTION, "[[a b] 11]")), "?op?", "make op! [[a b]]"},
        {op_of(f), "?op?", "make op! func [a b][a + b]"},
        {f, "?function?", "func [a b][a + b]"},
        {func("[[a] [\n    a\n]]"), "?function?", "func [a][\n    a\n]"},
        {r, "?routine?", "routine [a [integer!]] none"},
        {r_body, "?routine?", "routine [a [integer!]][x]"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(formed(row.value), row.form);
        EXPECT_EQ(molded(row.value), row.mold);
    }
    Cell no_body_spec = load_one("[a]");
    function::make_value(&no_body_spec, nullptr, Node::none, 0, 0, 0);
    EXPECT_EQ(molded(stack::top[-1]), "func [a] none");
}

TEST_F(Callables, Compare) {
    Cell native1 = made(TYPE_NATIVE, "[[a] 3]");
    Cell native2 = made(TYPE_NATIVE, "[[a] 4]");
    Cell action = made(TYPE_ACTION, "[[a] 3]");
    Cell f1 = func("[[a] []]");
    Cell f2 = func("[[a] []]");
    using actions::COMP_EQUAL;
    EXPECT_EQ(actions::compare_values(&native1, &native1, COMP_EQUAL), 0);
    EXPECT_EQ(actions::compare_typed(&native1, &native2, actions::COMP_SORT), -1);
    EXPECT_EQ(actions::compare_typed(&native2, &native1, actions::COMP_SAME), 1);
    EXPECT_EQ(actions::compare_typed(&native1, &action, COMP_EQUAL), -2);
    EXPECT_EQ(actions::compare_typed(&native1, &native2, actions::COMP_LESSER), -2);
    EXPECT_EQ(actions::compare_typed(&f1, &f1, COMP_EQUAL), 0);
    EXPECT_NE(actions::compare_typed(&f1, &f2, COMP_EQUAL), 0);
    EXPECT_EQ(actions::compare_typed(&f1, &f2, COMP_EQUAL), -actions::compare_typed(&f2, &f1, COMP_EQUAL));
    EXPECT_EQ(actions::compare_typed(&f1, &native1, COMP_EQUAL), -2);
    EXPECT_EQ(actions::compare_typed(&f1, &f1, actions::COMP_GREATER), -2);
}

TEST_F(Callables, Reflect) {
    Cell native = made(TYPE_NATIVE, "[[value /only] 9]");
    EXPECT_EQ(molded(reflected(native, "spec")), "[value /only]");
    Cell position = reflected(native, "body");
    EXPECT_EQ(integer::get(&position), 9);

    Cell f = func("[[a /b] [a]]");
    Cell words1 = reflected(f, "words");
    Cell words2 = reflected(f, "words");
    EXPECT_EQ(molded(words1), "[a b]");
    EXPECT_NE(series_node(&words1), series_node(&words2));
    EXPECT_EQ(word::context(block::rs_head(&words1)), function::context_node(&f));
    EXPECT_EQ(molded(reflected(f, "body")), "[a]");

    for (const Cell& value : {native, f}) {
        EXPECT_EQ(test::raised([&] { reflected(value, "foo"); }), error_code(err::internal::not_done));
    }
    EXPECT_EQ(test::raised([&] { reflected(native, "words"); }), error_code(err::internal::not_done));
}

routine::Arg add_one(const routine::Arg* args) { return routine::Arg{.integer = args[0].integer + 1}; }

TEST_F(Callables, Routines) {
    struct Row {
        const char* spec_value;
        uint32_t arity;
    };
    const Row rows[] = {
        {"[a [integer!] b [float!]]", 2},
        {"[a [integer!] /r c [integer!]]", 1},
        {"[\"doc\" a 'b :c return: [integer!]]", 3},
        {"[/local x y]", 0},
        {"[]", 0},
    };
    for (const Row& row : rows) {
        Cell spec_value = load_one(row.spec_value);
        EXPECT_EQ(routine::count_arity(&spec_value), row.arity) << row.spec_value;
        routine::make_value(&spec_value, nullptr, 1, 0, true);
        Cell made_routine = stack::top[-1];
        EXPECT_EQ(routine::arity(&made_routine), row.arity) << row.spec_value;
        EXPECT_TRUE(routine::takes_cells(&made_routine));
    }

    uint32_t index = routine::register_fn("callables-test-add-one", add_one, "a [integer!]");
    EXPECT_EQ(routine::find("callables-test-add-one"), index);
    EXPECT_EQ(routine::find("callables-test-missing"), 0u);
    routine::Arg argument{.integer = 41};
    EXPECT_EQ(routine::at(index)(&argument).integer, 42);

    Cell spec_value = load_one("[a [integer!]]");
    Cell name = load_one("callables-test-add-one");
    Cell missing = load_one("callables-test-missing");
    bool was_booting = boot_phase;
    boot_phase = false;
    EXPECT_EQ(test::raised([&] { routine::declare(&spec_value, &name, 11, false); }),
              error_code(err::internal::routines));
    boot_phase = true;
    EXPECT_EQ(test::raised([&] { routine::declare(&spec_value, &missing, 11, false); }),
              error_code(err::script::bad_make_arg));
    Cell declared = *routine::declare(&spec_value, &name, 11, false);
    boot_phase = was_booting;
    EXPECT_EQ(routine::index(&declared), index);
    EXPECT_EQ(routine::arity(&declared), 1u);
    EXPECT_FALSE(routine::takes_cells(&declared));
    EXPECT_EQ(integer::get(function::internal(&declared) + function::INTERNAL_EXTRA), 11);
    EXPECT_EQ(molded(reflected(declared, "spec")), "[a [integer!]]");
}

}  // namespace
}  // namespace vek
