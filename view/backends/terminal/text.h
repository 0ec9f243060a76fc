// Text on the character grid: writing a face's text into screen cells, and
// measuring it. A character takes its terminal width in cells (0, 1 or 2,
// from the runtime's width table, which the line editor uses too); LF starts
// a new line; every line is one cell high. A text may carry SGR sequences
// that colour and style it (text lists mark their selected line so): under
// the interpret flag they are read, not written. Nothing else of a text
// reaches the terminal as a control: a control character, DEL or an ESC
// that starts no interpreted sequence takes a cell as a space, a surrogate
// shows as the replacement character, and a character of width 0 takes no
// cell at all. Measures and caret positions count in cells and lines, and
// indexes in characters (code points).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "view/backends/terminal/screen.h"

namespace vek::view::backends::terminal {

// The characters of a text, as a string stores them: units of 1, 2 or 4 bytes.
class TextView {
public:
    TextView(const void* data, uint32_t unit, size_t length) : data_(data), unit_(unit), length_(length) {}
    explicit TextView(std::u32string_view text) : TextView(text.data(), 4, text.size()) {}

    size_t size() const { return length_; }
    char32_t operator[](size_t i) const {
        switch (unit_) {
        case 1: return static_cast<const uint8_t*>(data_)[i];
        case 2: return static_cast<const uint16_t*>(data_)[i];
        default: return static_cast<const uint32_t*>(data_)[i];
        }
    }
    TextView first(size_t count) const { return TextView(data_, unit_, count < length_ ? count : length_); }

private:
    const void* data_;  // the first character
    uint32_t unit_;     // bytes per character
    size_t length_;     // characters
};

// Flags of face rendering; the attribute ones are OR-ed into written cells.
enum RenderFlag : uint32_t {
    RENDER_FAINT = 0x4,
    RENDER_REVERSE = 0x8,
    RENDER_WRAP = 0x20,          // lines continue below at the box's width
    RENDER_MASKED = 0x800,
    RENDER_INTERPRET = 0x1000,   // SGR and cursor sequences in the text are read
    RENDER_NO_TEXT = 0x2000,     // the face text is not drawn
};
constexpr uint32_t RENDER_ATTRIBUTES = ATTR_BOLD | ATTR_FAINT | ATTR_REVERSE | ATTR_UNDERLINE | ATTR_STRIKE |
                                       ATTR_ITALIC | ATTR_MASKED;

// A text's place in its box, from a para: flags that add up.
enum Alignment : uint32_t {
    ALIGN_RIGHT = 0x1,
    ALIGN_CENTER = 0x2,
    ALIGN_MIDDLE = 0x4,
    ALIGN_BOTTOM = 0x8,
    ALIGN_WRAP = 0x20,  // lines continue below at the box's width
};

// A box of cells, x2 and y2 excluded.
struct CellBox {
    int32_t x1;  // left column
    int32_t y1;  // top row
    int32_t x2;  // the column right of the box
    int32_t y2;  // the row below the box
    bool empty() const { return x2 <= x1 || y2 <= y1; }
};

// The cells a character takes as written: a control as a space, a
// surrogate as the replacement character.
int32_t cell_width(char32_t code);

// Writes the text from the origin into the cells of the clip box (which
// lies inside the screen), in the foreground colour, with the flags. The
// cells keep their background.
void write_text(Screen& screen, TextView text, int32_t x, int32_t y, CellBox clip, uint32_t flags,
                uint32_t foreground);

// The widest line in cells and the number of lines (at least 1). With a
// width limit (above 0) a line breaks before the character that would cross
// it; a character wider than the limit alone ends the measure. Interpreted
// sequences take no room.
struct TextSize {
    int32_t width;  // cells of the widest line
    int32_t lines;  // lines, at least 1
};
TextSize measure_text(TextView text, int32_t width_limit, bool interpret = false);

// Where the i-th character starts (lower: the column after it, one line
// down), with lines broken at the width limit (0: none).
struct Caret {
    int32_t column;  // cells from the line's start
    int32_t line;    // lines from the first, 0-based
};
Caret caret_to_offset(TextView text, size_t index, int32_t width_limit, bool lower);

// The 1-based caret index at a point; of the character under the point
// (for a point at or past the text's end, the last character).
int32_t offset_to_caret(TextView text, int32_t x, int32_t y, int32_t width_limit, bool character);

// The styles of rich text, applied to a run of a text's cells (one cell a
// character): colours by the 256-colour rule, attributes added.
enum class CellStyle : uint8_t { foreground, background, bold, italic, underline, strike };
// The run of length cells from start (0-based) is cut to the cells there are.
void style_cells(std::span<ScreenCell> cells, int32_t start, int32_t length, CellStyle style,
                 uint32_t colour = COLOUR_DEFAULT);

}  // namespace vek::view::backends::terminal
