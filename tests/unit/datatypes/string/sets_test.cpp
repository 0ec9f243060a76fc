#include <gtest/gtest.h>

#include <string>

#include "runtime/core/raise.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/string/edit.h"
#include "tests/unit/support/stack_fixture.h"
#include "tests/unit/support/string_cells.h"
#include "tests/unit/support/support.h"

namespace vek {
namespace {

using block::SetMode;
using test::text_cell;

using StringSets = test::BalancedStackTest;

TEST_F(StringSets, EachModeKeepsEveryWantedRecordOnce) {
    struct Row {
        SetMode mode;
        std::u32string first;
        std::u32string second;
        bool case_sensitive;
        int32_t skip;
        const char* expected;
    };
    const Row rows[] = {
        {block::SET_UNIQUE, U"abcabc", U"", false, 1, "abc"},
        {block::SET_UNIQUE, U"aAbB", U"", false, 1, "ab"},
        {block::SET_UNIQUE, U"aAbB", U"", true, 1, "aAbB"},
        {block::SET_UNION, U"ab", U"bc", false, 1, "abc"},
        {block::SET_UNION, U"aB", U"Abc", false, 1, "aBc"},
        {block::SET_INTERSECT, U"abc", U"BCD", false, 1, "bc"},
        {block::SET_INTERSECT, U"abc", U"BCD", true, 1, ""},
        {block::SET_EXCLUDE, U"abca", U"b", false, 1, "ac"},
        {block::SET_DIFFERENCE, U"abc", U"bcdd", false, 1, "ad"},
        {block::SET_DIFFERENCE, U"abc", U"abc", false, 1, ""},
        // Records travel whole and are judged by their first code point.
        {block::SET_UNIQUE, U"a1b2a3c", U"", false, 2, "a1b2c"},
        {block::SET_UNION, U"a1b2", U"b9c8", false, 2, "a1b2c8"},
        {block::SET_EXCLUDE, U"a1b2c3", U"xbb9", false, 2, "a1c3"},
        // Wider code points on either side.
        {block::SET_UNION, U"a€", U"😀a€", false, 1, "a€😀"},
        {block::SET_INTERSECT, U"é😀x", U"É", false, 1, "é"},
        {block::SET_UNIQUE, U"", U"", false, 1, ""},
    };
    for (const Row& row : rows) {
        for (uint32_t unit : {1u, 4u}) {
            if (unit == 1 && (row.first + row.second).find_first_of(U"€😀") != std::u32string::npos) continue;
            Cell first = text_cell(row.first, unit);
            Cell second = text_cell(row.second, unit);
            Cell skip{TYPE_INTEGER, 0, uint32_t(row.skip), 0};
            string::set_operation(&first, &second, row.case_sensitive, row.skip == 1 ? nullptr : &skip, row.mode);
            EXPECT_EQ(cell_type(&first), uint32_t(TYPE_STRING));
            EXPECT_EQ(test::utf8(first), row.expected) << row.mode << " unit " << unit;
        }
    }
}

TEST_F(StringSets, InputsAreReadFromTheirHeadsLeftAloneAndTheFirstGivesTheType) {
    Cell first = text_cell(U"abcd", 1, TYPE_FILE, 2);
    Cell input = first;
    Cell second = text_cell(U"dxyc", 2, TYPE_STRING, 3);
    string::set_operation(&first, &second, false, nullptr, block::SET_INTERSECT);
    EXPECT_EQ(cell_type(&first), uint32_t(TYPE_FILE));
    EXPECT_EQ(series_index(&first), 0u);
    EXPECT_EQ(test::utf8(first), "c");
    set_series_index(&input, 0);
    EXPECT_EQ(test::utf8(input), "abcd");
}

TEST_F(StringSets, BadRecordSizesAndNonTextSecondInputsAreRefused) {
    Cell first = text_cell(U"ab");
    const Cell sizes[] = {{TYPE_INTEGER, 0, 0, 0}, {TYPE_INTEGER, 0, uint32_t(-1), 0}};
    for (const Cell& size : sizes)
        EXPECT_EQ(test::raised([&] { string::set_operation(&first, nullptr, false, &size, block::SET_UNIQUE); }),
                  error_code(err::script::invalid_refine_arg));
    Cell number{TYPE_INTEGER, 0, 1, 0};
    EXPECT_EQ(test::raised([&] { string::set_operation(&first, &number, false, nullptr, block::SET_UNION); }),
              error_code(err::script::invalid_arg));
    EXPECT_EQ(test::utf8(first), "ab");
}

}  // namespace
}  // namespace vek
