// Style runs of rich text handed to a backend's text box: the data facet of
// a rich-text face is a block of ranges (a pair, start x length, 1-based in
// characters) each followed by its styles (a colour, a font name, a size,
// backdrop and a colour, bold, italic, underline, strike, border). The
// applier walks the block and calls the text box once per style with the
// current range; a bad value is reported as draw-invalid at that value, as
// the draw dialect reports its errors (view/draw.h), the ranges styled
// before it staying styled.
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"
#include "view/draw.h"

namespace vek::view::rich_text {

// A backend's styled text. start and length count characters (code points,
// one cell each on the terminal); a length of zero or less styles nothing.
// first and last are the cells of the values after a style word, last the
// last one consumed (first - 1 when none was). The defaults do nothing.
class TextBox {
public:
    virtual ~TextBox() = default;
    virtual void set_color(int32_t start, int32_t length, draw::Colour colour) { (void)start, (void)length, (void)colour; }
    virtual void set_backdrop(int32_t start, int32_t length, draw::Colour colour) {
        (void)start, (void)length, (void)colour;
    }
    virtual void set_bold(int32_t start, int32_t length, int32_t weight) { (void)start, (void)length, (void)weight; }
    virtual void set_italic(int32_t start, int32_t length) { (void)start, (void)length; }
    virtual void set_underline(int32_t start, int32_t length, const Cell* first, const Cell* last) {
        (void)start, (void)length, (void)first, (void)last;
    }
    virtual void set_strike(int32_t start, int32_t length, const Cell* first, const Cell* last) {
        (void)start, (void)length, (void)first, (void)last;
    }
    virtual void set_border(int32_t start, int32_t length, const Cell* first, const Cell* last) {
        (void)start, (void)length, (void)first, (void)last;
    }
    virtual void set_font_name(int32_t start, int32_t length, const Cell* name) { (void)start, (void)length, (void)name; }
    virtual void set_font_size(int32_t start, int32_t length, double size) { (void)start, (void)length, (void)size; }
};

// Applies the runs (a block) to the text box over the text (a string, from
// its index). Errors as the draw dialect's, with the catch flag.
void apply_text_styles(TextBox& box, const Cell* runs, const Cell* text, bool catch_errors);

}  // namespace vek::view::rich_text
