#include "view/backends/terminal/draw.h"

#include <algorithm>
#include <cmath>

#include "runtime/datatypes/compound/pair.h"
#include "runtime/datatypes/compound/point.h"
#include "runtime/datatypes/image/image.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/number/float.h"
#include "runtime/datatypes/number/integer.h"
#include "view/backends/terminal/faces.h"
#include "view/backends/terminal/render.h"
#include "view/backends/terminal/routines.h"
#include "view/backends/terminal/widgets.h"

namespace vek::view::backends::terminal {

namespace {

constexpr char32_t FULL_BLOCK = 0x2588;
constexpr char32_t TOP_LEFT = 0x250C, TOP_RIGHT = 0x2510, BOTTOM_LEFT = 0x2514, BOTTOM_RIGHT = 0x2518;
constexpr char32_t VERTICAL = 0x2502, HORIZONTAL = 0x2500;

// Coordinates past this many cells from the face are pulled in before a
// line is walked, and radii are cut to it, so that an absurd value costs no
// more than a large one. Nothing inside a terminal changes by it.
constexpr int64_t FAR = 1 << 16;

struct Point {
    int64_t x;  // cells right of the face's origin
    int64_t y;  // cells below it
};

// A float coordinate truncated; NaN gives 0 and the infinities the ends of
// the range.
int64_t whole(double value) {
    if (std::isnan(value)) return 0;
    return int64_t(std::clamp(std::trunc(value), -2147483648.0, 2147483647.0));
}

Point point_of(const Cell* value) {
    if (cell_type(value) == TYPE_PAIR) return {pair::x(value), pair::y(value)};
    return {whole(point2d::x(value)), whole(point2d::y(value))};
}

// A radius: an integer, or a float rounded to the nearest cell.
int64_t radius_of(const Cell* value) {
    if (cell_type(value) == TYPE_INTEGER) return integer::get(value);
    return whole(std::round(float_::get(value)));
}

// Cuts a segment that reaches further than FAR from the face's origin to
// the square within FAR, so that its cells near the face stay those of the
// whole segment; false when it misses the square.
bool cut_far_segment(int64_t& x0, int64_t& y0, int64_t& x1, int64_t& y1) {
    if (std::max({std::abs(x0), std::abs(y0), std::abs(x1), std::abs(y1)}) <= FAR) return true;
    double dx = double(x1 - x0), dy = double(y1 - y0), t0 = 0, t1 = 1;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {double(x0 + FAR), double(FAR - x0), double(y0 + FAR), double(FAR - y0)};
    for (int k = 0; k < 4; ++k) {
        if (p[k] == 0) {
            if (q[k] < 0) return false;
        } else if (p[k] < 0) {
            t0 = std::max(t0, q[k] / p[k]);
        } else {
            t1 = std::min(t1, q[k] / p[k]);
        }
    }
    if (t0 > t1) return false;
    int64_t ax = x0, ay = y0;
    x0 = ax + std::llround(t0 * dx), y0 = ay + std::llround(t0 * dy);
    x1 = ax + std::llround(t1 * dx), y1 = ay + std::llround(t1 * dy);
    return true;
}

}  // namespace

uint32_t colour_value(draw::Colour colour) {
    uint32_t v = colour.value;
    uint8_t alpha = colour.has_alpha ? uint8_t(v >> 24) : 0;
    return cell_colour({uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16)}, alpha);
}

// ---------------------------------------------------------------- cells

bool CellCanvas::inside(int64_t x, int64_t y) const {
    if (!screen_) return false;
    x += x_;
    y += y_;
    return x >= clip_.x1 && x < clip_.x2 && y >= clip_.y1 && y < clip_.y2;
}

void CellCanvas::stroke(int64_t x, int64_t y) {
    if (!pen_on_ || !inside(x, y)) return;
    ScreenCell& cell = screen_->at(int32_t(x + x_), int32_t(y + y_));
    cell.code = FULL_BLOCK;
    cell.foreground = pen_colour_;
}

// The cells from..to (inclusive, either order) of the row as fill.
void CellCanvas::fill_span(int64_t y, int64_t from, int64_t to) {
    if (!fill_on_ || !screen_ || y + y_ < clip_.y1 || y + y_ >= clip_.y2) return;
    int64_t left = std::max(std::min(from, to) + x_, int64_t(clip_.x1));
    int64_t right = std::min(std::max(from, to) + x_, int64_t(clip_.x2) - 1);
    for (int64_t x = left; x <= right; ++x) {
        ScreenCell& cell = screen_->at(int32_t(x), int32_t(y + y_));
        cell.code = U' ';
        cell.background = fill_colour_;
    }
}

// Bresenham's line over every octant, both ends drawn.
void CellCanvas::segment(int64_t x0, int64_t y0, int64_t x1, int64_t y1) {
    if (!cut_far_segment(x0, y0, x1, y1)) return;
    int64_t dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
    int64_t sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
    int64_t err = dx + dy;
    for (;;) {
        stroke(x0, y0);
        if (x0 == x1 && y0 == y1) return;
        int64_t e2 = 2 * err;
        if (e2 >= dy) err += dy, x0 += sx;
        if (e2 <= dx) err += dx, y0 += sy;
    }
}

// A point of the ellipse's outline and, with the fill on, the row from it
// to the centre.
void CellCanvas::ellipse_point(int64_t x, int64_t y, int64_t xm) {
    stroke(x, y);
    if (x != xm) fill_span(y, x < xm ? x + 1 : xm, x < xm ? xm : x - 1);
}

// The integer ellipse that walks one quadrant and mirrors it.
void CellCanvas::ellipse_cells(int64_t xm, int64_t ym, int64_t a, int64_t b) {
    a = std::min(a, FAR);
    b = std::min(b, FAR);
    int64_t x = -a, y = 0;
    int64_t dx = (2 * x + 1) * b * b, dy = a * a, err = dx + dy;
    while (x <= 0) {
        ellipse_point(xm - x, ym + y, xm);
        ellipse_point(xm + x, ym + y, xm);
        ellipse_point(xm + x, ym - y, xm);
        ellipse_point(xm - x, ym - y, xm);
        int64_t e2 = 2 * err;
        if (e2 >= dx) ++x, dx += 2 * b * b, err += dx;
        if (e2 <= dy) ++y, dy += 2 * a * a, err += dy;
    }
    while (++y < b) {
        ellipse_point(xm, ym + y, xm);
        ellipse_point(xm, ym - y, xm);
    }
}

uint32_t CellCanvas::text_colour() const {
    if (font_colour_set_) return font_colour_;
    return pen_on_ ? pen_colour_ : COLOUR_DEFAULT;
}

// ---------------------------------------------------------------- primitives

void CellCanvas::begin(const Cell*) {
    pen_on_ = true;
    pen_colour_ = COLOUR_DEFAULT;
    fill_on_ = false;
    font_colour_set_ = false;
}

void CellCanvas::pen(draw::Colour colour, bool off, bool fill) {
    (fill ? fill_on_ : pen_on_) = !off;
    if (!off) (fill ? fill_colour_ : pen_colour_) = colour_value(colour);
}

void CellCanvas::box(const Cell* first, const Cell*) {
    if (!screen_) return;
    Point a = point_of(first), b = point_of(first + 1);
    int64_t x1 = std::max(std::min(a.x, b.x), int64_t(0)), y1 = std::max(std::min(a.y, b.y), int64_t(0));
    int64_t x2 = std::min(std::max(a.x, b.x), int64_t(screen_->width()) - 1 - x_);
    int64_t y2 = std::min(std::max(a.y, b.y), int64_t(screen_->height()) - 1 - y_);
    for (int64_t y = std::max(y1, int64_t(clip_.y1) - y_); y <= y2; ++y) {
        for (int64_t x = std::max(x1, int64_t(clip_.x1) - x_); x <= x2; ++x) {
            if (!inside(x, y)) continue;
            ScreenCell& cell = screen_->at(int32_t(x + x_), int32_t(y + y_));
            if (fill_on_) cell.code = U' ', cell.background = fill_colour_;
            if (!pen_on_) continue;
            bool left = x == x1, right = x == x2, top = y == y1, bottom = y == y2;
            if (!left && !right && !top && !bottom) continue;
            cell.code = top ? (left ? TOP_LEFT : right ? TOP_RIGHT : HORIZONTAL)
                      : bottom ? (left ? BOTTOM_LEFT : right ? BOTTOM_RIGHT : HORIZONTAL)
                               : VERTICAL;
            cell.foreground = pen_colour_;
        }
    }
}

void CellCanvas::line(const Cell* first, const Cell* last) {
    for (const Cell* from = first; from < last; ++from) {
        Point a = point_of(from), b = point_of(from + 1);
        segment(a.x, a.y, b.x, b.y);
    }
}

void CellCanvas::triangle(const Cell* first) {
    Point p[3] = {point_of(first), point_of(first + 1), point_of(first + 2)};
    std::sort(p, p + 3, [](Point a, Point b) { return a.y < b.y; });
    int64_t height = p[2].y - p[0].y, upper = p[1].y - p[0].y, lower = p[2].y - p[1].y;
    int64_t first_row = std::max(int64_t(0), int64_t(clip_.y1) - y_ - p[0].y);
    int64_t last_row = std::min(height, int64_t(clip_.y2) - y_ - p[0].y);
    for (int64_t i = first_row; fill_on_ && i < last_row; ++i) {
        bool second = i > upper || upper == 0;
        double t = double(i) / double(height);
        double s = double(i - (second ? upper : 0)) / double(second ? lower : upper);
        int64_t a = p[0].x + int64_t(double(p[2].x - p[0].x) * t);
        int64_t b = second ? p[1].x + int64_t(double(p[2].x - p[1].x) * s) : p[0].x + int64_t(double(p[1].x - p[0].x) * s);
        fill_span(p[0].y + i, a, b);
    }
    segment(p[0].x, p[0].y, p[1].x, p[1].y);
    segment(p[1].x, p[1].y, p[2].x, p[2].y);
    segment(p[2].x, p[2].y, p[0].x, p[0].y);
}

void CellCanvas::circle(const Cell* centre, const Cell* last) {
    int64_t r = radius_of(last);
    if (r <= 0) return;
    Point c = point_of(centre);
    ellipse_cells(c.x, c.y, 2 * std::min(r, FAR), r);
}

void CellCanvas::ellipse(const Cell* top_left, const Cell* size) {
    Point corner = point_of(top_left), extent = point_of(size);
    if (extent.x < 1 || extent.y < 1) return;
    int64_t a = int64_t((double(extent.x) + 0.5) / 2), b = int64_t((double(extent.y) + 0.5) / 2);
    ellipse_cells(corner.x + a, corner.y + b, a, b);
}

void CellCanvas::font(const Cell* font) {
    const Cell* colour = field(font, Word::COLOR);
    font_colour_set_ = colour && cell_type(colour) == TYPE_TUPLE;
    if (font_colour_set_) font_colour_ = colour_of(colour);
}

bool CellCanvas::text(const Cell* point, const Cell* text, bool) {
    if (!screen_) return true;
    Point at = point_of(point);
    int64_t x = std::clamp(at.x + x_, -FAR, FAR), y = std::clamp(at.y + y_, -FAR, FAR);
    uint32_t flags = RENDER_INTERPRET | RENDER_WRAP;
    if (cell_type(text) != TYPE_OBJECT) {
        write_text(*screen_, text_of(text), int32_t(x), int32_t(y), clip_, flags, text_colour());
        return true;
    }
    const Cell* string = facet(text, Facet::TEXT);
    if (!is_face(text) || !is_any_string(cell_type(string))) return true;
    // A face that is not shown is laid out in a widget of its size made here.
    Widget laid_out{};
    const Widget* widget = face_widget(text);
    if (!widget) {
        const Cell* size = facet(text, Facet::SIZE);
        if (cell_type(size) == TYPE_PAIR || cell_type(size) == TYPE_POINT2D) {
            Point extent = point_of(size);
            laid_out.x2 = float(std::clamp(extent.x, int64_t(0), FAR));
            laid_out.y2 = float(std::clamp(extent.y, int64_t(0), FAR));
        }
        widget = &laid_out;
    }
    write_aligned(*screen_, *widget, text_of(string), int32_t(x), int32_t(y), clip_, flags,
                  alignment_of(facet(text, Facet::PARA)), text_colour());
    return true;
}

// ---------------------------------------------------------------- faces and images

void draw_face(const Cell* face, int32_t x, int32_t y, CellBox clip) {
    Cell commands = *facet(face, Facet::DRAW);
    CellCanvas canvas(&backend().screen, x, y, clip);
    draw::do_draw(canvas, nullptr, &commands, true);
}

routine::Arg draw_image(const routine::Arg* args) {
    const Cell* image = args[0].cell;
    if (cell_type(image) == TYPE_IMAGE && image::width(image) > 0 && image::height(image) > 0) {
        CellCanvas canvas(nullptr, 0, 0, {0, 0, 0, 0});
        draw::do_draw(canvas, image, args[1].cell, false);
    }
    return {.cell = none::push()};
}

}  // namespace vek::view::backends::terminal
