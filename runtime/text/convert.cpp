// Conversions between string buffers (code points in units of 1, 2 or 4
// bytes, little-endian) and UTF-8 / UTF-16, and the in-place widening of
// string buffers.
//
// Anything here that allocates may move every series buffer: the code keeps
// nodes and counts across such calls and re-reads buffer addresses after.
#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#include "runtime/core/quit.h"
#include "runtime/core/raise.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/string/buffer.h"
#include "runtime/memory/manager.h"
#include "runtime/memory/series.h"
#include "runtime/text/unicode.h"

namespace vek::unicode {

// Units are stored and read in host order, which is the little-endian order
// the buffers are defined in.
static_assert(std::endian::native == std::endian::little);

[[noreturn, gnu::noinline]] void bad_unit() {
    quit_with_status(ERROR_BAD_UNIT, reinterpret_cast<uintptr_t>(__builtin_return_address(0)));
}

uint32_t read_unit(const std::byte* p, uint32_t unit) {
    switch (unit) {
    case 1: return uint32_t(*p);
    case 2: {
        uint16_t v;
        std::memcpy(&v, p, 2);
        return v;
    }
    case 4: {
        uint32_t v;
        std::memcpy(&v, p, 4);
        return v;
    }
    }
    bad_unit();
}

void write_unit(std::byte* p, uint32_t unit, uint32_t code_point) {
    switch (unit) {
    case 1: *p = std::byte(code_point); return;
    case 2: {
        auto v = uint16_t(code_point);
        std::memcpy(p, &v, 2);
        return;
    }
    case 4: std::memcpy(p, &code_point, 4); return;
    }
    bad_unit();
}

namespace {

// ---------------------------------------------------------------- failures

uint32_t checked_unit(const SeriesBuffer* buffer) {
    uint32_t unit = buffer->unit();
    if (unit != 1 && unit != 2 && unit != 4) bad_unit();
    return unit;
}

uint32_t unit_shift(uint32_t unit) { return uint32_t(std::countr_zero(unit)); }

// The error argument is pushed before anything is allocated, so that the
// collector sees the binary! as soon as it exists.
[[noreturn]] void raise_invalid_utf8(const uint8_t* bytes, uint32_t n) {
    std::array<uint8_t, 4> copy{};
    n = std::min<uint32_t>(n, copy.size());
    std::memcpy(copy.data(), bytes, n);
    Cell* arg = make_unset(stack::push_cell());
    Node node = memory::alloc_bytes(n);
    SeriesBuffer* buffer = node_buffer(node);
    std::memcpy(buffer->first(), copy.data(), n);
    buffer->tail = buffer->offset + n;
    *arg = series_cell(TYPE_BINARY, node);
    fire(err::access::invalid_utf8, arg);
}

[[noreturn]] void raise_invalid_char(uint32_t code_point) {
    Cell* arg = stack::push_cell();
    *arg = integer::cell(int32_t(code_point));
    fire(err::script::invalid_char, arg);
}

uint32_t byte_size(uint64_t bytes) {
    if (bytes > UINT32_MAX) fire(err::internal::no_memory);
    return uint32_t(bytes);
}

// ---------------------------------------------------------------- units

// Bytes from the first used unit to the end of the area.
uint64_t room(SeriesBuffer* buffer) { return uint64_t(buffer->area_end() - buffer->first()); }

// The text of a string value from its head, at most limit code points
// (negative: all).
struct Text {
    const std::byte* start;
    uint32_t count;
    uint32_t unit;
    uint32_t at(uint32_t i) const { return read_unit(start + (size_t(i) << unit_shift(unit)), unit); }
};

Text text_from_head(const Cell* string, int64_t limit) {
    SeriesBuffer* buffer = series_buffer(string);
    uint32_t unit = checked_unit(buffer);
    uint32_t length = buffer->length();
    uint32_t head = std::min(series_index(string), length);
    uint32_t count = length - head;
    if (limit >= 0 && uint64_t(limit) < count) count = uint32_t(limit);
    return {buffer->at(head), count, unit};
}

// The string's conversion cache, with room for at least bytes.
SeriesBuffer* conversion_cache(Cell* string, uint32_t bytes) {
    auto node = string::cache_node(string);
    if (node == Node::none) {
        node = memory::alloc_bytes(bytes);
        string::set_cache_node(string, node);
    }
    SeriesBuffer* cache = node_buffer(node);
    if (room(cache) < bytes) cache = memory::grow_series_buffer(node, cache, bytes);
    return cache;
}

// ---------------------------------------------------------------- UTF-8 DFA

// Byte classes: which bytes may follow a lead byte depends on the lead
// (E0, ED, F0 and F4 narrow the range of the next byte), hence twelve classes.
constexpr uint8_t REJECT = 12;

constexpr std::array<uint8_t, 256 + 108> make_utf8_dfa() {
    std::array<uint8_t, 256 + 108> t{};
    auto classes = [&t](uint32_t first, uint32_t last, uint8_t cls) {
        for (uint32_t b = first; b <= last; ++b) t[b] = cls;
    };
    classes(0x00, 0x7F, 0);
    classes(0x80, 0x8F, 1);
    classes(0x90, 0x9F, 9);
    classes(0xA0, 0xBF, 7);
    classes(0xC0, 0xC1, 8);
    classes(0xC2, 0xDF, 2);
    classes(0xE0, 0xE0, 10);
    classes(0xE1, 0xEC, 3);
    classes(0xED, 0xED, 4);
    classes(0xEE, 0xEF, 3);
    classes(0xF0, 0xF0, 11);
    classes(0xF1, 0xF3, 6);
    classes(0xF4, 0xF4, 5);
    classes(0xF5, 0xFF, 8);
    // Transitions, one row of twelve classes per state.
    constexpr uint8_t rows[9][12] = {
        // class 0   1   2   3   4   5   6   7   8   9  10  11
        {0, 12, 24, 36, 60, 96, 84, 12, 12, 12, 48, 72},   //  0 accept: expects a lead byte
        {12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12},  // 12 reject
        {12, 0, 12, 12, 12, 12, 12, 0, 12, 0, 12, 12},     // 24 one more 80-BF
        {12, 24, 12, 12, 12, 12, 12, 24, 12, 24, 12, 12},  // 36 two more 80-BF
        {12, 12, 12, 12, 12, 12, 12, 24, 12, 12, 12, 12},  // 48 after E0: A0-BF
        {12, 24, 12, 12, 12, 12, 12, 12, 12, 24, 12, 12},  // 60 after ED: 80-9F
        {12, 12, 12, 12, 12, 12, 12, 36, 12, 36, 12, 12},  // 72 after F0: 90-BF
        {12, 36, 12, 12, 12, 12, 12, 36, 12, 36, 12, 12},  // 84 after F1-F3: 80-BF
        {12, 36, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12},  // 96 after F4: 80-8F
    };
    for (uint32_t s = 0; s < 9; ++s) {
        for (uint32_t c = 0; c < 12; ++c) t[256 + s * 12 + c] = rows[s][c];
    }
    return t;
}

constexpr auto utf8_dfa = make_utf8_dfa();

// The step over one sequence, by its lead byte alone, never past end.
const uint8_t* step_utf8_char(const uint8_t* p, const uint8_t* end) {
    auto length = uint32_t(utf8_lead_length(*p));
    return p + (length ? std::min<size_t>(length, size_t(end - p)) : 1);
}

// ---------------------------------------------------------------- loading

// Stores a code point at the tail of a buffer being loaded, widening the unit
// when the code point does not fit it and growing by grow_by bytes when full.
SeriesBuffer* append_loaded(SeriesBuffer* buffer, uint32_t code_point, uint32_t grow_by) {
    uint32_t unit = buffer->unit();
    if (unit == 1 && code_point > 0xFF) {
        buffer = code_point < 0x10000 ? widen_ucs1_to_ucs2(buffer) : widen_ucs1_to_ucs4(buffer);
    } else if (unit == 2 && code_point > 0xFFFF) {
        buffer = widen_ucs2_to_ucs4(buffer);
    }
    unit = buffer->unit();
    buffer = memory::grow_torture(buffer);
    if (room(buffer) < uint64_t(buffer->used_bytes()) + unit) {
        // At least one whole allocation step, so that a small input still grows.
        uint64_t capacity = uint64_t(buffer->capacity) + std::max<uint32_t>(grow_by, 16);
        buffer = memory::expand_series(buffer->node, buffer, byte_size(capacity));
    }
    write_unit(buffer->last(), unit, code_point);
    buffer->tail = buffer->tail + unit;
    return buffer;
}

// The bytes a full buffer of this unit grows by while loading length bytes.
uint32_t load_growth(uint32_t unit, uint32_t length) { return unit == 2 ? length / 4 : length; }

// Empties a target buffer with room for count units, keeping its node.
SeriesBuffer* prepare_target(Node node, uint32_t unit, uint32_t count) {
    SeriesBuffer* buffer = node_buffer(node);
    uint64_t need = uint64_t(std::max(count, 1u)) * unit;
    if (room(buffer) < need) buffer = memory::grow_series_buffer(node, buffer, byte_size(need));
    buffer->tail = buffer->offset;
    return buffer;
}

bool is_utf8_bom(const uint8_t* bytes, uint32_t length) {
    return length >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF;
}

// The narrowest unit that holds the UTF-16 text: surrogates need 4.
uint32_t utf16_unit(const uint16_t* units, uint32_t count) {
    uint32_t unit = 1;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t high = units[i] >> 8;
        if (high >= 0xD8 && high <= 0xDF) return 4;
        if (high) unit = 2;
    }
    return unit;
}

[[noreturn]] void raise_broken_surrogate(const uint16_t* units, uint32_t n) {
    std::array<uint8_t, 4> bytes{};
    for (uint32_t i = 0; i < n; ++i) {
        bytes[2 * i] = uint8_t(units[i]);
        bytes[2 * i + 1] = uint8_t(units[i] >> 8);
    }
    raise_invalid_utf8(bytes.data(), 2 * n);
}

bool is_high_surrogate(uint32_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool is_low_surrogate(uint32_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

// ---------------------------------------------------------------- widening

SeriesBuffer* widen(SeriesBuffer* buffer, uint32_t from, uint32_t to) {
    uint32_t count = buffer->used_bytes() / from;
    uint64_t need = (uint64_t(count) + 1) * to;
    if (room(buffer) < need) buffer = memory::expand_series(buffer->node, buffer, byte_size(need));
    // From the tail backwards, each unit lands at or above where it was read,
    // past every unit still to be read.
    std::byte* base = buffer->first();
    for (uint32_t i = count; i-- > 0;) {
        write_unit(base + size_t(i) * to, to, read_unit(base + size_t(i) * from, from));
    }
    buffer->flags = (buffer->flags & ~BUF_UNIT_MASK) | to;
    buffer->tail = buffer->offset + count * to;
    return buffer;
}

}  // namespace

// ==================================================================== decoding

const uint8_t* fast_decode_utf8_char(const uint8_t* p, int32_t* code_point) {
    uint32_t cls = utf8_dfa[*p];
    uint32_t cp = *p++ & (0xFFu >> cls);
    uint32_t state = utf8_dfa[256 + cls];
    while (state != 0) {
        if (state == REJECT) {
            *code_point = -1;
            return p;
        }
        cls = utf8_dfa[*p];
        cp = (cp << 6) | (*p++ & 0x3Fu);
        state = utf8_dfa[256 + state + cls];
    }
    *code_point = int32_t(cp);
    return p;
}

uint32_t count_utf8_chars(const uint8_t* start, const uint8_t* end) {
    uint32_t n = 0;
    for (const uint8_t* p = start; p < end; p = step_utf8_char(p, end)) ++n;
    return n;
}

const uint8_t* skip_utf8_chars(const uint8_t* start, const uint8_t* end, uint32_t n) {
    const uint8_t* p = start;
    for (; n > 0 && p < end; --n) p = step_utf8_char(p, end);
    return p;
}

int utf8_lead_length(uint8_t byte) {
    if ((byte & 0xF0) == 0xF0) return 4;
    if ((byte & 0xF0) == 0xE0) return 3;
    if ((byte & 0xE0) == 0xC0) return 2;
    return 0;
}

namespace {

constexpr int32_t NEEDS_MORE = -1;  // a sound start that the bytes available end
constexpr int32_t MALFORMED = -2;

// The lowest and highest second byte after each lead: overlong forms,
// surrogates and code points above U+10FFFF are ruled out there.
struct SecondByte {
    uint8_t low, high;
};

SecondByte second_byte_after(uint8_t lead) {
    switch (lead) {
    case 0xE0: return {0xA0, 0xBF};
    case 0xED: return {0x80, 0x9F};
    case 0xF0: return {0x90, 0xBF};
    case 0xF4: return {0x80, 0x8F};
    default: return {0x80, 0xBF};
    }
}

uint32_t sequence_length(uint8_t lead) {
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    return 0;
}

// The code point of the well-formed sequence at p, its length in *count; or
// NEEDS_MORE, or MALFORMED. U+FFFE is refused too.
int32_t decode_sequence(const uint8_t* p, uint32_t available, uint32_t* count) {
    uint32_t length = sequence_length(p[0]);
    if (length == 0) return MALFORMED;
    if (length == 1) {
        *count = 1;
        return p[0];
    }
    SecondByte second = second_byte_after(p[0]);
    uint32_t cp = p[0] & (0x7Fu >> length);
    for (uint32_t i = 1; i < length; ++i) {
        if (i == available) return NEEDS_MORE;
        uint8_t low = i == 1 ? second.low : 0x80, high = i == 1 ? second.high : 0xBF;
        if (p[i] < low || p[i] > high) return MALFORMED;
        cp = (cp << 6) | (p[i] & 0x3Fu);
    }
    if (cp == 0xFFFE) return MALFORMED;
    *count = length;
    return int32_t(cp);
}

}  // namespace

int32_t decode_utf8_char_checked(const uint8_t* p, uint32_t* count) {
    uint32_t available = *count;
    if (available == 0) return -1;
    uint32_t length = 0;
    int32_t cp = decode_sequence(p, available, &length);
    if (cp == MALFORMED) raise_invalid_utf8(p, available);
    if (cp == NEEDS_MORE) return -1;
    *count = length;
    return cp;
}

Node load_os_name(const uint8_t* bytes, uint32_t length) {
    Node node = memory::alloc_series(std::max(length, 1u), 1, 0);
    SeriesBuffer* buffer = node_buffer(node);
    const uint8_t* p = bytes;
    const uint8_t* end = bytes + length;
    while (p < end) {
        uint32_t n = 0;
        int32_t cp = decode_sequence(p, uint32_t(end - p), &n);
        if (cp < 0) {
            cp = int32_t(OS_NAME_BYTE_BASE + *p);
            n = 1;
        }
        p += n;
        buffer = append_loaded(buffer, uint32_t(cp), load_growth(buffer->unit(), length));
    }
    return node;
}

Node load_utf8(const uint8_t* bytes, uint32_t length, Node target, int32_t* bytes_left,
               bool newline_mode) {
    Node node = target;
    SeriesBuffer* buffer;
    if (node == Node::none) {
        node = memory::alloc_series(std::max(length, 1u), 1, 0);
        buffer = node_buffer(node);
    } else {
        buffer = prepare_target(node, checked_unit(node_buffer(node)), length);
    }

    const uint8_t* p = bytes;
    const uint8_t* end = bytes + length;
    if (is_utf8_bom(bytes, length)) {
        p += 3;
        if (p == end && bytes_left) *bytes_left = 0;
    }
    while (p < end) {
        uint32_t n = uint32_t(end - p);
        int32_t cp = decode_utf8_char_checked(p, &n);
        if (cp < 0) {
            if (bytes_left) *bytes_left = int32_t(end - p);
            break;
        }
        p += n;
        if (newline_mode && cp == '\r') {
            if (p < end && *p == '\n') continue;
            cp = '\n';
        }
        buffer = append_loaded(buffer, uint32_t(cp), load_growth(buffer->unit(), length));
    }
    return node;
}

Node load_utf8_into(const uint8_t* bytes, uint32_t length, Cell* string, int32_t* bytes_left) {
    return load_utf8(bytes, length, series_node(string), bytes_left, false);
}

Node load_utf8_new(const uint8_t* bytes, uint32_t length) {
    return load_utf8(bytes, length, Node::none, nullptr, false);
}

Node load_utf16(const uint16_t* units, uint32_t count, Cell* target, bool drop_cr) {
    if (!units) count = 0;
    uint32_t unit = utf16_unit(units, count);
    Node node;
    SeriesBuffer* buffer;
    if (target) {
        node = series_node(target);
        buffer = prepare_target(node, unit, count);
    } else {
        node = memory::alloc_series(std::max(count, 1u), unit, 0);
        buffer = node_buffer(node);
    }
    buffer->flags = (buffer->flags & ~BUF_UNIT_MASK) | unit | BUF_FROM_UTF16;

    std::byte* out = buffer->first();
    uint32_t written = 0;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t cp = units[i];
        // Left out at every unit, so that the result does not depend on
        // which characters the text happens to contain.
        if (drop_cr && cp == '\r') continue;
        if (is_high_surrogate(cp)) {
            if (i + 1 == count) raise_broken_surrogate(units + i, 1);
            if (!is_low_surrogate(units[i + 1])) raise_broken_surrogate(units + i, 2);
            cp = 0x10000 + (((cp & 0x3FF) << 10) | (units[++i] & 0x3FFu));
        }
        write_unit(out + (size_t(written++) << unit_shift(unit)), unit, cp);
    }
    buffer->tail = buffer->offset + (written << unit_shift(unit));
    return node;
}

// ==================================================================== encoding

int utf8_char_size(uint32_t code_point) {
    if (code_point < 0x80) return 1;
    if (code_point < 0x800) return 2;
    if (is_surrogate(code_point)) raise_invalid_char(code_point);
    if (code_point < 0x10000) return 3;
    if (code_point < 0x110000) return 4;
    raise_invalid_char(code_point);
}

uint32_t utf8_size_of_range(const std::byte* start, const std::byte* end, uint32_t unit) {
    if (unit != 1 && unit != 2 && unit != 4) bad_unit();
    uint32_t bytes = 0;
    for (const std::byte* p = start; p < end; p += unit) bytes += utf8_char_size(read_unit(p, unit));
    return bytes;
}

int encode_utf8_char(uint32_t code_point, uint8_t* destination) {
    uint8_t* d = destination;
    switch (utf8_char_size(code_point)) {
    case 1: d[0] = uint8_t(code_point); return 1;
    case 2:
        d[0] = uint8_t(0xC0 | (code_point >> 6));
        d[1] = uint8_t(0x80 | (code_point & 0x3F));
        return 2;
    case 3:
        d[0] = uint8_t(0xE0 | (code_point >> 12));
        d[1] = uint8_t(0x80 | ((code_point >> 6) & 0x3F));
        d[2] = uint8_t(0x80 | (code_point & 0x3F));
        return 3;
    default:
        d[0] = uint8_t(0xF0 | (code_point >> 18));
        d[1] = uint8_t(0x80 | ((code_point >> 12) & 0x3F));
        d[2] = uint8_t(0x80 | ((code_point >> 6) & 0x3F));
        d[3] = uint8_t(0x80 | (code_point & 0x3F));
        return 4;
    }
}

int encode_utf8_char_bounded(uint32_t code_point, uint8_t* destination, uint32_t room) {
    std::array<uint8_t, 4> sequence;
    auto n = std::min<uint32_t>(uint32_t(encode_utf8_char(code_point, sequence.data())), room);
    std::memcpy(destination, sequence.data(), n);
    return int(n);
}

int encode_utf16_char(uint32_t code_point, uint16_t* destination) {
    if (code_point < 0x10000) {
        destination[0] = uint16_t(code_point);
        return 1;
    }
    if (code_point > 0x10FFFF) return 0;
    uint32_t v = code_point - 0x10000;
    destination[0] = uint16_t(0xD800 | (v >> 10));
    destination[1] = uint16_t(0xDC00 | (v & 0x3FF));
    return 2;
}

uint32_t string_to_utf8(const Cell* string, uint8_t* destination, int32_t limit, bool terminate) {
    Text text = text_from_head(string, limit);
    uint8_t* out = destination;
    for (uint32_t i = 0; i < text.count; ++i) out += encode_utf8_char(text.at(i), out);
    if (terminate) *out = 0;
    return uint32_t(out - destination);
}

uint32_t string_to_utf8_bounded(const Cell* string, uint8_t* destination, uint32_t room,
                                int32_t limit, bool terminate) {
    if (terminate && room == 0) return 0;
    uint32_t budget = terminate ? room - 1 : room;
    Text text = text_from_head(string, limit);
    uint32_t written = 0;
    for (uint32_t i = 0; i < text.count; ++i) {
        uint32_t cp = text.at(i);
        // A cut sequence would be malformed text: stop at the last whole one.
        if (written + uint32_t(utf8_char_size(cp)) > budget) break;
        written += uint32_t(encode_utf8_char(cp, destination + written));
    }
    if (terminate) destination[written] = 0;
    return written;
}

const uint8_t* to_utf8_cstring(Cell* string, int32_t* length) {
    return to_utf8_cstring_part(string, length, false);
}

namespace {

// How a string's code points become bytes in its conversion cache.
enum class CodeForm : uint8_t { utf8, utf8_crlf, os_name };

int encode_in_form(uint32_t cp, CodeForm form, uint8_t* out) {
    if (form == CodeForm::utf8_crlf && cp == '\n') {
        out[0] = '\r';
        out[1] = '\n';
        return 2;
    }
    if (form == CodeForm::os_name && cp >= OS_NAME_BYTE_BASE + 0x80 && cp <= OS_NAME_BYTE_BASE + 0xFF) {
        out[0] = uint8_t(cp - OS_NAME_BYTE_BASE);
        return 1;
    }
    return encode_utf8_char(cp, out);
}

const uint8_t* to_cstring(Cell* string, int32_t* length, CodeForm form) {
    Text text = text_from_head(string, *length);
    uint32_t count = text.count;
    // Room for the longest form any code point of this unit can take, CR LF
    // included.
    uint64_t per_char = text.unit == 4 ? 4 : text.unit + 1;
    SeriesBuffer* cache = conversion_cache(string, byte_size(per_char * (uint64_t(count) + 1)));
    text = text_from_head(string, count);

    auto start = reinterpret_cast<uint8_t*>(cache->first());
    uint8_t* out = start;
    for (uint32_t i = 0; i < count; ++i) out += encode_in_form(text.at(i), form, out);
    *out = 0;
    cache->tail = cache->offset + uint32_t(out - start);
    *length = int32_t(out - start);
    return start;
}

}  // namespace

const uint8_t* to_utf8_cstring_part(Cell* string, int32_t* length, bool lf_to_crlf) {
    return to_cstring(string, length, lf_to_crlf ? CodeForm::utf8_crlf : CodeForm::utf8);
}

const uint8_t* to_os_name_cstring(Cell* string, int32_t* length) {
    return to_cstring(string, length, CodeForm::os_name);
}

const uint16_t* to_utf16_buffer(Cell* string, int32_t* length, bool lf_to_crlf) {
    Text text = text_from_head(string, *length);
    uint32_t count = text.count;
    uint64_t bytes = 2 * uint64_t(count) + 2;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t cp = text.at(i);
        if (cp == '\n' || cp >= 0x10000) bytes += 2;
    }
    SeriesBuffer* cache = conversion_cache(string, byte_size(bytes));
    text = text_from_head(string, count);

    auto out = reinterpret_cast<uint16_t*>(cache->first());
    uint32_t written = 0;
    if (text.unit == 2 && !lf_to_crlf) {
        std::memcpy(out, text.start, size_t(count) * 2);
        written = count;
    } else {
        for (uint32_t i = 0; i < count; ++i) {
            uint32_t cp = text.at(i);
            if (lf_to_crlf && cp == '\n') out[written++] = '\r';
            int n = encode_utf16_char(cp, out + written);
            if (n == 0) {
                *length = 0;
                return nullptr;
            }
            written += uint32_t(n);
        }
    }
    out[written] = 0;
    cache->tail = cache->offset + written * 2;
    *length = int32_t(written);
    return out;
}

const uint16_t* to_utf16_cstring(Cell* string) {
    int32_t length = -1;
    return to_utf16_buffer(string, &length, true);
}

// ==================================================================== widening

SeriesBuffer* widen_ucs1_to_ucs2(SeriesBuffer* buffer) { return widen(buffer, 1, 2); }
SeriesBuffer* widen_ucs1_to_ucs4(SeriesBuffer* buffer) { return widen(buffer, 1, 4); }
SeriesBuffer* widen_ucs2_to_ucs4(SeriesBuffer* buffer) { return widen(buffer, 2, 4); }

}  // namespace vek::unicode
