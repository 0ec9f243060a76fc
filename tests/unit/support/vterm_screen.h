// A terminal emulator for tests (libvterm): bytes written to it build a
// screen of cells that a test reads back, and it notes what a real terminal
// would act on besides the cells: the title, OSC strings, the alternate
// screen, mouse reporting, the cursor's visibility and position, the rows the
// cursor went to, and the replies it would send back (to a cursor position
// request).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct VTerm;

namespace vek::test {

class VtermScreen {
public:
    VtermScreen(int rows, int columns);
    ~VtermScreen();
    VtermScreen(const VtermScreen&) = delete;
    VtermScreen& operator=(const VtermScreen&) = delete;

    void feed(std::string_view bytes);
    // The terminal changes size, as after a window resize.
    void resize(int rows, int columns);
    // Forgets the notes below that record events (the title, OSC strings,
    // the rows the cursor went to), so that a test reads those of one step.
    void forget_events();

    // The row's text, a wide character once, blank cells as spaces: its
    // first columns, or all.
    std::string row(int row, int columns = -1) const;
    // What the cell shows.
    struct Cell {
        std::u32string text;  // its characters; empty for a blank cell
        int width;            // 2 for a wide character's first cell
        bool bold;            // attributes
        bool reverse;
        bool underline;
        bool italic;
        bool strike;
        int foreground;       // a palette index, -1 for the default, -2 for RGB
        int background;
        uint32_t foreground_rgb;  // 0xRRGGBB when foreground is -2
        uint32_t background_rgb;
    };
    Cell cell(int row, int column) const;

    int cursor_row() const;
    int cursor_column() const;

    bool title_set = false;             // an OSC 0, 1 or 2 set a title or icon name
    std::vector<std::string> osc;       // OSC strings the emulator did not handle itself
    bool alternate_screen = false;
    int mouse = 0;                      // VTERM_PROP_MOUSE's value: 0 off
    bool cursor_visible = true;
    int cursor_top = -1;                // the rows the cursor moved to, -1 before a move
    int cursor_bottom = -1;
    std::string replies;                // what the terminal answered; the reader takes them

private:
    VTerm* vt_;
};

}  // namespace vek::test
