// The two 32-bit checksums that the compressed framings carry and that the
// checksum native offers: CRC-32 (reflected, polynomial 0xEDB88320, initial
// value and final complement 0xFFFFFFFF, as gzip and PNG use it) and
// Adler-32 (RFC 1950). Pure functions over plain bytes.
//
// Both take the checksum of the bytes before as a start value, so a long
// input may be fed in pieces: crc32(b, n2, crc32(a, n1)) equals the CRC-32 of
// a followed by b. The start values of no bytes are 0 (CRC-32) and 1
// (Adler-32), which are also the defaults.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vek::codecs {

// The CRC-32 of n bytes following bytes whose CRC-32 is `previous`.
uint32_t crc32(const uint8_t* bytes, size_t n, uint32_t previous = 0);

// The Adler-32 of n bytes following bytes whose Adler-32 is `previous`.
uint32_t adler32(const uint8_t* bytes, size_t n, uint32_t previous = 1);

}  // namespace vek::codecs
