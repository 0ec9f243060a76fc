// image!: pixels by path, pick and poke, change, the whole-image data views
// (rgb, alpha, argb) and the foreach step.
//
// Pixel pointers are held across calls that may allocate or run Vek code
// (owner handlers, word setters): the pixel blocks lie outside the Vek heap
// and never move, and the image they belong to is held in a local cell.
#include <algorithm>
#include <cstring>
#include <vector>

#include "runtime/core/raise.h"
#include "runtime/datatypes/compound/pair.h"
#include "runtime/datatypes/compound/tuple.h"
#include "runtime/datatypes/image/internal.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/string/binary.h"
#include "runtime/datatypes/word/context.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/datatypes/word/word.h"

namespace vek::image {

namespace {

using fixed_words::Sym;
using fixed_words::Word;

// ---------------------------------------------------------------- data views

uint32_t bytes_per_pixel(DataMode mode) { return mode == ALPHA ? 1 : mode == RGB ? 3 : 4; }

void write_view(const uint32_t* pixels, uint32_t count, DataMode mode, uint8_t* out) {
    if (mode == ARGB) {
        std::memcpy(out, pixels, size_t(count) * 4);
        return;
    }
    for (uint32_t i = 0; i < count; i++) {
        uint32_t pixel = pixels[i];
        if (mode == ALPHA) {
            *out++ = uint8_t(255 - alpha_of(pixel));
            continue;
        }
        *out++ = uint8_t(red_of(pixel));
        *out++ = uint8_t(green_of(pixel));
        *out++ = uint8_t(blue_of(pixel));
    }
}

// The bytes from the binary's head in the mode's layout, for as many pixels
// as they cover and the image holds.
void set_from_bytes(uint32_t* pixels, uint32_t count, const Cell* binary, DataMode mode) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(binary::rs_head(binary));
    uint32_t length = binary::rs_length(binary);
    if (mode == ARGB) {
        std::memcpy(pixels, bytes, std::min<size_t>(length, size_t(count) * 4));
        return;
    }
    uint32_t n = std::min(length / bytes_per_pixel(mode), count);
    for (uint32_t i = 0; i < n; i++) {
        uint32_t pixel = pixels[i];
        if (mode == ALPHA)
            pixels[i] = make_pixel(255u - bytes[i], red_of(pixel), green_of(pixel), blue_of(pixel));
        else
            pixels[i] = make_pixel(alpha_of(pixel), bytes[3 * i], bytes[3 * i + 1], bytes[3 * i + 2]);
    }
}

// A tuple's first four bytes as one little-endian word (a fourth byte 0 for a
// three-byte tuple), or an integer's value.
uint32_t word_of(const Cell* value) {
    if (cell_type(value) == TYPE_INTEGER) return uint32_t(integer::get(value));
    uint32_t word = 0;
    for (uint32_t i = 0; i < 4; i++)
        if (i < tuple::size(value)) word |= uint32_t(tuple::get_byte(value, i)) << (8 * i);
    return word;
}

// One word for every pixel: the low three bytes are R, G and B; the top one
// is the transparency (ARGB), and the alpha view takes 255 minus the word.
void set_from_word(uint32_t* pixels, uint32_t count, uint32_t word, DataMode mode) {
    uint32_t red = word & 0xFF, green = (word >> 8) & 0xFF, blue = (word >> 16) & 0xFF;
    for (uint32_t i = 0; i < count; i++) {
        uint32_t pixel = pixels[i];
        switch (mode) {
        case ARGB: pixels[i] = make_pixel(255 - (word >> 24), red, green, blue); break;
        case RGB: pixels[i] = make_pixel(alpha_of(pixel), red, green, blue); break;
        case ALPHA: pixels[i] = make_pixel((255 - word) & 0xFF, red_of(pixel), green_of(pixel), blue_of(pixel)); break;
        }
    }
}

// ---------------------------------------------------------------- path selectors

bool names(const Cell* word, Sym symbol) {
    return symbol::resolve(word::symbol(word)) == symbol::resolve(fixed_words::symbol(symbol));
}

[[noreturn]] void invalid_path(const Cell* path, const Cell* element) {
    fire(err::script::invalid_path, path ? path : &none::constant, element);
}

// The view a word selector names; size is none of them.
bool view_named(const Cell* word, DataMode* mode) {
    if (names(word, Sym::rgb)) *mode = RGB;
    else if (names(word, Sym::alpha)) *mode = ALPHA;
    else if (names(word, Sym::argb)) *mode = ARGB;
    else return false;
    return true;
}

Cell* word_selector(Cell* parent, const Cell* element, const Cell* value, const Cell* path) {
    if (names(element, Sym::size)) {
        if (value) invalid_path(path, element);
        return pair::make_at(parent, int32_t(width(parent)), int32_t(height(parent)));
    }
    DataMode mode;
    if (!view_named(element, &mode)) invalid_path(path, element);
    if (value) {
        set_data(parent, value, mode);
        return parent;
    }
    Cell image = *parent;
    return extract_data(&image, mode, parent);
}

// ---------------------------------------------------------------- change

// Changes the pixel at the head and moves past it; at the end nothing
// changes.
void change_pixel(Cell* image, const Cell* tuple) {
    uint32_t at = head(image);
    if (at >= pixel_count(image)) return;
    tell_owner(image, Word::change, tuple, at, 1);
    set_pixel(image, at, pixel_of(tuple));
    set_series_index(image, at + 1);
    tell_owner(image, Word::changed, tuple, at, 1);
}

// Pastes the source's pixels, from its pixel 0, into the rectangle at the
// head's column and row, cut to the target's edges; the head moves just past
// the last pixel of the last row written.
void paste_image(Cell* target, const Cell* source_value) {
    Cell source = *source_value;
    uint32_t w = width(target), count = pixel_count(target), at = head(target);
    if (at >= count || pixel_count(&source) == 0) return;
    uint32_t x = at % w, y = at / w;
    uint32_t columns = std::min(width(&source), w - x), rows = std::min(height(&source), height(target) - y);
    tell_owner(target, Word::change, &source, at, columns * rows);
    // A copy first when both are the same image: the rows written may be rows still to read.
    const uint32_t* from = pixels_of(node(&source));
    std::vector<uint32_t> own;
    if (node(&source) == node(target)) {
        own.assign(from, from + pixel_count(&source));
        from = own.data();
    }
    uint32_t* to = pixels_of(node(target));
    for (uint32_t row = 0; row < rows; row++)
        std::memcpy(to + size_t(y + row) * w + x, from + size_t(row) * width(&source), size_t(columns) * 4);
    set_series_index(target, (y + rows - 1) * w + x + columns);
    tell_owner(target, Word::changed, &source, at, columns * rows);
}

}  // namespace

// ---------------------------------------------------------------- data views

Cell* extract_data(const Cell* image, DataMode mode, Cell* result) {
    Cell held = *image;
    uint64_t bytes = uint64_t(pixel_count(&held)) * bytes_per_pixel(mode);
    if (bytes > uint64_t(INT32_MAX)) fire(err::internal::no_memory);
    binary::make_at(result, uint32_t(bytes));
    if (bytes == 0) return result;
    SeriesBuffer* buffer = series_buffer(result);
    write_view(pixels_of(node(&held)), pixel_count(&held), mode, reinterpret_cast<uint8_t*>(buffer->first()));
    buffer->tail = Off(uint32_t(buffer->offset) + uint32_t(bytes));
    return result;
}

void set_data(const Cell* image, const Cell* value, DataMode mode) {
    Cell held = *image;
    uint32_t count = pixel_count(&held);
    if (count == 0) return;
    uint32_t* pixels = pixels_of(node(&held));
    switch (cell_type(value)) {
    case TYPE_BINARY: set_from_bytes(pixels, count, value, mode); break;
    case TYPE_TUPLE:
    case TYPE_INTEGER: set_from_word(pixels, count, word_of(value), mode); break;
    default: fire(err::script::invalid_arg, value);
    }
    tell_owner(&held, Word::poke, value, 0, count);
}

// ---------------------------------------------------------------- foreach

bool foreach_next(const Cell* words, Cell* image, uint32_t count) {
    uint32_t total = pixel_count(image), at = head(image);
    if (at >= total) return false;
    bool many = cell_type(words) == TYPE_BLOCK;
    for (uint32_t i = 0; i < count; i++) {
        Cell value = none::constant;
        if (at + i < total) tuple_of(get_pixel(image, at + i), &value);
        Cell* word = many ? series_buffer(words)->cells() + series_index(words) + i : const_cast<Cell*>(words);
        context::set(word, &value);
    }
    set_series_index(image, std::min(at + count, total));
    return true;
}

// ---------------------------------------------------------------- actions

// An integer! or pair! selector picks or pokes a pixel; the words size, rgb,
// alpha and argb read (or write, but size) the whole image.
Cell* eval_path(Cell* parent, const Cell* element, const actions::PathArgs& args) {
    switch (cell_type(element)) {
    case TYPE_INTEGER:
    case TYPE_PAIR:
        if (args.value) return poke(parent, 0, const_cast<Cell*>(args.value), element);
        return pick(parent, 0, element);
    case TYPE_WORD: return word_selector(parent, element, args.value, args.path);
    default: invalid_path(args.path, element);
    }
}

// The pixel as a tuple R.G.B.T, or none out of range.
Cell* pick(Cell* series, int32_t, const Cell* index_cell) {
    Position at = position_at(series, index_cell);
    if (!at.in_range) return &none::constant;
    return tuple_of(get_pixel(series, at.pixel), series);
}

// Out of range raises script out-of-range with the index; a value that is
// not a tuple! script invalid-arg.
Cell* poke(Cell* series, int32_t, Cell* value, const Cell* index_cell) {
    Position at = position_at(series, index_cell);
    if (!at.in_range) fire(err::script::out_of_range, index_cell);
    if (cell_type(value) != TYPE_TUPLE) fire(err::script::invalid_arg, value);
    set_pixel(series, at.pixel, pixel_of(value));
    tell_owner(series, Word::poke, value, at.pixel, 1);
    return value;
}

// A tuple! changes the pixel at the head, an image! the rectangle from it;
// /part and /dup are not taken.
void change(Cell* series, Cell* value, int32_t part, bool, int32_t dup) {
    if (part >= 0 || dup != 1) not_done();
    switch (cell_type(value)) {
    case TYPE_TUPLE: change_pixel(series, value); break;
    case TYPE_IMAGE: paste_image(series, value); break;
    default: integer::raise_invalid_type(cell_type(value));
    }
}

}  // namespace vek::image
