// Any bytes through the three decoders: first asking for the size alone,
// then into a buffer of exactly that size (capped), so that a write past
// the capacity shows under the sanitizers and a size that differs between
// the passes is caught. Then each encoder's output of the bytes must decode
// back to them.
#include <algorithm>
#include <stdexcept>
#include <vector>

#include "runtime/codecs/deflate.h"
#include "tests/fuzz/target.h"

namespace vek::fuzz {
namespace {

using codecs::Coded;
using Bytes = std::vector<uint8_t>;
using Codec = Coded (*)(uint8_t*, uint64_t&, const uint8_t*, size_t);

constexpr uint64_t MAX_OUTPUT = 1 << 20;

void expect(bool holds, const char* what) {
    if (!holds) throw std::logic_error(what);
}

void decode(Codec codec, const uint8_t* data, size_t size) {
    uint64_t needed = 0;
    Coded first = codec(nullptr, needed, data, size);
    if (first != Coded::ok && first != Coded::too_small) return;
    expect(first == Coded::ok || needed > 0, "too small for nothing");
    uint64_t capacity = std::min(needed, MAX_OUTPUT);
    Bytes out(static_cast<size_t>(capacity));
    uint64_t got = capacity;
    Coded second = codec(out.data(), got, data, size);
    if (needed <= MAX_OUTPUT) {
        expect(second == Coded::ok || codec == codecs::zlib_decode || codec == codecs::gzip_decode,
               "raw data decoded differently the second time");
        if (second == Coded::ok) expect(got == needed, "the sizes of the two passes differ");
    } else {
        expect(second == Coded::too_small, "a bigger output fitted");
    }
}

void round_trip(Codec encode, Codec decode_back, const uint8_t* data, size_t size) {
    uint64_t packed_size = 0;
    encode(nullptr, packed_size, data, size);
    Bytes packed(static_cast<size_t>(packed_size));
    expect(encode(packed.data(), packed_size, data, size) == Coded::ok, "encoding failed");
    Bytes back(size);
    uint64_t back_size = size;
    expect(decode_back(back.data(), back_size, packed.data(), packed.size()) == Coded::ok, "decoding failed");
    expect(back_size == size && std::equal(back.begin(), back.end(), data), "round trip changed the bytes");
}

}  // namespace

void run_one(const uint8_t* data, size_t size) {
    for (Codec codec : {codecs::deflate_inflate, codecs::zlib_decode, codecs::gzip_decode}) decode(codec, data, size);
    round_trip(codecs::deflate_compress, codecs::deflate_inflate, data, size);
    round_trip(codecs::zlib_encode, codecs::zlib_decode, data, size);
    round_trip(codecs::gzip_encode, codecs::gzip_decode, data, size);
}

}  // namespace vek::fuzz
