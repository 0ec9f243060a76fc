// Natives of the compression family: compress and decompress over the
// DEFLATE codec with its zlib and gzip framings (runtime/codecs/).
#pragma once

#include <cstdint>

#include "runtime/core/unwind.h"

namespace vek::natives {

Pending compress(bool check, const int32_t* refinements);
Pending decompress(bool check, const int32_t* refinements);  // /size

}  // namespace vek::natives
