// binary!: the byte string, a string!-like series whose buffer unit is one
// byte. Its text form is hexadecimal between "#{" and "}"; the base codecs
// (bases 2, 16, 58 and 64) are in binary_codecs.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "runtime/core/cell.h"

namespace vek::binary {

// Bytes from the head to the tail (0 when the head lies beyond the tail).
uint32_t rs_length(const Cell* value);
// The byte at the head (the head clamped to the tail).
std::byte* rs_head(const Cell* value);

// Writes a new empty binary! (head 0) with room for capacity bytes into the
// cell (its flags kept) and returns the cell.
Cell* make_at(Cell* cell, uint32_t capacity);
// Writes a new binary! (head 0) holding a copy of n bytes into the cell and
// returns the cell. The bytes must not lie in a series buffer.
Cell* load_at(Cell* cell, const void* bytes, uint32_t n);
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

// Compares the bytes from the heads: value2 may be any text (its buffer's
// raw bytes, whatever its unit) or a binary!; another type gives -2. Plain,
// the first differing byte (unsigned) orders them, then the shorter comes
// first; the equality operations answer 1 for different lengths. In match
// mode value1 matches (0) when it starts with value2's bytes; an empty value2
// matches under the equality operations and find.
int32_t compare_bytes(const Cell* value1, const Cell* value2, int32_t op, bool match);

// ---------------------------------------------------------------- values as bytes

using Bytes = std::vector<uint8_t>;

// How value_bytes treats a value that has no bytes of its own.
enum class ValueMode : uint8_t {
    insert,  // append and insert: script bad-to-arg with binary! and the value
    change,  // change: the UTF-8 of its formed text
};

// Appends the bytes the value stands for to out: a char!'s UTF-8 (above
// U+10FFFF: script invalid-char), an integer! as one byte (outside -128..255:
// script invalid-arg), a binary!'s bytes and a text's UTF-8 from the head, a
// tuple!'s bytes, and the values of a block!, paren! or hash! from the head
// in turn. A limit of 0 or more keeps that many bytes, or that many values of
// a block.
void value_bytes(const Cell* value, int32_t limit, ValueMode mode, Bytes& out);

// to binary! of the value, written into result: an integer! as 4 bytes and a
// float! or percent! as the 8 of its double, most significant first; an
// issue! as from_issue; a bitset!'s whole bit array; anything else as
// value_bytes in insert mode (raising as it does).
Cell* convert(Cell* result, const Cell* spec_value, uint32_t type);
// Writes the binary! that the issue's text spells in base 16 into result and
// returns its length; text that is not hexadecimal raises script
// invalid-data with the issue.
uint32_t from_issue(const Cell* issue, Cell* result);

// Registers binary!; string! must be registered first.
void init();

}  // namespace vek::binary
