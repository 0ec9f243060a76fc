// Value cells: every value of the language is one 16-byte cell of four
// 32-bit words. Word 0 is the header (datatype id in bits 0-7, flags above,
// all in core/flags.h); words 1-3 are the payload, laid out by each datatype.
//
// The payload of every datatype, as its header describes it. "node" marks a
// word the collector follows (the node words of core/types.def); "(node)" a
// word it follows only in some states, which gc/mark.cpp reads apart; "-" a
// word that carries nothing.
//
//   datatype       word 1                    word 2                     word 3
//   datatype!      the type id               -                          -
//   unset! none!   -                         -                          -
//   logic!         1 or 0                    -                          -
//   block! paren!  head index                node: cell buffer          -
//   path kinds     head index                node: cell buffer          -
//   hash!          head index                node: cell buffer          node: index hash table
//   string! file! url! tag! email! ref!
//                  head index (units)        node: text buffer          node: conversion cache, 0 so far
//   binary!        head index                node: byte buffer          -
//   bitset!        head index, 0             node: bit bytes            -
//   char!          -                         code point                 -
//   integer!       -                         value                      -
//   float! percent! time!
//                  -                         float64, low half          float64, high half
//   date!          packed date               time: float64, low half    high half
//   pair!          -                         x                          y
//   point2D!       x (float32)               y (float32)                -
//   point3D!       x (float32)               y (float32)                z (float32)
//   tuple!         bytes 1-4                 bytes 5-8                  bytes 9-12 (length in the header)
//   money!         currency, amount digits   amount digits              amount digits (sign in the header)
//   typeset!       member bits 0-31          bits 32-63                 bits 64-95
//   symbol!        alias id or -1            node: name string!         node: UTF-8 name bytes
//   context!       node: word table          (node): values block, or   -
//                                            the stack address of the
//                                            first value when ON_STACK
//   word! set-word! lit-word! get-word! refinement!
//                  node: context, 0 unbound  symbol id                  index in the context
//   issue!         0                         symbol id                  -1
//   native!        natives table position    node: spec block           node: internal block
//   action!        action slot               node: spec block           node: internal block
//   op!            a copy of its source's payload, so (node)s as its source type's (header bits 16-23)
//   function!      node: context             node: spec block           node: internal block
//   routine!       node: context             node: spec block           node: internal block
//   object! error! port!
//                  node: context             class id                   node: event record, 0 for none
//   map!           head index, 0             node: entry block          node: key hash table
//   handle!        kind                      value                      slot in the externals table, or
//                                                                       negative; marked apart
//   vector!        head index (elements)     node: element buffer       element type id
//   triple!        int32                     int32                      int32
//   image!         head index (pixels)       node: the image node       size: width bits 0-15,
//                                            (none without pixels)      height bits 16-31
//   event!         type id                   (node): a made event's     key and flags
//                                            block, or the backend's
//                                            message id
//   series!        no value has this type
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#ifndef NDEBUG
#include <cstdio>
#include <cstdlib>
#endif

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

// ---------------------------------------------------------------- payload words

// Payload word n (1 to 3), whatever the cell's type: for code that handles
// payloads without knowing their layout (moving fields between cells,
// hashing or comparing raw payloads, the collector). Code that knows the
// type uses the accessors its datatype's header gives beside its layout.
inline uint32_t payload_word(const Cell* c, int n) { return n == 1 ? c->data1 : n == 2 ? c->data2 : c->data3; }
inline void set_payload_word(Cell* c, int n, uint32_t word) {
    if (n == 1) c->data1 = word;
    else if (n == 2) c->data2 = word;
    else c->data3 = word;
}

// Whether two cells hold the same payload words, whatever they mean.
inline bool same_payload(const Cell* a, const Cell* b) {
    return payload_word(a, 1) == payload_word(b, 1) && payload_word(a, 2) == payload_word(b, 2) &&
           payload_word(a, 3) == payload_word(b, 3);
}

// The test of a layout check that names its types one by one.
template <uint32_t... ids>
constexpr bool type_in(uint32_t type) { return ((type == ids) || ...); }

// VEK_CHECK_LAYOUT(cell, test): a datatype's accessors start with it, test
// being a class predicate of types.h or type_in<...>, true for every type
// that uses the layout. In debug builds a cell of another type stops the
// program there, naming its type: it was read or written through a layout
// that is not its own. Release builds check nothing.
#ifdef NDEBUG
#define VEK_CHECK_LAYOUT(cell, ...) ((void)0)
#else
[[noreturn]] inline void layout_mismatch(uint32_t type, const char* test, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: a cell of type %u read through a layout for %s\n", file, line, type, test);
    std::abort();
}
#define VEK_CHECK_LAYOUT(cell, ...)                                                              \
    ((__VA_ARGS__)(::vek::cell_type(cell))                                                       \
         ? (void)0                                                                               \
         : ::vek::layout_mismatch(::vek::cell_type(cell), #__VA_ARGS__, __FILE__, __LINE__))
#endif

// A cell of the header (a type id and its flag bits) with every payload
// word 0: a value that has no payload (unset!, none!), or a cell that its
// type's constructor or make_at fills next. A cell with a payload is made by
// its type's own constructor, beside its layout, never by spelling the
// payload words out.
constexpr Cell blank_cell(uint32_t header) { return Cell{header, 0, 0, 0}; }

inline Cell* make_unset(Cell* c) {
    *c = blank_cell(TYPE_UNSET);
    return c;
}

}  // namespace vek
