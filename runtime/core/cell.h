// Value cells: every value of the language is one 16-byte cell of four
// 32-bit words. Word 0 is the header (datatype id in bits 0-7, flags above);
// words 1-3 are the payload, laid out by each datatype.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

namespace vek {

enum TypeId : uint32_t {
    TYPE_DATATYPE = 1, TYPE_UNSET, TYPE_NONE, TYPE_LOGIC, TYPE_BLOCK, TYPE_PAREN,
    TYPE_STRING, TYPE_FILE, TYPE_URL, TYPE_CHAR, TYPE_INTEGER, TYPE_FLOAT,
    TYPE_SYMBOL, TYPE_CONTEXT, TYPE_WORD, TYPE_SET_WORD, TYPE_LIT_WORD,
    TYPE_GET_WORD, TYPE_REFINEMENT, TYPE_ISSUE, TYPE_NATIVE, TYPE_ACTION, TYPE_OP,
    TYPE_FUNCTION, TYPE_PATH, TYPE_LIT_PATH, TYPE_SET_PATH, TYPE_GET_PATH,
    TYPE_ROUTINE, TYPE_BITSET, TYPE_TRIPLE, TYPE_OBJECT, TYPE_TYPESET, TYPE_ERROR,
    TYPE_VECTOR, TYPE_HASH, TYPE_PAIR, TYPE_PERCENT, TYPE_TUPLE, TYPE_MAP,
    TYPE_BINARY, TYPE_SERIES, TYPE_TIME, TYPE_TAG, TYPE_EMAIL, TYPE_HANDLE,
    TYPE_DATE, TYPE_PORT, TYPE_MONEY, TYPE_REF, TYPE_POINT2D, TYPE_POINT3D,
    TYPE_IMAGE, TYPE_EVENT,
    TYPE_COUNT = 57,  // rows of the action and name tables: ids 0 to 56
};

constexpr uint32_t TYPE_MASK = 0xFFu;
constexpr uint32_t CELL_NEW_LINE = 0x40000000u;  // a line break precedes this value in its block

struct alignas(16) Cell {
    uint32_t header;
    uint32_t data1;
    uint32_t data2;
    uint32_t data3;
};
static_assert(sizeof(Cell) == 16);

inline uint32_t cell_type(const Cell* c) { return c->header & TYPE_MASK; }

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
