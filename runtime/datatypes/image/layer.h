// The image layer: the pixel blocks behind image! values. A block is a
// bitmap of 32-bit words 0xAARRGGBB (in memory B, G, R, A), rows top down,
// no padding, straight alpha, kept on the C++ heap and owned by an external
// of type "image". Its image node is a small byte buffer in the Vek heap
// holding the external's slot and the size word: what values refer to, and
// what the collector follows.
//
// A block lives as long as its node: after each collection's marking, a
// sweep hook marks the external of every block whose node is marked, and
// the externals sweep releases the others (their release callback frees the
// pixels). The pixel bytes count toward the collector's pacing while they
// live.
//
// Also here, the operations on whole blocks that the datatype builds on:
// filling a new block, copying a rectangle, scaling, and the codecs'
// decoding and encoding (runtime/codecs/image.h).
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "runtime/codecs/image.h"
#include "runtime/memory/series.h"

namespace vek::image {

namespace codec = codecs::image;

// ---------------------------------------------------------------- sizes

constexpr uint32_t MAX_SIDE = codec::MAX_SIDE;
constexpr uint64_t MAX_PIXELS = codec::MAX_PIXELS;

constexpr uint32_t pack_size(uint32_t width, uint32_t height) { return width | height << 16; }

// Whether the sides can be an image's: each at most MAX_SIDE, at most
// MAX_PIXELS pixels.
constexpr bool fits(uint64_t width, uint64_t height) {
    return width <= MAX_SIDE && height <= MAX_SIDE && width * height <= MAX_PIXELS;
}

// ---------------------------------------------------------------- blocks and nodes

// Registers the external type "image" and the collector's sweep hook.
void init_layer();

// A bitmap of width x height pixels, not yet filled; internal no-memory
// when the C++ heap refuses them.
codec::Bitmap new_bitmap(uint32_t width, uint32_t height);
// A new node owning the bitmap's pixels, which are moved out of it. Both
// sides must be above 0 and fit. The pixel bytes are counted into the
// collector's pacing first, so a collection may run.
Node make_node(codec::Bitmap&& bitmap);
// A new node of the size with every pixel set to fill.
Node make_filled(uint32_t width, uint32_t height, uint32_t fill);
// The packed size the node records.
uint32_t node_size(Node node);
// The first pixel of the node's block. The block never moves; it lives as
// long as the node is reachable.
uint32_t* pixels_of(Node node);
// Blocks alive, and the pixel bytes they hold (for tests and statistics).
uint32_t live_blocks();
uint64_t live_bytes();

// ---------------------------------------------------------------- whole-block operations

// The rectangle (x, y, width, height) of a block whose rows are stride
// pixels long, as a new node; the rectangle lies inside the block and both
// its sides are above 0.
Node copy_rect(Node source, uint32_t stride, uint32_t x, uint32_t y, uint32_t width, uint32_t height);
// The block of the source size scaled to the new size (both sides above 0),
// nearest neighbour, as a new node.
Node resize(Node source, uint32_t source_width, uint32_t source_height, uint32_t width, uint32_t height);

// The outcome of decoding: a node, or the reason there is none.
struct Decoding {
    Node node = Node::none;
    uint32_t size = 0;                    // the packed size when node is set
    bool known = false;                   // the bytes start with a known signature
    bool no_memory = false;               // without node: the pixels could not be allocated
};
// Decodes the first frame the bytes hold. Bytes with no known signature give
// known false; known bytes that do not decode, or decode to more pixels than
// codec::DECODE_PIXEL_BUDGET, no node.
Decoding decode_bytes(std::span<const uint8_t> bytes);
// Encodes the node's pixels in the format into out; false when the encoder
// fails.
bool encode_node(Node node, codec::Format format, std::vector<uint8_t>& out);

}  // namespace vek::image
