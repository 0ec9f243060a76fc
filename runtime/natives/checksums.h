// The checksum native: CRC-32, Adler-32 and the Internet sum of our own
// codecs (runtime/codecs/), the secure hashes and HMAC through the platform.
#pragma once

#include <cstdint>

#include "runtime/core/unwind.h"

namespace vek::natives {

Pending checksum(bool check, const int32_t* refinements);  // /with

}  // namespace vek::natives
