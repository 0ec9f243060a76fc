// The checksum native: CRC-32, Adler-32 and the Internet sum of our own
// codecs (runtime/codecs/), the secure hashes and HMAC through the platform.
#pragma once

#include <cstdint>

#include "runtime/core/unwind.h"

namespace vek::natives {

// checksum data method /with spec: sums a binary! from its head, a string!'s
// UTF-8 from its head, or a file!'s whole contents. The methods tcp, crc32
// and adler32 answer an integer! (CRC-32 and Adler-32 as signed 32-bit);
// md5, sha1, sha256, sha384 and sha512 a binary! digest, or with a text or
// binary! key the HMAC. A table size (integer!) given to /with of a digest
// or of hash prints that no algorithm exists yet and answers 0. Raises
// script invalid-arg for another method word, bad-refines for /with on a
// plain sum, missing-arg for hash without /with, invalid-refine-arg for hash
// with a key, access cannot-open for a file that cannot be read (or a
// directory), internal not-here when libcrypto fails.
Pending checksum(bool check, const int32_t* refinements);  // /with

}  // namespace vek::natives
