#include "view/backends/terminal/render.h"

#include <algorithm>
#include <cmath>

#include "runtime/datatypes/image/image.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/core/stack.h"
#include "view/backends/terminal/draw.h"
#include "view/backends/terminal/faces.h"

namespace vek::view::backends::terminal {

namespace {

constexpr char32_t LOWER_HALF_BLOCK = 0x2584;
// Faces larger than this many cells get no image cells: no terminal shows
// them, and their scaled image would be huge. A side of an image is at most
// 65535 pixels.
constexpr int64_t MAX_IMAGE_CELLS = 1 << 20;
constexpr int32_t MAX_IMAGE_SIDE = 65535;

CellBox intersect(CellBox a, CellBox b) {
    return {std::max(a.x1, b.x1), std::max(a.y1, b.y1), std::min(a.x2, b.x2), std::min(a.y2, b.y2)};
}

int32_t cells(float extent) { return extent > 0 ? int32_t(std::min(std::trunc(extent), 1e6f)) : 0; }

bool non_empty_string(const Cell* value) {
    return is_any_string(cell_type(value)) && text_of(value).size() > 0;
}

// The hint of the options block: the string after the word hint.
const Cell* hint_of(const Cell* face) {
    const Cell* options = facet(face, Facet::OPTIONS);
    if (!is_any_block(cell_type(options))) return nullptr;
    SeriesBuffer* buffer = series_buffer(options);
    for (uint32_t i = series_index(options); i + 1 < buffer->length(); ++i) {
        const Cell* key = buffer->cells() + i;
        const Cell* value = key + 1;
        if (is_word(key, Word::HINT) && is_any_string(cell_type(value))) return value;
    }
    return nullptr;
}

void fill(Screen& screen, CellBox box, uint32_t background) {
    for (int32_t y = box.y1; y < box.y2; ++y)
        for (int32_t x = box.x1; x < box.x2; ++x) screen.at(x, y) = {U' ', background, COLOUR_DEFAULT, 0};
}

void copy_image(Screen& screen, const Widget& widget, int32_t x, int32_t y, CellBox clip, uint32_t flags) {
    if (widget.image_width <= 0) return;
    for (size_t i = 0; i < widget.image_cells.size(); ++i) {
        int32_t cx = x + int32_t(i % size_t(widget.image_width));
        int32_t cy = y + int32_t(i / size_t(widget.image_width));
        if (cx < clip.x1 || cx >= clip.x2 || cy < clip.y1 || cy >= clip.y2) continue;
        ScreenCell cell = widget.image_cells[i];
        cell.attributes |= flags & RENDER_ATTRIBUTES;
        screen.at(cx, cy) = cell;
    }
}

// The widget and its pane's widgets at their absolute position: the window
// clips nothing, any other parent its children to its own clip box.
void render_widget(Widget& widget, float x, float y, CellBox parent_clip) {
    if (widget.flags & WIDGET_HIDDEN) return;
    Screen& screen = backend().screen;
    x += widget.window ? 0 : widget.x1;
    y += widget.window ? 0 : widget.y1;
    auto left = int32_t(std::trunc(x)), top = int32_t(std::trunc(y));
    CellBox box{left, top, left + cells(widget.x2 - widget.x1), top + cells(widget.y2 - widget.y1)};
    CellBox clip = widget.window ? parent_clip : intersect(box, parent_clip);
    clip = intersect(clip, {0, 0, screen.width(), screen.height()});
    // A draw block may run user code (a label's on-change*), which may make
    // widgets and move them: the widget is found again by its id.
    WidgetId id = id_of(widget);
    widget.render(widget, left, top, clip);
    Widget* rendered = find_widget(id);
    if (!rendered) return;
    Cell pane = *facet(&rendered->face, Facet::PANE);
    if (!is_any_block(cell_type(&pane))) return;
    for (uint32_t i = series_index(&pane); i < series_buffer(&pane)->length(); ++i)
        if (Widget* child = pane_child(&pane, i, id)) render_widget(*child, x, y, clip);
}

}  // namespace

void write_aligned(Screen& screen, const Widget& widget, TextView text, int32_t x, int32_t y, CellBox clip,
                   uint32_t flags, uint32_t alignment, uint32_t foreground) {
    int32_t width = cells(widget.x2 - widget.x1), height = cells(widget.y2 - widget.y1);
    if (alignment & ~ALIGN_WRAP) {
        TextSize size = measure_text(text, alignment & ALIGN_WRAP ? width : 0, flags & RENDER_INTERPRET);
        if (alignment & ALIGN_CENTER) x += (width - size.width) / 2;
        if (alignment & ALIGN_RIGHT) x += width - size.width;
        if (alignment & ALIGN_MIDDLE) y += (height - size.lines) / 2;
        if (alignment & ALIGN_BOTTOM) y += height - size.lines;
    }
    write_text(screen, text, x, y, clip, flags | (alignment & ALIGN_WRAP), foreground);
}

void render_nothing(Widget&, int32_t, int32_t, CellBox) {}

void render_default(Widget& widget, int32_t x, int32_t y, CellBox clip) {
    render_face(widget, x, y, clip, RENDER_INTERPRET);
}

void render_face(Widget& widget, int32_t x, int32_t y, CellBox clip, uint32_t flags) {
    if (clip.empty()) return;
    Screen& screen = backend().screen;
    const Cell* face = &widget.face;
    const Cell* font_colour = field(facet(face, Facet::FONT), Word::COLOR);
    uint32_t foreground = font_colour ? colour_of(font_colour) : COLOUR_DEFAULT;
    uint32_t alignment = alignment_of(facet(face, Facet::PARA));
    fill(screen, clip, colour_of(facet(face, Facet::COLOR)));
    copy_image(screen, widget, x, y, clip, flags);
    if (is_any_string(cell_type(&widget.ui_text)))
        write_text(screen, text_of(&widget.ui_text), x, y, clip, flags, foreground);
    if (!(flags & RENDER_NO_TEXT)) {
        const Cell* text = facet(face, Facet::TEXT);
        if (non_empty_string(text)) {
            write_aligned(screen, widget, text_of(text), x, y, clip, flags, alignment, foreground);
        } else if (const Cell* hint = hint_of(face)) {
            write_aligned(screen, widget, text_of(hint), x, y, clip, flags | RENDER_FAINT, alignment, foreground);
        }
    }
    Cell shown = widget.face;
    draw_face(&shown, x, y, clip);
}

void render_tree() {
    Screen& screen = backend().screen;
    Widget* window = find_widget(backend().current_window);
    if (!window) {
        screen.resize(0, 0);
        return;
    }
    screen.resize(window->window->x2, window->window->y2);
    screen.clear();
    render_widget(*window, 0, 0, {0, 0, screen.width(), screen.height()});
}

void prerender_image(Widget& widget, const Cell* image) {
    widget.image_cells.clear();
    widget.image_width = 0;
    int32_t width = cells(widget.x2 - widget.x1), height = cells(widget.y2 - widget.y1);
    if (width <= 0 || height <= 0 || int64_t(width) * height > MAX_IMAGE_CELLS || width > MAX_IMAGE_SIDE ||
        2 * height > MAX_IMAGE_SIDE)
        return;
    WidgetId id = id_of(widget);
    Cell* scaled = image::push_resized(image, width, 2 * height);
    image::Lock lock = image::acquire_buffer(scaled);
    Widget& target = *find_widget(id);
    if (lock.pixels) {
        ColourMode mode = backend().colour_mode;
        auto colour = [mode](uint32_t pixel) {
            return pixel_colour({uint8_t(pixel >> 16), uint8_t(pixel >> 8), uint8_t(pixel)}, mode);
        };
        target.image_cells.reserve(size_t(width) * size_t(height));
        for (int32_t row = 0; row < height; ++row) {
            for (int32_t column = 0; column < width; ++column) {
                uint32_t upper = lock.pixels[size_t(2 * row) * size_t(width) + size_t(column)];
                uint32_t lower = lock.pixels[size_t(2 * row + 1) * size_t(width) + size_t(column)];
                if ((upper >> 24) == 0) target.image_cells.push_back({U' ', COLOUR_DEFAULT, COLOUR_DEFAULT, 0});
                else target.image_cells.push_back({LOWER_HALF_BLOCK, colour(upper), colour(lower), 0});
            }
        }
        target.image_width = width;
    }
    image::release_buffer(lock, false);
    stack::pop(1);
}

}  // namespace vek::view::backends::terminal
