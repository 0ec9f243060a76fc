// The draw dialect on character cells: the canvas that draws a face's draw
// block into the screen, at the face's origin and inside its clip box. Pen
// strokes are full blocks in the pen colour, fills are spaces on the fill
// colour, boxes are framed with line-drawing characters, and text goes
// through the face text writer. Colours follow the 256-colour rule whatever
// the colour mode. Everything else the dialect knows (line styles,
// polygons, curves, arcs, shapes, gradient, pattern and bitmap pens, clips,
// transformations, images, shadows) is accepted and draws nothing. A canvas
// without a screen (a drawing on an image) draws nothing at all.
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"
#include "view/backends/terminal/screen.h"
#include "view/backends/terminal/text.h"
#include "view/draw.h"

namespace vek::view::backends::terminal {

// A colour of the draw dialect as a cell colour (the 256-colour rule).
uint32_t colour_value(draw::Colour colour);

class CellCanvas : public draw::Canvas {
public:
    // Draws into the screen with the face's origin at x, y, only inside the
    // clip box (which lies inside the screen); a null screen draws nothing.
    CellCanvas(Screen* screen, int32_t x, int32_t y, CellBox clip) : screen_(screen), x_(x), y_(y), clip_(clip) {}

    void begin(const Cell* image) override;
    void pen(draw::Colour colour, bool off, bool fill) override;
    void box(const Cell* first, const Cell* last) override;
    void line(const Cell* first, const Cell* last) override;
    void triangle(const Cell* first) override;
    void circle(const Cell* centre, const Cell* last) override;
    void ellipse(const Cell* top_left, const Cell* size) override;
    void font(const Cell* font) override;
    bool text(const Cell* point, const Cell* text, bool catch_errors) override;

private:
    // Cells in face coordinates, written only inside the clip box.
    bool inside(int64_t x, int64_t y) const;
    void stroke(int64_t x, int64_t y);
    void fill_span(int64_t y, int64_t from, int64_t to);
    void segment(int64_t x0, int64_t y0, int64_t x1, int64_t y1);
    void ellipse_cells(int64_t xm, int64_t ym, int64_t a, int64_t b);
    void ellipse_point(int64_t x, int64_t y, int64_t xm);
    uint32_t text_colour() const;

    Screen* screen_;     // the target; nullptr for an image
    int32_t x_, y_;      // the face's origin in the screen
    CellBox clip_;       // the cells that may be written
    bool pen_on_ = true;
    uint32_t pen_colour_ = COLOUR_DEFAULT;
    bool fill_on_ = false;
    uint32_t fill_colour_ = COLOUR_DEFAULT;
    bool font_colour_set_ = false;  // a font's colour colours text, else the pen's
    uint32_t font_colour_ = COLOUR_DEFAULT;
};

// Runs the face's draw block, when it holds a value, over the face drawn at
// x, y in the clip box. A bad block prints its error and stops there.
void draw_face(const Cell* face, int32_t x, int32_t y, CellBox clip);

}  // namespace vek::view::backends::terminal
