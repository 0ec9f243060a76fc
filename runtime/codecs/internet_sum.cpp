#include "runtime/codecs/internet_sum.h"

namespace vek::codecs {

uint16_t internet_sum(const uint8_t* bytes, size_t n) {
    uint64_t total = 0;
    size_t i = 0;
    for (; i + 1 < n; i += 2) total += uint32_t(bytes[i]) << 8 | bytes[i + 1];
    if (i < n) total += bytes[i];
    // A 64-bit total of 16-bit words cannot overflow for any buffer that fits
    // in memory; each fold moves the carries back into the low 16 bits.
    while (total >> 16) total = (total & 0xFFFF) + (total >> 16);
    return uint16_t(~total);
}

}  // namespace vek::codecs
