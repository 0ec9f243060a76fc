#include <gtest/gtest.h>

#include <string>

#include "runtime/actions/dispatch.h"
#include "runtime/core/sockets.h"
#include "runtime/datatypes/word/context.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/tables/ownership.h"
#include "tests/unit/support/owner_reports.h"
#include "tests/unit/support/stack_fixture.h"
#include "tests/unit/support/string_cells.h"

namespace vek {
namespace {

namespace reports_of = test::owner_reports;
using reports_of::own;
using reports_of::reports;

// A handler that shortens the text leaves its first five units.
void keep_five(const Cell* text) {
    SeriesBuffer* buffer = series_buffer(text);
    buffer->tail = Off(uint32_t(buffer->offset) + 5 * buffer->unit());
}

using OwnedText = reports_of::ReportsTest<test::whole_utf8, keep_five>;

// The owner hears of the sort before and after it, with the range sorted:
// for a negative part, the code points before the head.
TEST_F(OwnedText, SortReportsTheSortedRange) {
    Cell text = test::text_cell(U"d€cba", 2, TYPE_STRING, 3);
    own(&text);
    Cell part{TYPE_INTEGER, 0, uint32_t(-2), 0};
    Cell* result = actions::sort(&text, {.part = &part});
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0].action, "sort");
    EXPECT_EQ(reports[1].action, "sorted");
    EXPECT_EQ(reports[0].seen, "d€cba");
    EXPECT_EQ(reports[1].seen, "dc€ba");
    EXPECT_EQ(reports[0].index, 1);
    EXPECT_EQ(reports[0].part, 2);
    EXPECT_EQ(series_index(result), 1u);
}

// The handler runs Vek code that may shorten the text: the sort covers what
// is left of the range, whole records only.
TEST_F(OwnedText, SortFollowsWhatTheHandlerLeft) {
    Cell text = test::text_cell(U"d4c3b2a1", 1);
    own(&text);
    reports_of::shorten_on_first = true;
    Cell skip{TYPE_INTEGER, 0, 2, 0};
    actions::sort(&text, {.skip = &skip});
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[1].seen, "c3d4b");
    EXPECT_EQ(reports[1].part, 4);
}

}  // namespace
}  // namespace vek
