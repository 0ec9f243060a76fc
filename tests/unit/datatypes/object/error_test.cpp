#include "runtime/datatypes/object/error.h"

#include <gtest/gtest.h>

#include <string>

#include "runtime/actions/dispatch.h"
#include "runtime/core/fixed_words.h"
#include "runtime/core/registry.h"
#include "runtime/core/stack.h"
#include "runtime/core/unwind.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/object/object.h"
#include "runtime/datatypes/string/buffer.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/datatypes/word/word.h"
#include "tests/unit/support/block_builder.h"
#include "tests/unit/support/dispatch.h"
#include "tests/unit/support/stack_fixture.h"
#include "tests/unit/support/string_cells.h"
#include "tests/unit/support/support.h"
#include "tests/unit/support/value_cells.h"

namespace vek {
namespace {

using test::block_of;
using test::integer_cell;
using test::raised;
using test::string_cell;
using test::text_of;

Cell word(const char* name) { return Cell{TYPE_WORD, 0, symbol::make(name), WORD_UNRESOLVED}; }

std::string first_line(const std::string& text) { return text.substr(0, text.find('\n')); }

class ErrorTest : public test::StackRestoringTest {
protected:
    // make error! of the spec, copied off the stack.
    static Cell made(const Cell& spec_value) {
        Cell copy = spec_value;
        Cell prototype;
        return *test::make_as(TYPE_ERROR, &copy, &prototype);
    }
    static std::string formed(const Cell& error, int32_t stack_trace = 1) {
        Cell out;
        string::rs_make_at(&out, 0);
        Cell setting = integer_cell(stack_trace);
        text::Sink sink{.buffer = &out};
        error::form_traced(&error, sink, &setting);
        return text_of(&out);
    }
    static std::string molded(const Cell& error, bool flat) {
        Cell out;
        string::rs_make_at(&out, 0);
        text::Sink sink{.buffer = &out, .flat = flat};
        actions::mold(&error, sink, false);
        return text_of(&out);
    }
    static void set(const Cell& error, error::Field f, const Cell& value) { *error::field(&error, f) = value; }
};

TEST_F(ErrorTest, MakeFromACodeNamesTheCategoryAndTheId) {
    struct Case {
        int32_t code;
        const char* type;
        const char* id;
    };
    const Case cases[] = {
        {343, "script", "invalid-compare"}, {400, "math", "zero-divide"},
        {0, "throw", "break"}, {800, "user", "message"}, {913, "internal", "deprecated"},
    };
    for (const Case& c : cases) {
        Cell e = made(integer_cell(c.code));
        EXPECT_EQ(cell_type(&e), TYPE_ERROR);
        EXPECT_EQ(object::class_id(&e), error::CLASS_ID);
        EXPECT_EQ(test::code_of(&e), uint32_t(c.code));
        EXPECT_EQ(error::type_symbol(&e), symbol::make(c.type)) << c.code;
        EXPECT_EQ(error::id_symbol(&e), symbol::make(c.id)) << c.code;
    }
    // No id at that offset, no such category, or a negative code.
    for (int32_t code : {399, 600, 914, 1000, -1}) {
        Cell e;
        EXPECT_EQ(raised([&] { made(integer_cell(code)); }, &e), error_code(err::script::out_of_range)) << code;
        EXPECT_EQ(integer::get(error::field(&e, error::FIELD_ARG1)), code);
    }
}

TEST_F(ErrorTest, MakeFromAStringIsAUserMessage) {
    Cell message = string_cell("disk full");
    Cell e = made(message);
    EXPECT_EQ(test::code_of(&e), 800u);
    EXPECT_EQ(error::id_symbol(&e), symbol::make("message"));
    EXPECT_EQ(series_node(error::field(&e, error::FIELD_ARG1)), series_node(&message));  // the same string
    EXPECT_EQ(formed(e), "*** User Error: disk full\n*** Where: ???\n*** Near : none");
}

TEST_F(ErrorTest, MakeFromABlockOfWords) {
    Cell overflow = made(block_of("math overflow"));
    EXPECT_EQ(test::code_of(&overflow), 401u);
    // Set-words are evaluated in the new error, then its type and id checked.
    Cell evaluated = made(block_of("type: 'math id: 'overflow arg1: 1 + 2"));
    EXPECT_EQ(test::code_of(&evaluated), 401u);
    EXPECT_EQ(integer::get(error::field(&evaluated, error::FIELD_ARG1)), 3);
    struct Case {
        const char* spec_value;
        err::AnyId id;
    };
    const Case cases[] = {
        {"bogus zero-divide", err::script::invalid_spec_field},
        {"math bogus", err::script::invalid_spec_field},
        {"math", err::script::invalid_spec_field},
        {"math 5", err::script::invalid_arg},
        {"", err::internal::invalid_error},
        {"5 6", err::internal::invalid_error},
        {"type: 'math", err::script::invalid_spec_field},
        {"type: 'math id: 'bogus", err::script::invalid_spec_field},
        {"type: 5 id: 'overflow", err::script::invalid_spec_field},
    };
    for (const Case& c : cases) {
        Cell spec_value = block_of(c.spec_value);
        EXPECT_EQ(raised([&] { made(spec_value); }), error_code(c.id)) << c.spec_value;
    }
    Cell e;
    EXPECT_EQ(raised([&] { made(Cell{TYPE_NONE, 0, 0, 0}); }, &e), error_code(err::script::bad_make_arg));
    const Cell* type = error::field(&e, error::FIELD_ARG1);
    EXPECT_EQ(cell_type(type), TYPE_DATATYPE);
    EXPECT_EQ(datatype::id(type), uint32_t(TYPE_ERROR));
}

// Frames foo, <anon> and bar run when the error is raised; the try frame
// that catches it is anonymous, so the three stay as they were.
TEST_F(ErrorTest, FormPrintsWhereNearAndTheStackOfTheRaise) {
    Cell foo = word("foo");
    Cell bar = word("bar");
    stack::mark_native(&foo);
    stack::mark_native(fixed_words::word(fixed_words::Word::anon_tag));
    stack::mark_native(&bar);
    stack::mark_try(fixed_words::word(fixed_words::Word::anon_tag));
    Cell e;
    try {
        fire(err::math::zero_divide);
    } catch (VekThrow&) {
        e = stack::top[-1];
    }
    ASSERT_EQ(test::code_of(&e), 400u);
    const std::string head = "*** Math Error: attempt to divide by zero\n*** Where: bar\n*** Near : ";

    set(e, error::FIELD_NEAR, integer_cell(42));
    EXPECT_EQ(formed(e, 2), head + "42\n*** Stack: foo bar ");
    EXPECT_EQ(formed(e, 1), head + "42\n*** Stack: ");  // only function calls at level 1
    EXPECT_EQ(formed(e, 0), head + "42");
    set(e, error::FIELD_NEAR, string_cell("abc"));
    EXPECT_EQ(formed(e, 0), head + "\"abc\"");

    set(e, error::FIELD_FILES, block_of("\"main.vek\""));
    EXPECT_EQ(formed(e, 0), head + "\"abc\"\n*** Files: \"main.vek\"");

    struct Where {
        Cell value;
        const char* shown;
    };
    const Where wheres[] = {{string_cell("loader"), "loader"}, {integer_cell(3), "???"}};
    for (const Where& w : wheres) {
        set(e, error::FIELD_WHERE, w.value);
        EXPECT_NE(formed(e, 0).find(std::string("\n*** Where: ") + w.shown + "\n"), std::string::npos);
    }
}

TEST_F(ErrorTest, AnUnknownTypeOrIdPrintsAsInvalidError) {
    struct Case {
        error::Field field;
        const char* unknown;
    };
    for (const Case& c : {Case{error::FIELD_TYPE, "bogus"}, Case{error::FIELD_ID, "nothing"}}) {
        Cell e = made(integer_cell(400));
        set(e, c.field, word(c.unknown));
        EXPECT_EQ(first_line(formed(e)),
                  std::string("*** Internal Error: invalid error object field value: ") + c.unknown);
        EXPECT_EQ(error::type_symbol(&e), symbol::make("internal"));
        EXPECT_EQ(word::symbol(error::field(&e, error::FIELD_ARG1)), symbol::make(c.unknown));
    }
}

TEST_F(ErrorTest, SyntaxErrorsFormTheirArgumentsOthersMoldThemCutTo80) {
    Cell abc = string_cell("abc");
    Cell def = string_cell("def");
    Cell e = *error::create(err::syntax::invalid, &abc, &def, &abc);
    EXPECT_EQ(first_line(formed(e)), "*** Syntax Error: abc invalid def at abc");
    e = *error::create(err::script::no_value, &abc);
    EXPECT_EQ(first_line(formed(e)), "*** Script Error: \"abc\" has no value");

    std::string long_text(100, 'x');
    Cell long_string = string_cell(long_text.c_str());
    e = *error::create(err::script::no_value, &long_string);
    EXPECT_EQ(first_line(formed(e)), "*** Script Error: {" + long_text.substr(0, 79) + " has no value");
    e = *error::create(err::syntax::no_header, &long_string);
    EXPECT_EQ(first_line(formed(e)), "*** Syntax Error: script is missing a Vek header: " + long_text.substr(0, 80));
}

TEST_F(ErrorTest, UserMessagesMayBeTemplates) {
    Cell message = block_of("\"cannot open\" :arg2 \"now\"");
    Cell seven = integer_cell(7);
    Cell e = *error::create(err::user::message, &message, &seven);
    EXPECT_EQ(first_line(formed(e)), "*** User Error: cannot open 7 now");
    // A message that is neither a string nor a block prints nothing.
    Cell number = integer_cell(5);
    e = *error::create(err::user::message, &number);
    EXPECT_EQ(first_line(formed(e)), "*** User Error: ");
    EXPECT_EQ(error::type_symbol(&e), symbol::make("internal"));
}

TEST_F(ErrorTest, MoldListsTheFields) {
    Cell e = made(integer_cell(400));
    EXPECT_EQ(molded(e, false),
              "make error! [\n    code: 400\n    type: 'math\n    id: 'zero-divide\n    arg1: none\n"
              "    arg2: none\n    arg3: none\n    near: none\n    where: none\n    stack: none\n"
              "    files: none\n]");
    EXPECT_EQ(molded(e, true),
              "make error! [code: 400 type: 'math id: 'zero-divide arg1: none arg2: none arg3: none "
              "near: none where: none stack: none files: none]");
}

// The cycle guard knows an error by its context, as it knows an object.
TEST_F(ErrorTest, AnErrorHoldingItselfMoldsTheCycleMarker) {
    Cell e = made(integer_cell(400));
    set(e, error::FIELD_ARG1, e);
    EXPECT_EQ(molded(e, true),
              "make error! [code: 400 type: 'math id: 'zero-divide arg1: ... arg2: none arg3: none "
              "near: none where: none stack: none files: none]");
}

TEST_F(ErrorTest, ComparesOnlyWithErrors) {
    Cell e = made(integer_cell(400));
    Cell same = made(integer_cell(400));
    Cell other = made(integer_cell(401));
    Cell number = integer_cell(400);
    EXPECT_EQ(actions::compare_typed(&e, &number, actions::COMP_EQUAL), -2);
    EXPECT_EQ(actions::compare_typed(&e, &e, actions::COMP_EQUAL), 0);
    EXPECT_EQ(actions::compare_typed(&e, &same, actions::COMP_EQUAL), 0);
    EXPECT_NE(actions::compare_typed(&e, &other, actions::COMP_EQUAL), 0);
    EXPECT_EQ(actions::compare_typed(&e, &same, actions::COMP_SAME), -1);
}

TEST_F(ErrorTest, AnEmptyActionSlotNamesTheDatatype) {
    Cell e = made(integer_cell(400));
    Cell raised_error;
    EXPECT_EQ(raised([&] { actions::get_action(TYPE_ERROR, &e, registry::SLOT_RANDOM); }, &raised_error),
              error_code(err::script::expect_arg));
    EXPECT_EQ(datatype::id(error::field(&raised_error, error::FIELD_ARG2)), uint32_t(TYPE_ERROR));
    EXPECT_EQ(word::symbol(error::field(&raised_error, error::FIELD_ARG3)),
              word::symbol(fixed_words::word(fixed_words::Word::anon_tag)));
}

TEST_F(ErrorTest, CaptureStackKeepsTheCallsAsWords) {
    Cell foo = word("foo");
    stack::mark_native(&foo);
    stack::mark_native(fixed_words::word(fixed_words::Word::body_tag));
    Cell e = made(integer_cell(400));
    set(e, error::FIELD_STACK, integer_cell(int32_t(stack::frames_top - stack::frames_bottom)));
    error::capture_stack(&e);
    // Level 1 lists function calls only, and these are native frames.
    EXPECT_EQ(cell_type(error::field(&e, error::FIELD_STACK)), TYPE_BLOCK);
    EXPECT_EQ(series_buffer(error::field(&e, error::FIELD_STACK))->length(), 0u);
    EXPECT_EQ(formed(e, 1), "*** Math Error: attempt to divide by zero\n*** Where: ???\n*** Near : none\n*** Stack: ");
}

}  // namespace
}  // namespace vek
