// image!: the entries of the image codec objects, encoding an image into
// the bytes of a file format and decoding such bytes, from a binary! or a
// file!, into a new image.
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "runtime/core/raise.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/image/internal.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/string/binary.h"
#include "runtime/datatypes/string/file_path.h"

namespace vek::image {

namespace {

[[noreturn]] void bad_media() { fire(err::access::bad_media); }

// A file that did not decode: its pixels that could not be allocated are
// no-memory, anything else about it bad-media.
[[noreturn]] void refuse(const Decoding& decoded) {
    if (decoded.no_memory) fire(err::internal::no_memory);
    bad_media();
}

// The whole file, or nothing when it cannot be read.
bool read_whole_file(const char* path, std::vector<uint8_t>& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

}  // namespace

Cell* encode(const Cell* image, Cell* where, int32_t format) {
    Cell held = *image;
    if (format < int32_t(FileFormat::bmp) || format > int32_t(FileFormat::tiff)) {
        Cell number{};
        fire(err::script::invalid_arg, integer::make_at(&number, format));
    }
    if (width(&held) == 0 || height(&held) == 0) bad_media();
    std::vector<uint8_t> bytes;
    if (!encode_node(node(&held), codec::Format(format), bytes) || bytes.size() > size_t(INT32_MAX)) bad_media();
    Cell* result = where && cell_type(where) != TYPE_NONE ? where : stack::push_cell();
    return binary::load_at(result, bytes.data(), uint32_t(bytes.size()));
}

Cell* decode(const Cell* data) {
    switch (cell_type(data)) {
    case TYPE_BINARY: return from_binary(data);
    case TYPE_FILE: return load_file(data);
    default: fire(err::script::invalid_arg, data);
    }
}

Cell* from_binary(const Cell* binary) {
    // The bytes are copied out: making the node may move the binary's buffer.
    const auto* first = reinterpret_cast<const uint8_t*>(binary::rs_head(binary));
    std::vector<uint8_t> bytes(first, first + binary::rs_length(binary));
    Decoding decoded = decode_bytes(bytes);
    if (!decoded.known) return stack::push(&none::constant);
    if (decoded.node == Node::none) refuse(decoded);
    return make_at(stack::push_cell(), decoded.node);
}

Cell* load_file(const Cell* file) {
    Cell held = *file;
    std::string path = file::to_os_path(&held);
    std::vector<uint8_t> bytes;
    if (!read_whole_file(path.c_str(), bytes)) fire(err::access::cannot_open, &held);
    Decoding decoded = decode_bytes(bytes);
    if (!decoded.known) fire(err::access::cannot_open, &held);
    if (decoded.node == Node::none) refuse(decoded);
    return make_at(stack::push_cell(), decoded.node);
}

}  // namespace vek::image
