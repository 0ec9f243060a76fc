// tuple!: 3 to 12 unsigned bytes held inside one cell, written as dotted
// decimals (1.2.3, 255.0.0.128). The header holds the length in bits 19-22;
// bytes 4-15 of the cell the bytes, the first at byte 4. Bytes past the
// length are not part of the value and nothing reads them.
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"

namespace vek::tuple {

constexpr uint32_t MIN_SIZE = 3;
constexpr uint32_t MAX_SIZE = 12;

inline uint32_t size(const Cell* cell) { return (cell->header & SIZE_MASK) >> SIZE_SHIFT; }
// Byte i, 0-based.
uint8_t get_byte(const Cell* cell, uint32_t i);

// Writes a tuple! of the bytes (the cell's flags kept): the length is the
// count, raised to 3 with zero bytes; a count above 12 keeps the first 12.
// The bytes past the length are cleared.
Cell* make_at(Cell* cell, const uint8_t* bytes, uint32_t count);
// A new tuple! pushed on the argument stack, of that size (3 to 12) and the
// three payload words (the bytes packed little-endian).
Cell* push(uint32_t size, uint32_t word1, uint32_t word2, uint32_t word3);
// A new tuple! pushed on the argument stack with each integer's low byte as
// one byte, at least 3 bytes (missing ones 0).
Cell* push_bytes(uint32_t count, const int32_t* values);
// Writes R.G.B, or R.G.B.A when alpha is not -1, into the cell.
Cell* make_rgba(Cell* cell, uint8_t red, uint8_t green, uint8_t blue, int32_t alpha);

// Byte-wise arithmetic, op an integer::MathOp. The tuple combines with an
// integer! (every byte against it), a float! or percent! (through the float
// kernel, truncated) or a tuple! (byte against byte, the longer length
// kept); each byte ends in 0..255. A number on the left is moved to the
// right, except under subtract and divide (script not-related). Another
// right operand, or no tuple on either side, raises script invalid-type; an
// integer divide or remainder by zero math zero-divide. The result overwrites value1, which is returned.
Cell* math_op(Cell* value1, const Cell* value2, int32_t op);

// Registers tuple!.
void init();

}  // namespace vek::tuple
