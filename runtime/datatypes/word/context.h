// Contexts map words to values. The global context holds every word bound
// nowhere else; a function's context keeps its values on the evaluation
// stack while it runs; an object's context keeps them in a block. A word cell
// holds its context's node and its index there, so a bound lookup is one
// indexing step.
//
// A context is a two-cell series named by its node:
// - the context cell: header 14 with the kind in bits 11-12 and the flags
//   below; word 1 the node of the word table (a kind-2 hash table whose block
//   holds one word! entry per word, in index order, each bound to this
//   context: word 1 its node, word 2 the symbol id, word 3 the value index);
//   word 2 the node of the values block, or for a stack context the Vek-heap
//   offset of its first argument cell (0 while no call runs it);
// - the owner cell: a copy of the object, function or error that owns the
//   context, unset! until set; an object owner's word 3 is its event record.
//
// Invariant: a non-stack context's values block has exactly one cell per
// word entry. In the global context a case variant's entry takes the value
// index of the spelling found first, so all spellings share one value.
//
// Cell addresses answered here point into buffers that grow: they are valid
// until the next call that may allocate.
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/memory/series.h"

namespace vek::context {

enum Kind : uint32_t { KIND_GLOBAL = 0, KIND_FUNCTION = 1, KIND_OBJECT = 2 };

constexpr uint32_t GLOBAL_SIZE = 4000;

// The global context's node; a collector root.
extern Node global;
// The node of the global context's values block, which the context keeps for
// good (the block grows in place), so that the hot lookups reach a global
// word's value without reading the context cell.
extern Node global_values;

// Runtime initialisation: the global context (a heap object); the
// registration of context! (no actions) and of the global context's
// collector root (at every start).
void init_global();
void init();

// ---------------------------------------------------------------- payload

// Word 1 of the context cell: the word table.
inline Node table_of(const Cell* context) {
    VEK_CHECK_LAYOUT(context, type_in<TYPE_CONTEXT>);
    return Node(context->data1);
}
// Word 2: the values block's node, or a stack context's first argument
// cell (Off(0) while no call runs it).
inline Node values_node(const Cell* context) {
    VEK_CHECK_LAYOUT(context, type_in<TYPE_CONTEXT>);
    return Node(context->data2);
}
inline void set_values_node(Cell* context, Node values) {
    VEK_CHECK_LAYOUT(context, type_in<TYPE_CONTEXT>);
    context->data2 = uint32_t(values);
}
inline Off stack_values(const Cell* context) {
    VEK_CHECK_LAYOUT(context, type_in<TYPE_CONTEXT>);
    return Off(context->data2);
}
inline void set_stack_values(Cell* context, Off values) {
    VEK_CHECK_LAYOUT(context, type_in<TYPE_CONTEXT>);
    context->data2 = uint32_t(values);
}
// Whether word 2 holds anything: a values block, or a running call's cells.
inline bool has_values(const Cell* context) {
    VEK_CHECK_LAYOUT(context, type_in<TYPE_CONTEXT>);
    return context->data2 != 0;
}
// A context! cell kept elsewhere (a native!'s internal block) only refers
// to a context: its word 1 holds the context's node.
inline Node referred_node(const Cell* reference) {
    VEK_CHECK_LAYOUT(reference, type_in<TYPE_CONTEXT>);
    return Node(reference->data1);
}
// A reference to the function context of the node, as a native!'s internal
// block keeps it.
inline Cell function_reference(Node context) {
    return Cell{TYPE_CONTEXT | ON_STACK | (KIND_FUNCTION << KIND_SHIFT), uint32_t(context), 0, 0};
}

// ---------------------------------------------------------------- access

inline Cell* cell_of(Node context) { return node_buffer(context)->cells(); }
inline Cell* owner_of(Node context) { return node_buffer(context)->cells() + 1; }
// The context cell opens its series' area, so the buffer header precedes it.
inline Node node_of(const Cell* context) { return (reinterpret_cast<const SeriesBuffer*>(context) - 1)->node; }
inline uint32_t kind_of(const Cell* context) { return (context->header & KIND_MASK) >> KIND_SHIFT; }
inline bool on_stack(const Cell* context) { return (context->header & ON_STACK) != 0; }
inline Cell* global_cell() { return cell_of(global); }
// The first value cell, or nullptr while a stack context has no call running.
// Every other context has its values block from the start.
inline Cell* values_base(const Cell* context) {
    if (on_stack(context)) return has_values(context) ? region::at_unchecked<Cell>(stack_values(context)) : nullptr;
    return node_buffer(values_node(context))->cells();
}
// values_base of the global context.
inline Cell* global_values_base() { return node_buffer(global_values)->cells(); }

Node words_node(const Cell* context);
SeriesBuffer* words_buffer(const Cell* context);
Cell* word_at(const Cell* context, uint32_t index);
uint32_t word_count(const Cell* context);

// ---------------------------------------------------------------- lookup and insertion

// The 0-based position of the symbol's entry, or -1.
int32_t find_word(const Cell* context, uint32_t symbol, bool case_insensitive);
// The found position, or -1 after appending a new entry whose position goes
// to *index (a found one's goes there too). Appends no value cell.
int32_t find_or_add_word(Cell* context, uint32_t symbol, bool case_insensitive, int32_t* index);
// Finds or adds case-insensitively; a new word of a non-stack context gets an
// unset! value. Answers the position.
int32_t add_word(Cell* context, const Cell* word);
// Adds the word with a copy of the value only when it is absent.
void add_word_with_value(Cell* context, const Cell* word, const Cell* value);
// Finds or adds case-insensitively, then stores a copy of the value.
void set_word_value(Cell* context, const Cell* word, const Cell* value);

// The global context's entry for the symbol, added when absent. With
// keep_spelling, an entry found under another spelling is copied to the root
// block with the caller's symbol, and the copy is answered.
Cell* add_global(uint32_t symbol, bool case_insensitive, bool keep_spelling);
// add_global exactly, keeping the spelling; while booting the entry is also
// copied to the root block, and that copy (which never moves) is answered.
Cell* add_global_word(uint32_t symbol);
// Exact lookup, adding when absent, then the value stored.
void set_global(uint32_t symbol, const Cell* value);
// The value cell of a symbol known to be in the global context.
Cell* get_global_cell(uint32_t symbol);
// The value cell of a symbol known to be in the context (a stack context's
// symbol is looked up in the global context instead).
Cell* get_value_cell(uint32_t symbol, Node context);
// The word's value cell (an index of -1 resolved by exact lookup) becomes an
// integer!.
void set_integer(Cell* word, int32_t value);

// ---------------------------------------------------------------- bound words

// The word's value cell in its own context. An unbound word raises no-value
// (self gives the owner cell); a context without values raises
// not-in-context.
Cell* get(const Cell* word);
Cell* get_in(const Cell* word, const Cell* context);
// Stores a copy of the value and answers the cell written. A word with index
// -1 is looked up, and added when absent; the index goes into the word. A
// context without values raises not-defined. An object context marks the
// word's entry assigned and, with notify and an event record, fires
// sockets::on_change.
Cell* set_in(Cell* word, const Cell* value, Cell* context, bool notify);
Cell* set(Cell* word, const Cell* value);

// A function context keeps its values pointer (its call's argument slots on
// the stack) in its context cell; the stack moves it at each call and back.
Off stack_values_pointer(Node context);
void set_stack_values_pointer(Node context, Off values);

// ---------------------------------------------------------------- making and binding

// A new context with room for size words (0 counts as 1). With a prototype
// context its words are copied (fresh unset! values).
Node create(uint32_t size, bool on_stack, bool flag24, const Cell* prototype, uint32_t kind);
// A context holding the word!, get-word!, lit-word! and refinement! symbols
// of the spec block, from head to tail.
Node make_from_spec(const Cell* spec, bool on_stack, bool flag24, uint32_t kind);
// A copy of the context named by the value's word 1, with fresh values and
// the given kind; the value is repointed to it.
Node clone(Cell* value, uint32_t kind);

// Binds the word to the context when its symbol is there (case-insensitive);
// answers the index or -1.
int32_t bind_word(const Cell* context, Cell* word);
// Binds every word kind in the block, deeply (blocks, parens, paths, hash!),
// never visiting a series twice on one descent. With self, the word self is
// bound to the context with index -1 (it then reads as the owner).
void bind(const Cell* block, const Cell* context, bool self);
// Adds every set-word! of the block from its head; answers whether any word
// was new.
bool collect_set_words(Cell* context, Cell* block);

}  // namespace vek::context
