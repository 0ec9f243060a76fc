#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/datatypes/context.h"
#include "runtime/datatypes/string_edit.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/datatypes/word.h"
#include "runtime/ownership.h"
#include "runtime/stack.h"
#include "tests/unit/string_cells.h"

namespace vek {
namespace {

using test::text_cell;

// The whole text, whatever the head.
std::string whole(Cell value) {
    value.data1 = 0;
    return test::utf8(value);
}

struct Report {
    std::string action;
    int32_t index, part;
    std::string seen;  // the string as the handler saw it
};
std::vector<Report> reports;
// Set by a test whose handler empties the string on the first report.
bool empty_on_report = false;

bool record_report(const Cell*, const Cell*, const Cell* value, const Cell* action, const Cell*, int32_t index,
                   int32_t part) {
    reports.push_back({symbol::get_c_string(action->data2), index, part, whole(*value)});
    if (empty_on_report && reports.size() == 1) series_buffer(value)->tail = series_buffer(value)->offset;
    return true;
}

class OwnedString : public testing::Test {
protected:
    void SetUp() override {
        base_ = stack::top;
        saved_ = ownership::notify_owner_hook;
        ownership::notify_owner_hook = record_report;
        reports.clear();
        empty_on_report = false;
    }
    void TearDown() override {
        ownership::notify_owner_hook = saved_;
        empty_on_report = false;
        stack::top = base_;  // take leaves its answer there
    }

    static Cell owned(std::u32string_view text, uint32_t head) {
        Cell string = text_cell(text, 1, TYPE_STRING, head);
        Cell owner{TYPE_OBJECT, uint32_t(context::create(1, false, false, nullptr, context::KIND_OBJECT)), 0, 0};
        // The owner table holds its owners weakly: the stack keeps this one
        // alive until TearDown cuts the stack back.
        stack::push(&owner);
        Cell field{};
        word::make_at(symbol::make("s2-field"), &field);
        ownership::set_owner(&string, &owner, &field);
        return string;
    }

private:
    Cell* base_ = nullptr;
    decltype(ownership::notify_owner_hook) saved_;
};

TEST_F(OwnedString, EditsReportBeforeAndAfter) {
    struct Row {
        const char* name;
        void (*edit)(Cell* string);
        const char* before;
        const char* after;
        int32_t index, part;
    };
    const Row rows[] = {
        {"append", [](Cell* s) { Cell v = text_cell(U"xy"); string::append(s, &v, -1, false, 2, true); },
         "append", "appended", 4, 4},
        {"insert", [](Cell* s) { Cell v = text_cell(U"x"); string::append(s, &v, -1, false, 1, false); },
         "insert", "inserted", 1, 1},
        {"change", [](Cell* s) { Cell v = text_cell(U"xy"); string::change(s, &v, 1, false, 1); },
         "change", "changed", 1, 1},
        {"swap", [](Cell* s) { Cell other = text_cell(U"z"); string::swap(s, &other); }, "swap", "swaped", 1, 1},
        {"trim", [](Cell* s) { string::trim(s, false, false, false, false, true, nullptr); },
         "trim", "trimmed", 1, 3},
        {"take", [](Cell* s) { string::take(s, nullptr, false, true); }, "take", "taken", 3, 1},
    };
    for (const Row& row : rows) {
        Cell string = owned(U"a b ", 1);
        reports.clear();
        row.edit(&string);
        ASSERT_EQ(reports.size(), 2u) << row.name;
        EXPECT_EQ(reports[0].action, row.before);
        EXPECT_EQ(reports[1].action, row.after);
        EXPECT_EQ(reports[0].seen, "a b ") << row.name;  // told before the change
        EXPECT_EQ(reports[0].index, row.index) << row.name;
        EXPECT_EQ(reports[0].part, row.part) << row.name;
    }
}

// The handler runs Vek code that may shorten the string: the edit must work
// on the string as the handler left it.
TEST_F(OwnedString, AnEditFollowsWhatTheHandlerDidToTheString) {
    empty_on_report = true;
    struct Row {
        const char* name;
        void (*edit)(Cell* string);
        const char* expected;
    };
    const Row rows[] = {
        {"insert", [](Cell* s) { Cell v = text_cell(U"xy"); string::append(s, &v, -1, false, 2, false); }, "xyxy"},
        {"append", [](Cell* s) { Cell v = text_cell(U"x"); string::append(s, &v, -1, false, 1, true); }, "x"},
        {"change", [](Cell* s) { Cell v = text_cell(U"xy"); string::change(s, &v, 3, false, 1); }, "xy"},
        {"trim", [](Cell* s) { string::trim(s, false, false, false, true, false, nullptr); }, ""},
        {"swap", [](Cell* s) { Cell other = text_cell(U"z"); string::swap(s, &other); }, ""},
    };
    for (const Row& row : rows) {
        Cell string = owned(U"abcd", 2);
        reports.clear();
        row.edit(&string);
        EXPECT_EQ(whole(string), row.expected) << row.name;
    }
}

}  // namespace
}  // namespace vek
