#include "view/backends/terminal/rich_text.h"

#include "runtime/core/system.h"
#include "runtime/core/unwind.h"
#include "view/backends/terminal/draw.h"
#include "view/backends/terminal/text.h"

namespace vek::view::backends::terminal {

void CellTextBox::set_color(int32_t start, int32_t length, draw::Colour colour) {
    style_cells(cells_, start, length, CellStyle::foreground, colour_value(colour));
}

void CellTextBox::set_backdrop(int32_t start, int32_t length, draw::Colour colour) {
    style_cells(cells_, start, length, CellStyle::background, colour_value(colour));
}

void CellTextBox::set_bold(int32_t start, int32_t length, int32_t) {
    style_cells(cells_, start, length, CellStyle::bold);
}

void CellTextBox::set_italic(int32_t start, int32_t length) { style_cells(cells_, start, length, CellStyle::italic); }

void CellTextBox::set_underline(int32_t start, int32_t length, const Cell*, const Cell*) {
    style_cells(cells_, start, length, CellStyle::underline);
}

void CellTextBox::set_strike(int32_t start, int32_t length, const Cell*, const Cell*) {
    style_cells(cells_, start, length, CellStyle::strike);
}

void style_rich_text(std::span<ScreenCell> cells, const Cell* runs, const Cell* text) {
    CellTextBox box(cells);
    draw::StackMark mark;
    try {
        rich_text::apply_text_styles(box, runs, text, false);
    } catch (VekThrow& thrown) {
        if (thrown.code != CODE_DRAW_SILENT) throw;
        mark.restore();
        sysrec.thrown_code = 0;
    }
}

}  // namespace vek::view::backends::terminal
