// Rich text on character cells: the style runs of a rich-text face applied
// to its cells, one cell per character. A colour sets the foreground,
// backdrop the background; bold, italic, underline and strike set their
// attributes; border, font names and font sizes change nothing.
#pragma once

#include <cstdint>
#include <span>

#include "runtime/core/cell.h"
#include "view/backends/terminal/screen.h"
#include "view/rich_text.h"

namespace vek::view::backends::terminal {

class CellTextBox : public rich_text::TextBox {
public:
    explicit CellTextBox(std::span<ScreenCell> cells) : cells_(cells) {}

    void set_color(int32_t start, int32_t length, draw::Colour colour) override;
    void set_backdrop(int32_t start, int32_t length, draw::Colour colour) override;
    void set_bold(int32_t start, int32_t length, int32_t weight) override;
    void set_italic(int32_t start, int32_t length) override;
    void set_underline(int32_t start, int32_t length, const Cell* first, const Cell* last) override;
    void set_strike(int32_t start, int32_t length, const Cell* first, const Cell* last) override;

private:
    std::span<ScreenCell> cells_;  // the text's cells, one per character
};

// Styles the cells of the text (one per character) by the runs. A bad run
// raises draw-invalid; under system/view/silent? the styling stops there
// quietly, the cells styled so far kept.
void style_rich_text(std::span<ScreenCell> cells, const Cell* runs, const Cell* text);

}  // namespace vek::view::backends::terminal
