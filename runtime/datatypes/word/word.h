// Word cells and their constructors. The five word kinds -- word! (15),
// set-word! (16), lit-word! (17), get-word! (18), refinement! (19) -- and
// issue! (20) share one layout:
// - header: the type in bits 0-7, flags above (kept when a cell is retyped);
// - word 1: the node of the context the word is bound to (0: unbound);
// - word 2: the 1-based symbol id;
// - word 3: the 0-based index in the context, -1 while unresolved (issue!
//   always -1).
//
// The constructors bind to the global context. Cells answered point into
// buffers that may grow unless said otherwise: valid until the next call
// that may allocate.
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/memory/series.h"

namespace vek {

constexpr uint32_t WORD_UNRESOLVED = 0xFFFFFFFFu;  // word 3 of a word whose index is unknown

namespace word {

// ---------------------------------------------------------------- payload

// A word of the type (any word kind, or issue!), bound to the context at the
// index.
constexpr Cell cell(uint32_t type, Node context, uint32_t symbol, uint32_t index) {
    return Cell{type, uint32_t(context), symbol, index};
}
// A word of the type and symbol bound to no context.
constexpr Cell unbound(uint32_t type, uint32_t symbol) { return cell(type, Node::none, symbol, WORD_UNRESOLVED); }

inline Node context(const Cell* word) {
    VEK_CHECK_LAYOUT(word, is_all_word);
    return Node(word->data1);
}
inline void set_context(Cell* word, Node context) {
    VEK_CHECK_LAYOUT(word, is_all_word);
    word->data1 = uint32_t(context);
}
inline uint32_t symbol(const Cell* word) {
    VEK_CHECK_LAYOUT(word, is_all_word);
    return word->data2;
}
inline void set_symbol(Cell* word, uint32_t symbol) {
    VEK_CHECK_LAYOUT(word, is_all_word);
    word->data2 = symbol;
}
inline uint32_t index(const Cell* word) {
    VEK_CHECK_LAYOUT(word, is_all_word);
    return word->data3;
}
inline void set_index(Cell* word, uint32_t index) {
    VEK_CHECK_LAYOUT(word, is_all_word);
    word->data3 = index;
}

// ---------------------------------------------------------------- construction

// Writes a word! of the symbol into the cell (its flags kept), bound to the
// global context, where the symbol is added (with an unset! value) when no
// spelling of it is there yet.
Cell* make_at(uint32_t symbol, Cell* cell);
// make_at into the current frame's result cell.
Cell* box(uint32_t symbol);
// make_at into a new cell at the block's tail.
Cell* make_in(const Cell* block, uint32_t symbol);
// Interns the UTF-8 name, then make_in.
Cell* load_in(const Cell* block, const char* name);
// make_at into a new cell on the argument stack.
Cell* push_global(uint32_t symbol);
// Interns the name and answers its entry in the global context (added when
// absent); while booting, the copy of it kept at the root block's tail,
// which never moves.
Cell* from_cstring(const char* name);
// A copy of the cell pushed unchanged: kind and binding kept.
Cell* push(const Cell* cell);
// A copy of the context's word entry at that index, pushed.
Cell* push_from_context(Node context, uint32_t index);
Cell* entry_in(Node context, uint32_t index);
// The context's entry for the symbol (exact case), else the global
// context's entry, added there when missing.
Cell* find_in_or_global(Node context, uint32_t symbol);
// The symbol-table cell of the word's symbol, its name string made.
Cell* symbol_cell(const Cell* word);
// A string! (head 0) sharing the symbol's cached name buffer, pushed. The
// buffer is the symbol's own: the caller must not change it.
Cell* push_name_string(const Cell* word);
// The datatype the lexer gives the word's name text scanned as one value.
uint32_t scan_name_type(const Cell* word);

// ---------------------------------------------------------------- access

// Pushes a copy of the word's value; an unset! value raises script no-value.
Cell* get(const Cell* word);
// Pushes a copy of the word's value, unset! or not.
Cell* push_value(const Cell* word);
// The context's value cell at the index (of its word entry).
Cell* get_in(Node context, uint32_t index);
// Pushes a copy of that value cell; a context without values raises script
// not-defined with the word.
Cell* push_value_in(Node context, uint32_t index);
// Assignment through a set-word: argument 0 holds the word, argument 1 the
// value, which becomes the result. An unset! value raises script
// need-value; an object's change handler fires as for any assignment.
void set_from_frame();
// Stores a copy of the value in the context's slot; an object context's word
// entry is first marked assigned. Answers the stored cell.
Cell* set_in(Node context, uint32_t index, const Cell* value);
// Pushes a copy of the old value, then stores the argument stack's top value
// as set_in does (the caller then fires the change handler with the two top
// cells).
Cell* set_in_keep_old(Node context, uint32_t index);

// ---------------------------------------------------------------- actions

// make and to (slots 1 and 4) of the word kinds, one function: the spec is
// converted into the result cell, which is retyped to the requested type at
// the end. A word kind keeps its binding; a datatype! gives the word of its
// name, a logic! the word true or false. From text (string!, char!) the
// first value loaded is taken, and must be of a word kind (else
// invalid-chars). A refinement! or issue! must hold a name that scans as a
// word kind (else bad-to-arg, also for every other spec type). issue! falls
// back on it.
Cell* convert(Cell* result, const Cell* spec, uint32_t type);

// Registers word!, set-word!, lit-word!, get-word! and refinement!.
void init();

}  // namespace word

// The per-kind helpers: as their word counterparts, retyped to the kind
// (flags kept).
namespace set_word {
Cell* load_in(const Cell* block, const char* name);
Cell* push(const Cell* cell);
Cell* push_from_context(Node context, uint32_t index);
}  // namespace set_word

namespace lit_word {
Cell* load_in(const Cell* block, const char* name);
Cell* push(const Cell* cell);
Cell* push_from_context(Node context, uint32_t index);
}  // namespace lit_word

namespace get_word {
Cell* load_in(const Cell* block, const char* name);
Cell* push(const Cell* cell);
Cell* push_from_context(Node context, uint32_t index);
}  // namespace get_word

namespace refinement {

// A new unbound refinement! of the interned name at the root block's tail.
Cell* make_in_root(const char* name);
Cell* load_in(const Cell* block, const char* name);
Cell* push(const Cell* cell);
Cell* push_from_context(Node context, uint32_t index);

}  // namespace refinement

namespace issue {

// Writes an issue! of the interned name into the cell.
Cell* make_at(Cell* cell, const char* name);
// make_at into a new cell: at the root block's tail while booting, else on
// the argument stack.
Cell* from_cstring(const char* name);
// A copy of the cell pushed, retyped to issue!.
Cell* push(const Cell* cell);

// Registers issue!.
void init();

}  // namespace issue
}  // namespace vek
