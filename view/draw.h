// The draw dialect: a block of drawing commands (pens, boxes, lines, text,
// shapes, transformations) checked value by value and handed to a backend's
// canvas, one call per command. The walk computes no geometry: a primitive
// gets pointers to the argument cells inside the walked block, valid only
// for the duration of that call, and reads the values itself. A backend
// implements the primitives it can draw and leaves the others as they are
// here, without effect.
//
// A bad command is reported as script draw-invalid at the offending value
// (draw-infinite for a block met again inside its own walk). Under
// system/view/silent? nothing is printed or raised and the drawing simply
// stops. A walk with the catch flag prints the error instead of raising it;
// either way do_draw is the one place that stops the walk.
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/core/stack.h"

namespace vek::view::draw {

enum class Word : uint32_t {
#define VEK_DRAW_WORD(NAME, word) NAME,
#include "view/draw_words.def"
#undef VEK_DRAW_WORD
    COUNT
};

// Declares the words' symbols to the heap image; at every start.
void init_word_hooks();
// Interns the words; before any walk.
void init_words();
// Whether the value is a word of any kind naming the keyword.
bool is_word(const Cell* value, Word word);
// The keyword's canonical symbol.
uint32_t symbol_of(Word word);

// A colour value: the tuple's first four bytes, the first in the lowest
// byte; a tuple of three bytes gives the low 24 bits and no alpha.
struct Colour {
    uint32_t value;  // the bytes, first lowest
    bool has_alpha;  // the tuple had a fourth byte
};
Colour get_color(const Cell* tuple);

// An integer! or float! as a float.
float to_float32(const Cell* number);
double to_float(const Cell* number);

// What a transformation applies to: the whole drawing, or one pen.
enum class Target : uint8_t { all, pen, fill_pen };

// The shape commands that draw curves through a run of points.
enum class ShapeCurve : uint8_t { curve, curv, qcurve, qcurv };

// A gradient pen as the walk found it.
struct Gradient {
    Word kind;               // linear, radial or diamond
    const Cell* stops;       // the value after the gradient word
    uint32_t colour_count;   // colours counted, at least 2
    const Cell* geometry;    // the first geometry value, nullptr when absent
    bool focal;              // a focal point was given
    Word repeat;             // pad, repeat or reflect
    bool fill;               // fill-pen, else pen
};

// A pattern or bitmap pen: its tile size (pattern) or image (bitmap), the
// optional points and tile-mode word (nullptr when absent), and the
// pattern's block.
struct TiledPen {
    const Cell* source = nullptr;  // the size point of a pattern, the image of a bitmap
    const Cell* start = nullptr;   // optional points
    const Cell* end = nullptr;
    const Cell* mode = nullptr;    // the tile-mode word
    const Cell* block = nullptr;   // pattern only
    bool fill = false;             // fill-pen, else pen
};

// The backend's primitives. first and last are the cells of the first and
// the last value a command consumed (last inclusive; last is first - 1 for
// a run that is empty). The defaults draw nothing.
class Canvas {
public:
    virtual ~Canvas() = default;

    // A drawing on the image (nullptr for a face's drawing) starts; its end.
    virtual void begin(const Cell* image) { (void)image; }
    virtual void end() {}

    virtual void pen(Colour colour, bool off, bool fill) { (void)colour, (void)off, (void)fill; }
    virtual void gradient_pen(const Gradient& gradient) { (void)gradient; }
    // The older form: the start point first.
    virtual void gradient_pen_at(Word kind, const Cell* start, uint32_t colour_count, bool fill) {
        (void)kind, (void)start, (void)colour_count, (void)fill;
    }
    virtual void pattern_pen(const TiledPen& pen) { (void)pen; }
    virtual void bitmap_pen(const TiledPen& pen) { (void)pen; }

    virtual void line_width(const Cell* width) { (void)width; }
    virtual void line_join(uint32_t symbol) { (void)symbol; }
    virtual void line_cap(uint32_t symbol) { (void)symbol; }
    virtual void line_pattern(const Cell* first, const Cell* last) { (void)first, (void)last; }

    virtual void box(const Cell* first, const Cell* last) { (void)first, (void)last; }
    virtual void line(const Cell* first, const Cell* last) { (void)first, (void)last; }
    virtual void triangle(const Cell* first) { (void)first; }
    virtual void polygon(const Cell* first, const Cell* last) { (void)first, (void)last; }
    virtual void curve(const Cell* first, const Cell* last) { (void)first, (void)last; }
    virtual void circle(const Cell* centre, const Cell* last) { (void)centre, (void)last; }
    virtual void ellipse(const Cell* top_left, const Cell* size) { (void)top_left, (void)size; }
    virtual void arc(const Cell* centre, const Cell* last) { (void)centre, (void)last; }
    virtual void spline(const Cell* first, const Cell* last, bool closed) { (void)first, (void)last, (void)closed; }
    virtual void anti_alias(bool on) { (void)on; }
    virtual void font(const Cell* font) { (void)font; }
    // The text (a string or a face) at the point; false when it cannot be drawn.
    virtual bool text(const Cell* point, const Cell* text, bool catch_errors) {
        (void)point, (void)text, (void)catch_errors;
        return true;
    }
    // The image with its optional points, colour and crop position (nullptr
    // when absent); false when it cannot be drawn.
    struct ImageArgs {
        const Cell* image;   // the image! value
        const Cell* first;   // first and last points
        const Cell* last;
        const Cell* colour;  // a tuple!
        bool border;         // the word border was given
        const Cell* crop;    // the first crop point
    };
    virtual bool image(const ImageArgs& args) {
        (void)args;
        return true;
    }
    virtual void shadow(const Cell* offset, int32_t blur, int32_t spread, uint32_t colour, bool inset) {
        (void)offset, (void)blur, (void)spread, (void)colour, (void)inset;
    }

    // A clip area: two points (rectangle) or a shape block, in a mode.
    virtual void clip(const Cell* first, const Cell* last, bool rectangle, Word mode) {
        (void)first, (void)last, (void)rectangle, (void)mode;
    }
    virtual void clip_end() {}
    virtual void push_state() {}
    virtual void pop_state() {}

    virtual void rotate(Target target, const Cell* first, const Cell* last) { (void)target, (void)first, (void)last; }
    virtual void scale(Target target, const Cell* first, const Cell* last) { (void)target, (void)first, (void)last; }
    virtual void skew(Target target, const Cell* first, const Cell* last) { (void)target, (void)first, (void)last; }
    virtual void translate(Target target, const Cell* point) { (void)target, (void)point; }
    virtual void transform(Target target, const Cell* first, const Cell* scale, const Cell* last) {
        (void)target, (void)first, (void)scale, (void)last;
    }
    virtual void matrix(Target target, const Cell* block) { (void)target, (void)block; }
    virtual void reset_matrix(Target target) { (void)target; }
    virtual void invert_matrix(Target target) { (void)target; }

    // Shapes: an outer shape block begins (drawn or only built for a clip)
    // and ends (drawn ones only; false when the backend refuses the shape).
    virtual void shape_begin(bool draw) { (void)draw; }
    virtual bool shape_end() { return true; }
    virtual void shape_move(const Cell* point, bool relative) { (void)point, (void)relative; }
    virtual void shape_line(const Cell* first, const Cell* last, bool relative) {
        (void)first, (void)last, (void)relative;
    }
    virtual void shape_hvline(const Cell* length, bool relative, bool horizontal) {
        (void)length, (void)relative, (void)horizontal;
    }
    virtual void shape_arc(const Cell* end, bool sweep, bool large, bool relative) {
        (void)end, (void)sweep, (void)large, (void)relative;
    }
    virtual void shape_curve(ShapeCurve kind, const Cell* first, const Cell* last, bool relative) {
        (void)kind, (void)first, (void)last, (void)relative;
    }
    virtual void shape_close() {}
};

// Draws the commands with the canvas: nothing at all (no begin, no end)
// when they are not a block holding a value. The canvas's end runs however
// the walk ends. Errors of the walk are raised to the caller, or, with the
// catch flag, printed and dropped; a silent stop returns normally.
void do_draw(Canvas& canvas, const Cell* image, const Cell* commands, bool catch_errors);

// Walks one command block (the walk of do_draw and of every nested block).
void parse_draw(Canvas& canvas, const Cell* block, bool catch_errors);

// Where the evaluation stacks stand, to put them back when a drawing stops
// by one of its own throws (CODE_DRAW_SILENT, CODE_DRAW_REPORTED).
struct StackMark {
    Cell* top = stack::top;                         // the argument stack's top
    Cell* arguments = stack::arguments;             // the current frame's base
    stack::CallFrame* frames = stack::frames_top;  // the frame stack's top

    void restore() const {
        stack::set_frames_top(frames);
        stack::arguments = arguments;
        stack::top = top;
    }
};

// Reports a bad value at the absolute index of the block (its tail when a
// value is missing) and does not come back: see the module's comment.
[[noreturn]] void throw_draw_error(const Cell* block, uint32_t index, bool catch_errors);

}  // namespace vek::view::draw
