#include "runtime/datatypes/string/file_path.h"

#include <string>

#include "platform/os.h"
#include "runtime/core/raise.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/string/buffer.h"
#include "runtime/memory/series.h"
#include "runtime/text/unicode.h"

namespace vek::file {

namespace {

bool absolute(const Cell* file) {
    SeriesBuffer* buffer = series_buffer(file);
    uint32_t head = series_index(file);
    return head < buffer->length() && string::get_char(buffer->at(head), buffer->unit()) == '/';
}

void append_text(const Cell* output, const Cell* source) {
    string::concatenate(const_cast<Cell*>(output), const_cast<Cell*>(source), -1, 0, false, string::Mode::append);
}

}  // namespace

void to_local_path(const Cell* file, const Cell* output, bool full) {
    if (full && !absolute(file)) {
        Cell* mark = stack::top;
        append_text(output, get_current_dir());
        stack::top = mark;
    }
    append_text(output, file);
}

Cell* to_vek_path(const Cell* path) {
    Cell* result = string::rs_make_at(stack::push_cell(), 16);
    append_text(result, path);
    return set_type(result, TYPE_FILE);
}

Cell* get_current_dir() {
    std::string dir = platform::get_current_dir();
    if (dir.empty()) dir.push_back('.');
    if (dir.back() != '/') dir += '/';
    return string::load(reinterpret_cast<const uint8_t*>(dir.data()), uint32_t(dir.size()), nullptr,
                        string::Encoding::utf8);
}

// The local text is built in a string of its own, so that the conversion
// cache is not hung on the caller's cell.
const char* to_os_path(const Cell* file) {
    if (string::find_char(file, 0) >= 0) fire(err::script::invalid_arg, file);
    Cell* mark = stack::top;
    Cell* local = string::rs_make_at(stack::push_cell(), 16);
    to_local_path(file, local, false);
    int32_t length = -1;
    const uint8_t* bytes = unicode::to_os_name_cstring(local, &length);
    stack::top = mark;
    return reinterpret_cast<const char*>(bytes);
}

}  // namespace vek::file
