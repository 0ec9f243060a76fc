// image!: a two-dimensional series of 32-bit pixels with a head position,
// like a string of pixels that also knows its width and height. Pixels are
// numbered row by row from 0 (top left) to width x height - 1. The language
// sees a pixel as the tuple R.G.B.T, T being the transparency 255 - alpha
// (0: opaque).
//
// Cell layout: word 1 the head (a 0-based pixel index), word 2 the image
// node or none, word 3 the size word (width in bits 0-15, height in bits
// 16-31). An image without pixels has no node; its size word may still give
// one side (make image! 0x5 is 0 wide and 5 high).
//
// The pixels themselves live outside the Vek heap, in a block of the image
// layer (layer.h) that the node keeps alive. This header is what the rest of
// the runtime, the codec objects and the GUI backends use: constructors,
// direct pixel access, encoding and decoding.
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/memory/series.h"

namespace vek::image {

// Format numbers of image/encode, as the codec objects pass them.
enum class FileFormat : int32_t { bmp = 0, png = 1, gif = 2, jpeg = 3, tiff = 4 };

// ---------------------------------------------------------------- layout

inline uint32_t head(const Cell* image) {
    VEK_CHECK_LAYOUT(image, type_in<TYPE_IMAGE>);
    return series_index(image);
}
inline Node node(const Cell* image) {
    VEK_CHECK_LAYOUT(image, type_in<TYPE_IMAGE>);
    return series_node(image);
}
inline uint32_t size_word(const Cell* image) {
    VEK_CHECK_LAYOUT(image, type_in<TYPE_IMAGE>);
    return series_extra(image);
}
inline uint32_t width(const Cell* image) { return size_word(image) & 0xFFFFu; }
inline uint32_t height(const Cell* image) { return size_word(image) >> 16; }
// width x height; never above 2^31 - 1.
inline uint32_t pixel_count(const Cell* image) { return width(image) * height(image); }

// ---------------------------------------------------------------- constructors

// Writes an image over the node (head 0, the node's size) into the cell and
// returns it; Node::none writes an image of the packed size without pixels.
Cell* make_at(Cell* cell, Node node, uint32_t size = 0);
// A copy of the image cell pushed on the evaluation stack.
Cell* push(const Cell* image);
// A new image of the given size holding the image's pixels scaled to it,
// nearest neighbour, pushed on the evaluation stack. A side above 65535 or
// more than 2^31 - 1 pixels raises script invalid-arg; a zero side gives an
// image without pixels.
Cell* push_resized(const Cell* image, int32_t width, int32_t height);

// ---------------------------------------------------------------- direct pixel access

// A write lock: the first pixel of the image's block (0xAARRGGBB words, rows
// top down, width x height of them), or nullptr for an image without
// pixels. The block never moves: the pointer stays valid for as long as the
// image is reachable, across allocations and collections.
struct Lock {
    Cell image;        // the image locked; held here, so a lock on the C++ stack keeps it alive
    uint32_t* pixels;  // nullptr when the image has none
};
Lock acquire_buffer(const Cell* image);
// Ends the lock; when changed, the image's owner hears of it (word poke).
void release_buffer(const Lock& lock, bool changed);

// The pixel at a 0-based index, which must be below pixel_count.
uint32_t get_pixel(const Cell* image, uint32_t index);
// Writes the pixel at a 0-based index below pixel_count; no owner report.
void set_pixel(const Cell* image, uint32_t index, uint32_t pixel);

// ---------------------------------------------------------------- whole-image data

// A new binary! of all the pixels from pixel 0, written into result: mode
// ALPHA one byte 255 - alpha each, RGB three bytes R G B each, ARGB the
// 32-bit words in memory order (B, G, R, A). An image without pixels gives
// an empty binary. More than 2^31 - 1 bytes raises internal no-memory.
enum DataMode : int32_t { ALPHA = 0, RGB = 1, ARGB = 2 };
Cell* extract_data(const Cell* image, DataMode mode, Cell* result);
// Writes the pixels from pixel 0 from the value: a binary! in the mode's
// layout (at most width x height pixels are written, fewer when it is
// shorter), or a tuple! or integer! applied to every pixel. Any other value
// raises script invalid-arg with it. The owner hears of the change (word
// poke). An image without pixels takes any value and changes nothing.
void set_data(const Cell* image, const Cell* value, DataMode mode);

// ---------------------------------------------------------------- foreach

// One step of foreach over the image: sets count words, the word cell itself
// or the words of the block, to consecutive pixels from the head as tuples
// R.G.B.T (none past the last pixel) and moves the head on by count; false,
// setting nothing, when the head is at the end.
bool foreach_next(const Cell* words, Cell* image, uint32_t count);

// ---------------------------------------------------------------- codec entries

// The image encoded in the format, as a new binary! written into where
// (replacing its value), or pushed on the evaluation stack when where is
// nullptr or holds none!; answers that cell. An image without a side raises
// access bad-media, as does a failing encoder; a format number outside 0-4
// raises script invalid-arg with it.
Cell* encode(const Cell* image, Cell* where, int32_t format);
// A new image! pushed on the evaluation stack: decode_binary for a binary!,
// load_file for a file!; any other value raises script invalid-arg with it.
Cell* decode(const Cell* data);
// The image the bytes from the binary's head encode, pushed on the
// evaluation stack; none! when they start with no known signature (PNG,
// JPEG, BMP, GIF, TIFF). Data that does not decode, or an image with a side
// above 65535 or more than 2^31 - 1 pixels, raises access bad-media.
Cell* from_binary(const Cell* binary);
// The image that the file holds, pushed on the evaluation stack. A file that
// cannot be read, or that starts with no known signature, raises access
// cannot-open with the file; one that does not decode access bad-media.
Cell* load_file(const Cell* file);

// Registers image! and the external type of its pixel blocks; series! must be
// registered first.
void init();

}  // namespace vek::image
