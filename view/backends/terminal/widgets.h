// Widgets: the terminal backend's record behind every shown face, made by
// make-view and freed with its face's subtree by destroy-view. A widget
// keeps its face, its kind (the face's type), its box in cells relative to
// its parent, its flags, the cells of its image and the routine that renders
// it. Widgets live in one table reached by 32-bit ids that carry a
// generation: a face's state block holds its widget's id as a window
// handle!, and the id of a freed widget names nothing, even once its slot
// serves another widget. Every window widget has a window record; the
// windows form a list whose current one is the root of rendering. The
// backend's state (the widgets, the windows, the screen, the input, the
// colour mode) is one record; a mark callback keeps the faces and the Vek
// values of the widgets alive.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "runtime/core/cell.h"
#include "view/backends/terminal/input.h"
#include "view/backends/terminal/screen.h"
#include "view/backends/terminal/text.h"

namespace vek::view::backends::terminal {

// A widget's id; 0 names none.
using WidgetId = uint32_t;

enum WidgetFlag : uint32_t {
    WIDGET_SIZE_PAIR = 0x10000,   // the face's size was a pair!
    WIDGET_HIDDEN = 0x20000,      // visible? not true
    WIDGET_DISABLED = 0x40000,    // enabled? not true
    WIDGET_ALL_OVER = 0x100000,   // gets every pointer move
    WIDGET_CARET = 0x200000,      // shows a caret
    WIDGET_FOCUSABLE = 0x400000,  // can take the focus
    WIDGET_LEFT = 0x1000000,      // pressed, and the pointer has left it
    WIDGET_FOCUSED = 0x2000000,   // has the focus
    WIDGET_PASSWORD = 0x10000000, // text cells masked
    WIDGET_FULLSCREEN = 0x40000000,
};

struct Widget;
// Renders the widget at its absolute position, clipped.
using RenderFn = void (*)(Widget& widget, int32_t x, int32_t y, CellBox clip);
// A kind's own answer to an event sent to its widget, before the view hears
// of it; for a key, once the view's handlers left it unhandled.
using EventFn = void (*)(Widget& widget, const InputEvent& event);
// A kind's work when its face was updated: the face's look computed again.
// It may run Vek code.
using UpdateFn = void (*)(Widget& widget);

// Where a field's caret stands.
struct FieldCaret {
    int32_t index;   // in characters from the text's head
    int32_t column;  // in cells
    int32_t width;   // the text's width in cells
};

// What a window widget keeps besides.
struct WindowRecord {
    float x1, y1, x2, y2;     // the extent: the window's box and its direct children's
    WidgetId focused;         // the widget with the focus, 0 for none
    int32_t caret_widgets;    // widgets that show a caret
};

struct Widget {
    uint32_t generation;     // of the slot, part of the id
    bool live;               // the slot holds a widget
    uint32_t kind;           // the symbol of the face's type
    uint32_t flags;          // WidgetFlag bits
    float x1, y1, x2, y2;    // the box, relative to the parent's origin
    WidgetId parent;         // 0 for a window
    int32_t image_width;     // the image's cells per row
    std::vector<ScreenCell> image_cells;  // the face's image as half blocks, row by row
    Cell ui_text;            // a text drawn before the face's, none! when unset
    Cell face;               // the face
    RenderFn render;
    EventFn on_event;        // nullptr: the kind does nothing with events
    UpdateFn on_update;      // nullptr: the kind does nothing on an update
    FieldCaret caret;        // fields only
    int32_t first_row;       // text-lists: the first visible row, from 0
    std::unique_ptr<WindowRecord> window;  // windows only
};

struct Backend {
    std::vector<Widget> widgets;        // slot 0 unused
    std::vector<uint32_t> free_slots;   // slots to reuse
    std::vector<WidgetId> windows;      // the window list
    WidgetId current_window = 0;        // the root of rendering
    Screen screen;
    InputParser input;
    ColourMode colour_mode = ColourMode::rgb;  // how image pixels are coloured
};
Backend& backend();
// Frees every widget and starts afresh (tests).
void reset_backend();

// Registers the mark callback of the widgets (at every start; the backend's
// words are interned by init_words).
void init_widgets();

// The live widget of an id, nullptr when it names none.
Widget* find_widget(WidgetId id);
// The widget of a face whose state block starts with a window handle!.
Widget* face_widget(const Cell* face);
WidgetId id_of(const Widget& widget);

// make-view: the widget of a face, as a child of the parent's widget (0 for
// a window). The face's flags are checked before anything is made (script
// invalid-arg for a word that names no flag); a pair! offset becomes a
// point2D! in the face, and a window's offset 0x0.
WidgetId make_widget(const Cell* face, WidgetId parent);

// destroy-view: the widget of the face and those of its pane's faces, and
// the face's state set to none; the face leaves the parent lists of its font
// and para. Nothing for a face without a widget.
void destroy_widget(const Cell* face);

// Asks for a frame when the widget's window is the current one.
void request_redraw(const Widget& widget);

// Sizes the screen to the current window, clears it and renders the window's
// tree into it.
void render_tree();

// The widget's window.
Widget* window_of(Widget& widget);

// The widget of the face at index i of the pane block when the widget
// named parent made it; nullptr for any other value.
Widget* pane_child(const Cell* pane, uint32_t i, WidgetId parent);

// The child of the widget under a point relative to the widget's origin:
// the faces of its pane from the last drawn to the first, the first shown
// one whose box holds the point; nullptr for none.
Widget* hit_test(Widget& widget, float x, float y);

}  // namespace vek::view::backends::terminal
