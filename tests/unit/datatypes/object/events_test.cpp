#include "runtime/datatypes/object/events.h"

#include <gtest/gtest.h>

#include "runtime/core/fixed_words.h"
#include "runtime/core/raise.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/object/object.h"
#include "runtime/datatypes/word/context.h"
#include "tests/unit/support/stack_fixture.h"
#include "tests/unit/support/string_cells.h"
#include "tests/unit/support/support.h"

namespace vek {
namespace {

using fixed_words::Word;
using test::raised;

class ObjectEvents : public test::StackRestoringTest {
protected:
    static Cell object_without_handlers() {
        Node context = context::create(1, false, false, nullptr, context::KIND_OBJECT);
        Cell object{TYPE_OBJECT, uint32_t(context), 0, 0};
        object::init_events(&object);
        return object;
    }
};

// The owner table only reaches owners with a record; a direct deep firing
// at one without is a fault of its caller.
TEST_F(ObjectEvents, DeepFiringAtAnObjectWithoutRecordRaises) {
    Cell owner = object_without_handlers();
    Cell target = test::string_cell("s");
    const Cell* append = fixed_words::word(Word::append);
    EXPECT_EQ(object::event_record(&owner), Node::none);
    EXPECT_EQ(raised([&] { object::fire_on_deep_change(&owner, append, &target, append, nullptr, 0, 1); }),
              error_code(err::script::invalid_obj_evt));
}

}  // namespace
}  // namespace vek
