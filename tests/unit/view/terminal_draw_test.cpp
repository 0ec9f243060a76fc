// Draw blocks rasterised on character cells: shapes on a small grid read
// back as rows of text, their colours, and draw blocks of faces rendered
// into a terminal emulator.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/text/unicode.h"
#include "tests/unit/support/load_and_mold.h"
#include "tests/unit/support/shown_faces.h"
#include "tests/unit/support/terminal_fixture.h"
#include "tests/unit/support/vterm_screen.h"
#include "view/backends/terminal/draw.h"
#include "view/backends/terminal/widgets.h"

namespace vek {
namespace {

using namespace view::backends::terminal;

constexpr uint32_t RED = COLOUR_INDEXED | 196, BLUE = COLOUR_INDEXED | 21, GREEN = COLOUR_INDEXED | 46;

class TerminalDraw : public test::TerminalTest {
protected:
    // The block drawn on a cleared screen of the size, the face's origin at
    // x, y and its clip box the given one (the whole screen by default).
    std::vector<std::string> drawn(const char* source, int32_t width, int32_t height, int32_t x = 0, int32_t y = 0,
                                   CellBox clip = {0, 0, 0, 0}) {
        return drawn_block(test::load_code(source), width, height, x, y, clip);
    }
    // The same for the block a global word holds.
    std::vector<std::string> drawn_global(const char* name, int32_t width, int32_t height) {
        return drawn_block(global(name), width, height, 0, 0, {0, 0, 0, 0});
    }
    std::vector<std::string> drawn_block(Cell block, int32_t width, int32_t height, int32_t x, int32_t y,
                                         CellBox clip) {
        Screen& screen = backend().screen;
        screen.resize(float(width), float(height));
        screen.clear();
        if (clip.empty()) clip = {0, 0, width, height};
        CellCanvas canvas(&screen, x, y, clip);
        view::draw::do_draw(canvas, nullptr, &block, true);
        return rows();
    }

    static std::vector<std::string> rows() {
        Screen& screen = backend().screen;
        std::vector<std::string> shown;
        for (int32_t row = 0; row < screen.height(); ++row) {
            std::string text;
            for (int32_t column = 0; column < screen.width(); ++column) {
                uint8_t bytes[4];
                uint32_t code = screen.at(column, row).code;
                int count = unicode::encode_utf8_char(code ? code : U' ', bytes);
                text.append(reinterpret_cast<const char*>(bytes), size_t(count));
            }
            shown.push_back(text);
        }
        return shown;
    }
    static const ScreenCell& cell(int32_t x, int32_t y) { return backend().screen.at(x, y); }
};

using Rows = std::vector<std::string>;

TEST_F(TerminalDraw, BoxesFramedAndFilled) {
    EXPECT_EQ(drawn("pen 255.0.0 fill-pen 0.0.255 box 0x0 4x2", 6, 4),
              (Rows{"┌───┐ ", "│   │ ", "└───┘ ", "      "}));
    EXPECT_EQ(cell(0, 0).foreground, RED);
    EXPECT_EQ(cell(2, 1).background, BLUE);
    EXPECT_EQ(cell(5, 1).background, COLOUR_DEFAULT);
    // The corners in any order; the pen off leaves the fill alone; a box
    // past the buffer's right edge is framed at the edge.
    EXPECT_EQ(drawn("pen off fill-pen 0.0.255 box 2x1 0x0 pen 1.2.3 fill-pen off box 3x0 9x1", 6, 2),
              (Rows{"   ┌─┐", "   └─┘"}));
    EXPECT_EQ(cell(1, 1).background, BLUE);
}

TEST_F(TerminalDraw, LinesTrianglesCirclesAndEllipses) {
    EXPECT_EQ(drawn("line 0x0 9x0", 10, 1), (Rows{"██████████"}));
    EXPECT_EQ(drawn("line 0x0 9x0 line 5x1 -3x1", 6, 2), (Rows{"██████", "██████"}));
    EXPECT_EQ(drawn("line 0x0 4x4 0x4", 5, 5), (Rows{"█    ", " █   ", "  █  ", "   █ ", "█████"}));
    EXPECT_EQ(drawn("fill-pen off triangle 0x0 4x4 0x4", 5, 5), (Rows{"█    ", "██   ", "█ █  ", "█  █ ", "█████"}));
    EXPECT_EQ(drawn("pen off fill-pen 0.0.255 triangle 0x0 4x4 0x4", 5, 5),
              (Rows{"     ", "     ", "     ", "     ", "     "}));
    EXPECT_EQ(cell(0, 3).background, BLUE);
    EXPECT_EQ(cell(4, 3).background, COLOUR_DEFAULT);
    EXPECT_EQ(drawn("circle 4x2 0", 9, 5), (Rows{"         ", "         ", "         ", "         ", "         "}));
    // A circle is twice as wide as high; a float radius is rounded: 1.6
    // draws as 2.
    Rows circle{"  █████  ", " █     █ ", "█       █", " █     █ ", "  █████  "};
    EXPECT_EQ(drawn("circle 4x2 2", 9, 5), circle);
    EXPECT_EQ(drawn("circle 4x2 1.6", 9, 5), circle);
    EXPECT_EQ(drawn("ellipse 0x0 6x4", 7, 5), (Rows{"  ███  ", "██   ██", "█     █", "██   ██", "  ███  "}));
    EXPECT_EQ(drawn("pen 255.0.0 fill-pen 0.0.255 ellipse 0x0 6x4", 7, 5),
              (Rows{"  ███  ", "██   ██", "█     █", "██   ██", "  ███  "}));
    EXPECT_EQ(cell(3, 2).background, BLUE);
    EXPECT_EQ(cell(3, 0).foreground, RED);
    // Absurd coordinates cost no more than large ones.
    EXPECT_EQ(drawn("line -2000000000x1 2000000000x1 circle 0x0 2000000000", 4, 2), (Rows{"    ", "████"}));
}

TEST_F(TerminalDraw, TextInThePenOrFontColourAndFacesAligned) {
    run("f: make object! [color: 0.255.0] "
        "lbl: make tui-face [size: 6x1 text: {ab} para: make object! [align: 'right v-align: none wrap?: false "
        "parent: none]] cmds: compose [text 0x0 (lbl)]");
    EXPECT_EQ(drawn("pen 255.0.0 text 1x0 {hi} font f text 1x1 {yo}", 6, 2), (Rows{" hi   ", " yo   "}));
    EXPECT_EQ(cell(1, 0).foreground, RED);
    EXPECT_EQ(cell(1, 1).foreground, GREEN);
    EXPECT_EQ(drawn_global("cmds", 6, 1), (Rows{"    ab"}));
}

TEST_F(TerminalDraw, OriginAndClipOfAFace) {
    // A face at 3x1, 3x2 cells: its lines start at its origin and stay in it.
    EXPECT_EQ(drawn("line 0x0 9x0 line 0x1 0x9 triangle 0x0 2x0 1x5", 8, 4, 3, 1, {3, 1, 6, 3}),
              (Rows{"        ", "   ███  ", "   █ █  ", "        "}));
}

// A face's draw block renders with it; a face whose draw block is bad
// prints the error and still shows its text.
TEST_F(TerminalDraw, FaceDrawBlocksRenderedIntoATerminal) {
    run("win: make tui-face [type: 'window size: 12x3]"
        "a: make tui-face [offset: 0x0 size: 5x3 draw: [pen 255.0.0 box 0x0 4x2 line 0x1 20x1]]"
        "b: make tui-face [offset: 6x0 size: 6x1 text: {ok} draw: [box 0x0]]"
        "win/pane: reduce [a b]");
    WidgetId root = test::show_face(global("win"), 0);
    for (const char* name : {"a", "b"}) test::show_face(global(name), root);
    testing::internal::CaptureStdout();
    render_tree();
    std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_NE(printed.find("*** Script Error: DRAW - invalid input at: []"), std::string::npos) << printed;
    test::VtermScreen terminal(6, 20);
    terminal.feed(backend().screen.frame_text(false));
    EXPECT_EQ(terminal.row(0, 12), "┌───┐ ok    ");
    EXPECT_EQ(terminal.row(1, 12), "█████       ");
    EXPECT_EQ(terminal.row(2, 12), "└───┘       ");
    EXPECT_EQ(terminal.cell(0, 0).foreground, 196);
}

}  // namespace
}  // namespace vek
