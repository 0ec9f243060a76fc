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

uint32_t make_from_utf8(const char* bytes, uint32_t length) { return intern(bytes, length, false); }

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
