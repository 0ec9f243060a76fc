// binary!: the byte string, a string!-like series whose buffer unit is one
// byte. Its text form is hexadecimal between "#{" and "}"; the base codecs
// (which also read bases 2 and 64) are in
// binary_codecs.h.
#pragma once

#include <cstddef>
#include <cstdint>

#include "runtime/core/cell.h"

namespace vek::binary {

// Bytes from the head to the tail (0 when the head lies beyond the tail).
uint32_t rs_length(const Cell* value);
// The byte at the head (the head clamped to the tail).
std::byte* rs_head(const Cell* value);

// Writes a new empty binary! (head 0) with room for capacity bytes into the
// cell (its flags kept) and returns the cell.
Cell* make_at(Cell* cell, uint32_t capacity);
// A new binary! holding a copy of n bytes, appended to the block, or in a new
// stack cell when the block is nullptr. The bytes must not lie in a series
// buffer (the allocation may move it).
Cell* load_in(const Cell* block, const void* bytes, uint32_t n);
// A new binary! holding a copy of n bytes pushed on the evaluation stack.
Cell* load_push(const void* bytes, uint32_t n);
// A copy of the cell pushed on the evaluation stack.
Cell* push(const Cell* value);

// Up to `max` bytes (8 at most) from the head, read big-endian: fewer bytes
// fill the low-order end. The bit pattern that integer! and float! make of a
// binary!.
uint64_t leading_bytes(const Cell* binary, uint32_t max);

// Registers binary!; string! must be registered first.
void init();

}  // namespace vek::binary
