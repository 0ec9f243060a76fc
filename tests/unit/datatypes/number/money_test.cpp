#include "runtime/datatypes/number/money.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/unit/support/stack_fixture.h"
#include "tests/unit/support/string_cells.h"

namespace vek {
namespace {

using test::utf8;

using MoneyText = test::StackRestoringTest;

// Grouped text with every fraction digit shown: the "'" marks thousands in
// the integral part only, however many fraction digits follow.
TEST_F(MoneyText, GroupingLeavesTheFractionWhole) {
    struct Case {
        const char* integral;
        const char* fraction;
        const char* formed;
    } cases[] = {
        {"1234", "56789", "$1'234.56789"},
        {"123456", "789", "$123'456.78900"},
        {"0", "001", "$0.00100"},
        {"12345678901234567", "12345", "$12'345'678'901'234'567.12345"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.formed);
        Cell value{};
        ASSERT_TRUE(money::make_at_from_text(&value, false, nullptr, c.integral, std::strlen(c.integral), c.fraction,
                                             std::strlen(c.fraction)));
        Cell out = test::output_cell();
        text::Sink sink{.buffer = &out, .limit = 100};
        money::form_text(&value, sink, true, true);
        EXPECT_EQ(utf8(out), c.formed);
    }
}

}  // namespace
}  // namespace vek
