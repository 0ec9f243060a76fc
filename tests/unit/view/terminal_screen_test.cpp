#include <gtest/gtest.h>

#include <string>

#include "view/backends/terminal/screen.h"

namespace vek {
namespace {

using namespace view::backends::terminal;

TEST(TerminalScreen, NearestPaletteEntries) {
    struct Case {
        Rgb colour;
        uint8_t index;
    };
    const Case cases[] = {
        {{255, 255, 255}, 231},  // the cube's white, nearer than grey 255
        {{128, 128, 128}, 244},  // an exact grey, not cube entry 102
        {{255, 0, 0}, 196},
        {{0, 0, 255}, 21},
        {{0, 0, 0}, 16},
        {{8, 8, 8}, 232},
        {{95, 135, 175}, 67},
    };
    for (const Case& c : cases) EXPECT_EQ(nearest_palette_index(c.colour), c.index) << int(c.index);
    EXPECT_EQ(cell_colour({1, 2, 3}, 255), COLOUR_DEFAULT);
    EXPECT_EQ(cell_colour({255, 0, 0}, 0), COLOUR_INDEXED | 196);
    EXPECT_EQ(pixel_colour({1, 2, 3}, ColourMode::rgb), COLOUR_RGB | 0x010203);
    EXPECT_EQ(pixel_colour({255, 0, 0}, ColourMode::indexed), COLOUR_INDEXED | 196);
}

TEST(TerminalScreen, ColourCodesByKind) {
    struct Case {
        uint32_t colour;
        const char* foreground;
        const char* background;
    };
    const Case cases[] = {
        {COLOUR_DEFAULT, "39", "49"},         {COLOUR_16 | 1, "31", "41"},
        {COLOUR_16 | 9, "39", "49"},          {COLOUR_16 | 12, "92", "102"},
        {COLOUR_INDEXED | 200, "38;5;200", "48;5;200"}, {COLOUR_RGB | 0x0A0B0C, "38;2;10;11;12", "48;2;10;11;12"},
    };
    for (const Case& c : cases) {
        std::string foreground, background;
        append_colour_code(foreground, c.colour, true);
        append_colour_code(background, c.colour, false);
        EXPECT_EQ(foreground, c.foreground);
        EXPECT_EQ(background, c.background);
    }
}

// A screen of the given size on an 80 x 24 terminal, its cells cleared.
Screen screen_of(int32_t width, int32_t height, bool full_screen = true) {
    Screen screen;
    screen.full_screen = full_screen;
    screen.resize(float(width), float(height));
    screen.clear();
    return screen;
}

void put(Screen& screen, int32_t x, int32_t y, char32_t code, uint32_t attributes = 0, uint32_t foreground = 0,
         uint32_t background = 0) {
    screen.at(x, y) = {code, background, foreground, attributes};
}

TEST(TerminalScreen, FramesWriteChangesOnly) {
    constexpr uint32_t RED = COLOUR_INDEXED | 196;
    struct Case {
        const char* name;
        void (*fill)(Screen&);
        const char* frame;
    };
    const Case cases[] = {
        {"empty cells", [](Screen&) {}, "\x1b[H  \x1b[49m\r\n  "},
        {"one SGR for a run of equal cells",
         [](Screen& s) {
             for (int32_t x = 0; x < 2; ++x) put(s, x, 0, 'r', ATTR_BOLD, RED);
         },
         "\x1b[H\x1b[1m\x1b[38;5;196mrr\x1b[49m\r\n\x1b[22m\x1b[39m  "},
        {"a masked cell",
         [](Screen& s) { put(s, 0, 0, 'p', ATTR_MASKED); }, "\x1b[H* \x1b[49m\r\n  "},
        {"bold off and faint off",
         [](Screen& s) {
             put(s, 0, 0, 'b', ATTR_BOLD);
             put(s, 0, 1, 'f', ATTR_FAINT);
         },
         "\x1b[H\x1b[1mb\x1b[22m \x1b[49m\r\n\x1b[2mf\x1b[22m "},
        {"faint off keeps bold",
         [](Screen& s) {
             put(s, 0, 0, 'a', ATTR_BOLD | ATTR_FAINT);
             put(s, 1, 0, 'b', ATTR_BOLD);
         },
         "\x1b[H\x1b[2m\x1b[1ma\x1b[22m\x1b[1mb\x1b[49m\r\n\x1b[22m  "},
        {"backgrounds end with each row",
         [](Screen& s) {
             put(s, 1, 0, 'x', 0, 0, RED);
             put(s, 0, 1, 'y', ATTR_REVERSE | ATTR_UNDERLINE | ATTR_ITALIC | ATTR_STRIKE);
         },
         "\x1b[H \x1b[48;5;196mx\x1b[49m\r\n\x1b[7m\x1b[3m\x1b[9m\x1b[4my\x1b[27m\x1b[23m\x1b[29m\x1b[24m "},
        {"a wide character and its right half",
         [](Screen& s) {
             put(s, 0, 0, 0x4E2D);
             put(s, 1, 0, 0, ATTR_SKIP);
         },
         "\x1b[H\xe4\xb8\xad\x1b[49m\r\n  "},
        {"a wide character without its right half",
         [](Screen& s) { put(s, 1, 0, 0x4E2D); }, "\x1b[H  \x1b[49m\r\n  "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Screen screen = screen_of(2, 2);
        c.fill(screen);
        EXPECT_EQ(std::string(screen.frame_text(false)), c.frame);
        EXPECT_EQ(screen.cursor_rows(), 1);
    }
}

TEST(TerminalScreen, InlineFramesRewriteTheirRowsAndPlaceTheCaret) {
    Screen screen = screen_of(3, 3, false);
    EXPECT_EQ(std::string(screen.frame_text(false)), "\r\x1b[0J   \x1b[49m\r\n   \x1b[49m\r\n   ");
    EXPECT_EQ(screen.cursor_rows(), 2);
    // The next frame starts at the area's first row.
    screen.caret_column = 2;
    screen.caret_row = 0;
    EXPECT_EQ(std::string(screen.frame_text(true)),
              "\r\x1b[2A\x1b[0J   \x1b[49m\r\n   \x1b[49m\r\n   \r\x1b[2A\x1b[2C");
    EXPECT_EQ(screen.cursor_rows(), 0);
    // A caret that no widget shows leaves the cursor on the last row.
    EXPECT_EQ(std::string(screen.frame_text(false)).substr(0, 8), "\r\x1b[0J   ");
    EXPECT_EQ(screen.cursor_rows(), 2);
}

TEST(TerminalScreen, InlineAreaErasedAndLeft) {
    Screen screen = screen_of(3, 3, false);
    EXPECT_EQ(std::string(screen.erase_text()), "");
    EXPECT_EQ(std::string(screen.leave_text()), "");
    screen.frame_text(false);
    screen.frame_drawn = true;
    EXPECT_EQ(std::string(screen.leave_text()), "\r\n");
    EXPECT_EQ(std::string(screen.erase_text()), "\r\x1b[2A\x1b[0J");
    EXPECT_EQ(screen.cursor_rows(), 0);
    // A one-row area (or a caret on the first row) is erased too.
    EXPECT_EQ(std::string(screen.erase_text()), "\r\x1b[0J");
    // From a caret on the first row, down to the last row, then a new line.
    screen.caret_column = 0;
    screen.caret_row = 0;
    screen.frame_text(true);
    EXPECT_EQ(std::string(screen.leave_text()), "\x1b[2B\r\n");
    // The window gone, its buffer empty: still below the frame's last row.
    screen.resize(0, 0);
    EXPECT_EQ(std::string(screen.frame_text(true)), "");
    EXPECT_EQ(std::string(screen.leave_text()), "\x1b[2B\r\n");
}

TEST(TerminalScreen, BufferCutToTheTerminalAndAreaKeptOnIt) {
    Screen screen;
    screen.set_terminal_size(10, 5);
    screen.resize(30.7f, 3.9f);
    EXPECT_EQ(screen.width(), 10);
    EXPECT_EQ(screen.height(), 3);
    screen.area_first_row = 4;
    screen.keep_area_on_screen();
    EXPECT_EQ(screen.area_first_row, 2);
    screen.full_screen = true;
    screen.keep_area_on_screen();
    EXPECT_EQ(screen.area_first_row, 0);
    screen.resize(0, 4);
    EXPECT_EQ(std::string(screen.frame_text(false)), "");
}

TEST(TerminalScreen, NoControlCharacterOfACellReachesTheTerminal) {
    Screen screen = screen_of(8, 1);
    const uint32_t codes[] = {0x1B, '\r', '\t', 0x7F, 0x9B, 0xD800, 0x301, 0x110000};
    for (int32_t x = 0; x < 8; ++x) put(screen, x, 0, codes[x]);
    EXPECT_EQ(std::string(screen.frame_text(false)), "\x1b[H     \xef\xbf\xbd \xef\xbf\xbd");
}

}  // namespace
}  // namespace vek
