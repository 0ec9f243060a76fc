// Face trees rendered by the terminal backend, their frames read by a
// terminal emulator. The faces are objects with the facets of face!, made
// in Vek code; each is shown by making its widget and storing its handle in
// its state block, as show does.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/core/raise.h"
#include "runtime/datatypes/word/context.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/eval/evaluator.h"
#include "tests/unit/support/load_and_mold.h"
#include "tests/unit/support/shown_faces.h"
#include "tests/unit/support/stack_fixture.h"
#include "tests/unit/support/support.h"
#include "tests/unit/support/terminal_fixture.h"
#include "tests/unit/support/vterm_screen.h"
#include "view/backends/terminal/faces.h"
#include "view/backends/terminal/widgets.h"

namespace vek {
namespace {

using namespace view::backends::terminal;
using view::Facet;

class TerminalFaces : public test::TerminalTest {
protected:
    WidgetId show(const char* name, WidgetId parent = 0) { return test::show_face(global(name), parent); }

    // The window's tree shown: each face of a pane under its parent.
    void show_tree(const char* window, std::initializer_list<std::pair<const char*, const char*>> children) {
        WidgetId root = show(window);
        std::vector<std::pair<std::string, WidgetId>> shown{{window, root}};
        for (auto [name, parent] : children) {
            WidgetId parent_id = 0;
            for (auto& [shown_name, id] : shown)
                if (shown_name == parent) parent_id = id;
            shown.push_back({name, show(name, parent_id)});
        }
    }

    // The frame of the current window, as a terminal shows it.
    std::string frame() {
        render_tree();
        return std::string(backend().screen.frame_text(false));
    }
    std::vector<std::string> rows(test::VtermScreen& terminal) {
        std::string text = frame();
        terminal.feed(text);
        std::vector<std::string> shown;
        for (int32_t row = 0; row < backend().screen.height(); ++row)
            shown.push_back(terminal.row(row, backend().screen.width()));
        return shown;
    }
};

TEST_F(TerminalFaces, TextAlignmentClippingAndHints) {
    run("win: make tui-face [type: 'window size: 12x4]"
        "a: make tui-face [offset: 0x0 size: 5x1 text: {ab^/cd}]"
        "b: make tui-face [offset: 0x1 size: 6x3 text: {xy} para: make object! [align: 'center v-align: 'bottom "
        "wrap?: false parent: none]]"
        "c: make tui-face [offset: 6x0 size: 2x1 text: {1\u4E2D}]"
        "d: make tui-face [offset: 6x1 size: 6x1 text: {} options: [hint: {hi}]]"
        "e: make tui-face [offset: 6x2 size: 6x1 text: {p^[[7mq^[[27mr}]"
        "win/pane: reduce [a b c d e]");
    show_tree("win", {{"a", "win"}, {"b", "win"}, {"c", "win"}, {"d", "win"}, {"e", "win"}});
    test::VtermScreen terminal(6, 20);
    EXPECT_EQ(rows(terminal), (std::vector<std::string>{"ab    1     ", "      hi    ", "      pqr   ", "  xy        "}));
    EXPECT_FALSE(terminal.cell(1, 6).bold);
    EXPECT_TRUE(frame().find("\x1b[2mhi") != std::string::npos);  // the hint is faint
    EXPECT_TRUE(terminal.cell(2, 7).reverse);
    EXPECT_FALSE(terminal.cell(2, 6).reverse);
    EXPECT_FALSE(terminal.cell(2, 8).reverse);
}

TEST_F(TerminalFaces, ColoursHiddenFacesAndPanels) {
    run("win: make tui-face [type: 'window size: 10x3]"
        "p: make tui-face [offset: 1x0 size: 4x2 color: 255.0.0]"
        "inner: make tui-face [offset: 2x1 size: 5x2 text: {abcdef} font: make object! [color: 0.0.255 parent: none]]"
        "h: make tui-face [offset: 6x0 size: 3x1 text: {zz} visible?: false]"
        "hc: make tui-face [offset: 0x0 size: 3x1 text: {yy}]"
        "p/pane: reduce [inner] h/pane: reduce [hc] win/pane: reduce [p h]");
    show_tree("win", {{"p", "win"}, {"inner", "p"}, {"h", "win"}, {"hc", "h"}});
    test::VtermScreen terminal(6, 20);
    EXPECT_EQ(rows(terminal), (std::vector<std::string>{"          ", "   ab     ", "          "}));
    EXPECT_EQ(terminal.cell(0, 1).background, 196);
    EXPECT_EQ(terminal.cell(1, 3).foreground, 21);
    EXPECT_EQ(terminal.cell(1, 3).background, -1);  // the child's own colour: none
    EXPECT_EQ(terminal.cell(2, 1).background, -1);  // past the panel
}

TEST_F(TerminalFaces, WindowsCutToTheTerminalAndEmptyWindows) {
    run("big: make tui-face [type: 'window size: 30x9 text: {never}]"
        "t: make tui-face [offset: 18x5 size: 5x1 text: {abcde}]"
        "big/pane: reduce [t]");
    show_tree("big", {{"t", "big"}});
    test::VtermScreen terminal(6, 20);
    std::vector<std::string> shown = rows(terminal);
    ASSERT_EQ(shown.size(), 6u);
    EXPECT_EQ(shown[5], std::string(18, ' ') + "ab");
    EXPECT_EQ(backend().screen.width(), 20);

    reset_backend();
    run("empty: make tui-face [type: 'window size: 0x0]");
    show("empty");
    EXPECT_EQ(frame(), "");
}

TEST_F(TerminalFaces, ImagesAsHalfBlocksInBothColourModes) {
    run("win: make tui-face [type: 'window size: 2x1]"
        "img: make image! 2x2 poke img 1 0.0.255 poke img 3 0.255.0.255 poke img 2 1.2.3.255 poke img 4 255.0.0 "
        "f: make tui-face [offset: 0x0 size: 2x1 image: img] win/pane: reduce [f]");
    for (ColourMode mode : {ColourMode::rgb, ColourMode::indexed}) {
        reset_backend();
        backend().colour_mode = mode;
        backend().screen.set_terminal_size(20, 6);
        show_tree("win", {{"f", "win"}});
        test::VtermScreen terminal(6, 20);
        EXPECT_EQ(rows(terminal)[0], "\u2584 ");
        test::VtermScreen::Cell block = terminal.cell(0, 0);
        if (mode == ColourMode::rgb) {
            EXPECT_EQ(block.background, -2);
            EXPECT_EQ(block.background_rgb, 0x0000FFu);
            EXPECT_EQ(block.foreground_rgb, 0x00FF00u);
        } else {
            EXPECT_EQ(block.background, 21);
            EXPECT_EQ(block.foreground, 46);
        }
        EXPECT_EQ(terminal.cell(0, 1).background, -1);  // a transparent upper pixel
    }
}

// Every C0 and C1 control, DEL, OSC strings that would set the title and
// write the clipboard, a lone surrogate and a zero-width character in a
// face's text: the frame holds no control but its own, its rows keep their
// width, and the terminal sets no title and sees no OSC string.
TEST_F(TerminalFaces, NoControlOfAFaceTextReachesTheTerminal) {
    run("win: make tui-face [type: 'window size: 20x3]"
        "s: copy {} repeat i 32 [append s to char! i - 1] append s to char! 127 "
        "repeat i 32 [append s to char! 127 + i]"
        "append s {^[]0;x^G^[]52;c;eA==^G} append s to char! 55296 append s {e^(0301)z}"
        "f: make tui-face [offset: 0x0 size: 20x3 text: s para: make object! [wrap?: true parent: none]]"
        "win/pane: reduce [f]");
    show_tree("win", {{"f", "win"}});
    std::string text = frame();
    for (size_t at = 0; at < text.size(); ++at) {
        auto byte = uint8_t(text[at]);
        if (byte == 0x1B) {
            size_t end = text.find_first_of("mHJ", at);
            ASSERT_NE(end, std::string::npos);
            at = end;
            continue;
        }
        EXPECT_TRUE(byte >= 0x20 || byte == '\r' || byte == '\n') << at;
        EXPECT_NE(byte, 0x7F) << at;
    }
    test::VtermScreen terminal(6, 20);
    terminal.feed(text);
    EXPECT_FALSE(terminal.title_set);
    EXPECT_TRUE(terminal.osc.empty());
    EXPECT_EQ(terminal.cursor_row(), 2);
    for (int32_t row = 0; row < 3; ++row) EXPECT_EQ(terminal.row(row).size(), 20u) << row;
}

TEST_F(TerminalFaces, HandlesOfFreedWidgetsNameNothing) {
    run("win: make tui-face [type: 'window size: 4x1] a: make tui-face [size: 1x1] win/pane: reduce [a]");
    WidgetId window = show("win");
    WidgetId first = show("a", window);
    Cell a = global("a");
    destroy_widget(&a);
    EXPECT_EQ(find_widget(first), nullptr);
    EXPECT_EQ(cell_type(facet(&a, Facet::STATE)), TYPE_NONE);
    WidgetId second = show("a", window);
    EXPECT_EQ(second & 0xFFFFF, first & 0xFFFFF);  // the same slot
    EXPECT_EQ(find_widget(first), nullptr);
    EXPECT_NE(find_widget(second), nullptr);
}

// The face drawn last is hit first; a hidden one is passed over; a box holds
// its near edges, not its far ones.
TEST_F(TerminalFaces, HitTestsFromTheLastDrawn) {
    run("win: make tui-face [type: 'window size: 10x4]"
        "under: make tui-face [offset: 0x0 size: 6x3] over: make tui-face [offset: 2x1 size: 2x1]"
        "gone: make tui-face [offset: 0x0 size: 10x4 visible?: false]"
        "win/pane: reduce [under over gone]");
    show_tree("win", {{"under", "win"}, {"over", "win"}, {"gone", "win"}});
    Widget& window = *find_widget(backend().current_window);
    struct Case {
        float x, y;
        const char* face;
    };
    const Case cases[] = {{2, 1, "over"}, {3.5f, 1.5f, "over"}, {4, 1, "under"}, {0, 0, "under"},
                          {6, 0, nullptr}, {5.9f, 2.9f, "under"}};
    for (const Case& c : cases) {
        Widget* hit = hit_test(window, c.x, c.y);
        Widget* expected = c.face ? [&] { Cell face = global(c.face); return face_widget(&face); }() : nullptr;
        EXPECT_EQ(hit, expected) << c.x << "x" << c.y;
    }
}

// A flag word that names no flag is refused before anything is made: the
// next widget takes the slot the refused one would have had.
TEST_F(TerminalFaces, UnknownFlagWordsMakeNoWidget) {
    run("win: make tui-face [type: 'window size: 4x1 flags: 'fullscreen]"
        "bad: make tui-face [flags: [all-over bogus]] good: make tui-face [flags: [focusable]]");
    WidgetId window = show("win");
    EXPECT_TRUE(backend().screen.full_screen);
    size_t slots = backend().widgets.size();
    Cell bad = global("bad");
    EXPECT_EQ(test::raised([&] { make_widget(&bad, window); }), error_code(err::script::invalid_arg));
    EXPECT_EQ(backend().widgets.size(), slots);
    EXPECT_EQ(cell_type(facet(&bad, Facet::STATE)), TYPE_NONE);
    Widget* good = find_widget(show("good", window));
    ASSERT_NE(good, nullptr);
    EXPECT_EQ(size_t(good - backend().widgets.data()), slots);
    EXPECT_TRUE(good->flags & WIDGET_FOCUSED);  // the first focusable widget
}

}  // namespace
}  // namespace vek
