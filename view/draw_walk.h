// The reading side of the draw walk, shared by the command walk (draw.cpp)
// and the pens and shapes (draw_pens.cpp): a block and the absolute index
// of its next value, and one small reader per kind of argument. The block
// is kept as a cell and values are found by index each time, never by a
// pointer kept across a call that may evaluate or allocate: a label runs
// the owner's on-change*, which may append to the block (moving its buffer)
// or shorten it.
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/memory/series.h"
#include "view/draw.h"

namespace vek::view::draw {

// Kinds of argument, by the datatype of the value.
enum class Kind : uint8_t {
    point,    // pair! or point2D!
    number,   // integer! or float!
    scale,    // integer!, float! or percent!
    colour,   // tuple!, or a word whose value is one
    integer,  // integer!
    word,     // word!
    block,    // block!
    pair,     // pair!
};

class Walk {
public:
    Walk(Canvas& canvas, const Cell* block, bool catch_errors)
        : block_(*block), canvas_(canvas), catch_(catch_errors) {}

    Canvas& canvas() { return canvas_; }
    bool catch_errors() const { return catch_; }
    const Cell* block() const { return &block_; }
    uint32_t head() const { return series_index(&block_); }
    uint32_t tail() const { return series_buffer(&block_)->length(); }

    // The value at an absolute index, nullptr at or past the tail: valid
    // until the next call that may allocate.
    const Cell* at(uint32_t i) const { return i < tail() ? series_buffer(&block_)->cells() + i : nullptr; }
    // The cell at an index that may be the tail or the one before the first
    // value of an empty run: only for handing a position to a primitive.
    const Cell* position(uint32_t i) const { return series_buffer(&block_)->cells() + i; }

    // Whether the value at i exists and is of the kind (a colour word is
    // looked up: an unset word raises no-value).
    bool is(uint32_t i, Kind kind) const;
    // Whether the value at i is a word! naming the keyword.
    bool is_keyword(uint32_t i, Word word) const;
    // The index itself when the value there is of the kind, else an error there.
    uint32_t need(uint32_t i, Kind kind) const;
    // i + 1 when the value at i is of the kind, else i.
    uint32_t optional(uint32_t i, Kind kind) const { return is(i, kind) ? i + 1 : i; }
    // The index past the run of consecutive values of the kind starting at i.
    uint32_t run(uint32_t i, Kind kind) const;
    // The run of points at i, which must hold at least count points; the
    // index past it.
    uint32_t points(uint32_t i, uint32_t count) const;

    // The colour at i: a tuple, or the tuple a word refers to.
    Colour colour(uint32_t i) const;
    // The value at i, a word replaced by its value: valid until the next
    // call that may allocate.
    const Cell* value_of(uint32_t i) const;

    [[noreturn]] void fail(uint32_t i) const { throw_draw_error(&block_, i, catch_); }

    // The mode of this walk's clip commands: the last one given, replace
    // until then.
    Word clip_mode = Word::REPLACE;

private:
    Cell block_;
    Canvas& canvas_;
    bool catch_;
};

// Pens: the forms after pen or fill-pen, from the index of the first
// argument; the index past the last value consumed.
uint32_t parse_pen(Walk& walk, uint32_t i, bool fill);

// Walks a shape block: drawn (the shape command) or only built (a clip).
void parse_shape(Canvas& canvas, const Cell* block, bool draw, bool catch_errors);

// Sets the label's word to the walked block positioned after it.
void set_label(const Walk& walk, uint32_t i);

// Reports draw-infinite when the block's series is on the cycle guard: a
// block met again inside its own walk. The walk then pushes it for its
// duration (cycles::Scope).
void check_recursion(const Cell* block, bool catch_errors);

}  // namespace vek::view::draw
