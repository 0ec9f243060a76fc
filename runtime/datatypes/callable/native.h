// native! (21): an entry of the natives table wrapped as a value.
//
// Cell: header 21; word 1 the entry's 1-based position in natives::table;
// word 2 the spec block's node; word 3 the node of the internal block of two
// cells: a context! holding the spec's words (values on the stack), then the
// argument cache (callable.h), unset! until the first call.
//
// action! and op! inherit its reflect, action! its make too.
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/datatypes/callable/callable.h"
#include "runtime/datatypes/word/context.h"
#include "runtime/memory/series.h"
#include "runtime/natives/natives.h"
#include "runtime/text/sink.h"

namespace vek::native {

constexpr uint32_t INTERNAL_CONTEXT = 0;
constexpr uint32_t INTERNAL_SIZE = 2;
constexpr uint32_t MAX_POSITION = natives::NATIVE_COUNT;  // 107

// Word 1. action! and op! share the layout: reflect and compare_positions
// read the word of all three.
inline uint32_t position(const Cell* native) {
    VEK_CHECK_LAYOUT(native, type_in<TYPE_NATIVE, TYPE_ACTION, TYPE_OP>);
    return native->data1;
}
inline natives::NativeFn entry(const Cell* native) { return natives::table[position(native) - 1]; }
// The context of the spec's words, where refinements given by name are
// found (action! and op! values of natives and actions alike).
inline Node context_node(const Cell* native) {
    return context::referred_node(callable::internal(native) + INTERNAL_CONTEXT);
}

// Pushes a new native! on the evaluation stack: the spec block (taken from
// its head, not copied) and a position 1-107 (else script bad-make-arg with
// the datatype and the position).
Cell* push(const Cell* spec, uint32_t position);

// push for either type: native! positions 1-107, action! slots as
// action::valid_slot.
Cell* push_made(uint32_t type, const Cell* interface, uint32_t code);

// Shared by native! and action!: the text "make <type> [" + the molded spec
// + "]", with the limit handling of every mold.
void mold_made(const char* prefix, const Cell* value, text::Sink& out, bool only);
// Shared by the three types: the code positions of two values of the same
// type compared, or -2.
int32_t compare_positions(const Cell* value1, const Cell* value2, int32_t op);

// Registers native!.
void init();

}  // namespace vek::native
