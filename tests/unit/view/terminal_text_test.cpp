#include <gtest/gtest.h>

#include <string>

#include "tests/unit/support/vterm_screen.h"
#include "view/backends/terminal/text.h"

namespace vek {
namespace {

using namespace view::backends::terminal;

// A screen of the size, its cells cleared, the text written at the origin
// with the clip box, and what a terminal shows of its frame, row by row.
struct Written {
    Screen screen;
    std::string frame;
    std::vector<std::string> rows;
};

Written write(std::u32string_view text, int32_t width, int32_t height, int32_t x, int32_t y, CellBox clip,
              uint32_t flags = 0) {
    Written w;
    w.screen.full_screen = true;
    w.screen.set_terminal_size(width, height);
    w.screen.resize(float(width), float(height));
    w.screen.clear();
    write_text(w.screen, TextView(text), x, y, clip, flags, COLOUR_DEFAULT);
    w.frame = std::string(w.screen.frame_text(false));
    test::VtermScreen terminal(height, width);
    terminal.feed(w.frame);
    for (int32_t row = 0; row < height; ++row) w.rows.push_back(terminal.row(row));
    return w;
}

TEST(TerminalText, LinesClipsAndWideCharacters) {
    struct Case {
        const char* name;
        std::u32string text;
        int32_t x, y;
        CellBox clip;
        uint32_t flags;
        std::vector<std::string> rows;
    };
    const Case cases[] = {
        {"lines start at the origin's column", U"ab\ncd", 1, 0, {0, 0, 6, 3}, 0, {" ab   ", " cd   ", "      "}},
        {"cut at the right edge", U"abcdef\ngh", 0, 0, {0, 0, 4, 3}, 0, {"abcd  ", "gh    ", "      "}},
        {"wrapped at the right edge", U"abcdef", 0, 0, {0, 0, 4, 3}, RENDER_WRAP, {"abcd  ", "ef    ", "      "}},
        {"columns left of the clip skipped", U"abcd", 0, 0, {2, 0, 6, 3}, 0, {"  cd  ", "      ", "      "}},
        {"lines above the clip passed over", U"a\nb\nc", 0, 0, {0, 1, 6, 2}, 0, {"      ", "b     ", "      "}},
        {"a wide character cut at the edge, not split", U"a\u4E2D", 0, 0, {0, 0, 2, 1}, 0,
         {"a     ", "      ", "      "}},
        {"a wide character takes two cells", U"\u4E2Db", 0, 0, {0, 0, 6, 1}, 0, {"\u4E2D" "b   ", "      ", "      "}},
        {"a wide character wraps whole", U"a\u4E2D", 0, 0, {0, 0, 2, 3}, RENDER_WRAP,
         {"a     ", "\u4E2D    ", "      "}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(write(c.text, 6, 3, c.x, c.y, c.clip, c.flags).rows, c.rows);
    }
}

TEST(TerminalText, SgrSequencesStyleTheTextUnderTheInterpretFlag) {
    Written w = write(U"a\x1b[7mb\x1b[27m\x1b[1;31mc\x1b[0md\x1b[38;5;200me\x1b[38;2;1;2;3mf\x1b[2Jg", 8, 1, 0, 0,
                      {0, 0, 8, 1}, RENDER_INTERPRET);
    EXPECT_EQ(w.rows[0], "abcdefg ");
    EXPECT_EQ(w.screen.at(1, 0).attributes, uint32_t(ATTR_REVERSE));
    EXPECT_EQ(w.screen.at(2, 0).attributes, uint32_t(ATTR_BOLD));
    EXPECT_EQ(w.screen.at(2, 0).foreground, COLOUR_16 | 1);
    EXPECT_EQ(w.screen.at(3, 0).attributes, 0u);
    EXPECT_EQ(w.screen.at(3, 0).foreground, COLOUR_DEFAULT);
    EXPECT_EQ(w.screen.at(4, 0).foreground, COLOUR_INDEXED | 200);
    EXPECT_EQ(w.screen.at(5, 0).foreground, COLOUR_INDEXED | 200);  // 38;2 is not read
    // Without the flag an Esc is a space and the rest is text.
    EXPECT_EQ(write(U"a\x1b[7mb", 8, 1, 0, 0, {0, 0, 8, 1}).rows[0], "a [7mb  ");
    // Render flags are added to every written cell.
    EXPECT_EQ(write(U"x", 2, 1, 0, 0, {0, 0, 2, 1}, RENDER_FAINT | RENDER_MASKED).screen.at(0, 0).attributes,
              uint32_t(ATTR_FAINT | ATTR_MASKED));
}

// Every C0 and C1 control, DEL, an OSC that would set the title, one that
// would write the clipboard, a lone surrogate and a zero-width character:
// the frame holds no control of the text, its rows keep their width, and
// the terminal sets no title and sees no OSC string.
TEST(TerminalText, NoControlOfATextReachesTheTerminal) {
    std::u32string text;
    for (char32_t c = 0; c < 0x20; ++c)
        if (c != '\n') text += c;
    text += U'\x7f';
    for (char32_t c = 0x80; c < 0xA0; ++c) text += c;
    text += U"\x1b]0;x\x07\x1b]52;c;eA==\x07";
    text += char32_t(0xD800);
    text += U"e\u0301";
    for (uint32_t flags : {0u, uint32_t(RENDER_INTERPRET)}) {
        Written w = write(text, 90, 2, 0, 0, {0, 0, 90, 2}, flags);
        std::string body = w.frame.substr(3);  // after ESC "[H"
        for (size_t at = 0; at < body.size(); ++at) {
            auto byte = uint8_t(body[at]);
            if (byte == 0x1B) {
                ASSERT_EQ(body.compare(at, 7, "\x1b[49m\r\n"), 0) << at;
                at += 6;
                continue;
            }
            EXPECT_GE(byte, 0x20) << at;
            EXPECT_NE(byte, 0x7F) << at;
        }
        test::VtermScreen terminal(2, 90);
        terminal.feed(w.frame);
        EXPECT_FALSE(terminal.title_set);
        EXPECT_TRUE(terminal.osc.empty());
        // 31 C0 + DEL + 32 C1 + the OSC strings' 20 + the surrogate + "e",
        // and the combining accent takes no cell.
        EXPECT_EQ(w.rows[0], std::string(64, ' ') + " ]0;x  ]52;c;eA== \xef\xbf\xbd" "e      ");
        EXPECT_EQ(terminal.cursor_row(), 1);
    }
}

TEST(TerminalText, Measures) {
    struct Case {
        std::u32string text;
        int32_t limit;
        TextSize size;
    };
    const Case cases[] = {
        {U"ab\ncde", 0, {3, 2}},       {U"", 0, {0, 1}},          {U"a\n", 0, {1, 2}},
        {U"\u4E2D\u4E2Da", 0, {5, 1}}, {U"abcde", 2, {2, 3}},     {U"a\u4E2D", 2, {2, 2}},
        {U"a\u4E2Db", 1, {1, 1}},      {U"e\u0301x", 0, {2, 1}},
    };
    for (const Case& c : cases) {
        TextSize size = measure_text(TextView(c.text), c.limit);
        EXPECT_EQ(size.width, c.size.width) << testing::PrintToString(std::string(c.text.begin(), c.text.end()));
        EXPECT_EQ(size.lines, c.size.lines);
    }
    EXPECT_EQ(measure_text(TextView(U"\x1b[7mab\x1b[27m"), 0, true).width, 2);
    EXPECT_EQ(measure_text(TextView(U"\x1b[7mab\x1b[27m"), 0, false).width, 11);
}

TEST(TerminalText, CaretsAndOffsets) {
    const std::u32string text = U"a\u4E2Db\ncd";
    struct CaretCase {
        size_t index;
        int32_t limit;
        bool lower;
        Caret caret;
    };
    const CaretCase carets[] = {
        {1, 0, false, {0, 0}}, {2, 0, false, {1, 0}}, {3, 0, false, {3, 0}}, {4, 0, false, {4, 0}},
        {5, 0, false, {0, 1}}, {2, 0, true, {3, 1}},  {4, 0, true, {0, 2}},  {3, 2, false, {0, 2}},
        {2, 2, false, {0, 1}}, {99, 0, true, {2, 2}},
    };
    for (const CaretCase& c : carets) {
        Caret caret = caret_to_offset(TextView(text), c.index, c.limit, c.lower);
        EXPECT_EQ(caret.column, c.caret.column) << c.index << " " << c.limit << " " << c.lower;
        EXPECT_EQ(caret.line, c.caret.line) << c.index << " " << c.limit << " " << c.lower;
    }
    struct OffsetCase {
        int32_t x, y, limit;
        bool character;
        int32_t index;
    };
    const OffsetCase offsets[] = {
        {0, 0, 0, false, 1}, {1, 0, 0, false, 2}, {2, 0, 0, false, 3}, {9, 0, 0, false, 4},
        {0, 1, 0, false, 5}, {1, 1, 0, false, 6}, {9, 1, 0, true, 6},  {9, 9, 0, true, 6},
        {0, 1, 2, false, 2}, {1, 0, 0, true, 2},
    };
    for (const OffsetCase& c : offsets)
        EXPECT_EQ(offset_to_caret(TextView(text), c.x, c.y, c.limit, c.character), c.index)
            << c.x << "x" << c.y << " " << c.limit << " " << c.character;
}

TEST(TerminalText, StylesOfRichTextRuns) {
    std::vector<ScreenCell> cells(4);
    style_cells(cells, 1, 2, CellStyle::bold);
    style_cells(cells, 2, 9, CellStyle::foreground, COLOUR_INDEXED | 9);
    style_cells(cells, -1, 2, CellStyle::background, COLOUR_INDEXED | 4);
    style_cells(cells, 0, 1, CellStyle::italic);
    style_cells(cells, 3, 1, CellStyle::underline);
    style_cells(cells, 3, 0, CellStyle::strike);
    EXPECT_EQ(cells[0].attributes, uint32_t(ATTR_ITALIC));
    EXPECT_EQ(cells[0].background, COLOUR_INDEXED | 4);
    EXPECT_EQ(cells[1].attributes, uint32_t(ATTR_BOLD));
    EXPECT_EQ(cells[1].background, COLOUR_DEFAULT);
    EXPECT_EQ(cells[2].foreground, COLOUR_INDEXED | 9);
    EXPECT_EQ(cells[3].foreground, COLOUR_INDEXED | 9);
    EXPECT_EQ(cells[3].attributes, uint32_t(ATTR_UNDERLINE));
}

}  // namespace
}  // namespace vek
