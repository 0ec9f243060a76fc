// url!: a string!-like value naming a resource. Its text is kept decoded;
// mold writes it percent-encoded.
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/core/raise.h"

namespace vek::url {

// Which bytes percent-encoding leaves as they are.
enum EncodeMode : uint32_t {
    ENCODE_UNRESERVED = 254,  // letters, digits and "-._~"
    ENCODE_URL = 255,         // those and "!#$&'()*+,/:=?@"
};

// When p holds "%" and two hexadecimal digits (either case): 1, with their
// byte in *byte. Else 0. p must have two readable bytes after the "%" or a
// NUL before them.
int32_t decode_hex_pair(const uint8_t* p, uint8_t* byte);
// A byte as it stands in encoded text: itself, or its "%XX" form.
struct EncodedByte {
    uint8_t bytes[3];
    uint32_t count;  // 1 or 3
};
EncodedByte encode_byte(uint32_t mode, uint8_t byte);
// Appends the decoded text of the source (a string-like value, from its
// head) to the target string. Escapes of a whole UTF-8 sequence decode to
// its code point; any other escape gives its byte as a code point; a "%"
// without two hexadecimal digits stays as it is.
void percent_decode(const Cell* source, const Cell* target);
// Appends the source's UTF-8 bytes, percent-encoded in the mode, at the
// tail of the target binary!.
void percent_encode(const Cell* source, const Cell* target, uint32_t mode);

// A copy of the cell pushed on the evaluation stack.
Cell* push(const Cell* value);

// Registers url!; string! must be registered first.
void init();

}  // namespace vek::url
