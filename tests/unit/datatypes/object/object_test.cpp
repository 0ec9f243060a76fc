#include "runtime/datatypes/object/object.h"

#include <gtest/gtest.h>

#include "runtime/actions/dispatch.h"
#include "runtime/core/flags.h"
#include "runtime/datatypes/word/context.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/tables/ownership.h"
#include "tests/unit/support/dispatch.h"
#include "tests/unit/support/load_and_mold.h"
#include "tests/unit/support/stack_fixture.h"

namespace vek {
namespace {

class ObjectTest : public test::StackRestoringTest {
protected:
    // make object! of the source text, copied off the stack.
    static Cell made(const char* spec_source) {
        Cell spec_value = test::load_code(spec_source);
        Cell prototype;
        return *test::make_as(TYPE_OBJECT, &spec_value, &prototype);
    }
    static Cell field(const Cell& object, const char* name) {
        return *object::find_field(&object, symbol::make(name));
    }
    // Whether the context's owner cell is a copy of the object cell.
    static bool owner_follows(const Cell& object) {
        const Cell* owner = context::owner_of(object::context_node(&object));
        return owner->header == object.header && object::context_node(owner) == object::context_node(&object) &&
               object::class_id(owner) == object::class_id(&object) &&
               object::event_record(owner) == object::event_record(&object);
    }
};

// self reads the owner cell: every way of making an object leaves the cell
// it answers there, class id included.
TEST_F(ObjectTest, TheOwnerCellFollowsTheObjectCell) {
    Cell o = made("a: 1 b: [x]");
    Cell keeps_class = o;
    Cell with_word = made("a: 2");
    Cell prototype = o;
    Cell spec_value = test::load_code("a: 3");
    Cell copy_of_o;
    Cell deep;
    actions::copy(&prototype, &copy_of_o, nullptr, false, nullptr);
    actions::copy(&prototype, &deep, nullptr, true, nullptr);
    Cell constructed;
    object::construct(&constructed, &spec_value, &o, false);
    actions::make(&keeps_class, &spec_value);
    for (const Cell* c : {&o, &with_word, &copy_of_o, &deep, &constructed, &keeps_class}) {
        EXPECT_TRUE(owner_follows(*c));
        EXPECT_GT(object::class_id(c), 1000000u);
    }
    EXPECT_EQ(object::class_id(&keeps_class), object::class_id(&o));
    EXPECT_EQ(object::class_id(&constructed), object::class_id(&o));
}

// The owner table walks an object's fields through the socket objects
// install: the series of a nested object report to the outer owner, under
// the nested object's own field word.
TEST_F(ObjectTest, OwnerOfSeriesHeldByANestedObject) {
    object::install_sockets();  // another test may have reset them
    Cell o = made("inner: make object! [list: [1 2]] text: \"ab\"");
    Cell field_word = test::load_code("owner");
    Cell value = test::load_one("true");
    Cell target = o;  // modify answers the value in its target cell
    actions::modify(&target, series_buffer(&field_word)->cells(), &value, false);
    Cell inner = field(o, "inner");
    Cell list = field(inner, "list");
    Cell text = field(o, "text");
    for (const Cell* owned : {&list, &text}) {
        const Cell* owner = ownership::owner_of(series_node(owned));
        ASSERT_NE(owner, nullptr);
        EXPECT_EQ(object::context_node(owner), object::context_node(&o));
    }
    const Cell* list_owner = ownership::owner_of(series_node(&list));
    EXPECT_EQ(symbol::resolve(word::symbol(list_owner + 1)), symbol::resolve(symbol::make("list")));
}

}  // namespace
}  // namespace vek
