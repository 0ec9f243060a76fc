// Style runs applied to the cells of a rich text, one cell per character:
// the ranges, the styles and their values, and a bad run.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/core/raise.h"
#include "tests/unit/support/load_and_mold.h"
#include "tests/unit/support/stack_fixture.h"
#include "tests/unit/support/support.h"
#include "view/backends/terminal/rich_text.h"
#include "view/draw.h"

namespace vek {
namespace {

using namespace view::backends::terminal;

class RichTextCells : public test::NativeFrameTest {
protected:
    void SetUp() override {
        NativeFrameTest::SetUp();
        view::draw::init_words();
    }

    // The cells of the text (a string's source) styled by the runs (a
    // block's content).
    std::vector<ScreenCell> styled(const char* text, const char* runs) {
        Cell string = test::load_one(text);
        Cell block = test::load_code(runs);
        std::vector<ScreenCell> cells(series_buffer(&string)->length(), ScreenCell{U' ', 0, 0, 0});
        style_rich_text(cells, &block, &string);
        return cells;
    }

    // Each cell's attribute bits of the kind, as a row of 0 and 1.
    static std::string with(const std::vector<ScreenCell>& cells, uint32_t attribute) {
        std::string row;
        for (const ScreenCell& cell : cells) row += (cell.attributes & attribute) ? '1' : '0';
        return row;
    }
};

TEST_F(RichTextCells, RangesCutToTheText) {
    // 5x3 on six characters styles the fifth and sixth; styles before any
    // pair style nothing; a range past the end styles nothing.
    EXPECT_EQ(with(styled("{abcdef}", "5x3 bold"), ATTR_BOLD), "000011");
    EXPECT_EQ(with(styled("{abcdef}", "bold 1x2 italic 9x2 strike"), ATTR_BOLD | ATTR_STRIKE), "000000");
    EXPECT_EQ(with(styled("{abcdef}", "bold 1x2 italic"), ATTR_ITALIC), "110000");
    // A character outside the Basic Multilingual Plane takes one cell.
    std::vector<ScreenCell> cells = styled("{a\U0001F600bc}", "3x1 255.0.0 2x1 backdrop 0.0.255");
    EXPECT_EQ(cells[2].foreground, COLOUR_INDEXED | 196);
    EXPECT_EQ(cells[1].foreground, COLOUR_DEFAULT);
    EXPECT_EQ(cells[1].background, COLOUR_INDEXED | 21);
}

TEST_F(RichTextCells, StyleValuesConsumed) {
    // underline takes an optional colour and an optional lit-word; border,
    // font names and sizes change nothing.
    std::vector<ScreenCell> cells = styled("{abc}", "1x2 underline 0.0.255 'dash italic border 'x {Mono} 12 2.5 3x1 strike");
    EXPECT_EQ(with(cells, ATTR_UNDERLINE), "110");
    EXPECT_EQ(with(cells, ATTR_ITALIC), "110");
    EXPECT_EQ(with(cells, ATTR_STRIKE), "001");
    EXPECT_EQ(cells[0].foreground, COLOUR_DEFAULT);
}

TEST_F(RichTextCells, ABadValueKeepsTheRangesBeforeIt) {
    std::vector<ScreenCell> cells(3, ScreenCell{U' ', 0, 0, 0});
    Cell string = test::load_one("{abc}");
    Cell block = test::load_code("1x1 bold 2x1 foo italic");
    Cell error;
    uint32_t code = test::raised([&] { style_rich_text(cells, &block, &string); }, &error);
    EXPECT_EQ(code, error_code(err::script::draw_invalid));
    EXPECT_NE(test::molded(error).find("[foo italic]"), std::string::npos) << test::molded(error);
    EXPECT_EQ(with(cells, ATTR_BOLD), "100");
    Cell backdrop = test::load_code("backdrop 1");
    EXPECT_EQ(test::raised([&] { style_rich_text(cells, &backdrop, &string); }), error_code(err::script::draw_invalid));
}

}  // namespace
}  // namespace vek
