// binary! over the base codecs of runtime/codecs/base.h: the text of bytes
// in bases 2, 16, 58 and 64 as the enbase and debase natives and binary!'s
// text form use it. Encoders write into a buffer the caller has sized with
// encoded_size and answer its new end; decoders read n code points of a text
// buffer of 1, 2 or 4 byte units (the lenient rules of debase) and make a
// new binary!, or answer nullptr (making nothing) when the text is not valid.
#pragma once

#include <cstddef>
#include <cstdint>

#include "runtime/codecs/base.h"
#include "runtime/core/cell.h"

namespace vek::binary {

// Characters needed to encode n bytes in a base that codecs::is_base
// accepts, counted in 64 bits so that no input length a buffer can hold
// wraps them round.
inline uint64_t encoded_size(int32_t base, uint64_t n) { return codecs::encoded_size(base, n); }

// Writes the text of n bytes in the base; answers the end of the text.
uint8_t* encode(int32_t base, uint8_t* buffer, const uint8_t* bytes, uint32_t n);
inline uint8_t* encode_base2(uint8_t* buffer, const uint8_t* bytes, uint32_t n) { return encode(2, buffer, bytes, n); }
inline uint8_t* encode_base16(uint8_t* buffer, const uint8_t* bytes, uint32_t n) { return encode(16, buffer, bytes, n); }
inline uint8_t* encode_base58(uint8_t* buffer, const uint8_t* bytes, uint32_t n) { return encode(58, buffer, bytes, n); }
inline uint8_t* encode_base64(uint8_t* buffer, const uint8_t* bytes, uint32_t n) { return encode(64, buffer, bytes, n); }

// A new binary! in result holding the bytes that n code points of text
// spell in the base, or nullptr when they are not valid. The text may lie in
// a series buffer: it is read in full before anything is allocated.
Cell* decode(int32_t base, Cell* result, const std::byte* text, uint32_t n, uint32_t unit);
inline Cell* decode_base2(Cell* result, const std::byte* text, uint32_t n, uint32_t unit) {
    return decode(2, result, text, n, unit);
}
inline Cell* decode_base16(Cell* result, const std::byte* text, uint32_t n, uint32_t unit) {
    return decode(16, result, text, n, unit);
}
inline Cell* decode_base58(Cell* result, const std::byte* text, uint32_t n, uint32_t unit) {
    return decode(58, result, text, n, unit);
}
inline Cell* decode_base64(Cell* result, const std::byte* text, uint32_t n, uint32_t unit) {
    return decode(64, result, text, n, unit);
}

}  // namespace vek::binary
