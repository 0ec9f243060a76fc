// MurmurHash3 x86 32-bit and the per-datatype key hashes built on it.
#include "runtime/tables/murmur.h"

#include <array>
#include <bit>
#include <cstring>

#include "runtime/datatypes/word/symbol.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/memory/series.h"
#include "runtime/tables/random.h"
#include "runtime/text/unicode.h"

namespace vek::murmur {

namespace {

constexpr uint32_t C1 = 0xCC9E2D51u;
constexpr uint32_t C2 = 0x1B873593u;

constexpr uint32_t UNSET_HASH = uint32_t(-2);
constexpr uint32_t NONE_HASH = uint32_t(-1);
constexpr uint32_t TUPLE_MAX_BYTES = 12;  // the payload words hold no more

uint32_t scramble(uint32_t k) { return std::rotl(k * C1, 15) * C2; }

uint32_t body_round(uint32_t h, uint32_t k) { return std::rotl(h ^ scramble(k), 13) * 5 + 0xE6546B64u; }

uint32_t finish(uint32_t h, uint32_t length) { return mix(h ^ length); }

uint32_t load_le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// The four bytes of a little-endian word with ASCII A-Z folded to a-z, all at
// once: a byte is folded when its top bit is clear and its low seven bits lie
// from 'A' (0x41) to 'Z' (0x5A). No sum carries into the next byte.
uint32_t fold_ascii_word(uint32_t w) {
    uint32_t low7 = w & 0x7F7F7F7Fu;
    uint32_t from_a = low7 + 0x3F3F3F3Fu;  // top bit set from 'A' up
    uint32_t past_z = low7 + 0x25252525u;  // top bit set from '[' up
    uint32_t upper = from_a & ~past_z & ~w & 0x80808080u;
    return w | upper >> 2;
}

// The byte range, with ASCII letters folded to lower case when FoldCase, so
// that names can be hashed without a folded copy.
template <bool FoldCase>
uint32_t murmur3_folded(const uint8_t* p, size_t length) {
    auto fold = [](uint8_t b) { return FoldCase ? fold_ascii(b) : b; };
    uint32_t h = hash_seed;
    size_t blocks = length / 4;
    for (size_t i = 0; i < blocks; i++, p += 4) {
        uint32_t k = load_le32(p);
        h = body_round(h, FoldCase ? fold_ascii_word(k) : k);
    }
    uint32_t k = 0;
    switch (length & 3) {
        case 3: k ^= uint32_t(fold(p[2])) << 16; [[fallthrough]];
        case 2: k ^= uint32_t(fold(p[1])) << 8; [[fallthrough]];
        case 1:
            k ^= fold(p[0]);
            h ^= scramble(k);
    }
    return finish(h, uint32_t(length));
}

// Upper case as unicode::to_upper gives it, without its call for ASCII.
uint32_t upper(uint32_t cp) {
    if (cp >= 128) return unicode::to_upper(cp);
    return cp - 'a' < 26u ? cp - 32 : cp;
}

// Upper case of every code point a byte string can hold, so that hashing
// one costs a load per byte instead of a test.
const std::array<uint32_t, 256> UPPER_BYTES = [] {
    std::array<uint32_t, 256> table{};
    for (uint32_t cp = 0; cp < 256; cp++) table[cp] = upper(cp);
    return table;
}();

// The code points of a text buffer of Unit-wide units from index from to
// count, each mixed as a 32-bit block (in upper case with Fold).
template <typename Unit, bool Fold>
uint32_t mix_units(const std::byte* first, uint32_t from, uint32_t count) {
    uint32_t h = hash_seed;
    for (uint32_t i = from; i < count; i++) {
        Unit unit;
        std::memcpy(&unit, first + size_t(i) * sizeof(Unit), sizeof(Unit));
        if constexpr (!Fold) h = body_round(h, unit);
        else if constexpr (sizeof(Unit) == 1) h = body_round(h, UPPER_BYTES[unit]);
        else h = body_round(h, upper(unit));
    }
    return h;
}

uint32_t murmur3_words(const Cell* c, uint32_t first, uint32_t count) {
    uint32_t words[3] = {payload_word(c, 1), payload_word(c, 2), payload_word(c, 3)};
    return murmur3(words + first - 1, count * sizeof(uint32_t));
}

uint32_t binary(const Cell* c) {
    SeriesBuffer* b = series_buffer(c);
    uint32_t used = b->used_bytes();
    uint32_t head = series_index(c) < used ? series_index(c) : used;
    return murmur3(b->first() + head, used - head);
}

uint32_t tuple(const Cell* c) {
    uint32_t length = (c->header & tuple::SIZE_MASK) >> tuple::SIZE_SHIFT;
    uint8_t bytes[TUPLE_MAX_BYTES];
    uint32_t words[3] = {payload_word(c, 1), payload_word(c, 2), payload_word(c, 3)};
    std::memcpy(bytes, words, sizeof bytes);
    return murmur3(bytes, length < TUPLE_MAX_BYTES ? length : TUPLE_MAX_BYTES);
}

// Equal amounts hash alike whatever flags their cells carry, the sign apart.
uint32_t money(const Cell* c) {
    Cell bare = *c;
    bare.header = TYPE_MONEY | (c->header & money::SIGN_BIT);
    return murmur3(&bare, sizeof bare);
}

}  // namespace

uint32_t murmur3(const void* bytes, size_t length) {
    return murmur3_folded<false>(static_cast<const uint8_t*>(bytes), length);
}

uint32_t code_point_at(const std::byte* p, uint32_t unit) { return unicode::read_unit(p, unit); }

uint32_t string(const Cell* string, bool case_sensitive) {
    SeriesBuffer* b = series_buffer(string);
    uint32_t count = b->length();
    uint32_t from = series_index(string);
    if (from >= count) return finish(hash_seed, 0);
    const std::byte* first = b->first();
    uint32_t h;
    switch (b->unit()) {
    case 1: h = case_sensitive ? mix_units<uint8_t, false>(first, from, count) : mix_units<uint8_t, true>(first, from, count); break;
    case 2: h = case_sensitive ? mix_units<uint16_t, false>(first, from, count) : mix_units<uint16_t, true>(first, from, count); break;
    default: h = case_sensitive ? mix_units<uint32_t, false>(first, from, count) : mix_units<uint32_t, true>(first, from, count); break;
    }
    return finish(h, (count - from) * 4);
}

uint32_t symbol_name(const char* name, uint32_t length) {
    return murmur3_folded<true>(reinterpret_cast<const uint8_t*>(name), length);
}

// Word 3 of a symbol cell is the node of its NUL-terminated UTF-8 name.
uint32_t symbol(const Cell* symbol) {
    SeriesBuffer* name = node_buffer(symbol::name_bytes(symbol));
    return symbol_name(reinterpret_cast<const char*>(name->first()), name->used_bytes());
}

uint32_t value(const Cell* v, bool case_sensitive) {
    if (is_all_word(cell_type(v))) return mix(symbol::resolve(word::symbol(v)));
    if (is_any_string(cell_type(v))) return string(v, case_sensitive);
    switch (cell_type(v)) {
        case TYPE_UNSET: return UNSET_HASH;
        case TYPE_NONE: return NONE_HASH;
        case TYPE_DATATYPE: case TYPE_LOGIC: case TYPE_OBJECT: case TYPE_ERROR: case TYPE_PORT:
            return mix(payload_word(v, 1));
        case TYPE_INTEGER: case TYPE_CHAR: case TYPE_MAP: case TYPE_HANDLE: case TYPE_EVENT:
            return mix(payload_word(v, 2));
        case TYPE_NATIVE: case TYPE_ACTION:
            return mix(payload_word(v, 3));
        case TYPE_SYMBOL: return symbol(v);
        case TYPE_BLOCK: case TYPE_PAREN: case TYPE_PATH: case TYPE_LIT_PATH: case TYPE_SET_PATH:
        case TYPE_GET_PATH: case TYPE_HASH: case TYPE_IMAGE: case TYPE_POINT2D:
            return murmur3_words(v, 1, 2);
        case TYPE_FLOAT: case TYPE_PAIR: case TYPE_PERCENT: case TYPE_TIME:
            return murmur3_words(v, 2, 2);
        case TYPE_OP: case TYPE_FUNCTION: case TYPE_TRIPLE: case TYPE_TYPESET: case TYPE_DATE:
        case TYPE_POINT3D:
            return murmur3_words(v, 1, 3);
        case TYPE_TUPLE: return tuple(v);
        case TYPE_BINARY: return binary(v);
        case TYPE_MONEY: return money(v);
        default: return 0;
    }
}

}  // namespace vek::murmur
