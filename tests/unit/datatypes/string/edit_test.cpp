#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/actions/dispatch.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/char.h"
#include "runtime/datatypes/string/buffer.h"
#include "runtime/datatypes/word/context.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/tables/ownership.h"
#include "tests/unit/support/dispatch.h"
#include "tests/unit/support/owner_reports.h"
#include "tests/unit/support/stack_fixture.h"
#include "tests/unit/support/string_cells.h"

namespace vek {
namespace {

using test::text_cell;
using test::whole_utf8;

namespace reports_of = test::owner_reports;
using reports_of::reports;

// A handler that shortens the string empties it.
void empty(const Cell* string) { series_buffer(string)->tail = series_buffer(string)->offset; }

Cell char_cell(char32_t code_point) {
    Cell value{};
    return *char_::make_at(&value, uint32_t(code_point));
}

// Fills the buffer up to its capacity, so that the next append must grow it.
void fill_to_capacity(const Cell* string) {
    while (series_buffer(string)->last() < series_buffer(string)->area_end())
        string::append_char(series_buffer(string), '-');
}

using StringAppend = test::StackRestoringTest;

// Appending one char! takes a shortcut when the buffer has room and its unit
// holds the code point as it stands. Whatever the unit, with room or full,
// the string must end as inserting the same char! at its tail leaves it,
// which always takes the general path: the same text in the same unit.
TEST_F(StringAppend, OneCharAppendedEndsAsTheGeneralPathLeavesIt) {
    for (uint32_t unit : {1u, 2u, 4u}) {
        for (char32_t code_point : {U'x', U'\u00E9', U'\u20AC', U'\U0001F600'}) {
            for (bool full : {false, true}) {
                Cell appended = text_cell(U"ab", unit, TYPE_STRING, 1);
                Cell inserted = text_cell(U"ab", unit);
                if (full) {
                    fill_to_capacity(&appended);
                    fill_to_capacity(&inserted);
                }
                Cell value = char_cell(code_point);
                test::insert_counted(&appended, &value, -1, false, 1, true);
                set_series_index(&inserted, string::buffer_length(&inserted));
                test::insert_counted(&inserted, &value, -1, false, 1, false);
                std::string where = std::to_string(unit) + " " + std::to_string(code_point) + (full ? " full" : "");
                EXPECT_EQ(whole_utf8(appended), whole_utf8(inserted)) << where;
                EXPECT_EQ(series_buffer(&appended)->unit(), series_buffer(&inserted)->unit()) << where;
                EXPECT_EQ(series_index(&appended), 0u) << where;
                EXPECT_LE(series_buffer(&appended)->last(), series_buffer(&appended)->area_end()) << where;
            }
        }
    }
}

// take leaves its answer on the stack, which the fixture cuts back.
class OwnedString : public reports_of::ReportsTest<whole_utf8, empty> {
protected:
    static Cell owned(std::u32string_view text, uint32_t head) {
        Cell string = text_cell(text, 1, TYPE_STRING, head);
        reports_of::own(&string);
        return string;
    }
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
        {"append", [](Cell* s) { Cell v = text_cell(U"xy"); test::insert_counted(s, &v, -1, false, 2, true); },
         "append", "appended", 4, 4},
        {"append one", [](Cell* s) { Cell v = char_cell(U'x'); test::insert_counted(s, &v, -1, false, 1, true); },
         "append", "appended", 4, 1},
        {"insert", [](Cell* s) { Cell v = text_cell(U"x"); test::insert_counted(s, &v, -1, false, 1, false); },
         "insert", "inserted", 1, 1},
        {"change", [](Cell* s) { Cell v = text_cell(U"xy"); test::change_counted(s, &v, 1, false, 1); },
         "change", "changed", 1, 1},
        {"swap", [](Cell* s) { Cell other = text_cell(U"z"); actions::swap(s, &other); }, "swap", "swaped", 1, 1},
        {"trim", [](Cell* s) { actions::trim(s, {.all = true}); },
         "trim", "trimmed", 1, 3},
        {"take", [](Cell* s) { actions::take(s, nullptr, false, true); }, "take", "taken", 3, 1},
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
    reports_of::shorten_on_first = true;
    struct Row {
        const char* name;
        void (*edit)(Cell* string);
        const char* expected;
    };
    const Row rows[] = {
        {"insert", [](Cell* s) { Cell v = text_cell(U"xy"); test::insert_counted(s, &v, -1, false, 2, false); }, "xyxy"},
        {"append", [](Cell* s) { Cell v = text_cell(U"x"); test::insert_counted(s, &v, -1, false, 1, true); }, "x"},
        {"change", [](Cell* s) { Cell v = text_cell(U"xy"); test::change_counted(s, &v, 3, false, 1); }, "xy"},
        {"trim", [](Cell* s) { actions::trim(s, {.lines = true}); }, ""},
        {"swap", [](Cell* s) { Cell other = text_cell(U"z"); actions::swap(s, &other); }, ""},
    };
    for (const Row& row : rows) {
        Cell string = owned(U"abcd", 2);
        reports.clear();
        row.edit(&string);
        EXPECT_EQ(whole_utf8(string), row.expected) << row.name;
    }
}

}  // namespace
}  // namespace vek
