// The symbol table and symbol!. Interning itself (hashing, probing, the case
// variants' aliases) is the kind-2 lookup of the hash tables; this module
// owns the table and reads symbols back.
#include "runtime/datatypes/word/symbol.h"

#include <cstring>

#include "runtime/core/registry.h"
#include "runtime/core/root.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/gc/collector.h"
#include "runtime/memory/image_state.h"
#include "runtime/memory/manager.h"
#include "runtime/memory/series.h"
#include "runtime/tables/hash_table.h"
#include "runtime/text/unicode.h"

namespace vek::symbol {

Cell* block = nullptr;
Node table = Node::none;

namespace {

// Looked up once, on the first question; the id never changes after.
uint32_t any_type_symbol = 0;

Cell* cell_at(uint32_t id) { return series_buffer(block)->cells() + (id - 1); }

uint32_t intern(const char* bytes, uint32_t length, bool fold) {
    return hash_table::find_symbol(table, bytes, length, fold);
}

// The lexer interns every word it loads, most of them names met before. A
// direct-mapped cache answers those by the id last interned in the slot of
// the name's quick hash. It is only a hint, checked against the symbol's
// name at every use, so that no content of it gives a wrong answer: the id
// of a spelling never changes, and an id that is out of range or names
// other bytes (a table made anew, as tests do) is a miss.
constexpr uint32_t RECENT_SLOTS = 8192;
uint32_t recent[RECENT_SLOTS];

uint64_t load_bytes(const char* p, uint32_t count) {
    uint64_t value = 0;
    std::memcpy(&value, p, count);
    return value;
}

// Mixes the first and last eight (or four) bytes of the name and its length:
// two loads, whatever the length.
uint32_t recent_slot(const char* bytes, uint32_t length) {
    uint64_t head = 0, tail = 0;
    if (length >= 8) {
        head = load_bytes(bytes, 8);
        tail = load_bytes(bytes + length - 8, 8);
    } else if (length >= 4) {
        head = load_bytes(bytes, 4);
        tail = load_bytes(bytes + length - 4, 4);
    } else if (length > 0) {
        head = uint8_t(bytes[0]) | uint32_t(uint8_t(bytes[length / 2])) << 8 | uint32_t(uint8_t(bytes[length - 1])) << 16;
    }
    uint64_t h = (head * 0x9E3779B97F4A7C15u ^ tail ^ length) * 0xC2B2AE3D27D4EB4Fu;
    return uint32_t(h >> 32) & (RECENT_SLOTS - 1);
}

bool spells(uint32_t id, const char* bytes, uint32_t length) {
    if (id == 0 || id > count()) return false;
    SeriesBuffer* name = node_buffer(name_bytes(cell_at(id)));
    return name->used_bytes() == length && (length == 0 || std::memcmp(name->first(), bytes, length) == 0);
}

}  // namespace

void init_block() {
    block = root::append();
    *block = series_cell(TYPE_BLOCK, memory::alloc_cells(TABLE_SIZE));
}

void init_table() {
    table = hash_table::make(TABLE_SIZE, block, hash_table::KIND_WORDS, 0);
}

void init() {
    registry::register_type(TYPE_SYMBOL, registry::Row());
    gc::add_root("symbol table", [] { gc::mark_node(table); });
    image_state::keep("symbol table", table);
    image_state::keep_pointer("symbol block", block);
    image_state::keep("any-type symbol", any_type_symbol);
}

uint32_t make(const char* text) { return intern(text, uint32_t(std::strlen(text)), false); }

// The probe meets whichever spelling comes first, which a resize reorders:
// answering the canonical one keeps the result the same whatever the history.
uint32_t make_case_folded(const char* text) { return resolve(intern(text, uint32_t(std::strlen(text)), true)); }

uint32_t make_from_utf8(const char* bytes, uint32_t length) {
    uint32_t& slot = recent[recent_slot(bytes, length)];
    if (!spells(slot, bytes, length)) slot = intern(bytes, length, false);
    return slot;
}

uint32_t make_from_string(Cell* string) {
    int32_t length = -1;
    const uint8_t* bytes = unicode::to_utf8_cstring(string, &length);
    return make_from_utf8(reinterpret_cast<const char*>(bytes), uint32_t(length));
}

uint32_t count() { return series_buffer(block)->length(); }

Cell* get(uint32_t id) {
    string_cache(cell_at(id));
    // The string's allocation may have moved the block.
    return cell_at(id);
}

void string_cache(Cell* symbol) {
    if (name_string(symbol) != Node::none) return;
    SeriesBuffer* name = node_buffer(name_bytes(symbol));
    Node text = unicode::load_utf8_new(reinterpret_cast<const uint8_t*>(name->first()), name->used_bytes());
    set_name_string(symbol, text);
}

const char* get_c_string(uint32_t id) {
    Node name = name_bytes(cell_at(id));
    SeriesBuffer* b = node_buffer(name);
    if (b->last() >= b->area_end()) {
        series::reserve_tail(b, 1);
        b = node_buffer(name);
        b->tail = Off(uint32_t(b->tail) - 1);
    }
    *b->last() = std::byte{0};
    return reinterpret_cast<const char*>(b->first());
}

uint32_t resolve(uint32_t id) {
    int32_t alias = alias_of(id);
    return alias > 0 ? uint32_t(alias) : id;
}

int32_t alias_of(uint32_t id) { return alias(cell_at(id)); }

bool any_type_word(const Cell* word) {
    if (any_type_symbol == 0) any_type_symbol = make("any-type!");
    return resolve(word::symbol(word)) == resolve(any_type_symbol);
}

}  // namespace vek::symbol
