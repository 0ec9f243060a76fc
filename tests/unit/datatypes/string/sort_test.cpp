#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/actions/dispatch.h"
#include "runtime/datatypes/word/context.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/tables/ownership.h"
#include "tests/unit/support/string_cells.h"

namespace vek {
namespace {

struct Report {
    std::string action;
    int32_t index, part;
    std::string seen;  // the whole text as the handler saw it
};
std::vector<Report> reports;
// Set by a test whose handler cuts the text to this many units on the first
// report.
int32_t cut_on_report = -1;

bool record_report(const Cell*, const Cell*, const Cell* value, const Cell* action, const Cell*, int32_t index,
                   int32_t part) {
    Cell whole = *value;
    whole.data1 = 0;
    reports.push_back({symbol::get_c_string(action->data2), index, part, test::utf8(whole)});
    if (cut_on_report >= 0 && reports.size() == 1) {
        SeriesBuffer* buffer = series_buffer(value);
        buffer->tail = Off(uint32_t(buffer->offset) + uint32_t(cut_on_report) * buffer->unit());
    }
    return true;
}

class OwnedText : public testing::Test {
protected:
    void SetUp() override {
        saved_ = ownership::notify_owner_hook;
        ownership::notify_owner_hook = record_report;
        reports.clear();
        cut_on_report = -1;
    }
    void TearDown() override {
        ownership::notify_owner_hook = saved_;
        cut_on_report = -1;
    }

    static void own(Cell* text) {
        Cell owner{TYPE_OBJECT, uint32_t(context::create(1, false, false, nullptr, context::KIND_OBJECT)), 0, 0};
        Cell field{};
        word::make_at(symbol::make("s1-field"), &field);
        ownership::set_owner(text, &owner, &field);
    }

private:
    decltype(ownership::notify_owner_hook) saved_;
};

// The owner hears of the sort before and after it, with the range sorted:
// for a negative part, the code points before the head.
TEST_F(OwnedText, SortReportsTheSortedRange) {
    Cell text = test::text_cell(U"d€cba", 2, TYPE_STRING, 3);
    own(&text);
    Cell part{TYPE_INTEGER, 0, uint32_t(-2), 0};
    Cell* result = actions::sort(&text, false, nullptr, nullptr, &part, false, false, false);
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0].action, "sort");
    EXPECT_EQ(reports[1].action, "sorted");
    EXPECT_EQ(reports[0].seen, "d€cba");
    EXPECT_EQ(reports[1].seen, "dc€ba");
    EXPECT_EQ(reports[0].index, 1);
    EXPECT_EQ(reports[0].part, 2);
    EXPECT_EQ(result->data1, 1u);
}

// The handler runs Vek code that may shorten the text: the sort covers what
// is left of the range, whole records only.
TEST_F(OwnedText, SortFollowsWhatTheHandlerLeft) {
    Cell text = test::text_cell(U"d4c3b2a1", 1);
    own(&text);
    cut_on_report = 5;
    Cell skip{TYPE_INTEGER, 0, 2, 0};
    actions::sort(&text, false, &skip, nullptr, nullptr, false, false, false);
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[1].seen, "c3d4b");
    EXPECT_EQ(reports[1].part, 4);
}

}  // namespace
}  // namespace vek
