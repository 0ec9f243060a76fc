// Matching one rule value at one input position, and the scans that the
// fast paths run over many positions without entering the state machine.
// Nothing here runs Vek code, so buffer addresses stay valid within each
// function (the lexer, scanning binary! input for a datatype, allocates
// nothing in scan mode).
#include <cstring>

#include "runtime/actions/dispatch.h"
#include "runtime/core/raise.h"
#include "runtime/core/registry.h"
#include "runtime/datatypes/char.h"
#include "runtime/datatypes/container/bitset.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/string/buffer.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/datatypes/typeset.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/lexer/lexer.h"
#include "runtime/parse/internal.h"
#include "runtime/text/unicode.h"

namespace vek::parse {

namespace {

// ---------------------------------------------------------------- code points

uint32_t fold(uint32_t c) {
    if (c < 128) return c >= 'a' && c <= 'z' ? c - 32 : c;
    return unicode::to_upper(c);
}

bool same_char(uint32_t a, uint32_t b, Mode mode) {
    return a == b || (mode == Mode::folded && fold(a) == fold(b));
}

// A bitset's membership test over its bit bytes.
struct Bits {
    const uint8_t* bytes = nullptr;
    uint64_t size = 0;  // bits stored
    bool complemented = false;

    Bits() = default;
    explicit Bits(const Cell* bitset) {
        SeriesBuffer* buffer = node_buffer(bitset::bits_node(bitset));
        bytes = reinterpret_cast<const uint8_t*>(buffer->first());
        size = uint64_t(buffer->used_bytes()) * 8;
        complemented = bitset::complemented(bitset);
    }
    bool has(uint32_t c) const {
        if (c >= size) return complemented;
        return (bytes[c >> 3] & (0x80u >> (c & 7))) != 0;
    }
};

// Units of an input or value buffer read in place.
struct Units {
    const std::byte* first;
    uint32_t unit;

    explicit Units(const Cell* series) {
        SeriesBuffer* buffer = series_buffer(series);
        first = buffer->first();
        unit = buffer->unit();
    }
    uint32_t at(uint32_t index) const {
        switch (unit) {
        case 1: return uint32_t(uint8_t(first[index]));
        case 2: {
            uint16_t v;
            std::memcpy(&v, first + size_t(index) * 2, 2);
            return v;
        }
        default: {
            uint32_t v;
            std::memcpy(&v, first + size_t(index) * 4, 4);
            return v;
        }
        }
    }
};

// ---------------------------------------------------------------- text input

// The text of a string-like value from its head: where it starts and how
// many code points it holds.
struct Text {
    Units units;
    uint32_t start;
    uint32_t length;

    explicit Text(const Cell* value) : units(value) {
        uint32_t total = series_buffer(value)->length();
        start = std::min(series_index(value), total);
        length = total - start;
    }
};

int64_t match_text_at(const Units& input, uint32_t pos, uint32_t end, const Cell* value, Mode mode) {
    Text text(value);
    bool tag = cell_type(value) == TYPE_TAG;
    uint64_t need = uint64_t(text.length) + (tag ? 2 : 0);
    if (pos + need > end) return NO_MATCH;
    uint32_t p = pos;
    if (tag && input.at(p++) != '<') return NO_MATCH;
    for (uint32_t i = 0; i < text.length; i++, p++)
        if (!same_char(input.at(p), text.units.at(text.start + i), mode)) return NO_MATCH;
    if (tag && input.at(p++) != '>') return NO_MATCH;
    return p;
}

int64_t match_in_text(const Input& in, uint32_t pos, uint32_t end, const Cell* value, Mode mode) {
    uint32_t type = cell_type(value);
    Units input(&in.series);
    if (type == TYPE_CHAR) {
        if (pos >= end) return NO_MATCH;
        return same_char(input.at(pos), char_::get(value), mode) ? int64_t(pos) + 1 : NO_MATCH;
    }
    if (type == TYPE_BITSET) {
        if (pos >= end) return NO_MATCH;
        return Bits(value).has(input.at(pos)) ? int64_t(pos) + 1 : NO_MATCH;
    }
    if (is_any_string(type)) return match_text_at(input, pos, end, value, mode);
    if (type == TYPE_DATATYPE || type == TYPE_TYPESET) fire(err::script::parse_unsupported);
    fire(err::script::parse_rule, value);
}

// ---------------------------------------------------------------- binary input

int64_t match_bytes_at(const Input& in, uint32_t pos, uint32_t end, const Cell* value) {
    SeriesBuffer* source = series_buffer(value);
    uint32_t total = source->used_bytes();
    uint32_t start = std::min(series_index(value) << source->unit_shift(), total);
    uint32_t n = total - start;
    if (uint64_t(pos) + n > end) return NO_MATCH;
    const std::byte* input = series_buffer(&in.series)->first() + pos;
    return std::memcmp(input, source->first() + start, n) == 0 ? int64_t(pos) + n : NO_MATCH;
}

// The datatype of the value the lexer finds at pos, and the bytes it took.
int64_t match_scanned_type(const Input& in, uint32_t pos, uint32_t end, const Cell* value) {
    if (pos >= end) return NO_MATCH;
    Cell scanned{};
    uint32_t consumed = 0;
    const auto* bytes = reinterpret_cast<const uint8_t*>(series_buffer(&in.series)->first() + pos);
    uint32_t type = lexer::scan(&scanned, bytes, end - pos, {.mode = lexer::Mode::scan, .one = true}, &consumed,
                                nullptr, nullptr);
    if (type == 0 || type == TYPE_ERROR || consumed == 0) return NO_MATCH;
    bool member = cell_type(value) == TYPE_DATATYPE ? type == datatype::id(value) : typeset::contains(value, type);
    return member ? int64_t(pos) + std::min(consumed, end - pos) : NO_MATCH;
}

int64_t match_in_bytes(const Input& in, uint32_t pos, uint32_t end, const Cell* value) {
    uint32_t type = cell_type(value);
    const auto* input = reinterpret_cast<const uint8_t*>(series_buffer(&in.series)->first());
    switch (type) {
    case TYPE_CHAR:
    case TYPE_INTEGER: {
        if (pos >= end) return NO_MATCH;
        uint32_t byte = type == TYPE_CHAR ? char_::get(value) : uint32_t(integer::get(value));
        return input[pos] == byte ? int64_t(pos) + 1 : NO_MATCH;
    }
    case TYPE_BITSET:
        if (pos >= end) return NO_MATCH;
        return Bits(value).has(input[pos]) ? int64_t(pos) + 1 : NO_MATCH;
    case TYPE_DATATYPE:
    case TYPE_TYPESET: return match_scanned_type(in, pos, end, value);
    default:
        if (is_any_string(type) || type == TYPE_BINARY) return match_bytes_at(in, pos, end, value);
        fire(err::script::parse_rule, value);
    }
}

// ---------------------------------------------------------------- block input

bool same_word(const Cell* element, const Cell* word, Mode mode) {
    if (!is_any_word(cell_type(element))) return false;
    uint32_t a = word::symbol(element), b = word::symbol(word);
    return a == b || (mode == Mode::folded && symbol::resolve(a) == symbol::resolve(b));
}

bool element_matches(const Cell* element, const Cell* value, Mode mode) {
    uint32_t type = cell_type(value);
    switch (type) {
    case TYPE_DATATYPE: return cell_type(element) == datatype::id(value);
    case TYPE_TYPESET: return typeset::contains(value, cell_type(element));
    case TYPE_LIT_WORD: return same_word(element, value, mode);
    case TYPE_LIT_PATH: {
        if (!is_any_path(cell_type(element))) return false;
        Cell as_lit = *element;
        set_type(&as_lit, TYPE_LIT_PATH);
        return actions::compare(&as_lit, value, mode == Mode::strict ? actions::COMP_STRICT_EQUAL
                                                                     : actions::COMP_EQUAL);
    }
    default:
        return actions::compare(element, value,
                                mode == Mode::strict ? actions::COMP_STRICT_EQUAL : actions::COMP_EQUAL);
    }
}

int64_t match_in_block(const Input& in, uint32_t pos, uint32_t end, const Cell* value, Mode mode) {
    if (pos >= end) return NO_MATCH;
    Cell element = series_buffer(&in.series)->cells()[pos];
    return element_matches(&element, value, mode) ? int64_t(pos) + 1 : NO_MATCH;
}

// ---------------------------------------------------------------- direct scans of text

bool search_char(const Input& in, uint32_t pos, uint32_t end, uint32_t c, Mode mode, uint32_t* at) {
    Units input(&in.series);
    uint32_t folded = fold(c);
    // Only a letter has other code points folding to it: the ASCII rest is
    // found by a plain byte scan.
    bool ascii_letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    bool fold_each = mode == Mode::folded && (c >= 128 || ascii_letter);
    if (input.unit == 1 && !fold_each && c < 256) {
        const void* hit = std::memchr(input.first + pos, int(c), end - pos);
        if (!hit) return false;
        *at = uint32_t(static_cast<const std::byte*>(hit) - input.first);
        return true;
    }
    for (uint32_t p = pos; p < end; p++) {
        uint32_t x = input.at(p);
        if (x == c || (fold_each && fold(x) == folded)) {
            *at = p;
            return true;
        }
    }
    return false;
}

bool search_bitset(const Input& in, uint32_t pos, uint32_t end, const Cell* bitset, uint32_t* at) {
    Units input(&in.series);
    Bits bits(bitset);
    for (uint32_t p = pos; p < end; p++) {
        if (bits.has(input.at(p))) {
            *at = p;
            return true;
        }
    }
    return false;
}

// Alternatives that are each one char! or bitset!, tested on one code point.
struct CharSet {
    std::array<uint32_t, 8> chars{};
    std::array<Bits, 8> sets{};
    std::array<bool, 8> is_char{};
    uint32_t count = 0;
    Mode mode = Mode::folded;

    bool has(uint32_t c) const {
        for (uint32_t i = 0; i < count; i++)
            if (is_char[i] ? same_char(c, chars[i], mode) : sets[i].has(c)) return true;
        return false;
    }
};

bool char_set_of(const Alternatives& alternatives, Mode mode, CharSet* out) {
    out->mode = mode;
    out->count = alternatives.count;
    for (uint32_t i = 0; i < alternatives.count; i++) {
        const Cell* value = &alternatives.values[i];
        if (cell_type(value) == TYPE_CHAR) {
            out->is_char[i] = true;
            out->chars[i] = char_::get(value);
        } else if (cell_type(value) == TYPE_BITSET) {
            out->sets[i] = Bits(value);
        } else {
            return false;
        }
    }
    return true;
}

}  // namespace

InputKind kind_of(uint32_t type) {
    if (is_any_block(type)) return InputKind::block;
    return type == TYPE_BINARY ? InputKind::bytes : InputKind::text;
}

bool is_terminal(const Cell* value, InputKind kind) {
    uint32_t type = cell_type(value);
    switch (kind) {
    case InputKind::text: return type == TYPE_CHAR || type == TYPE_BITSET || is_any_string(type);
    case InputKind::bytes:
        return type == TYPE_CHAR || type == TYPE_BITSET || is_any_string(type) || type == TYPE_BINARY;
    case InputKind::block:
        if (type == TYPE_INTEGER || type == TYPE_UNSET) return false;
        if (is_any_block(type)) return type == TYPE_LIT_PATH;
        if (is_any_word(type)) return type == TYPE_LIT_WORD;
        return true;
    }
    return false;
}

int64_t match_terminal(const Input& in, uint32_t pos, uint32_t end, const Cell* value, Mode mode) {
    switch (in.kind) {
    case InputKind::block: return match_in_block(in, pos, end, value, mode);
    case InputKind::text: return match_in_text(in, pos, end, value, mode);
    case InputKind::bytes: return match_in_bytes(in, pos, end, value);
    }
    return NO_MATCH;
}

bool terminal_alternatives(const Cell* block, InputKind kind, Alternatives* out) {
    SeriesBuffer* buffer = series_buffer(block);
    uint32_t length = buffer->length();
    uint32_t i = series_index(block);
    out->count = 0;
    if (i >= length) return false;
    for (;;) {
        if (out->count == out->values.size()) return false;
        Cell value = buffer->cells()[i];
        Cell resolved;
        if (!try_resolve(&value, &resolved) || !is_terminal(&resolved, kind)) return false;
        out->values[out->count++] = resolved;
        if (++i == length) return true;
        Cell bar = buffer->cells()[i];
        if (cell_type(&bar) != TYPE_WORD || keyword_of(&bar) != Keyword::bar || ++i == length) return false;
    }
}

int64_t match_alternatives(const Input& in, uint32_t pos, uint32_t end, const Alternatives& alternatives,
                           Mode mode) {
    for (uint32_t i = 0; i < alternatives.count; i++) {
        int64_t next = match_terminal(in, pos, end, &alternatives.values[i], mode);
        if (next != NO_MATCH) return next;
    }
    return NO_MATCH;
}

bool search_terminal(const Input& in, uint32_t pos, uint32_t end, const Cell* value, Mode mode, uint32_t* at,
                     uint32_t* after) {
    if (in.kind == InputKind::text && pos <= end) {
        uint32_t type = cell_type(value);
        bool single = type == TYPE_CHAR || type == TYPE_BITSET;
        if (single) {
            bool found = type == TYPE_CHAR ? search_char(in, pos, end, char_::get(value), mode, at)
                                           : search_bitset(in, pos, end, value, at);
            if (found) *after = *at + 1;
            return found;
        }
    }
    for (uint32_t p = pos; p <= end; p++) {
        int64_t next = match_terminal(in, p, end, value, mode);
        if (next != NO_MATCH) {
            *at = p;
            *after = uint32_t(next);
            return true;
        }
    }
    return false;
}

bool search_alternatives(const Input& in, uint32_t pos, uint32_t end, const Alternatives& alternatives,
                         Mode mode, uint32_t* at, uint32_t* after) {
    CharSet set;
    if (in.kind == InputKind::text && char_set_of(alternatives, mode, &set)) {
        Units input(&in.series);
        for (uint32_t p = pos; p < end; p++) {
            if (!set.has(input.at(p))) continue;
            *at = p;
            *after = p + 1;
            return true;
        }
        return false;
    }
    for (uint32_t p = pos; p <= end; p++) {
        int64_t next = match_alternatives(in, p, end, alternatives, mode);
        if (next != NO_MATCH) {
            *at = p;
            *after = uint32_t(next);
            return true;
        }
    }
    return false;
}

}  // namespace vek::parse
