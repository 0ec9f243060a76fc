// LZ77 with a bit-level encoding of literals and copies: the compression of
// vekbin bodies and of other data the runtime carries packed.
//
// Container: a little-endian dword Z (bytes of block data after the 8-byte
// header), a dword U (bytes once decompressed), then blocks back to back.
// A block is a dword L (1 to LZ77_BLOCK_LIMIT), then a bit stream, least
// significant bit first, that decodes to exactly L bytes, zero-filled to a
// whole byte. Each block stands alone: no copy reaches before its block.
//
// Symbols: a 0 bit and 8 bits is a literal; a 1 bit, a length code (3 to
// 566 bytes) and a distance code (1 to 262,144 bytes back) is a copy.
//
// The compressor searches a 256 KB window through a 3-byte and a 4-byte
// hash, the latter chained, at most 256 candidates per position; it needs
// 7 MB of tables for the length of a call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vek::codecs {

enum class Lz77Result : int {
    ok = 0,
    too_short = 1,  // the compressor's input has fewer than LZ77_MIN_INPUT bytes
    no_gain = 2,    // the container would be larger than the input
    too_large = 3,  // the input's length does not fit the 32-bit size field
    bad_data = 4,   // the container is truncated, corrupted or claims a size it cannot hold
};

constexpr size_t LZ77_HEADER = 8;
constexpr uint32_t LZ77_BLOCK_LIMIT = 1 << 20;
constexpr size_t LZ77_MIN_INPUT = 128;

// Compresses `length` bytes at `in` into a container, which replaces the
// contents of `out`. too_short, no_gain or too_large leave `out` empty.
Lz77Result lz77_compress(std::vector<uint8_t>& out, const uint8_t* in, size_t length);

// Decompresses the container of `length` bytes at `in` into `out`, whose
// contents it replaces. Bytes after the header's Z bytes of block data are
// ignored. bad_data (with `out` empty) when the container is shorter than
// its header says, when a block's length is out of range, when a block's bit
// stream runs past the block data or a copy reaches outside its block, or
// when the bytes decoded are not exactly U; a U larger than Z bytes of
// copies could ever give is refused before anything is allocated.
Lz77Result lz77_decompress(std::vector<uint8_t>& out, const uint8_t* in, size_t length);

}  // namespace vek::codecs
