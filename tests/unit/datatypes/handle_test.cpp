#include "runtime/datatypes/handle.h"

#include <gtest/gtest.h>

#include <string>

#include "runtime/actions/dispatch.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/compound/triple.h"
#include "tests/unit/support/stack_fixture.h"
#include "tests/unit/support/string_cells.h"
#include "tests/unit/support/value_cells.h"

namespace vek {
namespace {

using test::utf8;

// The text form or mold writes, with the limit it leaves from 100.
struct Written {
    std::string text;
    int32_t limit;
};

Written form_of(const Cell& value) {
    Cell out = test::output_cell();
    text::Sink sink{.buffer = &out, .limit = 100};
    actions::form(&value, sink);
    return {utf8(out), sink.limit};
}

Written mold_of(const Cell& value, bool all) {
    Cell out = test::output_cell();
    text::Sink sink{.buffer = &out, .limit = 100, .all = all};
    actions::mold(&value, sink, false);
    return {utf8(out), sink.limit};
}

// Inside a native frame, so that box has a result cell to write.
using HandleValues = test::NativeFrameTest;

TEST_F(HandleValues, FormShowsEightHexDigitsAndMoldAllTheKind) {
    struct Case {
        int32_t value;
        handle::Kind kind;
        const char* formed;
        const char* molded_all;
    } cases[] = {
        {255, handle::Kind::window, "000000FFh", "#[handle! 000000FFh window]"},
        {0, handle::Kind::null, "00000000h", "#[handle! 00000000h]"},
        {-1, handle::Kind::fd, "FFFFFFFFh", "#[handle! FFFFFFFFh fd]"},
        {0x7FFFFFFF, handle::Kind::rich_text, "7FFFFFFFh", "#[handle! 7FFFFFFFh rich-text]"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.formed);
        Cell value{};
        handle::make_at(&value, c.value, c.kind);
        EXPECT_EQ(handle::external_slot(&value), -1);
        Written formed = form_of(value);
        EXPECT_EQ(formed.text, c.formed);
        EXPECT_EQ(formed.limit, 91);
        EXPECT_EQ(mold_of(value, false).text, "handle!");
        EXPECT_EQ(mold_of(value, true).text, c.molded_all);
    }
}

TEST_F(HandleValues, CompareByValueAloneAndAnythingElseIsUnequal) {
    Cell window{}, font{}, other{};
    handle::make_at(&window, 7, handle::Kind::window);
    handle::make_at(&font, 7, handle::Kind::font);
    handle::make_at(&other, -3, handle::Kind::window);
    Cell seven = test::integer_cell(7);
    EXPECT_EQ(actions::compare_typed(&window, &font, actions::COMP_EQUAL), 0);
    EXPECT_EQ(actions::compare_typed(&other, &window, actions::COMP_LESSER), -1);
    EXPECT_EQ(actions::compare_typed(&window, &other, actions::COMP_LESSER), 1);
    EXPECT_EQ(actions::compare_typed(&window, &seven, actions::COMP_EQUAL), 1);
    EXPECT_TRUE(actions::compare(&window, &font, actions::COMP_EQUAL));
    EXPECT_FALSE(actions::compare(&window, &seven, actions::COMP_EQUAL));
}

TEST_F(HandleValues, ConstructorsWriteWhereTheySay) {
    Cell* pushed = handle::push_null();
    EXPECT_EQ(cell_type(pushed), TYPE_HANDLE);
    EXPECT_EQ(handle::kind(pushed), handle::Kind::null);
    EXPECT_EQ(handle::value(pushed), 0);
    Cell* boxed = handle::box(42, handle::Kind::monitor);
    EXPECT_EQ(boxed, stack::arguments);
    EXPECT_EQ(handle::value(boxed), 42);
    EXPECT_EQ(handle::kind(boxed), handle::Kind::monitor);
}

TEST(TripleValues, FormAndMoldGiveTheMakeText) {
    struct Case {
        int32_t a, b, c;
        const char* text;
    } cases[] = {
        {1, -2, 300, "make triple! [1 -2 300]"},
        {INT32_MIN, 0, INT32_MAX, "make triple! [-2147483648 0 2147483647]"},
    };
    for (const Case& c : cases) {
        Cell value{};
        triple::make_at(&value, c.a, c.b, c.c);
        Written formed = form_of(value);
        EXPECT_EQ(formed.text, c.text);
        EXPECT_EQ(formed.limit, 100 - int32_t(std::string(c.text).size()));
        EXPECT_EQ(mold_of(value, true).text, c.text);
    }
}

}  // namespace
}  // namespace vek
