// bitset!: a set of non-negative integers, above all of code points, kept as
// a bit array in a byte series. Bit n lives in byte n >> 3 under the mask
// 0x80 >> (n & 7), so bit 0 is the high bit of the first byte. A bitset cell
// is laid out as a series cell: word 1 the head index (always 0, never
// read), word 2 the node of the byte buffer, word 3 unused.
//
// The stored size is 8 bits per byte of the buffer. The buffer flag
// string::BITSET_COMPLEMENTED (core/flags.h) says what lies beyond it: when
// it is set every bit at or above the size is a member, else none is. The
// stored bytes always give membership below the size. A write to a bit past
// the size that changes its membership first grows the buffer with bytes of
// the implied value (0, or 255 in a complemented set).
//
// Members are named by values: a char! (its code point), an integer!, a
// float! (truncated toward zero), a string! (each code point from its head)
// and a block! of these, where a char! or integer! followed by the word `-`
// and a value of the same type names the inclusive range between them. The
// highest bit a bitset may hold is MAX_BIT, so that its size in bits fits an
// integer!.
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/memory/series.h"

namespace vek::bitset {

constexpr int64_t MAX_BIT = 2147483639;  // (MAX_BIT >> 3) + 1 bytes still count below 2^31 bits

// The node of the byte buffer.
inline Node bits_node(const Cell* bitset) {
    VEK_CHECK_LAYOUT(bitset, type_in<TYPE_BITSET>);
    return Node(bitset->data2);
}
// Whether every bit beyond the stored ones is a member.
inline bool complemented(const Cell* bitset) {
    return (node_buffer(bits_node(bitset))->flags & string::BITSET_COMPLEMENTED) != 0;
}

// Whether the bit is a member: a stored bit as it is stored, a bit beyond
// them (or a negative one) as the complemented flag says.
bool has_member(Node bits, int64_t bit);

// The set operations of the and~, or~ and xor~ actions and of the set
// natives.
enum class SetOp { or_, and_, xor_, union_, intersect, exclude, difference };

// Combines two bitsets into a new one written into set1. Every bit is
// combined as the operation asks, the bits beyond the stored size of either
// operand included; the result is complemented when the operation gives a
// member for two bits that both lie beyond both sizes. The result holds as
// many bytes as the longer operand, except that and~ gives the shorter's
// count when the shorter is not complemented (the bytes beyond it are all
// 0). A set2 that is no bitset! raises script invalid-type with its datatype.
Cell* set_operation(Cell* set1, const Cell* set2, SetOp op);

// Registers bitset!.
void init();

}  // namespace vek::bitset
