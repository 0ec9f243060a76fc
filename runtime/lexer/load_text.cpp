// The loaders of the text kinds: strings of every form, characters, the
// string-like types, words, binaries, maps and construction literals.
#include <cstring>
#include <vector>

#include "runtime/codecs/base.h"
#include "runtime/core/registry.h"
#include "runtime/datatypes/block/array.h"
#include "runtime/datatypes/char.h"
#include "runtime/datatypes/container/map.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/string/binary.h"
#include "runtime/datatypes/string/buffer.h"
#include "runtime/datatypes/string/url.h"
#include "runtime/datatypes/word/context.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/lexer/internal.h"
#include "runtime/text/unicode.h"

namespace vek::lexer {

namespace {

struct EscapeName {
    const char* name;
    uint32_t length;
    uint32_t code_point;
};
constexpr EscapeName escape_names[] = {
    {"null", 4, 0}, {"back", 4, 8}, {"tab", 3, 9}, {"line", 4, 10},
    {"page", 4, 12}, {"esc", 3, 27}, {"del", 3, 127},
};

struct ConstructName {
    const char* name;
    uint32_t type;
    uint32_t value;
};
constexpr ConstructName construct_names[] = {
    {"true", TYPE_LOGIC, 1}, {"false", TYPE_LOGIC, 0}, {"none", TYPE_NONE, 0}, {"unset", TYPE_UNSET, 0},
};

int32_t hex_value(uint8_t b) {
    if (b >= '0' && b <= '9') return b - '0';
    if (b >= 'A' && b <= 'F') return b - 'A' + 10;
    if (b >= 'a' && b <= 'f') return b - 'a' + 10;
    return -1;
}

uint8_t lower(uint8_t b) { return b >= 'A' && b <= 'Z' ? uint8_t(b + 32) : b; }

bool same_ignoring_case(const uint8_t* text, const char* name, uint32_t n) {
    for (uint32_t i = 0; i < n; i++)
        if (lower(text[i]) != lower(uint8_t(name[i]))) return false;
    return true;
}

int32_t single_escape(uint32_t b) {
    switch (b) {
    case '@': return 0;
    case '/': return 10;
    case '-': return 9;
    case '~': return 127;
    case '"': case '{': case '}': case '^': return int32_t(b);
    default: break;
    }
    if (b >= 'a' && b <= 'z') return int32_t(b - 'a' + 1);
    if (b >= 'A' && b <= '_') return int32_t(b - 'A' + 1);
    return int32_t(b);  // the quote, the braces, the caret and the rest stand for themselves
}

int32_t text_type(const State* st) { return st->type_override >= 0 ? st->type_override : int32_t(TYPE_STRING); }

// One character of a text: an escape when asked for, else one UTF-8
// sequence. -1 when it does not decode.
int32_t next_char(const uint8_t*& p, const uint8_t* to, bool escapes) {
    if (escapes && *p == '^') return decode_escape(p + 1, to, &p);
    uint32_t size = 1;
    int32_t code_point = *p < 0x80 ? *p : decode_utf8(p, to, &size);
    p += size;
    return code_point;
}

// The name's bounds by word kind: the kind's mark is not part of it.
void name_bounds(uint32_t type, const uint8_t*& from, const uint8_t*& to) {
    switch (type) {
    case TYPE_REFINEMENT: case TYPE_ISSUE: case TYPE_GET_WORD: case TYPE_LIT_WORD:
        from++;
        break;
    case TYPE_SET_WORD:
        to--;
        break;
    default:
        break;
    }
}

uint32_t intern(const uint8_t* from, const uint8_t* to) {
    return symbol::make_from_utf8(reinterpret_cast<const char*>(from), uint32_t(to - from));
}

// The string-like value just loaded, percent-decoded.
void percent_decode_last(State* st) {
    Cell* loaded = output_at(st->top - 1);
    Cell decoded{};
    string::rs_make_at(&decoded, string::rs_length(loaded));
    url::percent_decode(loaded, &decoded);
    loaded = output_at(st->top - 1);
    decoded.header = loaded->header;
    *loaded = decoded;
}

}  // namespace

// ---------------------------------------------------------------- shared helpers

int32_t decode_utf8(const uint8_t* p, const uint8_t* end, uint32_t* size) {
    uint8_t lead = *p;
    uint32_t n, code_point, lowest;
    if (lead < 0x80) {
        *size = 1;
        return lead;
    }
    if (lead >= 0xC2 && lead <= 0xDF) n = 2, code_point = lead & 0x1Fu, lowest = 0x80;
    else if (lead >= 0xE0 && lead <= 0xEF) n = 3, code_point = lead & 0x0Fu, lowest = 0x800;
    else if (lead >= 0xF0 && lead <= 0xF4) n = 4, code_point = lead & 0x07u, lowest = 0x10000;
    else return -1;
    if (uint32_t(end - p) < n) return -1;
    for (uint32_t i = 1; i < n; i++) {
        if ((p[i] & 0xC0) != 0x80) return -1;
        code_point = code_point << 6 | (p[i] & 0x3Fu);
    }
    if (code_point < lowest || code_point > 0x10FFFF || (code_point >= 0xD800 && code_point <= 0xDFFF))
        return -1;
    *size = n;
    return int32_t(code_point);
}

void check_utf8(State* st, const uint8_t* from, const uint8_t* to, int32_t type) {
    for (const uint8_t* p = from; p < to;) {
        uint32_t size = 1;
        if (*p >= 0x80 && decode_utf8(p, to, &size) < 0) syntax_error(st, type, from);
        p += size;
    }
}

bool unicode_blank(uint32_t c) {
    switch (c) {
    case 0x85: case 0xA0: case 0x1680: case 0x180E: case 0x2028: case 0x2029: case 0x202F:
    case 0x205F: case 0x3000:
        return true;
    default:
        return c >= 0x2000 && c <= 0x200B;
    }
}

int32_t decode_escape(const uint8_t* p, const uint8_t* end, const uint8_t** next) {
    *next = p;
    if (p >= end) return -1;
    if (*p != '(') {
        uint32_t size = 1;
        int32_t c = *p < 0x80 ? single_escape(*p) : decode_utf8(p, end, &size);
        *next = p + size;
        return c;
    }
    const uint8_t* q = p + 1;
    // One or two hexadecimal digits.
    if (q + 1 < end && hex_value(q[0]) >= 0 && q[1] == ')') {
        *next = q + 2;
        return hex_value(q[0]);
    }
    if (q + 2 < end && hex_value(q[0]) >= 0 && hex_value(q[1]) >= 0 && q[2] == ')') {
        *next = q + 3;
        return hex_value(q[0]) * 16 + hex_value(q[1]);
    }
    for (const EscapeName& e : escape_names) {
        if (uint32_t(end - q) > e.length && same_ignoring_case(q, e.name, e.length) && q[e.length] == ')') {
            *next = q + e.length + 1;
            return int32_t(e.code_point);
        }
    }
    uint32_t value = 0;
    for (uint32_t digits = 0; q < end; q++, digits++) {
        if (*q == ')') {
            if (digits == 0 || value > 0x10FFFF) return -1;
            *next = q + 1;
            return int32_t(value);
        }
        int32_t digit = hex_value(*q);
        if (digit < 0 || digits == 6) return -1;
        value = value << 4 | uint32_t(digit);
    }
    return -1;
}

void read_text(State* st, const uint8_t* from, const uint8_t* to, TextFlags flags, const uint8_t* near) {
    uint32_t count = 0, highest = 0;
    bool plain = true;
    for (const uint8_t* p = from; p < to; count++) {
        plain = plain && *p < 0x80 && !(flags.escapes && *p == '^');
        int32_t c = next_char(p, to, flags.escapes);
        if (c < 0) syntax_error(st, text_type(st), near);
        if (uint32_t(c) > highest) highest = uint32_t(c);
    }
    if (!flags.load) return;
    uint32_t unit = highest > 0xFFFF ? 4 : highest > 0xFF ? 2 : 1;
    Cell* cell = alloc_cell(st);
    string::make_at_unit(cell, count, unit);
    SeriesBuffer* buffer = series_buffer(cell);
    if (plain) {
        std::memcpy(buffer->first(), from, count);
    } else {
        std::byte* out = buffer->first();
        for (const uint8_t* p = from; p < to; out += unit)
            unicode::write_unit(out, unit, uint32_t(next_char(p, to, flags.escapes)));
    }
    buffer->tail = buffer->offset + count * unit;
    set_type(cell, uint32_t(text_type(st)));
}

void check_map_pairs(State* st, const uint8_t* near) {
    uint32_t count = st->top - st->level;
    if (count % 2) syntax_error(st, TYPE_MAP, near);
    for (uint32_t i = st->level; i < st->top; i += 2)
        if (!map::valid_key_type(cell_type(output_at(i)))) syntax_error(st, TYPE_MAP, near);
}

void make_map(Cell* block) {
    Cell made = *block;
    map::make_at(&made, &made, block::length_from_head(&made));
    *block = made;
}

// ---------------------------------------------------------------- strings

void check_string(State* st, const uint8_t* start, const uint8_t* end, uint32_t flags, bool) {
    read_text(st, start + 1, end, {.escapes = (flags & F_CARET) != 0}, start);
    st->position = end + 1;
}

void load_string(State* st, const uint8_t* start, const uint8_t* end, uint32_t flags, bool load) {
    read_text(st, start + 1, end, {.escapes = (flags & F_CARET) != 0, .load = load}, start);
    st->position = end + 1;
}

const uint8_t* raw_string_close(State* st, const uint8_t* start, const uint8_t* end, const uint8_t** after) {
    uint32_t opening = 0;
    while (start[opening] == '%') opening++;
    uint32_t closing = 0;
    while (end[-1 - int32_t(closing)] == '%') closing++;
    *after = end;
    if (closing > opening) syntax_error(st, TYPE_STRING, start);
    if (closing == opening) return end - closing - 1;
    const uint8_t* p = end;
    for (;; p++) {
        if (uint32_t(st->input_end - p) <= opening) syntax_error(st, TYPE_STRING, start);
        if (*p != '}') continue;
        uint32_t run = 0;
        while (run < opening && p[1 + run] == '%') run++;
        if (run == opening) break;
    }
    for (const uint8_t* q = end; q < p; q++) st->line += *q == '\n';
    *after = p + 1 + opening;
    return p;
}

void load_raw_string(State* st, const uint8_t* start, const uint8_t* end, uint32_t, bool load) {
    uint32_t opening = 0;
    while (start[opening] == '%') opening++;
    const uint8_t* after = end;
    const uint8_t* text_end = raw_string_close(st, start, end, &after);
    read_text(st, start + opening + 1, text_end, {.load = load}, start);
    st->position = after;
}

void load_char(State* st, const uint8_t* start, const uint8_t* end, uint32_t, bool load) {
    const uint8_t* p = start + 2;
    int32_t c = p < end ? next_char(p, end, true) : -1;
    if (c < 0 || p != end || start[1] != '"') syntax_error(st, TYPE_CHAR, start);
    st->position = end + 1;
    if (!load) return;
    Cell* made = alloc_cell(st);
    *made = char_::cell(uint32_t(c));
    if (st->newline_before) made->header |= CELL_NEW_LINE;
}

void load_file(State* st, const uint8_t* start, const uint8_t* end, uint32_t flags, bool load) {
    st->type_override = TYPE_FILE;
    if (end - start > 1 && start[1] == '"') {
        if (end >= st->input_end || *end != '"') syntax_error(st, TYPE_FILE, start);
        read_text(st, start + 2, end, {.escapes = (flags & F_CARET) != 0, .load = load}, start);
        st->position = end + 1;
        return;
    }
    read_text(st, start + 1, end, {.load = load}, start);
    if (load && (flags & F_PERCENT)) percent_decode_last(st);
    st->position = end;
}

void load_tag(State* st, const uint8_t* start, const uint8_t* end, uint32_t, bool load) {
    if (*start != '<') syntax_error(st, TYPE_TAG, start);
    st->type_override = TYPE_TAG;
    read_text(st, start + 1, end, {.load = load}, start);
    st->position = end + 1;
}

void load_url(State* st, const uint8_t* start, const uint8_t* end, uint32_t flags, bool load) {
    if (*start == ':') syntax_error(st, TYPE_GET_WORD, start);
    if (*start == '\'') syntax_error(st, TYPE_LIT_WORD, start);
    st->type_override = TYPE_URL;
    read_text(st, start, end, {.load = load}, start);
    if (load && (flags & F_PERCENT)) percent_decode_last(st);
    st->position = end;
}

void load_email(State* st, const uint8_t* start, const uint8_t* end, uint32_t, bool load) {
    st->type_override = TYPE_EMAIL;
    read_text(st, start, end, {.load = load}, start);
    st->position = end;
}

void load_ref(State* st, const uint8_t* start, const uint8_t* end, uint32_t, bool load) {
    st->type_override = TYPE_REF;
    read_text(st, start + 1, end, {.load = load}, start);
    st->position = end;
}

// ---------------------------------------------------------------- words

void check_word(State* st, const uint8_t* start, const uint8_t* end, uint32_t flags, bool) {
    if (flags & F_UTF8) {
        for (const uint8_t* p = start; p < end;) {
            uint32_t size = 1;
            int32_t c = *p < 0x80 ? *p : decode_utf8(p, st->input_end, &size);
            if (c < 0) syntax_error(st, TYPE_WORD, start);
            if (unicode_blank(uint32_t(c))) {
                end = p;
                break;
            }
            p += size;
        }
    }
    bool leading = *start == ':', trailing = end - start > 1 && end[-1] == ':';
    bool lit = *start == '\'';
    uint32_t type = TYPE_WORD;
    // The flags also hold the byte that ended the token: without F_COLON no
    // colon is in the word.
    if ((flags & F_COLON) && std::memchr(start, ':', size_t(end - start))) {
        const void* inner = std::memchr(start + leading, ':', size_t(end - start - leading - trailing));
        if (lit && trailing) syntax_error(st, TYPE_LIT_WORD, start);
        if (inner || leading == trailing) syntax_error(st, TYPE_WORD, start);
        type = leading ? TYPE_GET_WORD : TYPE_SET_WORD;
    } else if (lit) {
        type = TYPE_LIT_WORD;
    }
    st->token_type = int32_t(type);
    st->token_end = end;
    st->position = end;
}

void load_word(State* st, const uint8_t* start, const uint8_t* end, uint32_t, bool load) {
    uint32_t type = uint32_t(st->type_override >= 0 ? st->type_override : st->token_type);
    const uint8_t* from = start;
    const uint8_t* to = end;
    name_bounds(type, from, to);
    if (from >= to) syntax_error(st, int32_t(type), start);
    st->position = end;
    if (!load) return;
    uint32_t symbol = intern(from, to);
    Cell* cell = alloc_cell(st);
    if (type == TYPE_ISSUE) {
        set_type(cell, TYPE_ISSUE);
        word::set_context(cell, context::global);
        word::set_symbol(cell, symbol);
        word::set_index(cell, WORD_UNRESOLVED);
        return;
    }
    set_type(word::make_at(symbol, cell), type);
}

void check_issue(State* st, const uint8_t* start, const uint8_t* end, uint32_t flags, bool) {
    if (*start != '#' || end - start < 2) syntax_error(st, TYPE_ISSUE, start);
    if (flags & F_UTF8) check_utf8(st, start, end, TYPE_ISSUE);
    st->position = end;
}

void load_refinement(State* st, const uint8_t* start, const uint8_t* end, uint32_t flags, bool load) {
    size_t size = size_t(end - start);
    int32_t type = TYPE_REFINEMENT;
    if (size == 1 && *start == '/') type = TYPE_WORD;
    else if (size == 2 && std::memcmp(start, "'/", 2) == 0) type = TYPE_LIT_WORD;
    else if (size == 2 && std::memcmp(start, ":/", 2) == 0) type = TYPE_GET_WORD;
    else if (size == 2 && std::memcmp(start, "/:", 2) == 0) type = TYPE_SET_WORD;
    else if (*start != '/') syntax_error(st, TYPE_REFINEMENT, start);
    if (flags & F_UTF8) check_utf8(st, start, end, TYPE_REFINEMENT);
    st->type_override = type;
    load_word(st, start, end, flags, load);
}

// ---------------------------------------------------------------- binaries

// The digits are decoded under the strict rules of source text; an invalid
// one is reported where it stands.
void load_binary(State* st, const uint8_t* start, const uint8_t* end, uint32_t, bool load) {
    uint32_t base = 0;
    const uint8_t* p = start;
    for (; p < end && *p >= '0' && *p <= '9' && base < 100; p++) base = base * 10 + uint32_t(*p - '0');
    if (p == start) base = 16;
    if ((base != 2 && base != 16 && base != 64) || end - p < 2) syntax_error(st, TYPE_BINARY, start);
    const uint8_t* text = p + 2;  // after "#{"
    std::vector<uint8_t> bytes;
    codecs::Decoded decoded =
        codecs::decode_base(int(base), {text, size_t(end - text), 1}, codecs::BaseRules::literal, bytes);
    if (!decoded.ok) syntax_error(st, TYPE_BINARY, text + decoded.bad);
    st->position = end + 1;
    if (load) binary::load_at(alloc_cell(st), bytes.data(), uint32_t(bytes.size()));
}

// ---------------------------------------------------------------- construction

// The token is "#(" and the name, up to the ")".
void load_construct(State* st, const uint8_t* start, const uint8_t* end, uint32_t, bool load) {
    const uint8_t* name = start + 2;
    uint32_t length = uint32_t(end - name);
    st->position = end + 1;
    Cell value{};
    bool found = false;
    for (const ConstructName& c : construct_names) {
        if (length > std::strlen(c.name) || !same_ignoring_case(name, c.name, length)) continue;
        if (length != std::strlen(c.name)) syntax_error(st, ERR_MALCONSTRUCT, start);
        value = Cell{c.type, c.value, 0, 0};
        found = true;
        break;
    }
    for (uint32_t id = 1; !found && length > 0 && id <= registry::highest_id; id++) {
        const char* type_name = registry::name_table[id].name;
        if (!type_name || length > std::strlen(type_name) || !same_ignoring_case(name, type_name, length)) continue;
        value = datatype::cell(id);
        found = true;
    }
    if (!found) syntax_error(st, ERR_MALCONSTRUCT, start);
    if (!load) return;
    Cell* cell = alloc_cell(st);
    value.header |= cell->header & CELL_NEW_LINE;
    *cell = value;
}

}  // namespace vek::lexer
