// The bytes a value stands for when it is appended, inserted or changed into
// a binary!, and when it is converted by to binary!. They are gathered into a
// C++ vector before the target is touched: nothing there moves when the
// target's buffer grows or the collector runs, and a value held in the
// target's own buffer is read before the edit changes it.
#include <bit>
#include <cstring>

#include "runtime/actions/dispatch.h"
#include "runtime/core/raise.h"
#include "runtime/datatypes/char.h"
#include "runtime/datatypes/compound/tuple.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/number/float.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/string/binary.h"
#include "runtime/datatypes/string/buffer.h"
#include "runtime/text/unicode.h"

namespace vek::binary {

namespace {

bool text_type(uint32_t type) {
    return type == TYPE_STRING || type == TYPE_FILE || type == TYPE_URL || type == TYPE_TAG ||
           type == TYPE_EMAIL || type == TYPE_REF;
}

bool list_type(uint32_t type) { return type == TYPE_BLOCK || type == TYPE_PAREN || type == TYPE_HASH; }

void put_utf8_text(const Cell* text, Bytes& out) {
    Cell source = *text;
    uint32_t length = string::rs_length(&source);
    std::byte* head = string::rs_head(&source);
    uint32_t unit = series_buffer(&source)->unit();
    size_t at = out.size();
    out.resize(at + unicode::utf8_size_of_range(head, head + size_t(length) * unit, unit));
    unicode::string_to_utf8(&source, out.data() + at, -1, false);
}

void put_char(uint32_t code_point, Bytes& out) {
    uint8_t utf8[4];
    int n = unicode::encode_utf8_char(code_point, utf8);
    out.insert(out.end(), utf8, utf8 + n);
}

void put_own_bytes(const Cell* binary, Bytes& out) {
    const auto* head = reinterpret_cast<const uint8_t*>(rs_head(binary));
    out.insert(out.end(), head, head + rs_length(binary));
}

void put_tuple(const Cell* tuple, Bytes& out) {
    for (uint32_t i = 0; i < tuple::size(tuple); i++) out.push_back(tuple::get_byte(tuple, i));
}

// The element is copied out before it is read: forming one may allocate and
// move the block's buffer.
void put_elements(const Cell* list, int32_t limit, ValueMode mode, Bytes& out) {
    Node node = series_node(list);
    uint32_t head = series_index(list);
    for (uint32_t i = head; i < node_buffer(node)->length(); i++) {
        if (limit >= 0 && i - head >= uint32_t(limit)) break;
        Cell element = node_buffer(node)->cells()[i];
        value_bytes(&element, -1, mode, out);
    }
}

void put_formed(const Cell* value, Bytes& out) {
    Cell text{};
    string::rs_make_at(&text, 16);
    text::Sink sink{.buffer = &text};
    actions::form(value, sink);
    put_utf8_text(&text, out);
}

}  // namespace

void value_bytes(const Cell* value, int32_t limit, ValueMode mode, Bytes& out) {
    uint32_t type = cell_type(value);
    size_t start = out.size();
    if (list_type(type)) {
        put_elements(value, limit, mode, out);
        return;
    }
    if (type == TYPE_CHAR) {
        put_char(char_::get(value), out);
    } else if (type == TYPE_INTEGER) {
        int32_t byte = integer::get(value);
        if (byte < -128 || byte > 255) fire(err::script::invalid_arg, value);
        out.push_back(uint8_t(byte));
    } else if (type == TYPE_BINARY) {
        put_own_bytes(value, out);
    } else if (type == TYPE_TUPLE) {
        put_tuple(value, out);
    } else if (text_type(type)) {
        put_utf8_text(value, out);
    } else if (mode == ValueMode::change) {
        put_formed(value, out);
    } else {
        Cell binary = datatype::cell(TYPE_BINARY);
        fire(err::script::bad_to_arg, &binary, value);
    }
    if (limit >= 0 && out.size() - start > size_t(limit)) out.resize(start + size_t(limit));
}

// to binary!: numbers give their big-endian bytes, an issue! its digits read
// as hexadecimal, a bitset! its whole bit array; the rest as value_bytes.
Cell* convert(Cell* result, const Cell* spec_value, uint32_t) {
    uint32_t type = cell_type(spec_value);
    Bytes bytes;
    if (type == TYPE_INTEGER) {
        auto n = uint32_t(integer::get(spec_value));
        for (int shift = 24; shift >= 0; shift -= 8) bytes.push_back(uint8_t(n >> shift));
    } else if (type == TYPE_FLOAT || type == TYPE_PERCENT) {
        auto bits = std::bit_cast<uint64_t>(float_::get(spec_value));
        for (int shift = 56; shift >= 0; shift -= 8) bytes.push_back(uint8_t(bits >> shift));
    } else if (type == TYPE_ISSUE) {
        from_issue(spec_value, result);
        return result;
    } else if (type == TYPE_BITSET) {
        SeriesBuffer* buffer = series_buffer(spec_value);
        const auto* first = reinterpret_cast<const uint8_t*>(buffer->first());
        bytes.assign(first, first + buffer->used_bytes());
    } else {
        value_bytes(spec_value, -1, ValueMode::insert, bytes);
    }
    return load_at(result, bytes.data(), uint32_t(bytes.size()));
}

}  // namespace vek::binary
