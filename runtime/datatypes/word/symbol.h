// The symbol table: every word refers to an interned symbol, a symbol! cell in
// one global block (the id is its 1-based position there) indexed by a kind-2
// hash table. Interning preserves case: the first spelling of a name is the
// canonical symbol; a spelling differing only in ASCII letter case becomes a
// symbol of its own whose alias is the canonical symbol's id, so words compare
// equal ignoring case while each keeps its own spelling. Nothing beyond ASCII
// is folded.
//
// symbol! cell: header 13; word 1 the alias (the canonical id, or -1 for a
// canonical symbol); word 2 the node of the name's string! (0 until first
// asked for); word 3 the node of a byte series holding the UTF-8 name and a
// NUL, whose tail stands at the NUL.
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/memory/series.h"

namespace vek::symbol {

// A symbol! of the alias and the node of its UTF-8 name, its string! not
// made yet.
constexpr Cell cell(int32_t alias, Node name_bytes) { return Cell{TYPE_SYMBOL, uint32_t(alias), 0, uint32_t(name_bytes)}; }

constexpr uint32_t TABLE_SIZE = 4000;
constexpr int32_t CANONICAL = -1;  // the alias of a symbol that is no case variant

// The symbol block's cell (it lives in the root block, which never moves) and
// the hash table over it. Both are collector roots.
extern Cell* block;
extern Node table;

// Runtime initialisation: the block right after the root block and the hash
// table (heap objects); the registration of symbol! and of the table's
// collector root (at every start).
void init_block();
void init_table();
void init();

// ---------------------------------------------------------------- payload

inline int32_t alias(const Cell* symbol) {
    VEK_CHECK_LAYOUT(symbol, type_in<TYPE_SYMBOL>);
    return int32_t(symbol->data1);
}
inline Node name_string(const Cell* symbol) {
    VEK_CHECK_LAYOUT(symbol, type_in<TYPE_SYMBOL>);
    return Node(symbol->data2);
}
inline void set_name_string(Cell* symbol, Node text) {
    VEK_CHECK_LAYOUT(symbol, type_in<TYPE_SYMBOL>);
    symbol->data2 = uint32_t(text);
}
inline Node name_bytes(const Cell* symbol) {
    VEK_CHECK_LAYOUT(symbol, type_in<TYPE_SYMBOL>);
    return Node(symbol->data3);
}

// Interning; each answers the symbol's id. make keeps case variants apart
// (linked by their alias); make_case_folded answers the canonical symbol of
// any spelling equal ignoring ASCII case.
uint32_t make(const char* text);
uint32_t make_case_folded(const char* text);
uint32_t make_from_utf8(const char* bytes, uint32_t length);
// The string from its head, as UTF-8.
uint32_t make_from_string(Cell* string);

// How many symbols exist: the highest id.
uint32_t count();

// The symbol's cell, its name string made first. Valid until the next call
// that may allocate.
Cell* get(uint32_t id);
// Makes the name's string! when the cell has none yet.
void string_cache(Cell* symbol);
// The NUL-terminated UTF-8 name; valid until the next call that may allocate.
const char* get_c_string(uint32_t id);

// The id under which all spellings of a name meet: the alias when there is
// one, else the id itself.
uint32_t resolve(uint32_t id);
// The raw alias field: CANONICAL or the canonical symbol's id.
int32_t alias_of(uint32_t id);

// Whether a word cell's symbol is any-type! in any spelling.
bool any_type_word(const Cell* word);

}  // namespace vek::symbol
