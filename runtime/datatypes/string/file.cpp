// file!: mold, and the file actions, which the I/O layer serves
// (runtime/io/files.h). Everything else a file! does it does as url!.
#include "runtime/datatypes/string/file.h"

#include <algorithm>
#include <array>

#include "runtime/actions/dispatch.h"
#include "runtime/core/registry.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/string/buffer.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/io/files.h"
#include "runtime/memory/series.h"
#include "runtime/text/unicode.h"

namespace vek::file {

namespace {

// The characters below 0x80 that may stand in a file literal without
// quotes. A parenthesis ends a file token, so it takes quotes too.
constexpr std::array<bool, 128> BARE = [] {
    std::array<bool, 128> table{};
    for (int c = 'A'; c <= 'Z'; c++) table[size_t(c)] = true;
    for (int c = 'a'; c <= 'z'; c++) table[size_t(c)] = true;
    for (int c = '0'; c <= '9'; c++) table[size_t(c)] = true;
    for (const char* p = "!#$&'*+,-./:=?@_~"; *p; p++) table[size_t(*p)] = true;
    return table;
}();

uint32_t char_at(Node node, uint32_t index) {
    SeriesBuffer* buffer = node_buffer(node);
    return string::get_char(buffer->at(index), buffer->unit());
}

// A surrogate (such as a byte of a name that is no UTF-8 stands for) has
// no UTF-8 of its own: only its escape, inside quotes, loads back.
bool needs_quotes(Node node, uint32_t head, uint32_t range) {
    for (uint32_t i = 0; i < range; i++) {
        uint32_t c = char_at(node, head + i);
        if ((c < 0x80 && !BARE[c]) || unicode::is_surrogate(c)) return true;
    }
    return false;
}

}  // namespace

Cell* push(const Cell* value) { return stack::push(value); }

namespace {

// "%" and the text; wrapped in double quotes when it holds a character
// below 0x80 that may not stand in a bare file literal, and then "^", the
// double quote and control characters are written as caret escapes.
// Quoted text is written with the string escapes, so that the caret, the
// double quote and control characters load back as themselves.
// The limit is lowered by the range and the "%" alone, quotes or not.
void mold(const Cell* value, text::Sink& out, bool) {
    const Cell* buffer = out.buffer;
    Node node = series_node(value);
    uint32_t length = node_buffer(node)->length();
    uint32_t head = std::min(series_index(value), length);
    uint32_t range = length - head;
    if (out.limited) range = out.limit < 0 ? 0 : std::min(range, uint32_t(out.limit));
    string::append_char(series_buffer(buffer), '%');
    if (length == head) {
        string::append_c_string(buffer, "\"\"");
    } else if (needs_quotes(node, head, range)) {
        string::append_char(series_buffer(buffer), '"');
        for (uint32_t i = 0; i < range; i++) string::mold_char(buffer, char_at(node, head + i), false);
        string::append_char(series_buffer(buffer), '"');
    } else {
        for (uint32_t i = 0; i < range; i++) string::append_char(series_buffer(buffer), char_at(node, head + i));
    }
    out.limit -= int32_t(range) + 1;
}

}  // namespace

// file! takes everything but mold and the file actions from url!.
void init() {
    using namespace registry;
    register_type(TYPE_FILE, Row::inheriting()
        .set<SLOT_MOLD>(mold)
        .set<SLOT_DELETE>(files::remove)
        .set<SLOT_QUERY>(files::query)
        .set<SLOT_READ>(files::read)
        .set<SLOT_RENAME>(files::rename)
        .set<SLOT_WRITE>(files::write));
}

}  // namespace vek::file
