// The character-cell screen of the text-mode GUI: one buffer of cells that
// the shown window renders into, and the frame that turns it into escape
// sequences, written with one write. A window is shown either full screen
// (on the alternate screen, from its top-left corner) or inline, in the rows
// below the console prompt, which each frame rewrites in place. Attributes
// and colours are written only where they change from the cell before, and
// nothing of a cell's text reaches the terminal as a control character: the
// only control bytes a frame holds are its own sequences and "\r\n".
// Colours: the cell colour kinds, the 256-colour palette and the rule that
// finds the palette entry nearest to a colour.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vek::view::backends::terminal {

// Attribute bits of a cell.
enum CellAttribute : uint32_t {
    ATTR_BOLD = 0x2,
    ATTR_FAINT = 0x4,
    ATTR_REVERSE = 0x8,
    ATTR_UNDERLINE = 0x10,
    ATTR_STRIKE = 0x40,
    ATTR_ITALIC = 0x100,
    ATTR_SKIP = 0x400,    // the right half of a wide character: not written
    ATTR_MASKED = 0x800,  // written as "*" (password fields)
};

// A cell colour: the kind in the top byte, the value below.
enum ColourKind : uint32_t {
    COLOUR_DEFAULT = 0,            // the terminal's own colour
    COLOUR_16 = 0x01000000,        // a 16-colour code (0-17) from a text's SGR sequences
    COLOUR_INDEXED = 0x02000000,   // a palette index 0-255
    COLOUR_RGB = 0x04000000,       // 0xRRGGBB
};
constexpr uint32_t COLOUR_KIND_MASK = 0xFF000000;

// How image pixels are coloured: the terminal's palette or its true colours.
enum class ColourMode : uint8_t { indexed = 2, rgb = 4 };

struct ScreenCell {
    uint32_t code;        // the code point; 0 prints as a space
    uint32_t background;  // a cell colour
    uint32_t foreground;  // a cell colour
    uint32_t attributes;  // CellAttribute bits
};

struct Rgb {
    uint8_t r;  // red
    uint8_t g;  // green
    uint8_t b;  // blue
};

// The colour of a palette entry: 16 system colours, the 6x6x6 cube, 24 greys.
Rgb palette_colour(uint8_t index);
// The palette entry nearest to a colour: the nearer of a cube entry and a
// grey, the grey when both are as near.
uint8_t nearest_palette_index(Rgb colour);
// A colour of the face model (alpha 255 fully transparent) as a cell colour:
// its nearest palette entry, or the default colour when transparent.
uint32_t cell_colour(Rgb colour, uint8_t alpha);
// An image pixel as a cell colour in the colour mode.
uint32_t pixel_colour(Rgb colour, ColourMode mode);

// The code point as the terminal may be given it: a control character (C0,
// DEL, C1) becomes a space, a surrogate or a number past U+10FFFF the
// replacement character.
char32_t printable_code(uint32_t code);

// The SGR parameters that select the cell colour as foreground or background.
void append_colour_code(std::string& out, uint32_t colour, bool foreground);

class Screen {
public:
    // The buffer: width and height in cells.
    int32_t width() const { return width_; }
    int32_t height() const { return height_; }
    ScreenCell& at(int32_t x, int32_t y) { return cells_[size_t(y) * size_t(width_) + size_t(x)]; }
    const ScreenCell& at(int32_t x, int32_t y) const { return cells_[size_t(y) * size_t(width_) + size_t(x)]; }

    // The terminal's size, which bounds the buffer.
    void set_terminal_size(int32_t columns, int32_t rows);
    int32_t terminal_columns() const { return terminal_columns_; }
    int32_t terminal_rows() const { return terminal_rows_; }

    // Sizes the buffer to a window's extent, cut to the terminal; the cells'
    // memory only grows.
    void resize(float extent_width, float extent_height);
    // Every cell a space in the default colours.
    void clear();

    bool full_screen = false;  // on the alternate screen, else inline
    // The terminal row (0-based) of the inline area's first row.
    int32_t area_first_row = 0;
    // The caret inside the area, set by the widget that shows it; -1, -1: none.
    int32_t caret_column = -1;
    int32_t caret_row = -1;
    bool redraw_needed = false;  // a widget or a print asked for a frame
    bool frame_drawn = false;    // a frame is on the terminal

    // Before a frame: an inline area that would end below the terminal's
    // last row moves up (the terminal scrolled); full screen starts at 0.
    void keep_area_on_screen();

    // The text of a frame of the buffer, with the caret placed when the
    // focused widget shows one; empty when the buffer is empty. Valid until
    // the next call.
    std::string_view frame_text(bool caret_shown);

    // What erases the inline area before the console prints; empty when no
    // frame is drawn.
    std::string_view erase_text();

    // What moves the cursor below the last frame's rows when the window goes,
    // so that the console goes on below it, whatever row the caret left the
    // cursor on and whatever the buffer holds now; empty when no frame is
    // drawn.
    std::string_view leave_text();

    // How many rows the cursor stands below the area's first row.
    int32_t cursor_rows() const { return cursor_rows_; }

private:
    void append_rows();
    void append_caret(bool caret_shown);
    void append_move(int32_t count, char direction);

    int32_t width_ = 0;
    int32_t height_ = 0;
    std::vector<ScreenCell> cells_;  // height_ rows of width_ cells; never shrinks
    int32_t terminal_columns_ = 80;
    int32_t terminal_rows_ = 24;
    int32_t cursor_rows_ = 0;  // rows below the area's first row after the last frame
    int32_t frame_rows_ = 0;   // rows of the last frame written
    std::string text_;         // the frame being built
};

}  // namespace vek::view::backends::terminal
