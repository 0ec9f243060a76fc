// The text codecs for bytes in bases 2, 16 and 64. Encoders write into a
// buffer the caller has sized and answer its new end; decoders read n code
// points of a text buffer of 1, 2 or 4 byte units and make a new binary!, or
// answer nullptr (making nothing) when the text is not valid.
#pragma once

#include <cstddef>
#include <cstdint>

#include "runtime/core/cell.h"

namespace vek::binary {

// Characters needed to encode n bytes, counted in 64 bits so that no input
// length a buffer can hold wraps them round.
inline uint64_t base2_size(uint64_t n) { return n * 8; }
inline uint64_t base16_size(uint64_t n) { return n * 2; }
inline uint64_t base64_size(uint64_t n) { return (n + 2) / 3 * 4; }
// The same for a base of 2, 16 or 64.
inline uint64_t encoded_size(int32_t base, uint64_t n) {
    return base == 2 ? base2_size(n) : base == 16 ? base16_size(n) : base64_size(n);
}

uint8_t* encode_base2(uint8_t* buffer, const uint8_t* bytes, uint32_t n);
uint8_t* encode_base16(uint8_t* buffer, const uint8_t* bytes, uint32_t n);
uint8_t* encode_base64(uint8_t* buffer, const uint8_t* bytes, uint32_t n);

// Blanks (code points up to 32) are skipped and ";" starts a comment that
// runs to the end of the line. base 2: eight digits a byte, a short last
// byte is invalid. base 16: two digits a byte, a last lone digit is
// dropped. base 64: "=" ends the data; characters left without "=" are
// dropped; a code point of 128 or more is invalid.
Cell* decode_base2(Cell* result, const std::byte* text, uint32_t n, uint32_t unit);
Cell* decode_base16(Cell* result, const std::byte* text, uint32_t n, uint32_t unit);
Cell* decode_base64(Cell* result, const std::byte* text, uint32_t n, uint32_t unit);

}  // namespace vek::binary
