// binary!: the byte string's constructors and text form.
//
// The text is written line by line from a copy of the line's bytes: the
// appends to the output may move the value's buffer, so it is re-read by
// node for every line.
#include "runtime/datatypes/string/binary.h"

#include <algorithm>
#include <cstring>

#include "runtime/actions/dispatch.h"
#include "runtime/core/datatype.h"
#include "runtime/datatypes/block/array.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/string/binary_codecs.h"
#include "runtime/datatypes/string/buffer.h"
#include "runtime/eval/stack.h"

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

Cell* load_in(const Cell* block, const void* bytes, uint32_t n) {
    Cell made{};
    make_at(&made, n);
    SeriesBuffer* buffer = series_buffer(&made);
    if (n) std::memcpy(buffer->first(), bytes, n);
    buffer->tail = buffer->offset + n;
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

// form and mold give the same text, always in base 16: "#{", two digits a
// byte, "}" (mold/only leaves the marks out). More than 30 bytes go on lines
// of 32 bytes of their own, indented one level deeper, unless flat.
void form(const Cell* value, text::Sink& out) { write_text(value, out, false, false, 0); }

void mold(const Cell* value, text::Sink& out, bool only) {
    write_text(value, out, only, out.flat, out.indent);
}

}  // namespace

// The byte-specific actions (to, compare, the editing actions, trim and the
// bitwise ones) are not built yet: those slots stay empty rather than reach
// string!'s text versions.
void init() {
    using namespace datatype;
    register_type(TYPE_BINARY, Row()
        .inherit_range<SLOT_MAKE, SLOT_REFLECT>()
        .set<SLOT_FORM>(form)
        .set<SLOT_MOLD>(mold)
        .inherit<SLOT_EVAL_PATH>()
        .inherit_range<SLOT_AT, SLOT_BACK>()
        .inherit_range<SLOT_CLEAR, SLOT_FIND>()
        .inherit_range<SLOT_HEAD, SLOT_INDEX_Q>()
        .inherit_range<SLOT_LENGTH_Q, SLOT_POKE>()
        .inherit_range<SLOT_REMOVE, SLOT_TAKE>()
        .inherit<SLOT_MODIFY>());
}

}  // namespace vek::binary
