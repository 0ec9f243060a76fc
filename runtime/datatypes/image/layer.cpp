#include "runtime/datatypes/image/layer.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

#include "runtime/core/raise.h"
#include "runtime/gc/collector.h"
#include "runtime/memory/externals.h"
#include "runtime/memory/manager.h"

namespace vek::image {

namespace {

// A pixel block, linked into the list of live blocks that the sweep hook
// walks.
struct Block {
    codec::Bitmap bitmap;
    Node node;       // the image node that keeps the block alive
    uint32_t slot;   // the external that owns the block
    Block* previous;
    Block* next;
};

// What the node's buffer holds: nothing but relocatable words.
struct NodeRecord {
    uint32_t slot;  // the block's external
    uint32_t size;  // the packed size
};

uint32_t external_type = 0;
Block* first_block = nullptr;
uint32_t block_count = 0;
uint64_t block_bytes = 0;

uint64_t bytes_of(const codec::Bitmap& bitmap) { return uint64_t(bitmap.pixels.size()) * sizeof(uint32_t); }

void link(Block* block) {
    block->previous = nullptr;
    block->next = first_block;
    if (first_block) first_block->previous = block;
    first_block = block;
    block_count++;
    block_bytes += bytes_of(block->bitmap);
}

void unlink(Block* block) {
    if (block->previous) block->previous->next = block->next;
    else first_block = block->next;
    if (block->next) block->next->previous = block->previous;
    block_count--;
    block_bytes -= bytes_of(block->bitmap);
}

// The external type's release callback: the block's node died.
void release_block(void* object) {
    auto* block = static_cast<Block*>(object);
    unlink(block);
    memory::release_external(bytes_of(block->bitmap));
    delete block;
}

// After marking: a block whose node is marked stays, the externals sweep
// releases the others. Keying on the node rather than on image cells keeps a
// block alive however its node is reached, a C++ local included.
void keep_reachable_blocks() {
    for (Block* block = first_block; block; block = block->next)
        if (gc::is_marked(block->node)) externals::mark(block->slot, nullptr);
}

NodeRecord record_of(Node node) {
    NodeRecord record;
    std::memcpy(&record, node_buffer(node)->first(), sizeof record);
    return record;
}

Block* block_of(Node node) { return static_cast<Block*>(externals::object(record_of(node).slot)); }

}  // namespace

// ---------------------------------------------------------------- blocks and nodes

codec::Bitmap new_bitmap(uint32_t width, uint32_t height) {
    codec::Bitmap bitmap{width, height, {}};
    try {
        bitmap.pixels.resize(size_t(width) * height);
    } catch (const std::bad_alloc&) {
        fire(err::internal::no_memory);
    }
    return bitmap;
}

void init_layer() {
    first_block = nullptr;
    block_count = 0;
    block_bytes = 0;
    external_type = externals::register_type("image", release_block);
    gc::add_sweep("image pixel blocks", keep_reachable_blocks);
}

Node make_node(codec::Bitmap&& bitmap) {
    uint64_t bytes = bytes_of(bitmap);
    memory::pace_external(bytes);
    Node node = Node::none;
    try {
        node = memory::alloc_bytes(sizeof(NodeRecord));
    } catch (...) {
        memory::release_external(bytes);
        throw;
    }
    // Nothing below allocates in the Vek heap: no collection can see the
    // block before its node records it.
    auto* block = new Block{std::move(bitmap), node, 0, nullptr, nullptr};
    block->slot = externals::new_handle(block, external_type);
    link(block);
    NodeRecord record{block->slot, pack_size(block->bitmap.width, block->bitmap.height)};
    SeriesBuffer* buffer = node_buffer(node);
    std::memcpy(buffer->first(), &record, sizeof record);
    buffer->tail = Off(uint32_t(buffer->offset) + uint32_t(sizeof record));
    return node;
}

Node make_filled(uint32_t width, uint32_t height, uint32_t fill) {
    codec::Bitmap bitmap = new_bitmap(width, height);
    std::fill(bitmap.pixels.begin(), bitmap.pixels.end(), fill);
    return make_node(std::move(bitmap));
}

uint32_t node_size(Node node) { return record_of(node).size; }

uint32_t* pixels_of(Node node) { return block_of(node)->bitmap.pixels.data(); }

uint32_t live_blocks() { return block_count; }
uint64_t live_bytes() { return block_bytes; }

// ---------------------------------------------------------------- whole-block operations

Node copy_rect(Node source, uint32_t stride, uint32_t x, uint32_t y, uint32_t width, uint32_t height) {
    codec::Bitmap bitmap = new_bitmap(width, height);
    const uint32_t* from = pixels_of(source);
    for (uint32_t row = 0; row < height; row++)
        std::memcpy(&bitmap.pixels[size_t(row) * width], from + size_t(y + row) * stride + x, width * sizeof(uint32_t));
    return make_node(std::move(bitmap));
}

Node resize(Node source, uint32_t source_width, uint32_t source_height, uint32_t width, uint32_t height) {
    codec::Bitmap bitmap = new_bitmap(width, height);
    const uint32_t* from = pixels_of(source);
    for (uint32_t row = 0; row < height; row++) {
        size_t source_row = uint64_t(row) * source_height / height;
        for (uint32_t column = 0; column < width; column++) {
            size_t source_column = uint64_t(column) * source_width / width;
            bitmap.pixels[size_t(row) * width + column] = from[source_row * source_width + source_column];
        }
    }
    return make_node(std::move(bitmap));
}

Decoding decode_bytes(std::span<const uint8_t> bytes) {
    Decoding result;
    result.known = codec::sniff(bytes).has_value();
    if (!result.known) return result;
    codec::Decoded decoded = codec::decode(bytes, codec::DECODE_PIXEL_BUDGET);
    result.no_memory = decoded.status == codec::Status::no_memory;
    const codec::Bitmap& bitmap = decoded.bitmap;
    bool usable = decoded.status == codec::Status::ok && bitmap.width > 0 && bitmap.height > 0 &&
                  fits(bitmap.width, bitmap.height) && bitmap.pixels.size() == size_t(bitmap.width) * bitmap.height;
    if (!usable) return result;
    result.size = pack_size(bitmap.width, bitmap.height);
    result.node = make_node(std::move(decoded.bitmap));
    return result;
}

bool encode_node(Node node, codec::Format format, std::vector<uint8_t>& out) {
    return codec::encode(block_of(node)->bitmap, format, out) == codec::Status::ok;
}

}  // namespace vek::image
