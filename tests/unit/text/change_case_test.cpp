#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "runtime/core/fixed_words.h"
#include "runtime/core/raise.h"
#include "runtime/core/sockets.h"
#include "runtime/core/stack.h"
#include "runtime/core/unwind.h"
#include "runtime/datatypes/char.h"
#include "runtime/datatypes/string/buffer.h"
#include "runtime/datatypes/word/context.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/tables/ownership.h"
#include "runtime/text/unicode.h"
#include "tests/unit/support/string_cells.h"
#include "tests/unit/support/support.h"
#include "tests/unit/support/value_cells.h"

namespace vek {
namespace {

using test::code_points_of;
using test::integer_cell;

Cell make_string(const std::u32string& text, uint32_t head = 0) {
    Cell s{};
    string::rs_make_at(&s, 8);
    // Stored so that U+0080-U+00FF stay in a unit-1 buffer.
    for (uint32_t i = 0; i < text.size(); i++) string::overwrite_char(series_buffer(&s), i, uint32_t(text[i]));
    set_series_index(&s, head);
    return s;
}

TEST(ChangeCase, UpperCasingYWithDiaeresisWidensTheBuffer) {
    Cell s = make_string(U"a\u00FFb");
    ASSERT_EQ(series_buffer(&s)->unit(), 1u);
    unicode::change_case(&s, nullptr, true);
    EXPECT_EQ(series_buffer(&s)->unit(), 2u);
    EXPECT_EQ(code_points_of(s), U"A\u0178B");
}

TEST(ChangeCase, PartCountsAreClippedToTheTail) {
    struct Row {
        int32_t part;
        const char32_t* expected;
    };
    for (Row row : {Row{2, U"abCDef"}, Row{100, U"abCDEF"}, Row{0, U"abcdef"}, Row{-3, U"abcdef"}}) {
        Cell s = make_string(U"abcdef", 2);
        Cell part = integer_cell(row.part);
        unicode::change_case(&s, &part, true);
        EXPECT_EQ(code_points_of(s), row.expected) << row.part;
    }
}

TEST(ChangeCase, PartMayBeAPositionInTheSameSeries) {
    Cell s = make_string(U"ABCDEF", 1);
    Cell end = s;
    set_series_index(&end, 4);
    unicode::change_case(&s, &end, false);
    EXPECT_EQ(code_points_of(s), U"AbcdEF");
    Cell before = s;
    set_series_index(&before, 0);  // behind the head: nothing
    unicode::change_case(&s, &before, true);
    EXPECT_EQ(code_points_of(s), U"AbcdEF");
}

TEST(ChangeCase, AnyOtherPartIsAnInvalidRefinementArgument) {
    Cell s = make_string(U"abc");
    Cell other = make_string(U"abc");  // same type, another buffer
    Cell word{};
    word::make_at(symbol::make("h10-part"), &word);
    for (const Cell& part : {other, word}) {
        EXPECT_EQ(test::raised([&] { unicode::change_case(&s, &part, true); }),
                  error_code(err::script::invalid_refine_arg));
    }
    EXPECT_EQ(error_code(err::script::invalid_refine_arg), 345u);
    EXPECT_EQ(code_points_of(s), U"abc");
}

TEST(ChangeCase, ACharValueIsMappedAndAHeadPastTheTailChangesNothing) {
    Cell c{TYPE_CHAR, 0, 0x1E922, 0};
    unicode::change_case(&c, nullptr, true);
    EXPECT_EQ(char_::get(&c), 0x1E900u);

    Cell s = make_string(U"abc", 7);
    unicode::change_case(&s, nullptr, true);
    EXPECT_EQ(series_index(&s), 3u);
    EXPECT_EQ(code_points_of(s), U"abc");
}

Cell notified_action;
int32_t notified_index, notified_part;

TEST(ChangeCase, TheOwnerIsToldWithTheActionWordHeadAndCount) {
    auto saved = sockets::notify_owner;
    sockets::notify_owner = [](const Cell*, const Cell*, const Cell*, const Cell* action, const Cell*,
                                      int32_t index, int32_t part) {
        notified_action = *action;
        notified_index = index;
        notified_part = part;
        return true;
    };
    Cell owner{TYPE_OBJECT, uint32_t(context::create(1, false, false, nullptr, context::KIND_OBJECT)), 0, 0};
    Cell field{};
    word::make_at(symbol::make("h10-case-field"), &field);
    Cell s = make_string(U"abcdef", 1);
    ownership::set_owner(&s, &owner, &field);

    Cell part = integer_cell(50);
    unicode::change_case(&s, &part, false);
    EXPECT_EQ(word::symbol(&notified_action), word::symbol(fixed_words::word(fixed_words::Word::lowercase)));
    EXPECT_EQ(notified_index, 1);
    EXPECT_EQ(notified_part, 5);
    ownership::unbind(&s);
    sockets::notify_owner = saved;
}

}  // namespace
}  // namespace vek
