#include "view/backends/terminal/text.h"

#include <algorithm>

#include "runtime/text/unicode.h"

namespace vek::view::backends::terminal {

namespace {

constexpr char32_t LF = '\n';
constexpr char32_t ESC = 0x1B;

// ---------------------------------------------------------------- sequences

constexpr size_t MAX_SGR_PARAMETERS = 16;

// An interpreted sequence: ESC "[", parameters, a final byte (0x40-0x7E).
struct Sequence {
    size_t length;  // characters it spans; 0 when none starts here
    char32_t final;  // its final character
    size_t count;   // parameters read
    int32_t parameters[MAX_SGR_PARAMETERS];  // the numbers, an empty one 0
};

Sequence read_sequence(TextView text, size_t at) {
    Sequence sequence{};
    if (at + 1 >= text.size() || text[at + 1] != '[') return sequence;
    int32_t value = 0;
    bool seen = false;
    for (size_t i = at + 2; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= '0' && c <= '9') {
            value = std::min(value * 10 + int32_t(c - '0'), 100000);
            seen = true;
        } else if (c == ';') {
            if (sequence.count < MAX_SGR_PARAMETERS) sequence.parameters[sequence.count++] = value;
            value = 0;
            seen = true;
        } else if (c >= 0x40 && c <= 0x7E) {
            if (seen && sequence.count < MAX_SGR_PARAMETERS) sequence.parameters[sequence.count++] = value;
            sequence.length = i + 1 - at;
            sequence.final = c;
            return sequence;
        } else if (c < 0x20 || c > 0x3F) {
            return sequence;  // not a sequence: the Esc shows as a space
        }
    }
    return sequence;
}

// SGR 1-9 set, 21-29 clear: bold, faint, italic, underline, (blink),
// (rapid blink), reverse, (conceal), strike-through.
constexpr uint32_t SGR_ATTRIBUTES[10] = {0, ATTR_BOLD, ATTR_FAINT, ATTR_ITALIC, ATTR_UNDERLINE, 0, 0,
                                         ATTR_REVERSE, 0, ATTR_STRIKE};

struct Pen {
    uint32_t foreground;  // the cell colour written
    uint32_t attributes;  // CellAttribute bits from the text's sequences
};

// Colour forms that take more parameters: 38/48 with 5 and an index, or
// with 2 and three components (read but not used).
size_t extended_colour(const Sequence& s, size_t i, Pen& pen) {
    if (i + 1 >= s.count) return 1;
    if (s.parameters[i + 1] == 5) {
        if (s.parameters[i] == 38 && i + 2 < s.count)
            pen.foreground = COLOUR_INDEXED | uint32_t(std::clamp(s.parameters[i + 2], 0, 255));
        return 3;
    }
    return s.parameters[i + 1] == 2 ? 5 : 1;
}

void apply_sgr(const Sequence& s, Pen& pen, const Pen& initial) {
    if (s.count == 0) pen = initial;
    for (size_t i = 0; i < s.count;) {
        int32_t n = s.parameters[i];
        if (n == 38 || n == 48) {
            i += extended_colour(s, i, pen);
            continue;
        }
        if (n == 0) pen = initial;
        else if (n >= 1 && n <= 9) pen.attributes |= SGR_ATTRIBUTES[n];
        else if (n >= 21 && n <= 29) pen.attributes &= ~SGR_ATTRIBUTES[n - 20];
        else if ((n >= 30 && n <= 37) || n == 39) pen.foreground = COLOUR_16 | uint32_t(n - 30);
        else if (n >= 90 && n <= 97) pen.foreground = COLOUR_16 | uint32_t(n - 80);
        ++i;
    }
}

// ---------------------------------------------------------------- walking

// Walks a text item by item: a line feed, an interpreted sequence, or a
// character with its width.
class TextWalker {
public:
    TextWalker(TextView text, bool interpret) : text_(text), interpret_(interpret) {}

    bool more() const { return at_ < text_.size(); }
    enum class Item { line_feed, sequence, character };
    Item next(char32_t& code, Sequence& sequence) {
        code = text_[at_];
        if (code == LF) {
            ++at_;
            return Item::line_feed;
        }
        if (code == ESC && interpret_) {
            sequence = read_sequence(text_, at_);
            if (sequence.length > 0) {
                at_ += sequence.length;
                return Item::sequence;
            }
        }
        ++at_;
        return Item::character;
    }

private:
    TextView text_;
    bool interpret_;
    size_t at_ = 0;
};

// Cells written by write_text, clipped.
class CellWriter {
public:
    CellWriter(Screen& screen, int32_t x, int32_t y, CellBox clip, uint32_t flags)
        : screen_(screen), origin_x_(x), x_(x), y_(y), clip_(clip), flags_(flags) {}

    bool below_clip() const { return y_ >= clip_.y2; }
    void new_line() {
        x_ = origin_x_;
        ++y_;
    }

    void put(char32_t code, const Pen& pen) {
        int32_t width = cell_width(code);
        if (width == 0) return;
        if (x_ + width > clip_.x2 && (flags_ & RENDER_WRAP) && x_ > origin_x_) new_line();
        if (y_ >= clip_.y1 && y_ < clip_.y2 && x_ >= clip_.x1 && x_ + width <= clip_.x2) {
            ScreenCell& cell = screen_.at(x_, y_);
            cell.code = printable_code(code);
            cell.foreground = pen.foreground;
            cell.attributes = pen.attributes | (flags_ & RENDER_ATTRIBUTES);
            if (width == 2) screen_.at(x_ + 1, y_).attributes |= ATTR_SKIP;
        }
        x_ += width;
    }

private:
    Screen& screen_;
    int32_t origin_x_;  // where each line starts
    int32_t x_;         // where the next character goes
    int32_t y_;
    CellBox clip_;
    uint32_t flags_;
};

// Advances a caret over one character with lines broken at the limit: the
// character moves to the next line when it would cross it.
void advance(Caret& caret, char32_t code, int32_t width_limit) {
    if (code == LF) {
        caret = {0, caret.line + 1};
        return;
    }
    int32_t width = cell_width(code);
    if (width_limit > 0 && caret.column > 0 && caret.column + width > width_limit) caret = {0, caret.line + 1};
    caret.column += width;
}

}  // namespace

int32_t cell_width(char32_t code) { return unicode::char_width(printable_code(code)); }

void write_text(Screen& screen, TextView text, int32_t x, int32_t y, CellBox clip, uint32_t flags,
                uint32_t foreground) {
    const Pen initial{foreground, 0};
    Pen pen = initial;
    CellWriter cells(screen, x, y, clip, flags);
    TextWalker walker(text, flags & RENDER_INTERPRET);
    char32_t code = 0;
    Sequence sequence{};
    while (walker.more() && !cells.below_clip()) {
        switch (walker.next(code, sequence)) {
        case TextWalker::Item::line_feed: cells.new_line(); break;
        case TextWalker::Item::sequence:
            if (sequence.final == 'm') apply_sgr(sequence, pen, initial);
            break;
        case TextWalker::Item::character: cells.put(code, pen); break;
        }
    }
}

TextSize measure_text(TextView text, int32_t width_limit, bool interpret) {
    TextSize size{0, 1};
    int32_t line = 0;
    TextWalker walker(text, interpret);
    char32_t code = 0;
    Sequence sequence{};
    while (walker.more()) {
        TextWalker::Item item = walker.next(code, sequence);
        if (item == TextWalker::Item::sequence) continue;
        if (item == TextWalker::Item::line_feed) {
            line = 0;
            ++size.lines;
            continue;
        }
        int32_t width = cell_width(code);
        if (width_limit > 0 && line + width > width_limit) {
            if (width > width_limit) break;
            line = 0;
            ++size.lines;
        }
        line += width;
        size.width = std::max(size.width, line);
    }
    return size;
}

Caret caret_to_offset(TextView text, size_t index, int32_t width_limit, bool lower) {
    Caret caret{0, 0};
    size_t walked = std::min(index, text.size());
    if (lower) {
        for (size_t i = 0; i < walked; ++i) advance(caret, text[i], width_limit);
        return {caret.column, caret.line + 1};
    }
    if (walked == 0) return caret;
    for (size_t i = 0; i + 1 < walked; ++i) advance(caret, text[i], width_limit);
    // Where the character itself starts: on the next line when it does not fit.
    char32_t code = text[walked - 1];
    if (code != LF && width_limit > 0 && caret.column > 0 && caret.column + cell_width(code) > width_limit)
        caret = {0, caret.line + 1};
    return caret;
}

int32_t offset_to_caret(TextView text, int32_t x, int32_t y, int32_t width_limit, bool character) {
    size_t at = 0;
    int32_t column = 0, line = 0;
    // The lines above the point.
    while (line < y && at < text.size()) {
        char32_t code = text[at];
        if (code == LF) {
            ++line;
            ++at;
            column = 0;
            continue;
        }
        int32_t width = cell_width(code);
        column += width;
        ++at;
        if (width_limit <= 0 || column < width_limit) continue;
        ++line;
        // A character that crossed the limit starts the new line.
        if (column > width_limit && width <= width_limit) --at;
        column = 0;
    }
    // The characters of the point's line left of it; a point past the
    // line's end stays on the line, before its line feed.
    while (column < x && at < text.size() && text[at] != LF) column += cell_width(text[at++]);
    int32_t index = int32_t(at) + 1;
    if (character && column <= x && line <= y && at == text.size()) --index;
    return index;
}

void style_cells(std::span<ScreenCell> cells, int32_t start, int32_t length, CellStyle style, uint32_t colour) {
    int64_t first = std::max<int64_t>(start, 0);
    int64_t end = std::min<int64_t>(int64_t(start) + std::max(length, 0), int64_t(cells.size()));
    for (int64_t i = first; i < end; ++i) {
        ScreenCell& cell = cells[size_t(i)];
        switch (style) {
        case CellStyle::foreground: cell.foreground = colour; break;
        case CellStyle::background: cell.background = colour; break;
        case CellStyle::bold: cell.attributes |= ATTR_BOLD; break;
        case CellStyle::italic: cell.attributes |= ATTR_ITALIC; break;
        case CellStyle::underline: cell.attributes |= ATTR_UNDERLINE; break;
        case CellStyle::strike: cell.attributes |= ATTR_STRIKE; break;
        }
    }
}

}  // namespace vek::view::backends::terminal
