// CRC-32 runs eight bytes a step through eight tables made at compile time
// (each byte's remainder pushed through 0 to 7 further zero bytes), which
// keeps the gzip framing from costing more than the inflating it checks.
#include "runtime/codecs/crc.h"

#include <array>

namespace vek::codecs {

namespace {

constexpr uint32_t POLYNOMIAL = 0xEDB88320u;

using CrcTables = std::array<std::array<uint32_t, 256>, 8>;

constexpr CrcTables make_crc_tables() {
    CrcTables tables{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t crc = i;
        for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? (crc >> 1) ^ POLYNOMIAL : crc >> 1;
        tables[0][i] = crc;
    }
    for (uint32_t i = 0; i < 256; ++i)
        for (size_t t = 1; t < 8; ++t) tables[t][i] = (tables[t - 1][i] >> 8) ^ tables[0][tables[t - 1][i] & 0xFF];
    return tables;
}

constexpr CrcTables CRC_TABLES = make_crc_tables();

uint32_t load_le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// Adler-32's modulus, and the most bytes whose sums cannot pass 2^32 before
// they are reduced.
constexpr uint32_t ADLER_BASE = 65521;
constexpr size_t ADLER_CHUNK = 5552;

}  // namespace

uint32_t crc32(const uint8_t* bytes, size_t n, uint32_t previous) {
    const auto& t = CRC_TABLES;
    uint32_t crc = ~previous;
    for (; n >= 8; n -= 8, bytes += 8) {
        uint32_t low = load_le32(bytes) ^ crc;
        uint32_t high = load_le32(bytes + 4);
        crc = t[7][low & 0xFF] ^ t[6][(low >> 8) & 0xFF] ^ t[5][(low >> 16) & 0xFF] ^ t[4][low >> 24] ^
              t[3][high & 0xFF] ^ t[2][(high >> 8) & 0xFF] ^ t[1][(high >> 16) & 0xFF] ^ t[0][high >> 24];
    }
    for (; n > 0; --n, ++bytes) crc = (crc >> 8) ^ t[0][(crc ^ *bytes) & 0xFF];
    return ~crc;
}

uint32_t adler32(const uint8_t* bytes, size_t n, uint32_t previous) {
    uint32_t a = previous & 0xFFFF;
    uint32_t b = previous >> 16;
    while (n > 0) {
        size_t chunk = n < ADLER_CHUNK ? n : ADLER_CHUNK;
        n -= chunk;
        for (; chunk >= 4; chunk -= 4, bytes += 4) {
            a += bytes[0];
            b += a;
            a += bytes[1];
            b += a;
            a += bytes[2];
            b += a;
            a += bytes[3];
            b += a;
        }
        for (; chunk > 0; --chunk) {
            a += *bytes++;
            b += a;
        }
        a %= ADLER_BASE;
        b %= ADLER_BASE;
    }
    return b << 16 | a;
}

}  // namespace vek::codecs
