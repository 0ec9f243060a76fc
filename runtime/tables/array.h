// Fixed-unit arrays: raw series of bytes or 32-bit items for runtime tables
// (the hash tables' chains, the screen layer's buffers) rather than value
// cells. An array is its node; the buffer's unit field is the item width and
// the items run from the buffer's offset to its tail.
//
// Nothing is range-checked: callers pass indexes inside the array. pick and
// poke indexes are 1-based; the offsets that find answers are 0-based bytes
// from the first item.
#pragma once

#include <cstddef>
#include <cstdint>

#include "runtime/memory/series.h"

namespace vek::array {

// An empty array with room for count items (never less than 16 bytes).
Node make(uint32_t count, uint32_t unit);

uint32_t length(Node array);
void clear(Node array);
// Drops the item at the 1-based index and every item after it.
void cut_at(Node array, uint32_t index);
// Same capacity, flags and items.
Node copy(Node array);
// Valid until the next call that may allocate.
std::byte* data(Node array);

void append_byte(Node array, uint8_t byte);
uint8_t pick_byte(Node array, uint32_t index);
// source must not lie in a series buffer that the append may move.
void append_bytes(Node array, const void* source, uint32_t length);
void remove_bytes(Node array, uint32_t offset, uint32_t count);

void append_ptr(Node array, uint32_t value);
// Byte offset of the first equal item, or -1.
int32_t find_ptr(Node array, uint32_t value);
uint32_t pick_ptr(Node array, uint32_t index);
void poke_ptr(Node array, uint32_t index, uint32_t value);
// Removes the first equal item; an absent value changes nothing.
void remove_ptr(Node array, uint32_t value);

}  // namespace vek::array
