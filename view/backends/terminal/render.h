// Rendering widgets into the screen's cells: the default rendering of a face
// (its colour, image, ui text and text, aligned by its para, or its hint when
// it has no text), a window (nothing of its own: its children draw), the
// tree of a window, and a face's image turned into half-block cells.
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"
#include "view/backends/terminal/widgets.h"

namespace vek::view::backends::terminal {

// Render functions of the widget kinds.
void render_default(Widget& widget, int32_t x, int32_t y, CellBox clip);
void render_nothing(Widget& widget, int32_t x, int32_t y, CellBox clip);

// The default rendering with the flags (RenderFlag).
void render_face(Widget& widget, int32_t x, int32_t y, CellBox clip, uint32_t flags);

// The text placed in the widget's box by the alignment (Alignment), written
// as write_text writes it.
void write_aligned(Screen& screen, const Widget& widget, TextView text, int32_t x, int32_t y, CellBox clip,
                   uint32_t flags, uint32_t alignment, uint32_t foreground);

// The image as the widget's cells: scaled to its width and twice its height
// in pixels, each cell the lower half block with the upper pixel as
// background and the lower one as foreground, or a space where the upper
// pixel is fully transparent. Pixels follow the backend's colour mode.
void prerender_image(Widget& widget, const Cell* image);

}  // namespace vek::view::backends::terminal
