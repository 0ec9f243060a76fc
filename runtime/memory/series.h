// Series buffers and nodes. A series value holds a node: a 32-bit word in a
// node frame holding the offset of its buffer, so that a buffer can move and
// only the node is re-pointed. A buffer is a header followed by its elements.
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/memory/region.h"

namespace vek {

// The offset of a node word in the Vek heap.
enum class Node : uint32_t { none = 0 };

// The flags of a buffer made from another (grown or copied): the source's unit
// and type bits, and the allocation bits of its own.
inline uint32_t inherited_flags(uint32_t source, uint32_t own) {
    return (source & ~BUF_ALLOCATION_BITS) | (own & BUF_ALLOCATION_BITS);
}

// The header is padded to 32 bytes so that elements are 16-byte aligned.
struct SeriesBuffer {
    uint32_t flags;
    Node node;          // back-pointer to the node; none once abandoned
    uint32_t capacity;  // bytes in the element area, a multiple of 16
    Off offset;         // first used element
    Off tail;           // just past the last used element
    // Spare, zero: the evaluator's decoded form of a block is to take
    // reserved_[0]; reserved_[1] is free.
    uint32_t reserved_[2];
    // The parse engine's keyword cache of these cells read as rules (a
    // byte series, runtime/parse/keywords.cpp), or none. A series made or
    // regrown starts without one; the collector keeps it while the buffer
    // lives.
    Node rule_keywords;

    std::byte* area() { return reinterpret_cast<std::byte*>(this + 1); }
    std::byte* area_end() { return area() + capacity; }
    std::byte* first() { return region::at_unchecked<std::byte>(offset); }
    std::byte* last() { return region::at_unchecked<std::byte>(tail); }
    uint32_t unit() const { return flags & BUF_UNIT_MASK; }
    uint32_t unit_shift() const { return 31 - std::countl_zero(unit() | 1u); }
    uint32_t used_bytes() const { return tail - offset; }
    uint32_t length() const { return used_bytes() >> unit_shift(); }
    std::byte* at(uint32_t index) { return first() + (size_t(index) << unit_shift()); }
    Cell* cells() { return reinterpret_cast<Cell*>(first()); }
    Cell* cells_tail() { return reinterpret_cast<Cell*>(last()); }
};
static_assert(sizeof(SeriesBuffer) == 32);

// Space after every buffer's area, so that a pointer one past its end still
// belongs to it.
constexpr uint32_t BUF_GAP = 16;

// A node in use, the buffer it points at and a buffer's bounds always have
// an offset, and these run at every series access or move: they skip the
// none test.
inline uint32_t* node_word(Node n) { return region::at_unchecked<uint32_t>(Off(uint32_t(n))); }
inline SeriesBuffer* node_buffer(Node n) { return region::at_unchecked<SeriesBuffer>(Off(*node_word(n))); }
inline void node_point(Node n, SeriesBuffer* b) { *node_word(n) = uint32_t(region::off_unchecked(b)); }
inline Node node_of(const void* node_word_address) { return Node(uint32_t(region::off_unchecked(node_word_address))); }

// Series value cells: word 1 the head index, word 2 the node, word 3 extra
// (each type's header says what it holds there). map! and bitset! are laid
// out the same.
inline void check_series_layout([[maybe_unused]] const Cell* c) {
    VEK_CHECK_LAYOUT(c, [](uint32_t type) { return is_series(type) || type == TYPE_MAP || type == TYPE_BITSET; });
}
inline uint32_t series_index(const Cell* c) {
    check_series_layout(c);
    return c->data1;
}
inline void set_series_index(Cell* c, uint32_t index) {
    check_series_layout(c);
    c->data1 = index;
}
inline Node series_node(const Cell* c) {
    check_series_layout(c);
    return Node(c->data2);
}
inline void set_series_node(Cell* c, Node node) {
    check_series_layout(c);
    c->data2 = uint32_t(node);
}
inline SeriesBuffer* series_buffer(const Cell* c) { return node_buffer(series_node(c)); }
// A series value of the type over the node's series, at its head, word 3 clear.
inline Cell series_cell(uint32_t type, Node node) {
    Cell c{type, 0, uint32_t(node), 0};
    check_series_layout(&c);
    return c;
}
// Word 3 for code that keeps or clears it whatever it holds.
inline uint32_t series_extra(const Cell* c) {
    check_series_layout(c);
    return c->data3;
}
inline void set_series_extra(Cell* c, uint32_t extra) {
    check_series_layout(c);
    c->data3 = extra;
}

namespace series {

// Appends one cell (header unset!, payload as it was) and returns it; the
// buffer doubles first when full, so re-read any address held before.
Cell* alloc_tail_cell(SeriesBuffer* buffer);
// Grows when needed (to 2 x n when the capacity is below n, else to twice the
// capacity), advances the tail by n bytes and returns the old tail.
std::byte* reserve_tail(SeriesBuffer* buffer, uint32_t n);
// A new buffer holding count elements from start, with the source's unit and
// type bits but never its owner bit.
Node copy_part(Node source, uint32_t start, uint32_t count);

}  // namespace series

namespace block {
inline Cell* alloc_tail(const Cell* block) { return series::alloc_tail_cell(series_buffer(block)); }
}  // namespace block

}  // namespace vek
