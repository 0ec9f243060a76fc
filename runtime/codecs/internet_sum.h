// The 16-bit one's-complement sum of the Internet protocols (the TCP, UDP
// and IP header checksum): a pure function over a byte buffer, behind the
// checksum native's tcp method.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vek::codecs {

// The complement of the one's-complement sum of the bytes read as big-endian
// 16-bit words. An odd last byte is added as it is, into the low half of a
// word (not shifted into the high half as the protocols pad it). No bytes give
// 0xFFFF. Any length is summed exactly: the total is kept in 64 bits and its
// carries are folded back until 16 bits remain.
uint16_t internet_sum(const uint8_t* bytes, size_t n);

}  // namespace vek::codecs
