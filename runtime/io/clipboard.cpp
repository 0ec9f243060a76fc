#include "runtime/io/clipboard.h"

#include <span>
#include <string>
#include <vector>

#include "platform/clipboard.h"
#include "platform/os.h"
#include "runtime/core/raise.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/block/array.h"
#include "runtime/datatypes/image/image.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/string/binary.h"
#include "runtime/datatypes/string/buffer.h"
#include "runtime/text/unicode.h"

namespace vek::clipboard {

namespace system = platform::clipboard;

namespace {

// ---------------------------------------------------------------- reading

Cell* push_text(const std::vector<uint8_t>& utf8) {
    return string::load_push(utf8.data(), uint32_t(utf8.size()), string::Encoding::utf8);
}

Cell* push_files(const std::vector<std::string>& paths) {
    Cell* block = block::make_at(stack::push_cell(), int32_t(paths.size()));
    for (const std::string& path : paths) {
        Cell* file = string::load_in(reinterpret_cast<const uint8_t*>(path.data()), uint32_t(path.size()), block,
                                     string::Encoding::utf8);
        set_type(file, TYPE_FILE);
    }
    return block;
}

// The bytes go through a binary!, as an image codec's input does.
Cell* push_image(const std::vector<uint8_t>& bytes) {
    Cell* binary = binary::load_push(bytes.data(), uint32_t(bytes.size()));
    Cell* image = image::from_binary(binary);
    *binary = *image;
    stack::top = binary + 1;
    return binary;
}

// ---------------------------------------------------------------- writing

// The UTF-8 of the text from its head.
std::string utf8_of(const Cell* text) {
    SeriesBuffer* buffer = series_buffer(text);
    uint32_t head = std::min(series_index(text), buffer->length());
    uint32_t size = unicode::utf8_size_of_range(buffer->at(head), buffer->at(buffer->length()), buffer->unit());
    std::string out(size, '\0');
    unicode::string_to_utf8(text, reinterpret_cast<uint8_t*>(out.data()), -1, false);
    return out;
}

std::span<const uint8_t> bytes_of(const std::string& text) {
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

// The absolute paths of the block's file! and string! values; a relative
// one is left out when the current directory has no name.
std::vector<std::string> paths_of(const Cell* block) {
    std::vector<std::string> paths;
    std::string directory;
    for (const Cell* value = block::rs_head(const_cast<Cell*>(block)); value < block::rs_tail(block); value++) {
        if (cell_type(value) != TYPE_FILE && cell_type(value) != TYPE_STRING) continue;
        std::string path = utf8_of(value);
        if (path.find('\0') != std::string::npos) fire(err::script::invalid_arg, value);
        if (!path.starts_with('/')) {
            if (directory.empty()) directory = platform::get_current_dir();
            if (directory.empty()) continue;
            path = directory + (directory.ends_with('/') ? "" : "/") + path;
        }
        paths.push_back(std::move(path));
    }
    return paths;
}

bool write_image(const Cell* value) {
    if (image::pixel_count(value) == 0) return system::clear();
    Cell* mark = stack::top;
    const Cell* png = image::encode(value, nullptr, int32_t(image::FileFormat::png));
    const auto* first = reinterpret_cast<const uint8_t*>(binary::rs_head(png));
    std::vector<uint8_t> bytes(first, first + binary::rs_length(png));
    stack::top = mark;
    return system::write_png(bytes);
}

}  // namespace

Cell* read() {
    system::Reading reading = system::read();
    switch (reading.status) {
    case system::Status::failed: return logic::push(false);
    case system::Status::empty: return none::push();
    case system::Status::ok: break;
    }
    switch (reading.kind) {
    case system::Kind::text: return push_text(reading.bytes);
    case system::Kind::files: return push_files(reading.paths);
    case system::Kind::image: return push_image(reading.bytes);
    }
    return none::push();
}

bool write(const Cell* value) {
    switch (cell_type(value)) {
    case TYPE_NONE: return system::clear();
    case TYPE_STRING: return system::write_text(bytes_of(utf8_of(value)));
    case TYPE_BLOCK: return system::write_files(paths_of(value));
    case TYPE_IMAGE: return write_image(value);
    default: fire(err::script::invalid_arg, value);
    }
}

}  // namespace vek::clipboard
