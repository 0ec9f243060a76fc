#include "view/backends/terminal/screen.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "runtime/text/unicode.h"

namespace vek::view::backends::terminal {

namespace {

// ---------------------------------------------------------------- palette

constexpr Rgb SYSTEM_COLOURS[16] = {
    {0, 0, 0},     {128, 0, 0},   {0, 128, 0},   {128, 128, 0},   {0, 0, 128},   {128, 0, 128},
    {0, 128, 128}, {192, 192, 192}, {128, 128, 128}, {255, 0, 0}, {0, 255, 0},   {255, 255, 0},
    {0, 0, 255},   {255, 0, 255}, {0, 255, 255}, {255, 255, 255},
};
constexpr uint8_t CUBE_LEVELS[6] = {0, 95, 135, 175, 215, 255};

int cube_level(int v) {
    if (v < 48) return 0;
    if (v <= 114) return 1;
    return (v - 35) / 40;
}

int squared_distance(Rgb a, Rgb b) {
    int dr = a.r - b.r, dg = a.g - b.g, db = a.b - b.b;
    return dr * dr + dg * dg + db * db;
}

// ---------------------------------------------------------------- SGR

void append_number(std::string& out, int32_t n) {
    char digits[12];
    auto [end, error] = std::to_chars(digits, digits + sizeof digits, n);
    out.append(digits, end);
}

void append_sgr(std::string& out, std::string_view parameters) {
    out += "\x1b[";
    out += parameters;
    out += 'm';
}

// 16-colour codes: 0-7 the normal colours, 9 the default, 10-17 the bright ones.
void append_16_colour(std::string& out, uint32_t c, bool foreground) {
    int32_t base = foreground ? 30 : 40;
    if (c <= 7) return append_number(out, base + int32_t(c));
    if (c >= 10 && c <= 17) return append_number(out, base + 60 + int32_t(c - 10));
    append_number(out, base + 9);
}

struct AttributeSwitch {
    uint32_t bit;
    std::string_view on;
    std::string_view off;
};

// In the order they are written; bold and faint share their off sequence.
constexpr AttributeSwitch SWITCHES[] = {
    {ATTR_FAINT, "2", "22"},  {ATTR_REVERSE, "7", "27"},   {ATTR_BOLD, "1", "22"},
    {ATTR_ITALIC, "3", "23"}, {ATTR_STRIKE, "9", "29"},    {ATTR_UNDERLINE, "4", "24"},
};

// The sequences that turn the attributes and colours of the cell written
// last (from) into those of the next one (to). "22" turns both bold and
// faint off, so it comes first and the one that stays is turned on again.
void append_changes(std::string& out, const ScreenCell& from, const ScreenCell& to) {
    uint32_t current = from.attributes;
    constexpr uint32_t INTENSITY = ATTR_BOLD | ATTR_FAINT;
    if (current & ~to.attributes & INTENSITY) {
        append_sgr(out, "22");
        current &= ~INTENSITY;
    }
    for (const AttributeSwitch& s : SWITCHES) {
        bool was = current & s.bit, wanted = to.attributes & s.bit;
        if (was != wanted) append_sgr(out, wanted ? s.on : s.off);
    }
    if (from.foreground != to.foreground) {
        out += "\x1b[";
        append_colour_code(out, to.foreground, true);
        out += 'm';
    }
    if (from.background != to.background) {
        out += "\x1b[";
        append_colour_code(out, to.background, false);
        out += 'm';
    }
}

void append_code(std::string& out, char32_t code) {
    uint8_t bytes[4];
    out.append(reinterpret_cast<const char*>(bytes), size_t(unicode::encode_utf8_char(code, bytes)));
}

// What a cell shows, as one column of the terminal: nothing of a cell that
// would move the cursor otherwise reaches the terminal.
char32_t shown_code(const ScreenCell& cell) {
    if (cell.attributes & ATTR_MASKED) return '*';
    char32_t code = printable_code(cell.code);
    return unicode::char_width(code) == 1 ? code : U' ';
}

}  // namespace

char32_t printable_code(uint32_t code) {
    if (code < 0x20 || (code >= 0x7F && code <= 0x9F)) return U' ';
    if ((code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) return 0xFFFD;
    return code;
}

// ---------------------------------------------------------------- colours

Rgb palette_colour(uint8_t index) {
    if (index < 16) return SYSTEM_COLOURS[index];
    if (index < 232) {
        int n = index - 16;
        return {CUBE_LEVELS[n / 36], CUBE_LEVELS[(n / 6) % 6], CUBE_LEVELS[n % 6]};
    }
    uint8_t grey = uint8_t(8 + 10 * (index - 232));
    return {grey, grey, grey};
}

uint8_t nearest_palette_index(Rgb colour) {
    uint8_t cube = uint8_t(16 + 36 * cube_level(colour.r) + 6 * cube_level(colour.g) + cube_level(colour.b));
    int average = (colour.r + colour.g + colour.b) / 3;
    int step = average > 238 ? 23 : (average - 3) / 10;
    uint8_t grey = uint8_t(232 + step);
    return squared_distance(colour, palette_colour(cube)) < squared_distance(colour, palette_colour(grey)) ? cube
                                                                                                         : grey;
}

uint32_t cell_colour(Rgb colour, uint8_t alpha) {
    if (alpha == 255) return COLOUR_DEFAULT;
    return COLOUR_INDEXED | nearest_palette_index(colour);
}

uint32_t pixel_colour(Rgb colour, ColourMode mode) {
    if (mode == ColourMode::rgb) return COLOUR_RGB | uint32_t(colour.r) << 16 | uint32_t(colour.g) << 8 | colour.b;
    return COLOUR_INDEXED | nearest_palette_index(colour);
}

// Colours of no kind written here (and the 16-colour code 8) are the default.
void append_colour_code(std::string& out, uint32_t colour, bool foreground) {
    uint32_t value = colour & ~COLOUR_KIND_MASK;
    switch (colour & COLOUR_KIND_MASK) {
    case COLOUR_16: return append_16_colour(out, value, foreground);
    case COLOUR_INDEXED:
        out += foreground ? "38;5;" : "48;5;";
        return append_number(out, int32_t(value & 0xFF));
    case COLOUR_RGB:
        out += foreground ? "38;2;" : "48;2;";
        append_number(out, int32_t(value >> 16));
        out += ';';
        append_number(out, int32_t((value >> 8) & 0xFF));
        out += ';';
        return append_number(out, int32_t(value & 0xFF));
    default: out += foreground ? "39" : "49";
    }
}

// ---------------------------------------------------------------- the buffer

void Screen::set_terminal_size(int32_t columns, int32_t rows) {
    terminal_columns_ = columns;
    terminal_rows_ = rows;
}

void Screen::resize(float extent_width, float extent_height) {
    auto cells_of = [](float extent, int32_t bound) {
        if (!(extent > 0)) return 0;
        return int32_t(std::min(std::trunc(extent), float(bound)));
    };
    width_ = cells_of(extent_width, terminal_columns_);
    height_ = cells_of(extent_height, terminal_rows_);
    size_t needed = size_t(width_) * size_t(height_);
    if (needed > cells_.size()) cells_.resize(needed);
}

void Screen::clear() { std::fill_n(cells_.begin(), size_t(width_) * size_t(height_), ScreenCell{}); }

void Screen::keep_area_on_screen() {
    if (full_screen) {
        area_first_row = 0;
        return;
    }
    if (area_first_row + height_ > terminal_rows_) area_first_row = std::max(0, terminal_rows_ - height_);
}

// ---------------------------------------------------------------- frames

void Screen::append_move(int32_t count, char direction) {
    if (count <= 0) return;
    text_ += "\x1b[";
    append_number(text_, count);
    text_ += direction;
}

// A wide character is written when the cell after it is its right half;
// every other cell takes exactly one column.
void Screen::append_rows() {
    ScreenCell written{};
    for (int32_t y = 0; y < height_; ++y) {
        for (int32_t x = 0; x < width_; ++x) {
            const ScreenCell& cell = at(x, y);
            append_changes(text_, written, cell);
            written = cell;
            char32_t code = shown_code(cell);
            bool wide = !(cell.attributes & ATTR_MASKED) && unicode::char_width(printable_code(cell.code)) == 2;
            if (wide && x + 1 < width_ && (at(x + 1, y).attributes & ATTR_SKIP)) {
                code = printable_code(cell.code);
                ++x;
            }
            append_code(text_, code);
        }
        if (y + 1 < height_) {
            written.background = COLOUR_DEFAULT;
            text_ += "\x1b[49m\r\n";
        }
    }
    append_changes(text_, written, ScreenCell{});
}

void Screen::append_caret(bool caret_shown) {
    if (caret_shown && (caret_column >= 0 || caret_row >= 0)) {
        text_ += '\r';
        append_move(height_ - (caret_row + 1), 'A');
        append_move(caret_column, 'C');
        cursor_rows_ = caret_row;
    } else {
        cursor_rows_ = height_ - 1;
    }
}

std::string_view Screen::frame_text(bool caret_shown) {
    text_.clear();
    if (width_ < 1 || height_ < 1) return text_;
    if (full_screen) {
        text_ += "\x1b[H";
    } else {
        text_ += '\r';
        append_move(cursor_rows_, 'A');
        text_ += "\x1b[0J";
    }
    append_rows();
    frame_rows_ = height_;
    append_caret(caret_shown);
    return text_;
}

// The area is erased from its first row down, whatever row the cursor is on.
std::string_view Screen::erase_text() {
    text_.clear();
    if (!frame_drawn) return text_;
    text_ += '\r';
    append_move(cursor_rows_, 'A');
    text_ += "\x1b[0J";
    cursor_rows_ = 0;
    return text_;
}

// From the cursor's row to the last frame's last row, then onto a new line.
// The buffer is no guide: the window's destruction empties it before the
// terminal is given back.
std::string_view Screen::leave_text() {
    text_.clear();
    if (!frame_drawn) return text_;
    append_move(frame_rows_ - 1 - cursor_rows_, 'B');
    text_ += "\r\n";
    return text_;
}

}  // namespace vek::view::backends::terminal
