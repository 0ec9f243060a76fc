#include "runtime/datatypes/number/time.h"

#include <gtest/gtest.h>

#include <string>

#include "runtime/actions/dispatch.h"
#include "tests/unit/support/load_and_mold.h"
#include "tests/unit/support/value_cells.h"

namespace vek {
namespace {

using test::float_cell;
using test::integer_cell;

// A set through a path changes the time cell in place. The other fields stay
// as the getters show them, on negative times too: there the hours and the
// seconds carry the sign and the minutes count within it.
TEST(TimeFields, SettingAFieldKeepsTheOthers) {
    struct Row {
        double seconds;
        const char* field;
        Cell value;
        double expected;
    };
    const Row rows[] = {
        {5415, "minute", integer_cell(45), 6315},      // 1:30:15 -> 1:45:15
        {5415, "second", float_cell(0.5), 5400.5},     // 1:30:15 -> 1:30:00.5
        {5415, "hour", integer_cell(3), 12615},        // 1:30:15 -> 3:30:15
        {5415, "minute", integer_cell(90), 9015},      // 1:90:15 is 2:30:15
        {-5415, "minute", integer_cell(45), -6315},    // -1:30:15 -> -1:45:15
        {-5415, "hour", integer_cell(-2), -9015},      // -1:30:15 -> -2:30:15
        {-5415, "second", integer_cell(-20), -5420},   // -1:30:15 -> -1:30:20
        {1e15, "hour", integer_cell(0), 2800},         // 277777777777:46:40 -> 0:46:40
    };
    for (const Row& row : rows) {
        std::string what = std::to_string(row.seconds) + " " + row.field;
        Cell time{};
        time::make_at(&time, row.seconds);
        Cell field = test::load_one(row.field);
        Cell* result = actions::eval_path_typed(&time, &field, {.value = &row.value, .last = true});
        EXPECT_EQ(result, &time) << what;
        EXPECT_EQ(cell_type(&time), TYPE_TIME) << what;
        EXPECT_DOUBLE_EQ(time::get(&time), row.expected) << what;
    }
}

}  // namespace
}  // namespace vek
