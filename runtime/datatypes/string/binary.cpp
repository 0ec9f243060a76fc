// binary!: the byte string's constructors, comparison and text form; the
// edits are in binary_edit.cpp, the bytes of other values in
// binary_bytes.cpp.
//
// The text is written line by line from a copy of the line's bytes: the
// appends to the output may move the value's buffer, so it is re-read by
// node for every line.
#include "runtime/datatypes/string/binary.h"

#include <algorithm>
#include <cstring>

#include "runtime/actions/dispatch.h"
#include "runtime/core/raise.h"
#include "runtime/core/registry.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/block/array.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/string/binary_codecs.h"
#include "runtime/datatypes/string/binary_edit.h"
#include "runtime/datatypes/string/buffer.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/datatypes/word/word.h"

namespace vek::binary {

namespace {

constexpr uint32_t LINE_BYTES = 32;  // 64 hexadecimal digits
// More bytes than this and the digits go on lines of their own.
constexpr uint32_t ONE_LINE_BYTES = 30;

}  // namespace

// Under part, writing stops once the limit reaches 0.
static void write_text(const Cell* value, text::Sink& out, bool only, bool flat, int32_t indent) {
    Node node = series_node(value);
    uint32_t head = std::min(series_index(value), node_buffer(node)->length());
    uint32_t count = node_buffer(node)->length() - head;
    bool lines = !flat && count > ONE_LINE_BYTES;
    int32_t level = indent + 1;
    if (!only) out.append("#{");
    if (lines) out.new_line(level);
    for (uint32_t done = 0; done < count && !out.used_up();) {
        uint8_t bytes[LINE_BYTES];
        uint8_t text[2 * LINE_BYTES];
        uint32_t n = std::min(LINE_BYTES, count - done);
        std::memcpy(bytes, node_buffer(node)->at(head + done), n);
        uint8_t* end = encode_base16(text, bytes, n);
        out.append(reinterpret_cast<const char*>(text), uint32_t(end - text));
        done += n;
        if (n == LINE_BYTES && !flat) out.new_line(level);
    }
    if (lines && count % LINE_BYTES != 0) out.new_line(indent);
    if (!only) out.append("}");
}

uint32_t rs_length(const Cell* value) {
    uint32_t length = series_buffer(value)->length();
    return series_index(value) < length ? length - series_index(value) : 0;
}

std::byte* rs_head(const Cell* value) {
    SeriesBuffer* buffer = series_buffer(value);
    return buffer->at(std::min(series_index(value), buffer->length()));
}

Cell* make_at(Cell* cell, uint32_t capacity) {
    string::make_at_unit(cell, std::max(capacity, 1u), 1);
    return set_type(cell, TYPE_BINARY);
}

Cell* load_at(Cell* cell, const void* bytes, uint32_t n) {
    make_at(cell, n);
    SeriesBuffer* buffer = series_buffer(cell);
    if (n) std::memcpy(buffer->first(), bytes, n);
    buffer->tail = buffer->offset + n;
    return cell;
}

Cell* load_in(const Cell* block, const void* bytes, uint32_t n) {
    Cell made{};
    load_at(&made, bytes, n);
    if (!block) return stack::push(&made);
    Cell* cell = block::alloc_tail(block);
    *cell = made;
    return cell;
}

Cell* load_push(const void* bytes, uint32_t n) { return load_in(nullptr, bytes, n); }

Cell* push(const Cell* value) { return stack::push(value); }

uint64_t leading_bytes(const Cell* binary, uint32_t max) {
    uint32_t count = std::min(rs_length(binary), max);
    const std::byte* bytes = rs_head(binary);
    uint64_t bits = 0;
    for (uint32_t i = 0; i < count; i++) bits = (bits << 8) | uint64_t(bytes[i]);
    return bits;
}

namespace {

bool byte_comparable(uint32_t type) {
    return type == TYPE_BINARY || type == TYPE_STRING || type == TYPE_FILE || type == TYPE_URL ||
           type == TYPE_TAG || type == TYPE_EMAIL || type == TYPE_REF;
}

// The raw bytes from a series' head to its tail.
struct RawBytes {
    const uint8_t* head;
    uint32_t size;
};

RawBytes raw_bytes(const Cell* value) {
    SeriesBuffer* buffer = series_buffer(value);
    uint32_t head = std::min(series_index(value), buffer->length());
    return {reinterpret_cast<const uint8_t*>(buffer->at(head)), buffer->used_bytes() - (head << buffer->unit_shift())};
}

int32_t sign(int64_t n) { return (n > 0) - (n < 0); }

}  // namespace

int32_t compare_bytes(const Cell* value1, const Cell* value2, int32_t op, bool match) {
    if (!byte_comparable(cell_type(value2))) return -2;
    bool same = series_node(value1) == series_node(value2) && series_index(value1) == series_index(value2);
    if (op == actions::COMP_SAME) return same ? 0 : -1;
    if (same && is_equality(op)) return 0;
    RawBytes a = raw_bytes(value1), b = raw_bytes(value2);
    if (match) {
        if (b.size == 0) return op == actions::COMP_EQUAL || op == actions::COMP_STRICT_EQUAL || op == actions::COMP_FIND ? 0 : 1;
        return a.size >= b.size && std::memcmp(a.head, b.head, b.size) == 0 ? 0 : 1;
    }
    if (a.size != b.size && is_equality(op)) return 1;
    uint32_t n = std::min(a.size, b.size);
    int order = n ? std::memcmp(a.head, b.head, n) : 0;
    return order != 0 ? sign(order) : sign(int64_t(a.size) - int64_t(b.size));
}

uint32_t from_issue(const Cell* issue, Cell* result) {
    const char* name = symbol::get_c_string(word::symbol(issue));
    if (!decode(16, result, reinterpret_cast<const std::byte*>(name), uint32_t(std::strlen(name)), 1))
        fire(err::script::invalid_data, issue);
    return rs_length(result);
}

namespace {

int32_t compare(const Cell* value1, const Cell* value2, int32_t op) { return compare_bytes(value1, value2, op, false); }

// form and mold give the same text, always in base 16: "#{", two digits a
// byte, "}" (mold/only leaves the marks out). More than 30 bytes go on lines
// of 32 bytes of their own, indented one level deeper, unless flat.
void form(const Cell* value, text::Sink& out) { write_text(value, out, false, false, 0); }

void mold(const Cell* value, text::Sink& out, bool only) {
    write_text(value, out, only, out.flat, out.indent);
}

}  // namespace

void init() {
    using namespace registry;
    register_type(TYPE_BINARY, Row()
        .inherit_range<SLOT_MAKE, SLOT_REFLECT>()
        .set<SLOT_TO>(convert)
        .set<SLOT_FORM>(form)
        .set<SLOT_MOLD>(mold)
        .inherit<SLOT_EVAL_PATH>()
        .set<SLOT_COMPARE>(compare)
        .set<SLOT_AND>(and_)
        .set<SLOT_COMPLEMENT>(complement)
        .set<SLOT_OR>(or_)
        .set<SLOT_XOR>(xor_)
        .set<SLOT_APPEND>(insert)
        .inherit_range<SLOT_AT, SLOT_BACK>()
        .set<SLOT_CHANGE>(change)
        .inherit_range<SLOT_CLEAR, SLOT_FIND>()
        .inherit_range<SLOT_HEAD, SLOT_INDEX_Q>()
        .set<SLOT_INSERT>(insert)
        .inherit_range<SLOT_LENGTH_Q, SLOT_POKE>()
        .inherit_range<SLOT_REMOVE, SLOT_TAKE>()
        .set<SLOT_TRIM>(trim)
        .inherit<SLOT_MODIFY>());
}

}  // namespace vek::binary
