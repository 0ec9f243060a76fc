// String buffers and the text builder.
//
// Anything here that allocates (widening, growth, loading) may move every
// series buffer: the code keeps nodes and indexes across such calls and
// re-reads buffer addresses after them.
#include "runtime/datatypes/string/buffer.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "runtime/core/quit.h"
#include "runtime/core/raise.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/memory/malloc_list.h"
#include "runtime/memory/manager.h"
#include "runtime/memory/series.h"
#include "runtime/output/stdout_writer.h"
#include "runtime/text/unicode.h"

namespace vek::string {

// Units are stored in host order, which is the little-endian order the
// buffers are defined in.
static_assert(std::endian::native == std::endian::little);

namespace {

// ---------------------------------------------------------------- units

uint32_t checked_unit(uint32_t unit) {
    if (unit != 1 && unit != 2 && unit != 4) unicode::bad_unit();
    return unit;
}

void put_char(std::byte* address, uint32_t unit, uint32_t code_point) {
    unicode::write_unit(address, unit, code_point);
}

// The narrowest unit that holds the code point.
uint32_t unit_holding(uint32_t code_point) {
    return code_point < 0x100 ? 1 : code_point < 0x10000 ? 2 : 4;
}

// The text builder keeps a unit-1 buffer for ASCII only: from U+0080 up an
// append widens it.
uint32_t unit_for_append(uint32_t unit, uint32_t code_point) {
    uint32_t needed = code_point < 0x80 ? 1 : code_point < 0x10000 ? 2 : 4;
    return std::max(unit, needed);
}

uint32_t unit_for_store(uint32_t unit, uint32_t code_point) {
    return std::max(unit, unit_holding(code_point));
}

SeriesBuffer* widen(SeriesBuffer* buffer, uint32_t to) {
    switch (checked_unit(buffer->unit())) {
    case 1: return to == 2 ? unicode::widen_ucs1_to_ucs2(buffer) : unicode::widen_ucs1_to_ucs4(buffer);
    case 2: return unicode::widen_ucs2_to_ucs4(buffer);
    default: return buffer;
    }
}

SeriesBuffer* widen_to(SeriesBuffer* buffer, uint32_t unit) {
    return unit > buffer->unit() ? widen(buffer, unit) : buffer;
}

uint32_t capacity_bytes(uint64_t bytes) {
    if (bytes > UINT32_MAX) fire(err::internal::no_memory);
    return uint32_t(bytes);
}

// Room between the tail and the end of the area.
uint64_t room_after_tail(SeriesBuffer* buffer) { return uint64_t(buffer->area_end() - buffer->last()); }

// ---------------------------------------------------------------- values

// The head index within [0, length]: beyond the tail reads as the tail,
// negative as 0.
uint32_t clamped_head(const Cell* value, const SeriesBuffer* buffer) {
    int64_t head = int32_t(series_index(value));
    return uint32_t(std::clamp<int64_t>(head, 0, buffer->length()));
}

void pull_back_head(Cell* value, const SeriesBuffer* buffer) {
    if (int32_t(series_index(value)) > int32_t(buffer->length())) set_series_index(value, buffer->length());
}

// A pushed cell holds whatever was there before: no flags may survive.
Cell* fresh_stack_cell() { return make_unset(stack::push_cell()); }

// Retyping keeps the cell's flags, as every make-at constructor does.
Cell* make_string_cell(Cell* cell, Node node) {
    set_type(cell, TYPE_STRING);
    set_series_index(cell, 0);
    set_series_node(cell, node);
    set_cache_node(cell, Node::none);
    return cell;
}

// Text to copy from or into: a buffer and the index where it starts.
struct Text {
    Node node;
    uint32_t head;
};

Text text_of(Cell* value) {
    if (cell_type(value) == TYPE_SYMBOL) {
        symbol::string_cache(value);
        return {symbol::name_string(value), 0};
    }
    return {series_node(value), clamped_head(value, series_buffer(value))};
}

// ---------------------------------------------------------------- concatenation

// Inserting a run of the target's own buffer: the move that opens the gap at
// the destination shifts the part of the source that lies at or after it.
void copy_own_run_into_gap(SeriesBuffer* buffer, uint32_t at, uint32_t from, uint32_t count) {
    uint32_t before = from < at ? std::min(count, at - from) : 0;
    std::byte* destination = buffer->at(at);
    std::memcpy(destination, buffer->at(from), size_t(before) << buffer->unit_shift());
    uint32_t shifted_from = std::max(from, at) + count;  // where the rest lies after the move
    std::memcpy(destination + (size_t(before) << buffer->unit_shift()), buffer->at(shifted_from),
                size_t(count - before) << buffer->unit_shift());
}

void copy_per_char(Node target, uint32_t at, Node source, uint32_t from, uint32_t count, Mode mode) {
    for (uint32_t i = 0; i < count; ++i) {
        SeriesBuffer* src = node_buffer(source);
        uint32_t code_point = get_char(src->at(from + i), src->unit());
        SeriesBuffer* dst = node_buffer(target);
        if (mode == Mode::append)
            append_char(dst, code_point);
        else
            poke_char(dst, dst->at(at + i), code_point);
    }
}

// ---------------------------------------------------------------- scratch

constexpr uint32_t SCRATCH_SIZE = 64 * 1024;
std::byte* scratch = nullptr;
uint32_t scratch_size = 0;

// Room for n bytes; a larger run than usual gets a buffer of its own size
// until release_scratch.
std::byte* take_scratch(uint32_t n) {
    uint32_t size = std::max(n, SCRATCH_SIZE);
    if (scratch_size != size) {
        scratch = static_cast<std::byte*>(malloc_list::resize(scratch, size));
        scratch_size = size;
    }
    return scratch;
}

void release_scratch() {
    if (scratch_size != SCRATCH_SIZE) {
        scratch = static_cast<std::byte*>(malloc_list::resize(scratch, SCRATCH_SIZE));
        scratch_size = SCRATCH_SIZE;
    }
}

// ---------------------------------------------------------------- loading

Node decode(const uint8_t* bytes, uint32_t size, Encoding encoding) {
    switch (encoding) {
    case Encoding::utf8: return unicode::load_utf8_new(bytes, size);
    case Encoding::utf16le:
        return unicode::load_utf16(reinterpret_cast<const uint16_t*>(bytes), size / 2, nullptr, false);
    }
    // Only a miscast value gets here. It is a failure, so the status is not 0.
    output::print_cstring("*** Loading Error: input encoding unsupported\n");
    exit_process(1);
}

Node new_binary(const uint8_t* bytes, uint32_t size) {
    Node node = memory::alloc_bytes(size);
    SeriesBuffer* buffer = node_buffer(node);
    std::memcpy(buffer->first(), bytes, size);
    buffer->tail = buffer->offset + size;
    return node;
}

}  // namespace

// ---------------------------------------------------------------- reading

uint32_t get_char(const std::byte* address, uint32_t unit) { return unicode::read_unit(address, unit); }

std::byte* rs_head(Cell* value) {
    SeriesBuffer* buffer = series_buffer(value);
    pull_back_head(value, buffer);
    return buffer->at(clamped_head(value, buffer));
}

std::byte* rs_tail(const Cell* value) { return series_buffer(value)->last(); }

bool rs_at_tail(const Cell* value) { return int32_t(series_index(value)) >= int32_t(series_buffer(value)->length()); }

uint32_t rs_length(Cell* value) {
    SeriesBuffer* buffer = series_buffer(value);
    pull_back_head(value, buffer);
    return buffer->length() - clamped_head(value, buffer);
}

uint32_t buffer_length(const Cell* value) { return series_buffer(value)->length(); }

uint32_t rs_abs_at(const Cell* value, uint32_t index) {
    SeriesBuffer* buffer = series_buffer(value);
    return get_char(buffer->at(index), buffer->unit());
}

int32_t find_char(const Cell* value, uint32_t code_point) {
    SeriesBuffer* buffer = series_buffer(value);
    uint32_t unit = checked_unit(buffer->unit());
    uint32_t head = clamped_head(value, buffer);
    for (uint32_t i = head; i < buffer->length(); ++i)
        if (get_char(buffer->at(i), unit) == code_point) return int32_t(i - head);
    return -1;
}

bool contains_char(const Cell* value, uint32_t code_point, uint32_t step, bool case_sensitive) {
    SeriesBuffer* buffer = series_buffer(value);
    uint32_t unit = checked_unit(buffer->unit());
    uint32_t wanted = case_sensitive ? code_point : unicode::change_char_case(code_point, true);
    step = std::max(step, 1u);  // a step of 0 would never reach the tail
    uint64_t length = buffer->length();
    for (uint64_t i = clamped_head(value, buffer); i < length; i += step) {
        uint32_t c = get_char(buffer->at(uint32_t(i)), unit);
        if (!case_sensitive) c = unicode::change_char_case(c, true);
        if (c == wanted) return true;
    }
    return false;
}

bool starts_with_c_string(const Cell* value, const char* text) {
    SeriesBuffer* buffer = series_buffer(value);
    uint32_t unit = checked_unit(buffer->unit());
    uint32_t at = clamped_head(value, buffer);
    for (; *text; ++text, ++at) {
        if (at >= buffer->length()) return false;
        if (get_char(buffer->at(at), unit) != uint8_t(*text)) return false;
    }
    return true;
}

// ---------------------------------------------------------------- making

Cell* rs_make_at(Cell* cell, uint32_t capacity) {
    Node node = memory::alloc_series(std::max(capacity, 1u), 1, 0);
    return make_string_cell(cell, node);
}

Cell* make_at_unit(Cell* cell, uint32_t capacity, uint32_t unit) {
    Node node = memory::alloc_units(capacity, checked_unit(unit));
    return make_string_cell(cell, node);
}

Cell* push(const Cell* value) { return stack::push(value); }

void reset(Cell* value) {
    SeriesBuffer* buffer = series_buffer(value);
    buffer->flags = (buffer->flags & ~BUF_UNIT_MASK) | 1;
    buffer->tail = buffer->offset;
    set_series_index(value, 0);
}

void limit_buffer(SeriesBuffer* buffer, uint32_t n) {
    // Below the tail is within the capacity too.
    uint64_t bytes = uint64_t(n) << buffer->unit_shift();
    if (bytes < buffer->used_bytes()) buffer->tail = buffer->offset + uint32_t(bytes);
}

// ---------------------------------------------------------------- single code points

SeriesBuffer* append_char(SeriesBuffer* buffer, uint32_t code_point) {
    buffer = widen_to(buffer, unit_for_append(buffer->unit(), code_point));
    Node node = buffer->node;
    uint32_t unit = checked_unit(buffer->unit());
    put_char(series::reserve_tail(buffer, unit), unit, code_point);
    return node_buffer(node);
}

SeriesBuffer* insert_char(SeriesBuffer* buffer, uint32_t index, uint32_t code_point) {
    buffer = widen_to(buffer, unit_for_store(buffer->unit(), code_point));
    uint32_t unit = checked_unit(buffer->unit());
    buffer = memory::grow_torture(buffer);
    if (room_after_tail(buffer) < unit) buffer = memory::expand_series(buffer->node, buffer, 0);
    index = std::min(index, buffer->length());
    std::byte* at = buffer->at(index);
    std::memmove(at + unit, at, buffer->last() - at);
    put_char(at, unit, code_point);
    buffer->tail = buffer->tail + unit;
    return buffer;
}

SeriesBuffer* poke_char(SeriesBuffer* buffer, std::byte* address, uint32_t code_point) {
    uint32_t needed = unit_for_store(buffer->unit(), code_point);
    if (needed > buffer->unit()) {
        uint32_t index = uint32_t(address - buffer->first()) >> buffer->unit_shift();
        buffer = widen(buffer, needed);
        address = buffer->at(index);
    }
    put_char(address, checked_unit(buffer->unit()), code_point);
    return buffer;
}

SeriesBuffer* overwrite_char(SeriesBuffer* buffer, uint32_t index, uint32_t code_point) {
    buffer = widen_to(buffer, unit_for_store(buffer->unit(), code_point));
    uint32_t unit = checked_unit(buffer->unit());
    uint64_t end = (uint64_t(index) + 1) * unit;
    if (index >= buffer->length()) buffer = memory::grow_torture(buffer);
    if (end > uint64_t(buffer->area_end() - buffer->first())) {
        // Expansion puts the text at the start of the new area.
        uint64_t capacity = std::max(uint64_t(buffer->capacity) * 2, end);
        buffer = memory::expand_series(buffer->node, buffer, capacity_bytes(capacity));
    }
    put_char(buffer->at(index), unit, code_point);
    if (index >= buffer->length()) buffer->tail = buffer->offset + uint32_t(end);
    return buffer;
}

void remove_char(const Cell* value, uint32_t index) { remove_chars(value, index, 1); }

void remove_chars(const Cell* value, uint32_t index, uint32_t n) {
    SeriesBuffer* buffer = series_buffer(value);
    uint32_t length = buffer->length();
    if (index >= length) return;
    n = std::min(n, length - index);
    std::byte* at = buffer->at(index);
    std::byte* rest = buffer->at(index + n);
    std::memmove(at, rest, buffer->last() - rest);
    buffer->tail = region::off(buffer->last() - (size_t(n) << buffer->unit_shift()));
}

void move_chars(Cell* origin, Cell* target, uint32_t n) {
    n = std::min(n, rs_length(origin));
    uint32_t from = clamped_head(origin, series_buffer(origin));
    uint32_t to = clamped_head(target, series_buffer(target));
    Node target_node = series_node(target);
    for (uint32_t i = 0; i < n; ++i) {
        uint32_t code_point = rs_abs_at(origin, from + i);
        insert_char(node_buffer(target_node), to + i, code_point);
    }
    remove_chars(origin, from, n);
}

// ---------------------------------------------------------------- text builder

void append_c_string(const Cell* value, const char* text) {
    append_c_string_part(value, text, uint32_t(std::strlen(text)));
}

void append_c_string_part(const Cell* value, const char* text, uint32_t n) {
    Node node = series_node(value);
    SeriesBuffer* buffer = node_buffer(node);
    auto bytes = reinterpret_cast<const uint8_t*>(text);
    // ASCII into a unit-1 buffer, the usual case, is one block copy.
    if (buffer->unit() == 1 && std::all_of(bytes, bytes + n, [](uint8_t b) { return b < 0x80; })) {
        std::memcpy(series::reserve_tail(buffer, n), text, n);
        return;
    }
    for (uint32_t i = 0; i < n; ++i) append_char(node_buffer(node), bytes[i]);
}

void concatenate(Cell* target, Cell* source, int32_t part, int32_t offset, bool per_char, Mode mode) {
    Text to = text_of(target);
    Text from = text_of(source);
    uint32_t to_unit = node_buffer(to.node)->unit();
    uint32_t from_unit = node_buffer(from.node)->unit();
    bool one_by_one = false;
    if (to_unit < from_unit) {
        to_unit = widen(node_buffer(to.node), from_unit)->unit();
    } else if (from_unit < to_unit) {
        if (per_char || cell_type(source) == TYPE_BINARY)
            one_by_one = true;
        else
            widen(node_buffer(from.node), to_unit);
    }

    uint32_t count = node_buffer(from.node)->length() - from.head;
    if (part >= 0 && uint32_t(part) < count) count = uint32_t(part);
    if (count == 0) return;

    uint64_t bytes = uint64_t(count) * to_unit;
    SeriesBuffer* buffer = memory::grow_torture(node_buffer(to.node));
    if (bytes > room_after_tail(buffer)) {
        uint64_t capacity = (uint64_t(buffer->used_bytes()) + bytes) * 2;
        buffer = memory::expand_series(to.node, buffer, capacity_bytes(capacity));
    }

    uint32_t length = buffer->length();
    uint32_t at = mode == Mode::append
                      ? length
                      : uint32_t(std::clamp<int64_t>(int64_t(to.head) + offset, 0, length));
    Off old_tail = buffer->tail;
    if (mode == Mode::insert) {
        std::byte* gap = buffer->at(at);
        std::memmove(gap + bytes, gap, buffer->last() - gap);
    }

    if (one_by_one) {
        copy_per_char(to.node, at, from.node, from.head, count, mode);
        buffer = node_buffer(to.node);
        if (mode == Mode::append) return;  // append_char has moved the tail
    } else if (mode == Mode::insert && from.node == to.node) {
        copy_own_run_into_gap(buffer, at, from.head, count);
    } else {
        std::memmove(buffer->at(at), node_buffer(from.node)->at(from.head), bytes);
    }

    Off run_end = buffer->offset + uint32_t((uint64_t(at) * to_unit) + bytes);
    switch (mode) {
    case Mode::insert: buffer->tail = old_tail + uint32_t(bytes); break;
    case Mode::append: buffer->tail = run_end; break;
    case Mode::overwrite: buffer->tail = std::max(old_tail, run_end); break;
    }
}

void swap_runs(std::byte* run1, uint32_t length1, std::byte* run2, uint32_t length2, uint32_t gap) {
    if (length2 < length1) {
        std::byte* staged = take_scratch(length2);
        std::memcpy(staged, run2, length2);
        std::memmove(run1 + length2 + gap, run1, length1);
        std::memcpy(run1, staged, length2);
    } else {
        std::byte* staged = take_scratch(length1);
        std::memcpy(staged, run1, length1);
        std::memmove(run1, run2, length2);
        std::memcpy(run1 + length2 + gap, staged, length1);
    }
    release_scratch();
}

namespace {
constexpr char HEX_DIGITS[] = "0123456789ABCDEF";
}  // namespace

FixedText<3> byte_to_hex(uint8_t byte) { return {{HEX_DIGITS[byte >> 4], HEX_DIGITS[byte & 0xF]}}; }

FixedText<9> int_to_hex(int32_t value, bool significant_only) {
    int32_t sign_fill = value < 0 ? -1 : 0;
    char digits[8];
    std::fill(digits, digits + 8, sign_fill ? 'F' : '0');
    int position = 8;
    while (value != sign_fill && position > 0) {
        digits[--position] = HEX_DIGITS[value & 0xF];
        value >>= 4;  // arithmetic: a negative value runs out into -1
    }
    if (significant_only && position == 8) return FixedText<9>::of("00");  // nothing significant
    if (!significant_only) position = 0;
    return FixedText<9>::of(std::string_view(digits + position, size_t(8 - position)));
}

// ---------------------------------------------------------------- loading

Cell* load(const uint8_t* bytes, uint32_t size, Cell* cell, Encoding encoding) {
    Node node = decode(bytes, size, encoding);
    return make_string_cell(cell ? cell : fresh_stack_cell(), node);
}

Cell* load_in(const uint8_t* bytes, uint32_t size, Cell* block, Encoding encoding) {
    Node node = decode(bytes, size, encoding);
    return make_string_cell(block::alloc_tail(block), node);
}

Cell* load_push(const uint8_t* bytes, uint32_t size, Encoding encoding) {
    return load(bytes, size, nullptr, encoding);
}

Cell* load_utf8_strict(const uint8_t* bytes, uint32_t size) {
    int32_t left = 0;
    Node node = unicode::load_utf8(bytes, size, Node::none, &left, false);
    Cell* result = make_string_cell(fresh_stack_cell(), node);
    if (left > 0) {
        Node rest = new_binary(bytes + (size - uint32_t(left)), uint32_t(left));
        Cell* binary = stack::push_cell();
        *binary = series_cell(TYPE_BINARY, rest);
        fire(err::access::invalid_utf8, binary);
    }
    return result;
}

}  // namespace vek::string
