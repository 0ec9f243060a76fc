// Value cells: every value of the language is one 16-byte cell of four
// 32-bit words. Word 0 is the header (datatype id in bits 0-7, flags above);
// words 1-3 are the payload, laid out by each datatype.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

#include "runtime/core/flags.h"
#include "runtime/core/types.h"

namespace vek {

struct alignas(16) Cell {
    uint32_t header;
    uint32_t data1;
    uint32_t data2;
    uint32_t data3;
};
static_assert(sizeof(Cell) == 16);

inline uint32_t cell_type(const Cell* c) { return c->header & TYPE_MASK; }

// Payload word n, 1 to 3, for code that walks the words by number, as the
// collector does with the node words of the type list. Everything else reads
// a word by the name its datatype gives it.
inline uint32_t payload_word(const Cell* c, int n) { return n == 1 ? c->data1 : n == 2 ? c->data2 : c->data3; }

inline Cell* copy_cell(const Cell* src, Cell* dst) {
    if (src != dst) *dst = *src;
    return dst;
}

// Retyping keeps every flag bit above the datatype id.
inline Cell* set_type(Cell* c, uint32_t type) {
    c->header = type | (c->header & ~TYPE_MASK);
    return c;
}

inline void clear_new_line(uint32_t* header) { *header &= ~CELL_NEW_LINE; }

// 64-bit payloads sit in words 2-3; they are copied, never read through a cast.
inline double cell_get_f64(const Cell* c) {
    uint64_t bits = uint64_t(c->data2) | (uint64_t(c->data3) << 32);
    return std::bit_cast<double>(bits);
}
inline void cell_set_f64(Cell* c, double v) {
    uint64_t bits = std::bit_cast<uint64_t>(v);
    c->data2 = uint32_t(bits);
    c->data3 = uint32_t(bits >> 32);
}

inline Cell* make_unset(Cell* c) {
    *c = Cell{TYPE_UNSET, 0, 0, 0};
    return c;
}

}  // namespace vek
