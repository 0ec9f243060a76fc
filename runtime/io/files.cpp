#include "runtime/io/files.h"

#include <algorithm>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/os.h"
#include "platform/stdout.h"
#include "runtime/actions/dispatch.h"
#include "runtime/core/raise.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/block/array.h"
#include "runtime/datatypes/compound/date.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/string/binary.h"
#include "runtime/datatypes/string/buffer.h"
#include "runtime/datatypes/string/file_path.h"
#include "runtime/datatypes/unset.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/memory/series.h"
#include "runtime/output/print_hooks.h"
#include "runtime/text/unicode.h"

namespace vek::files {

namespace {

using Bytes = std::vector<uint8_t>;

// What a series can hold: a larger read is refused before it is made.
constexpr size_t LONGEST_READ = size_t(INT32_MAX);

// The file's path as a string of its own, safe across allocations.
std::string os_path(const Cell* file) { return std::string(file::to_os_path(file)); }

// ---------------------------------------------------------------- refinements

[[noreturn]] void bad_refinement(const char* name, const Cell* value) {
    Cell refinement = word::unbound(TYPE_REFINEMENT, symbol::make(name));
    fire(err::script::invalid_refine_arg, &refinement, value);
}

// The integer of a refinement's argument; fallback when it is absent.
int32_t integer_argument(const char* name, const Cell* value, int32_t fallback) {
    if (!value) return fallback;
    if (cell_type(value) != TYPE_INTEGER) bad_refinement(name, value);
    return integer::get(value);
}

// ---------------------------------------------------------------- bytes to values

// CR LF and a lone CR become LF, in place.
void normalize_line_ends(Bytes& bytes) {
    size_t out = 0;
    for (size_t in = 0; in < bytes.size(); in++) {
        if (bytes[in] == '\r') {
            bytes[out++] = '\n';
            if (in + 1 < bytes.size() && bytes[in + 1] == '\n') in++;
        } else {
            bytes[out++] = bytes[in];
        }
    }
    bytes.resize(out);
}

Cell* push_text(const uint8_t* bytes, size_t length) {
    return string::load_utf8_strict(bytes, uint32_t(length));
}

// One string per line, none after a final line end. Each line is loaded as
// any text is, so a byte-order mark at its start is dropped.
Cell* push_lines(const Bytes& bytes) {
    Cell* block = block::push_only_star(1);
    size_t start = 0;
    while (start < bytes.size()) {
        auto end = std::find(bytes.begin() + ptrdiff_t(start), bytes.end(), uint8_t('\n'));
        size_t stop = size_t(end - bytes.begin());
        Cell* mark = stack::top;
        block::rs_append(block, push_text(bytes.data() + start, stop - start));
        stack::top = mark;
        start = stop + 1;
    }
    return block;
}

Cell* push_bytes_read(Bytes& bytes, bool binary, bool lines) {
    if (binary) return binary::load_push(bytes.data(), uint32_t(bytes.size()));
    normalize_line_ends(bytes);
    return lines ? push_lines(bytes) : push_text(bytes.data(), bytes.size());
}

Cell* push_listing(const Cell* directory, const std::string& path) {
    auto entries = platform::list_directory(path.c_str());
    if (!entries) fire(err::access::cannot_open, directory);
    Cell* block = block::push_only_star(int32_t(std::min<size_t>(entries->size(), INT32_MAX)));
    for (const auto& entry : *entries) {
        Cell* mark = stack::top;
        std::string name = entry.directory ? entry.name + "/" : entry.name;
        // A name that is no UTF-8 is listed too, in the form that reaches it.
        Node text = unicode::load_os_name(reinterpret_cast<const uint8_t*>(name.data()), uint32_t(name.size()));
        Cell* file = stack::push_cell();
        *file = series_cell(TYPE_FILE, text);
        block::rs_append(block, file);
        stack::top = mark;
    }
    return block;
}

// ---------------------------------------------------------------- values to bytes

// The UTF-8 of at most limit characters of the text from its head (a
// negative limit: all of them).
void append_text(const Cell* text, int32_t limit, Bytes& out) {
    SeriesBuffer* buffer = series_buffer(text);
    uint32_t head = std::min(series_index(text), buffer->length());
    uint32_t count = buffer->length() - head;
    if (limit >= 0) count = std::min(count, uint32_t(limit));
    uint32_t size = unicode::utf8_size_of_range(buffer->at(head), buffer->at(head + count), buffer->unit());
    size_t at = out.size();
    out.resize(at + size);
    unicode::string_to_utf8(text, out.data() + at, int32_t(count), false);
}

// The bytes write gives the value: a string!'s text, a binary!'s bytes (cut
// only by a limit above 0), any other value's mold.
void append_value(const Cell* value, int32_t limit, Bytes& out) {
    switch (cell_type(value)) {
    case TYPE_STRING: append_text(value, limit, out); return;
    case TYPE_BINARY: {
        uint32_t length = binary::rs_length(value);
        if (limit > 0) length = std::min(length, uint32_t(limit));
        auto* head = reinterpret_cast<const uint8_t*>(binary::rs_head(value));
        out.insert(out.end(), head, head + length);
        return;
    }
    default: {
        Cell* mark = stack::top;
        Cell* molded = actions::mold_to_string(value, nullptr, stack::push_cell());
        append_text(molded, limit, out);
        stack::top = mark;
    }
    }
}

// Each value of the block from its head, each followed by a line end. The
// values are copied out one at a time: molding one may move the block.
void append_lines(const Cell* block, Bytes& out) {
    for (uint32_t i = 0; i < block::length_from_head(block); i++) {
        Cell item = *block::rs_abs_at(block, series_index(block) + i);
        append_value(&item, -1, out);
        out.push_back('\n');
    }
}

Bytes bytes_to_write(const Cell* data, bool lines, int32_t part) {
    Bytes out;
    if (lines && cell_type(data) == TYPE_BLOCK) {
        append_lines(data, out);
    } else {
        append_value(data, part, out);
        if (lines) out.push_back('\n');
    }
    return out;
}

platform::WriteMode write_mode(bool append, const Cell* seek) {
    if (append) return platform::WriteMode::append;
    return seek ? platform::WriteMode::at_offset : platform::WriteMode::replace;
}

}  // namespace

// ---------------------------------------------------------------- the file! actions

Cell* push_bytes(Bytes& bytes, bool binary, bool lines) { return push_bytes_read(bytes, binary, lines); }

bool spells_directory(std::string_view path) {
    if (path.empty()) return false;
    if (path == "." || path == ".." || path.back() == '/') return true;
    return path.ends_with("/.") || path.ends_with("/..");
}

Cell* read(Cell* source, const actions::ReadArgs& args) {
    if (args.as) not_done();
    int32_t limit = integer_argument("part", args.part, -1);
    int32_t offset = std::max(integer_argument("seek", args.seek, 0), 0);
    std::string path = os_path(source);
    if (spells_directory(path)) return push_listing(source, path);
    platform::FileBytes got = platform::read_file(path.c_str(), offset, limit, LONGEST_READ);
    switch (got.status) {
    case platform::ReadStatus::ok: break;
    case platform::ReadStatus::cannot_open: fire(err::access::cannot_open, source);
    case platform::ReadStatus::too_long: fire(err::script::too_long);
    case platform::ReadStatus::no_memory: fire(err::internal::no_memory);
    }
    return push_bytes_read(got.bytes, args.binary, args.lines);
}

Cell* write(Cell* destination, const Cell* data, const actions::WriteArgs& args) {
    if (args.allow || args.as) not_done();
    int32_t limit = integer_argument("part", args.part, -1);
    int32_t offset = integer_argument("seek", args.seek, 0);
    if (offset < 0) bad_refinement("seek", args.seek);
    if (args.part && limit < 0) return &unset::constant;
    Bytes bytes = bytes_to_write(data, args.lines, limit);
    std::string path = os_path(destination);
    if (!platform::write_file(path.c_str(), bytes.data(), bytes.size(), write_mode(args.append, args.seek), offset))
        fire(err::access::cannot_open, destination);
    return &unset::constant;
}

Cell* remove(Cell* file) {
    std::string path = os_path(file);
    bool removed = spells_directory(path) ? platform::remove_directory(path.c_str())
                                          : platform::remove_file(path.c_str());
    return logic::constant(removed);
}

Cell* query(Cell* file) {
    std::string path = os_path(file);
    auto status = platform::file_status(path.c_str());
    if (!status || (spells_directory(path) && !status->directory)) return &none::constant;
    const platform::FileTime& t = status->modified;
    return date::make_at_ymdhms(stack::push_cell(), t.year, t.month, t.day, t.hour, t.minute, t.second,
                                t.nanosecond);
}

Cell* rename(Cell* from, const Cell* to) {
    if (cell_type(to) != TYPE_FILE && cell_type(to) != TYPE_STRING) fire(err::script::invalid_arg, to);
    std::string old_path = os_path(from);
    std::string new_path = os_path(to);
    return logic::constant(platform::rename_no_replace(old_path.c_str(), new_path.c_str()));
}

// ---------------------------------------------------------------- the natives and routines

std::optional<int64_t> size(const Cell* file) {
    std::string path = os_path(file);
    if (spells_directory(path)) return std::nullopt;
    return platform::file_size(path.c_str());
}

bool make_dir(const Cell* file) { return platform::make_directory(os_path(file).c_str()); }

bool make_private(const Cell* file) {
    std::string path = os_path(file);
    return platform::make_private(path.c_str(), spells_directory(path));
}

bool exists(const Cell* file) { return platform::path_exists(os_path(file).c_str()); }

void write_stdout(const Cell* value) {
    Bytes bytes;
    append_value(value, -1, bytes);
    bool written = platform::write_stdout(bytes.data(), bytes.size());
    print_hooks::notify_write(reinterpret_cast<const char*>(bytes.data()), uint32_t(bytes.size()), written ? 1 : 0);
}

}  // namespace vek::files
