// image!: the constructors, direct pixel access, positions, navigation,
// comparison and the registration of the actions; making and copying are in
// make.cpp, the text forms in mold.cpp, pixel access by path, pick, poke and
// change in access.cpp, the codec entries in codec.cpp.
#include <algorithm>
#include <cstring>

#include "runtime/actions/dispatch.h"
#include "runtime/core/raise.h"
#include "runtime/core/registry.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/compound/pair.h"
#include "runtime/datatypes/compound/tuple.h"
#include "runtime/datatypes/image/internal.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/tables/ownership.h"

namespace vek::image {

// ---------------------------------------------------------------- constructors

Cell* make_at(Cell* cell, Node node, uint32_t size) {
    if (node != Node::none) size = node_size(node);
    *cell = blank_cell(TYPE_IMAGE);
    set_series_node(cell, node);
    set_series_extra(cell, size);
    return cell;
}

Cell* push(const Cell* image) { return stack::push(image); }

Cell* push_resized(const Cell* image, int32_t new_width, int32_t new_height) {
    Cell source = *image;
    uint32_t w = uint32_t(std::max(new_width, 0)), h = uint32_t(std::max(new_height, 0));
    if (!fits(w, h)) {
        Cell size{};
        fire(err::script::invalid_arg, pair::make_at(&size, new_width, new_height));
    }
    Cell* made = make_at(stack::push_cell(), Node::none, pack_size(w, h));
    if (w == 0 || h == 0 || pixel_count(&source) == 0) return made;
    Node scaled = resize(node(&source), width(&source), height(&source), w, h);
    return make_at(made, scaled);
}

// ---------------------------------------------------------------- direct pixel access

Lock acquire_buffer(const Cell* image) {
    Node n = node(image);
    return Lock{*image, n == Node::none ? nullptr : pixels_of(n)};
}

void release_buffer(const Lock& lock, bool changed) {
    if (changed) tell_owner(&lock.image, fixed_words::Word::poke, nullptr, 0, pixel_count(&lock.image));
}

uint32_t get_pixel(const Cell* image, uint32_t index) { return pixels_of(node(image))[index]; }

void set_pixel(const Cell* image, uint32_t index, uint32_t pixel) { pixels_of(node(image))[index] = pixel; }

// ---------------------------------------------------------------- pixels and tuples

Cell* tuple_of(uint32_t pixel, Cell* cell) {
    const uint8_t bytes[4] = {uint8_t(red_of(pixel)), uint8_t(green_of(pixel)), uint8_t(blue_of(pixel)),
                              uint8_t(255 - alpha_of(pixel))};
    *cell = blank_cell(TYPE_TUPLE);
    return tuple::make_at(cell, bytes, 4);
}

uint32_t pixel_of(const Cell* tuple) {
    uint32_t alpha = tuple::size(tuple) > 3 ? 255u - tuple::get_byte(tuple, 3) : 255u;
    return make_pixel(alpha, tuple::get_byte(tuple, 0), tuple::get_byte(tuple, 1), tuple::get_byte(tuple, 2));
}

// ---------------------------------------------------------------- positions

Position position_at(const Cell* image, const Cell* index) {
    int64_t w = width(image), h = height(image), count = w * h;
    int64_t i = 0;
    bool pair_in_range = true;
    switch (cell_type(index)) {
    case TYPE_INTEGER: i = integer::get(index); break;
    case TYPE_PAIR: {
        int64_t x = pair::x(index), y = pair::y(index);
        i = y > 0 ? x + w * (y - 1) : x + w * y;
        pair_in_range = x >= 1 && x <= w && y >= 1 && y <= h;
        break;
    }
    default: fire(err::script::invalid_arg, index);
    }
    int64_t pixel = int64_t(head(image)) + (i > 0 ? i - 1 : i);
    bool in_range = i != 0 && pixel >= 0 && pixel < count && pair_in_range;
    return Position{uint32_t(std::clamp<int64_t>(pixel, 0, count)), in_range};
}

uint32_t position_skip(const Cell* image, const Cell* offset) {
    int64_t count = pixel_count(image);
    int64_t i = 0;
    switch (cell_type(offset)) {
    case TYPE_INTEGER: i = integer::get(offset); break;
    case TYPE_PAIR: i = int64_t(pair::x(offset)) + int64_t(width(image)) * pair::y(offset); break;
    default: fire(err::script::invalid_arg, offset);
    }
    return uint32_t(std::clamp<int64_t>(int64_t(head(image)) + i, 0, count));
}

// ---------------------------------------------------------------- owner reports

void tell_owner(const Cell* image, fixed_words::Word action, const Cell* value, uint32_t pixel, uint32_t count) {
    // The handler gets copies: it runs Vek code, which may move what the
    // arguments lie in.
    Cell held = *image;
    Cell shown = value ? *value : none::constant;
    ownership::check(&held, fixed_words::word(action), &shown, int32_t(pixel), int32_t(count));
}

// ---------------------------------------------------------------- navigation

namespace {

Cell* first_argument() { return stack::arguments; }

void at() {
    Cell* image = first_argument();
    set_series_index(image, position_at(image, image + 1).pixel);
}

void skip() {
    Cell* image = first_argument();
    set_series_index(image, position_skip(image, image + 1));
}

void next() {
    Cell* image = first_argument();
    if (head(image) < pixel_count(image)) set_series_index(image, head(image) + 1);
}

void tail() { set_series_index(first_argument(), pixel_count(first_argument())); }

void tail_q() { logic::box(head(first_argument()) >= pixel_count(first_argument())); }

// The whole image, wherever the head lies.
int32_t length_q(const Cell* image) { return int32_t(pixel_count(image)); }

// ---------------------------------------------------------------- compare

bool equality_or_sorting(int32_t op) {
    return op == actions::COMP_EQUAL || op == actions::COMP_NOT_EQUAL || op == actions::COMP_STRICT_EQUAL ||
           op == actions::COMP_SORT || op == actions::COMP_CASE_SORT || op == actions::COMP_FIND;
}

// Images order by their pixel counts, then by their raw pixel bytes from
// pixel 0; an image is equal to itself at the same head.
int32_t compare(const Cell* value1, const Cell* value2, int32_t op) {
    if (cell_type(value2) != TYPE_IMAGE) return -2;
    bool same = node(value1) == node(value2) && head(value1) == head(value2);
    if (op == actions::COMP_SAME) return same ? 0 : -1;
    if (!equality_or_sorting(op)) return -2;
    if (same) return 0;
    uint32_t count1 = pixel_count(value1), count2 = pixel_count(value2);
    if (count1 != count2) return count1 < count2 ? -1 : 1;
    if (count1 == 0) return 0;
    int order = std::memcmp(pixels_of(node(value1)), pixels_of(node(value2)), size_t(count1) * sizeof(uint32_t));
    return order < 0 ? -1 : order > 0 ? 1 : 0;
}

}  // namespace

// ---------------------------------------------------------------- registration

void init() {
    init_layer();
    using namespace registry;
    register_type(TYPE_IMAGE, Row()
        .set<SLOT_MAKE>(make)
        .set<SLOT_TO>(to)
        .set<SLOT_FORM>(form)
        .set<SLOT_MOLD>(mold)
        .set<SLOT_EVAL_PATH>(eval_path)
        .set<SLOT_COMPARE>(compare)
        .set<SLOT_AT>(at)
        .inherit<SLOT_BACK>()
        .set<SLOT_CHANGE>(change)
        .set<SLOT_COPY>(copy)
        .inherit_range<SLOT_HEAD, SLOT_INDEX_Q>()
        .set<SLOT_LENGTH_Q>(length_q)
        .set<SLOT_NEXT>(next)
        .set<SLOT_PICK>(pick)
        .set<SLOT_POKE>(poke)
        .set<SLOT_SKIP>(skip)
        .set<SLOT_TAIL>(tail)
        .set<SLOT_TAIL_Q>(tail_q)
        .inherit<SLOT_MODIFY>());
}

}  // namespace vek::image
