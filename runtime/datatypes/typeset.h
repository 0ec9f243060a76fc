// typeset!: a set of datatypes in one cell. Words 1-3 hold 96 bits; datatype
// id t is bit 0x80 >> (t & 7) of byte t >> 3, bytes counted in memory order
// from the first byte of word 1 (so ids 0-7 share the first byte, id 0 in its
// highest bit). Bit 0 names no datatype, and the operations that list members
// look only at ids 1 to the highest registered one.
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"

namespace vek::typeset {

// A typeset! of the three payload words of bits.
constexpr Cell cell(uint32_t word1, uint32_t word2, uint32_t word3) { return Cell{TYPE_TYPESET, word1, word2, word3}; }

// Payload word n (1 to 3) of the 96 bits.
inline uint32_t bits(const Cell* typeset, int n) {
    VEK_CHECK_LAYOUT(typeset, type_in<TYPE_TYPESET>);
    return payload_word(typeset, n);
}
inline void set_bits(Cell* typeset, int n, uint32_t value) {
    VEK_CHECK_LAYOUT(typeset, type_in<TYPE_TYPESET>);
    set_payload_word(typeset, n, value);
}

// ---------------------------------------------------------------- bits

void clear(Cell* typeset);
bool contains(const Cell* typeset, uint32_t type);
void set(Cell* typeset, uint32_t type);
// Members among the registered datatypes.
uint32_t count(const Cell* typeset);
// A datatype! sets its bit and a typeset! is merged; a word! counts as its
// value. Anything else raises script invalid-arg with the value.
void add(Cell* typeset, const Cell* value);

// ---------------------------------------------------------------- making

// A new typeset of the three words at the block's tail.
Cell* make_in_block(const Cell* block, uint32_t word1, uint32_t word2, uint32_t word3);
// The typeset of an argument declared without types: every datatype but
// unset!.
Cell* make_any_in_block(const Cell* block);
// The typeset of a block of types: words stand for their values
// (no-value when they have none), datatypes and typesets add their members,
// a word whose value is a word adds object!, nested blocks are skipped, and
// anything else raises script invalid-type-spec with the value.
Cell* make_from_spec_in_block(const Cell* block, const Cell* spec);
// A new block in the result cell holding the name word of each member, in id
// order.
Cell* to_block(const Cell* typeset, Cell* result);
// A copy on the evaluation stack.
Cell* push(const Cell* typeset);

// ---------------------------------------------------------------- set arithmetic

// Operation codes shared with the set natives.
enum SetOp : int32_t {
    OP_OR = 5, OP_AND = 6, OP_XOR = 7, OP_UNIQUE = 8, OP_UNION = 9, OP_INTERSECT = 10,
    OP_EXCLUDE = 11, OP_DIFFERENCE = 12,
};

// The first operand is the current result cell, the second the cell after
// it: a typeset, or a datatype standing for the set of that one type
// (anything else raises script invalid-arg). The result replaces the first
// operand, which unique leaves as it is.
Cell* do_set_op(int32_t op);

// Registers typeset!.
void init();

}  // namespace vek::typeset
