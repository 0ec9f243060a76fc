// function! (24, child of context!): a function written in the language.
//
// Cell: header 24 plus the spec's attribute flags (FLAG_TRACE, FLAG_NO_TRACE);
// word 1 the node of the function's context (kind function, values on the
// evaluation stack while it runs; its owner cell holds a copy of the
// function value); word 2 the spec block's node (head index 0); word 3 the
// node of the internal block of five cells, INTERNAL_* below.
//
// A call lays out on the stack one cell per spec entry in spec order:
// arguments, then per refinement a logic! and its arguments, then the local
// slots (/local as false, the rest none, pushed by init_locals).
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/datatypes/callable/callable.h"
#include "runtime/memory/series.h"

namespace vek::function {

// A function! cell: header 24 with the spec's flags, the context, the spec
// block's node and the internal block's node.
constexpr Cell cell(uint32_t header, Node context, Node spec, Node internal) {
    return Cell{header, uint32_t(context), uint32_t(spec), uint32_t(internal)};
}

// The internal block.
constexpr uint32_t INTERNAL_BODY = 0;        // deep copy of the body, or none!
constexpr uint32_t INTERNAL_ARGS_CACHE = 1;  // unset! until the evaluator fills it
constexpr uint32_t INTERNAL_CODE = 2;        // compiled code index as integer!, unset! when interpreted
constexpr uint32_t INTERNAL_OP_SOURCE = 3;   // unset!; an op! made from the function stores it here
constexpr uint32_t INTERNAL_EXTRA = 4;       // the maker's integer!, unset! for 0
constexpr uint32_t INTERNAL_SIZE = 5;
static_assert(INTERNAL_ARGS_CACHE == callable::INTERNAL_ARGS_CACHE);

// routine! shares the layout.
inline Node context_node(const Cell* function) {
    VEK_CHECK_LAYOUT(function, type_in<TYPE_FUNCTION, TYPE_ROUTINE>);
    return Node(function->data1);
}
inline Node spec_node(const Cell* function) {
    VEK_CHECK_LAYOUT(function, type_in<TYPE_FUNCTION, TYPE_ROUTINE>);
    return Node(function->data2);
}
inline Cell* internal(const Cell* function) { return callable::internal(function); }
inline Cell* body(const Cell* function) { return internal(function) + INTERNAL_BODY; }

// Checks a spec block from its head and answers its attribute flags
// (FLAG_TRACE, FLAG_NO_TRACE). Violations raise script bad-func-def with the
// spec; a type block value that is no datatype, typeset or word raises
// invalid-type-spec, a type word without value no-value; two arguments,
// locals or refinements of one name (any letter case) raise dup-vars.
uint32_t validate_spec(const Cell* spec);

// For the function native: appends the body's new words to the spec as
// locals (after a /local, added when missing). Collected: set-words
// anywhere in the body (blocks and parens, deeply), the words of the block
// or the word after foreach and remove-each, the word after repeat; never
// one already in the spec, nor the word local. /extern and the words after
// it are cut from the spec and never collected. The spec is changed in
// place; script bad-func-extern when a spec with /extern holds a value of
// another kind than a word, block or string.
void collect_locals(Cell* spec, const Cell* body);

// The number of local slots (/local itself and the words after it up to a
// set-word or the end), counted from the start index; 0 without /local, or
// -1 with require.
int32_t count_locals(const Cell* spec, uint32_t start, bool require);

// Pushes the local slots of a call: false for /local, then n - 1 none!.
// Nothing for n of 0 or less.
void init_locals(int32_t n);

// Builds a function! on the evaluation stack and answers its context. body
// may be nullptr or none! for no body; a context of Node::none makes one
// from the spec's words and binds the body's copy to it (never self). code
// is a compiled code index (0: interpreted), extra the maker's integer (0:
// none), flags the header flags. The spec is taken from its head (copied
// when its index is above 0); spec and body heads beyond their tails count
// as their tails. The spec is not validated here.
Node make_value(const Cell* spec, const Cell* body, Node context, uint32_t code, int32_t extra,
                uint32_t flags);

// Registers function!, after context!.
void init();

}  // namespace vek::function
