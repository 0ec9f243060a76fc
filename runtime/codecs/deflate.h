// DEFLATE (RFC 1951) with its zlib (RFC 1950) and gzip (RFC 1952) framings,
// over plain byte buffers.
//
// Every function has the same shape: (output, size, input, length) -> Coded.
// On entry `size` is the output's capacity; on return it holds the bytes the
// whole output takes, also when that is more than the capacity. Bytes past
// the capacity are counted, never stored, so a null output with capacity 0
// asks for the size alone. Sizes are 64-bit so that no count wraps.
//
// The compressor writes one final block with the fixed codes, finding
// matches through 1,024 hash buckets of 4 positions each (first fit, no
// search for the longest match): fast, small, modest ratio. The decoder reads
// every block type through lookup tables. Raw data that ends early decodes
// to the bytes of the symbols that were whole, with result ok; the framings
// then fail on their checksum.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vek::codecs {

enum class Coded : int {
    ok = 0,
    too_small = 1,       // the output did not fit; size holds what it needs
    bad_data = 2,        // framing, checksum, size or code data at fault
    stored_short = 3,    // a stored block runs past the end of the input
    reserved_block = 4,  // a block of the reserved type 3
    too_far = 5,         // a distance reaches before the start of the output
};

// The decoders stop counting once the output passes this many bytes and
// answer too_small with a size above it, so that no input keeps them busy
// for long. Capacities must not exceed it.
constexpr uint64_t INFLATE_COUNT_LIMIT = uint64_t(1) << 31;

// Raw DEFLATE: ok or too_small.
Coded deflate_compress(uint8_t* out, uint64_t& size, const uint8_t* in, size_t length);
// Raw DEFLATE: ok, too_small, bad_data (code data at fault: a code set with
// no code or too many, a repeat with nothing to repeat or past the lengths,
// a symbol no block may use), stored_short, reserved_block or too_far.
Coded deflate_inflate(uint8_t* out, uint64_t& size, const uint8_t* in, size_t length);

// zlib: header 78 01, the DEFLATE data, the Adler-32 of the input
// big-endian. ok or too_small.
Coded zlib_encode(uint8_t* out, uint64_t& size, const uint8_t* in, size_t length);
// Checks the header (method 8, window up to 32 KB, no preset dictionary,
// check bits) and the Adler-32 of what it decoded (bad_data), and passes on
// the inflater's other results.
Coded zlib_decode(uint8_t* out, uint64_t& size, const uint8_t* in, size_t length);

// gzip, one member: a 10-byte header without names or time, the DEFLATE
// data, the CRC-32 and length of the input little-endian. ok or too_small.
Coded gzip_encode(uint8_t* out, uint64_t& size, const uint8_t* in, size_t length);
// Every member of the input in order (what joining gzip files gives), each
// with or without the extra, name, comment and header-CRC fields. A member
// whose data decodes to another size than its trailer's, or whose CRC-32
// differs, or anything after a member that is not another one, is bad_data.
// A capacity too small for the whole output gives too_small with the size.
Coded gzip_decode(uint8_t* out, uint64_t& size, const uint8_t* in, size_t length);

}  // namespace vek::codecs
