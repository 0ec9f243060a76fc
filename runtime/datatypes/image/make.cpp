// image!: make, to and copy.
//
// Pixels are filled on the C++ heap from the binaries make is given before
// the node is made: nothing allocates in the Vek heap while their bytes are
// read.
#include <algorithm>
#include <utility>

#include "runtime/core/raise.h"
#include "runtime/core/sockets.h"
#include "runtime/datatypes/block/array.h"
#include "runtime/datatypes/compound/pair.h"
#include "runtime/datatypes/image/internal.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/series/ranges.h"
#include "runtime/datatypes/string/binary.h"

namespace vek::image {

namespace {

// ---------------------------------------------------------------- make

// What the block given to make asks for: the size, then a colour, or the
// colour bytes and the alpha bytes (each a binary!, or none).
struct Plan {
    Cell size;
    Cell colour = none::constant;
    Cell rgb = none::constant;
    Cell alpha = none::constant;
};

bool given(const Cell& cell) { return cell_type(&cell) != TYPE_NONE; }

// [size], [size colour], [size rgb], [size colour-or-rgb alpha]; a colour
// makes the alpha bytes unused, and values after these are not looked at.
Plan plan_from_block(const Cell* spec_value) {
    uint32_t length = block::length_from_head(spec_value);
    const Cell* items = series_buffer(spec_value)->cells() + series_index(spec_value);
    if (cell_type(&items[0]) != TYPE_PAIR) fire(err::script::invalid_arg, &items[0]);
    Plan plan;
    plan.size = items[0];
    if (length > 1) {
        switch (cell_type(&items[1])) {
        case TYPE_TUPLE: plan.colour = items[1]; break;
        case TYPE_BINARY: plan.rgb = items[1]; break;
        default: fire(err::script::invalid_arg, &items[1]);
        }
    }
    if (length > 2) {
        if (cell_type(&items[2]) != TYPE_BINARY) fire(err::script::invalid_arg, &items[2]);
        plan.alpha = items[2];
    }
    return plan;
}

// Per pixel: R, G, B from the next three colour bytes (white once they run
// out), alpha 255 minus the next alpha byte (opaque once they run out).
void fill_from_bytes(codec::Bitmap& bitmap, const Plan& plan) {
    const auto* rgb = given(plan.rgb) ? reinterpret_cast<const uint8_t*>(binary::rs_head(&plan.rgb)) : nullptr;
    const auto* alpha = given(plan.alpha) ? reinterpret_cast<const uint8_t*>(binary::rs_head(&plan.alpha)) : nullptr;
    size_t colours = rgb ? binary::rs_length(&plan.rgb) / 3 : 0;
    size_t alphas = alpha ? binary::rs_length(&plan.alpha) : 0;
    for (size_t i = 0; i < bitmap.pixels.size(); i++) {
        uint32_t a = i < alphas ? 255u - alpha[i] : 255u;
        bitmap.pixels[i] = i < colours ? make_pixel(a, rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2])
                                       : make_pixel(a, 255, 255, 255);
    }
}

// Negative sides count as 0; a side above 65535 or more than 2^31 - 1
// pixels raises script invalid-arg with the size.
Cell* make_planned(Cell* result, const Plan& plan) {
    uint32_t w = uint32_t(std::max(pair::x(&plan.size), 0));
    uint32_t h = uint32_t(std::max(pair::y(&plan.size), 0));
    if (!fits(w, h)) fire(err::script::invalid_arg, &plan.size);
    if (w == 0 || h == 0) return make_at(result, Node::none, pack_size(w, h));
    if (given(plan.colour)) return make_at(result, make_filled(w, h, pixel_of(&plan.colour)));
    codec::Bitmap bitmap = new_bitmap(w, h);
    fill_from_bytes(bitmap, plan);
    return make_at(result, make_node(std::move(bitmap)));
}

// ---------------------------------------------------------------- copy

// A rectangle of pixels: column, row, width, height.
struct Rect {
    int64_t x, y, w, h;
};

// The rectangle cut to the image; with a side below 1, an image without
// pixels.
Cell* copy_rect_of(const Cell* image, Cell* result, Rect r) {
    int64_t w = width(image), h = height(image);
    int64_t x0 = std::max<int64_t>(r.x, 0), y0 = std::max<int64_t>(r.y, 0);
    int64_t x1 = std::min(r.x + r.w, w), y1 = std::min(r.y + r.h, h);
    if (x1 - x0 < 1 || y1 - y0 < 1) return make_at(result, Node::none, 0);
    Node made = copy_rect(node(image), uint32_t(w), uint32_t(x0), uint32_t(y0), uint32_t(x1 - x0), uint32_t(y1 - y0));
    return make_at(result, made);
}

// The column and row of a pixel index.
struct Place {
    int64_t x, y;
};
Place place_of(const Cell* image, uint32_t pixel) { return {pixel % width(image), pixel / width(image)}; }

// From the head's column and row to the right and bottom edges.
Rect rest_of(const Cell* image) {
    Place at = place_of(image, head(image));
    return {at.x, at.y, width(image) - at.x, height(image) - at.y};
}

// A positive size reaches right and down from the head; a negative one left
// and up from it: the columns before the head's (a head in column 0 counting
// as past the last column), the rows up to the head's (up to the last one
// when the head is at the end).
Rect rect_of_size(const Cell* image, const Cell* size) {
    int64_t pw = pair::x(size), ph = pair::y(size);
    uint32_t count = pixel_count(image);
    uint32_t at_pixel = std::min(head(image), count);
    Place at = place_of(image, at_pixel);
    if (pw > 0 && ph > 0 && at_pixel < count) return {at.x, at.y, pw, ph};
    if (pw < 0 && ph < 0 && at_pixel > 0) {
        int64_t x = at.x == 0 ? width(image) : at.x;
        int64_t last_row = at_pixel == count ? at.y - 1 : at.y;
        int64_t x0 = std::max<int64_t>(x + pw, 0), y0 = std::max<int64_t>(last_row + ph + 1, 0);
        return {x0, y0, x - x0, last_row - y0 + 1};
    }
    return {0, 0, 0, 0};
}

// Between the two heads of positions in the same image.
Rect rect_between(const Cell* image, const Cell* other) {
    if (cell_type(other) != TYPE_IMAGE || node(other) != node(image)) series::bad_refine_arg(fixed_words::Ref::part, other);
    uint32_t count = pixel_count(image);
    uint32_t a = std::min(head(image), count), b = std::min(head(other), count);
    Place from = place_of(image, std::min(a, b)), to = place_of(image, std::max(a, b));
    return {from.x, from.y, to.x - from.x, to.y - from.y};
}

Rect part_rect(const Cell* image, const Cell* part) {
    switch (cell_type(part)) {
    case TYPE_PAIR: return rect_of_size(image, part);
    case TYPE_IMAGE: return rect_between(image, part);
    case TYPE_INTEGER: not_done();
    default: series::bad_refine_arg(fixed_words::Ref::part, part);
    }
}

// An image without pixels copies as it is; otherwise the whole image from
// head 0, the rest from the head's column and row, or the /part rectangle.
Cell* copy_of(const Cell* value, Cell* result, const Cell* part) {
    Cell source = *value;  // the result may be the value's own cell
    if (pixel_count(&source) == 0) return make_at(result, Node::none, size_word(&source));
    if (part) return copy_rect_of(&source, result, part_rect(&source, part));
    return copy_rect_of(&source, result, rest_of(&source));
}

}  // namespace

// An empty block copies an image prototype; a pair! or a block makes a new
// image; anything else goes to to.
Cell* make(Cell* result, const Cell* spec_value, uint32_t type) {
    switch (cell_type(spec_value)) {
    case TYPE_PAIR: {
        Plan plan;
        plan.size = *spec_value;
        return make_planned(result, plan);
    }
    case TYPE_BLOCK:
        if (block::length_from_head(spec_value) > 0) return make_planned(result, plan_from_block(spec_value));
        if (cell_type(result) != TYPE_IMAGE) fire(err::script::invalid_arg, spec_value);
        return copy_of(result, result, nullptr);
    default: return to(result, spec_value, type);
    }
}

// An image converts as a copy, a face as the GUI backend renders it.
Cell* to(Cell* result, const Cell* spec_value, uint32_t) {
    if (cell_type(spec_value) == TYPE_IMAGE) return copy_of(spec_value, result, nullptr);
    if (cell_type(spec_value) == TYPE_OBJECT && sockets::face_to_image(spec_value, result)) return result;
    Cell datatype = integer::datatype_value(TYPE_IMAGE);
    fire(err::script::bad_to_arg, &datatype, spec_value);
}

Cell* copy(Cell* value, Cell* result, const Cell* part, bool, const Cell*) { return copy_of(value, result, part); }

}  // namespace vek::image
