// The readers of the draw walk, the pen forms (a colour, off, gradients, a
// pattern, a bitmap) and the shape sub-dialect (path commands drawn by
// shape or built for clip).
#include <iterator>

#include "runtime/datatypes/word/context.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/eval/evaluator.h"
#include "runtime/tables/cycles.h"
#include "view/draw_walk.h"

namespace vek::view::draw {

// ---------------------------------------------------------------- readers

namespace {

// A word whose value is a tuple; an unset word is none.
bool is_tuple_word(const Cell* value) {
    return cell_type(value) == TYPE_WORD && cell_type(context::get(value)) == TYPE_TUPLE;
}

}  // namespace

bool Walk::is(uint32_t i, Kind kind) const {
    const Cell* value = at(i);
    if (!value) return false;
    uint32_t type = cell_type(value);
    switch (kind) {
    case Kind::point: return type == TYPE_PAIR || type == TYPE_POINT2D;
    case Kind::number: return type == TYPE_INTEGER || type == TYPE_FLOAT;
    case Kind::scale: return type == TYPE_INTEGER || type == TYPE_FLOAT || type == TYPE_PERCENT;
    case Kind::colour: return type == TYPE_TUPLE || is_tuple_word(value);
    case Kind::integer: return type == TYPE_INTEGER;
    case Kind::word: return type == TYPE_WORD;
    case Kind::block: return type == TYPE_BLOCK;
    case Kind::pair: return type == TYPE_PAIR;
    }
    return false;
}

bool Walk::is_keyword(uint32_t i, Word word) const {
    const Cell* value = at(i);
    return value && cell_type(value) == TYPE_WORD && draw::is_word(value, word);
}

uint32_t Walk::need(uint32_t i, Kind kind) const {
    if (!is(i, kind)) fail(i);
    return i;
}

uint32_t Walk::run(uint32_t i, Kind kind) const {
    while (is(i, kind)) ++i;
    return i;
}

uint32_t Walk::points(uint32_t i, uint32_t count) const {
    uint32_t end = run(i, Kind::point);
    if (end - i < count) fail(end);
    return end;
}

const Cell* Walk::value_of(uint32_t i) const {
    const Cell* value = at(i);
    if (!value) fail(i);
    return cell_type(value) == TYPE_WORD ? eval::word_value(value) : value;
}

Colour Walk::colour(uint32_t i) const {
    const Cell* value = value_of(i);
    if (cell_type(value) != TYPE_TUPLE) fail(i);
    return get_color(value);
}

// ---------------------------------------------------------------- pens

namespace {

constexpr Word GRADIENTS[] = {Word::LINEAR, Word::RADIAL, Word::DIAMOND};
constexpr Word REPEAT_MODES[] = {Word::PAD, Word::REPEAT, Word::REFLECT};
constexpr Word TILE_MODES[] = {Word::TILE, Word::FLIP_X, Word::FLIP_Y, Word::FLIP_XY, Word::CLAMP};

// The first of the words that the value at i is, or COUNT.
template <size_t N>
Word one_of(const Walk& walk, uint32_t i, const Word (&words)[N]) {
    for (Word word : words)
        if (walk.is_keyword(i, word)) return word;
    return Word::COUNT;
}

// The older gradient form: start point, two integers, up to three numbers,
// then two or more colours (offsets may follow them).
uint32_t gradient_at(Walk& walk, uint32_t i, Word kind, bool fill) {
    uint32_t start = walk.need(i, Kind::point);
    walk.need(walk.need(i + 1, Kind::integer) + 1, Kind::integer);
    uint32_t j = i + 3;
    for (uint32_t k = 0; k < 3 && walk.is(j, Kind::number); ++k) ++j;
    uint32_t colours = 0;
    for (;; ++j) {
        if (walk.is(j, Kind::colour)) ++colours;
        else if (!walk.is(j, Kind::number) || cell_type(walk.at(j)) != TYPE_FLOAT) break;
    }
    if (colours < 2) walk.fail(j);
    walk.canvas().gradient_pen_at(kind, walk.position(start), colours, fill);
    return j;
}

// A colour stop: a colour (required when a tuple or word stands there) and
// an optional float offset.
uint32_t stop(const Walk& walk, uint32_t j) {
    const Cell* value = walk.at(j);
    if (value && (cell_type(value) == TYPE_TUPLE || cell_type(value) == TYPE_WORD)) {
        if (!walk.is(j, Kind::colour)) walk.fail(j);
        ++j;
    }
    value = walk.at(j);
    return value && cell_type(value) == TYPE_FLOAT ? j + 1 : j;
}

// The geometry of a gradient, all optional: the index past it.
uint32_t geometry(const Walk& walk, uint32_t j, Gradient& gradient) {
    if (!walk.is(j, Kind::point)) return j;
    gradient.geometry = walk.position(j);
    if (gradient.kind == Word::RADIAL) {
        j = walk.need(j + 1, Kind::number) + 1;
    } else {
        j = walk.need(j + 1, Kind::point) + 1;
        if (gradient.kind == Word::LINEAR) return j;
    }
    gradient.focal = walk.is(j, Kind::point);
    return gradient.focal ? j + 1 : j;
}

uint32_t gradient(Walk& walk, uint32_t i, Word kind, bool fill) {
    Gradient gradient{.kind = kind, .stops = walk.position(i), .colour_count = 2, .geometry = nullptr,
                      .focal = false, .repeat = Word::PAD, .fill = fill};
    uint32_t j = stop(walk, stop(walk, i));
    while (walk.is(j, Kind::colour)) {
        j = stop(walk, j);
        ++gradient.colour_count;
    }
    j = geometry(walk, j, gradient);
    if (Word repeat = one_of(walk, j, REPEAT_MODES); repeat != Word::COUNT) gradient.repeat = repeat, ++j;
    walk.canvas().gradient_pen(gradient);
    return j;
}

// The optional start and end points and tile mode of a pattern or bitmap.
uint32_t tiling(const Walk& walk, uint32_t j, TiledPen& pen) {
    if (walk.is(j, Kind::point)) pen.start = walk.position(j++);
    if (walk.is(j, Kind::point)) pen.end = walk.position(j++);
    if (one_of(walk, j, TILE_MODES) != Word::COUNT) pen.mode = walk.position(j++);
    return j;
}

uint32_t pattern(Walk& walk, uint32_t i, bool fill) {
    TiledPen pen{.source = walk.position(walk.need(i, Kind::point)), .fill = fill};
    uint32_t j = tiling(walk, i + 1, pen);
    pen.block = walk.position(walk.need(j, Kind::block));
    walk.canvas().pattern_pen(pen);
    return j + 1;
}

uint32_t bitmap(Walk& walk, uint32_t i, bool fill) {
    if (!walk.is(i, Kind::word) || cell_type(walk.value_of(i)) != TYPE_IMAGE) walk.fail(i);
    TiledPen pen{.fill = fill};
    uint32_t j = tiling(walk, i + 1, pen);
    pen.source = walk.value_of(i);
    walk.canvas().bitmap_pen(pen);
    return j;
}

}  // namespace

uint32_t parse_pen(Walk& walk, uint32_t i, bool fill) {
    if (walk.is_keyword(i, Word::OFF)) {
        walk.canvas().pen({0xFFFFFFFFu, false}, true, fill);
        return i + 1;
    }
    if (Word kind = one_of(walk, i, GRADIENTS); kind != Word::COUNT)
        return walk.is(i + 1, Kind::point) ? gradient_at(walk, i + 1, kind, fill) : gradient(walk, i + 1, kind, fill);
    if (walk.is_keyword(i, Word::PATTERN)) return pattern(walk, i + 1, fill);
    if (walk.is_keyword(i, Word::BITMAP)) return bitmap(walk, i + 1, fill);
    if (!walk.at(i)) walk.fail(i);
    walk.canvas().pen(walk.colour(i), false, fill);
    return i + 1;
}

// ---------------------------------------------------------------- shapes

namespace {

// A shape command: the index of its first argument, whether it is relative;
// the index past what it consumed.
using ShapeCommand = uint32_t (*)(Walk& walk, uint32_t i, bool relative);

uint32_t shape_move(Walk& walk, uint32_t i, bool relative) {
    walk.canvas().shape_move(walk.position(walk.need(i, Kind::point)), relative);
    return i + 1;
}

uint32_t shape_line(Walk& walk, uint32_t i, bool relative) {
    uint32_t end = walk.run(walk.need(i, Kind::point), Kind::point);
    walk.canvas().shape_line(walk.position(i), walk.position(end - 1), relative);
    return end;
}

template <bool HORIZONTAL>
uint32_t shape_hvline(Walk& walk, uint32_t i, bool relative) {
    walk.canvas().shape_hvline(walk.position(walk.need(i, Kind::number)), relative, HORIZONTAL);
    return i + 1;
}

uint32_t shape_arc(Walk& walk, uint32_t i, bool relative) {
    walk.need(i, Kind::point);
    for (uint32_t k = 1; k <= 3; ++k) walk.need(i + k, Kind::number);
    uint32_t j = i + 4;
    bool sweep = false, large = false;
    for (uint32_t k = 0; k < 2; ++k) {
        if (!sweep && walk.is_keyword(j, Word::SWEEP)) sweep = true, ++j;
        else if (!large && walk.is_keyword(j, Word::LARGE)) large = true, ++j;
    }
    walk.canvas().shape_arc(walk.position(i), sweep, large, relative);
    return j;
}

template <ShapeCurve KIND, uint32_t LEAST>
uint32_t shape_curve(Walk& walk, uint32_t i, bool relative) {
    uint32_t end = walk.points(i, LEAST);
    walk.canvas().shape_curve(KIND, walk.position(i), walk.position(end - 1), relative);
    return end;
}

uint32_t shape_close(Walk& walk, uint32_t i, bool) {
    walk.canvas().shape_close();
    return i;
}

struct ShapeEntry {
    Word word;             // the command's keyword
    ShapeCommand command;  // its reader
};
constexpr ShapeEntry SHAPE_COMMANDS[] = {
    {Word::MOVE, shape_move},
    {Word::LINE, shape_line},
    {Word::HLINE, shape_hvline<true>},
    {Word::VLINE, shape_hvline<false>},
    {Word::ARC, shape_arc},
    {Word::CURVE, shape_curve<ShapeCurve::curve, 3>},
    {Word::CURV, shape_curve<ShapeCurve::curv, 2>},
    {Word::QCURVE, shape_curve<ShapeCurve::qcurve, 2>},
    {Word::QCURV, shape_curve<ShapeCurve::qcurv, 1>},
    {Word::CLOSE, shape_close},
};

void walk_shape(Canvas& canvas, const Cell* block, bool draw, bool catch_errors);

uint32_t shape_step(Walk& walk, uint32_t i, bool draw) {
    const Cell* value = walk.at(i);
    switch (cell_type(value)) {
    case TYPE_BLOCK: {
        Cell nested = *value;
        walk_shape(walk.canvas(), &nested, draw, walk.catch_errors());
        return i + 1;
    }
    case TYPE_WORD:
    case TYPE_LIT_WORD:
        for (const ShapeEntry& entry : SHAPE_COMMANDS)
            if (draw::is_word(value, entry.word)) return entry.command(walk, i + 1, cell_type(value) == TYPE_LIT_WORD);
        walk.fail(i);
    case TYPE_SET_WORD:
        set_label(walk, i);
        return i + 1;
    default:
        walk.fail(i);
    }
}

// The commands of a shape block and of the blocks inside it. Shape blocks
// go on the cycle guard as draw blocks do: one that holds itself is an
// infinite recursion.
void walk_shape(Canvas& canvas, const Cell* block, bool draw, bool catch_errors) {
    check_recursion(block, catch_errors);
    cycles::Scope walking(series_node(block));
    Walk walk(canvas, block, catch_errors);
    for (uint32_t i = walk.head(); i < walk.tail();) i = shape_step(walk, i, draw);
}

}  // namespace

void parse_shape(Canvas& canvas, const Cell* block, bool draw, bool catch_errors) {
    canvas.shape_begin(draw);
    walk_shape(canvas, block, draw, catch_errors);
    if (!draw) return;
    if (!canvas.shape_end()) {
        Walk walk(canvas, block, catch_errors);
        walk.fail(walk.tail());
    }
}

}  // namespace vek::view::draw
