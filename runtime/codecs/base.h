// Text codecs for bytes in bases 2, 16, 58 and 64: pure functions over byte
// buffers, shared by the binary! literals of the lexer, the enbase and debase
// natives and binary!'s text form. The encoders write into a buffer that the
// caller has sized with encoded_size; the decoders read code units of 1, 2 or
// 4 bytes (host byte order) and append what they spell to a byte vector.
//
// The decoders skip blanks and ";" comments (to the end of the line). Two
// rule sets differ in which blanks they skip and in how strictly they treat
// the end of the text:
// - data (debase): bases 2 and 16 skip every code point up to 32, bases 58
//   and 64 skip backspace, tab, line feed, form feed, carriage return, space
//   and the apostrophe. A last lone base-16 digit is dropped; in base 64 "="
//   ends the data and characters left over without it are dropped.
// - literal (source text): bases 2 and 16 skip only tab, line feed, carriage
//   return and space; base 64 skips the set above. Every digit must belong to
//   a whole byte, padding must be complete and only blanks may follow it.
// In both, a code point of 128 or more is invalid, never read as a digit,
// and base 2 needs eight digits to every byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vek::codecs {

// The value of a hexadecimal digit (either case), -1 for any other code point.
int32_t hex_digit(uint32_t c);

// Whether there is a codec for the base.
bool is_base(int base);

// Characters that encoding n bytes in the base may need, at most (exactly,
// but for base 58). 64-bit, so that no byte count a buffer holds wraps it.
uint64_t encoded_size(int base, uint64_t n);

// Writes the text of n bytes in the base (one of is_base) from out on and
// answers the end of what it wrote. Uppercase digits, no line breaks; base 64
// pads with "=". Base 58 writes a "1" for each leading 0 byte, then the rest
// of the bytes as one big-endian number.
uint8_t* encode_base(int base, uint8_t* out, const uint8_t* bytes, size_t n);

// Text to decode: count code units of width bytes each (1, 2 or 4).
struct Units {
    const void* data;  // the first code unit
    size_t count;      // number of code units
    unsigned width;    // bytes per code unit
};

enum class BaseRules : uint8_t {
    data,     // lenient about the end of the text; see the header's paragraph
    literal,  // strict, with fewer blanks
};

struct Decoded {
    bool ok;     // the text was valid
    size_t bad;  // when not: the index of the code unit at fault
};

// Appends the bytes that the text spells in the base (one of is_base) to out.
// On invalid text out holds whatever was decoded before the fault.
Decoded decode_base(int base, Units text, BaseRules rules, std::vector<uint8_t>& out);

}  // namespace vek::codecs
