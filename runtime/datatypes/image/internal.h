// What the image! files share among themselves: pixels as tuples, the
// positions that integer and pair indexes designate, and the action
// implementations that image.cpp registers, each defined in the file of its
// concern (making and copying in make.cpp, the text forms in mold.cpp,
// pixel access and editing in access.cpp).
#pragma once

#include <cstdint>

#include "runtime/actions/dispatch.h"
#include "runtime/core/cell.h"
#include "runtime/core/fixed_words.h"
#include "runtime/datatypes/image/image.h"
#include "runtime/datatypes/image/layer.h"
#include "runtime/text/sink.h"

namespace vek::image {

// ---------------------------------------------------------------- pixels and tuples

constexpr uint32_t OPAQUE_WHITE = 0xFFFFFFFFu;

inline uint32_t alpha_of(uint32_t pixel) { return pixel >> 24; }
inline uint32_t red_of(uint32_t pixel) { return (pixel >> 16) & 0xFF; }
inline uint32_t green_of(uint32_t pixel) { return (pixel >> 8) & 0xFF; }
inline uint32_t blue_of(uint32_t pixel) { return pixel & 0xFF; }
inline uint32_t make_pixel(uint32_t alpha, uint32_t red, uint32_t green, uint32_t blue) {
    return alpha << 24 | red << 16 | green << 8 | blue;
}

// The pixel as the tuple R.G.B.T (T = 255 - alpha), written into the cell.
Cell* tuple_of(uint32_t pixel, Cell* cell);
// The pixel a tuple R.G.B or R.G.B.T stands for: alpha 255 - T, or 255 when
// the tuple has three bytes.
uint32_t pixel_of(const Cell* tuple);

// ---------------------------------------------------------------- positions

// The pixel that pick, poke and at designate with an integer! or pair! index
// (counted from 1 at the head; a pair is a column and a row), clamped to
// 0..pixel count; in_range is false where pick answers none and poke raises.
// Any other index raises script invalid-arg with it.
struct Position {
    uint32_t pixel;
    bool in_range;
};
Position position_at(const Cell* image, const Cell* index);
// The head that skip gives: the offset (an integer!, or a pair of columns and
// rows) from the head, clamped to 0..pixel count.
uint32_t position_skip(const Cell* image, const Cell* offset);

// ---------------------------------------------------------------- owner reports

// Tells the image's owner, when it has one, of a change: the action word,
// the value written (nullptr for none), the first pixel and how many.
void tell_owner(const Cell* image, fixed_words::Word action, const Cell* value, uint32_t pixel, uint32_t count);

// ---------------------------------------------------------------- actions

// make.cpp
Cell* make(Cell* result, const Cell* spec_value, uint32_t type);
Cell* to(Cell* result, const Cell* spec_value, uint32_t type);
Cell* copy(Cell* value, Cell* result, const Cell* part, bool deep, const Cell* kind);

// mold.cpp
void form(const Cell* value, text::Sink& out);
void mold(const Cell* value, text::Sink& out, bool only);

// access.cpp
Cell* eval_path(Cell* parent, const Cell* element, const actions::PathArgs& args);
Cell* pick(Cell* series, int32_t index, const Cell* index_cell);
Cell* poke(Cell* series, int32_t index, Cell* value, const Cell* index_cell);
void change(Cell* series, Cell* value, int32_t part, bool only, int32_t dup);

}  // namespace vek::image
