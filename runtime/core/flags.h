// Every flag bit of cell headers and series buffers, in one place, so that a
// new flag is chosen in sight of all the others. Each bit keeps the name and
// the namespace of the module that reads it.
//
// A cell header holds the datatype id in bits 0-7 and flags above: a few are
// common to every cell, the rest belong to the cell's datatype. A cell has
// one datatype at a time, so two datatypes may give the same bit different
// meanings; no datatype may take an id bit or a common bit. The flags of a
// series buffer share one word whatever the buffer holds: each is a bit of
// its own. The static_asserts below keep both rules.
#pragma once

#include <cstdint>
#include <initializer_list>

#include "runtime/core/types.h"

namespace vek {

namespace flags {

// No bit set in two of the masks.
constexpr bool disjoint(std::initializer_list<uint32_t> masks) {
    uint32_t seen = 0;
    for (uint32_t mask : masks) {
        if (seen & mask) return false;
        seen |= mask;
    }
    return true;
}

}  // namespace flags

/* {====== Cell headers: the bits every cell has ====== */

constexpr uint32_t CELL_NEW_LINE = 0x40000000u;  // a line break precedes this value in its block

// What no datatype's own bits may touch.
constexpr uint32_t CELL_COMMON_BITS = TYPE_MASK | CELL_NEW_LINE;

/* }====== */

/* {====== Cell headers: each datatype's own bits ====== */

// context! (the first cell of a context series, context.h).
namespace context {
constexpr uint32_t KIND_SHIFT = 11;
constexpr uint32_t KIND_MASK = 0x1800u;    // bits 11-12: global, function or object context
constexpr uint32_t ON_STACK = 0x400000u;   // values live on the evaluation stack
constexpr uint32_t FLAG24 = 0x1000000u;    // stored and copied for objects and functions
}  // namespace context
namespace ownership {
// On an object's context cell: the object owns values.
constexpr uint32_t CONTEXT_IS_OWNER = 0x10000u;
}  // namespace ownership
static_assert(flags::disjoint({CELL_COMMON_BITS, context::KIND_MASK, context::ON_STACK, context::FLAG24,
                               ownership::CONTEXT_IS_OWNER}));

// word! entries of an object context's word table.
namespace context {
constexpr uint32_t WORD_ASSIGNED = 0x2000u;  // the word has been assigned
}  // namespace context
static_assert(flags::disjoint({CELL_COMMON_BITS, context::WORD_ASSIGNED}));

// typeset! entries of an argument cache (args_cache.h).
namespace eval {
constexpr uint32_t ARG_MODE_SHIFT = 20;
constexpr uint32_t ARG_MODE_MASK = 0x300000u;  // bits 20-21: how the argument is passed
}  // namespace eval
static_assert(flags::disjoint({CELL_COMMON_BITS, eval::ARG_MODE_MASK}));

// function!: the spec's attributes.
namespace function {
constexpr uint32_t FLAG_NO_TRACE = 0x200;  // runs with tracing off
constexpr uint32_t FLAG_TRACE = 0x400;     // traced while a tracer is installed
}  // namespace function
static_assert(flags::disjoint({CELL_COMMON_BITS, function::FLAG_NO_TRACE, function::FLAG_TRACE}));

// routine!.
namespace routine {
constexpr uint32_t FLAG_CELLS = 0x8000;  // arguments and result passed as cells
constexpr uint32_t ARITY_SHIFT = 25;
constexpr uint32_t ARITY_MASK = 0x3E000000u;  // bits 25-29
}  // namespace routine
static_assert(flags::disjoint({CELL_COMMON_BITS, routine::FLAG_CELLS, routine::ARITY_MASK}));

// op!: bits 16-23 the datatype the operator was made from; bits 8-11 one
// more than the operation the evaluator computes itself for it, 0 for none.
namespace op {
constexpr uint32_t SOURCE_SHIFT = 16;
constexpr uint32_t INLINE_SHIFT = 8;
constexpr uint32_t INLINE_MASK = 0xF00u;
}  // namespace op
static_assert(flags::disjoint({CELL_COMMON_BITS, TYPE_MASK << op::SOURCE_SHIFT, op::INLINE_MASK}));

// tuple!: bits 19-22 the length.
namespace tuple {
constexpr uint32_t SIZE_SHIFT = 19;
constexpr uint32_t SIZE_MASK = 0xFu << SIZE_SHIFT;
}  // namespace tuple
static_assert(flags::disjoint({CELL_COMMON_BITS, tuple::SIZE_MASK}));

// money!.
namespace money {
constexpr uint32_t SIGN_BIT = 1u << 14;  // set for a negative amount
}  // namespace money
static_assert(flags::disjoint({CELL_COMMON_BITS, money::SIGN_BIT}));

// image!: its owned flag is on the cell (other series keep BUF_OWNED).
namespace ownership {
constexpr uint32_t IMAGE_OWNED = 0x10000u;
}  // namespace ownership
static_assert(flags::disjoint({CELL_COMMON_BITS, ownership::IMAGE_OWNED}));

// event!.
constexpr uint32_t EVENT_MADE = 0x1000u;  // made by script: word 2 holds its block's node, or 0
static_assert(flags::disjoint({CELL_COMMON_BITS, EVENT_MADE}));

/* }====== */

/* {====== Series buffers ====== */

constexpr uint32_t BUF_UNIT_MASK = 0x1Fu;        // element width in bytes
constexpr uint32_t BUF_KIND_CELLS = 0x20u;       // elements are value cells
constexpr uint32_t BUF_KIND_HASH = 0x40u;        // a hash-table record
constexpr uint32_t BUF_KIND_MASK = 0x60u;        // neither bit: raw bytes
namespace eval {
// Library code: blocks loaded from the embedded library (evaluator.h).
constexpr uint32_t BUF_LIBRARY = 0x00008000u;
}  // namespace eval
constexpr uint32_t BUF_OWNED = 0x00020000u;      // has a record in the owner table
namespace unicode {
constexpr uint32_t BUF_FROM_UTF16 = 0x00040000u;  // the text was loaded from UTF-16
}  // namespace unicode
namespace string {
// A bitset! keeps this flag in its buffer: every bit beyond the stored ones
// is a member when it is set.
constexpr uint32_t BITSET_COMPLEMENTED = 0x00080000u;
}  // namespace string
constexpr uint32_t BUF_HEAP = 0x00100000u;       // outside the series frames, never moved
constexpr uint32_t BUF_BIG = 0x01000000u;        // lives alone in a big frame
namespace gc {
// Set on a buffer that a pointer on the C++ stack holds, for the length of
// one collection: compaction leaves it where it is.
constexpr uint32_t BUF_PINNED = 0x04000000u;
}  // namespace gc
constexpr uint32_t BUF_MARK = 0x08000000u;       // collector mark
constexpr uint32_t BUF_MID = 0x10000000u;        // head started in the middle of the area
constexpr uint32_t BUF_CREATED = 0x20000000u;    // set on every buffer at creation
constexpr uint32_t BUF_USED = 0x80000000u;       // in use; cleared when abandoned by growth
// Bits that describe a buffer's own allocation: never carried to another buffer.
constexpr uint32_t BUF_ALLOCATION_BITS = BUF_HEAP | BUF_BIG | BUF_MARK | BUF_MID | BUF_CREATED | BUF_USED;

static_assert(BUF_KIND_MASK == (BUF_KIND_CELLS | BUF_KIND_HASH));
static_assert(flags::disjoint({BUF_UNIT_MASK, BUF_KIND_CELLS, BUF_KIND_HASH, eval::BUF_LIBRARY, BUF_OWNED,
                               unicode::BUF_FROM_UTF16, string::BITSET_COMPLEMENTED, BUF_HEAP, BUF_BIG,
                               gc::BUF_PINNED, BUF_MARK, BUF_MID, BUF_CREATED, BUF_USED}));

/* }====== */

}  // namespace vek
