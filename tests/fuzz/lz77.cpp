// Any bytes through the decompressor, which must answer ok or bad_data and,
// on ok, give exactly the size its header claims. Then the bytes, as they
// are and repeated into a longer input that surely compresses, must come
// back unchanged from the compressor's container.
#include <algorithm>
#include <stdexcept>
#include <vector>

#include "runtime/codecs/lz77.h"
#include "tests/fuzz/target.h"

namespace vek::fuzz {
namespace {

using codecs::Lz77Result;
using Bytes = std::vector<uint8_t>;

void expect(bool holds, const char* what) {
    if (!holds) throw std::logic_error(what);
}

void decode(const uint8_t* data, size_t size) {
    Bytes out;
    Lz77Result result = codecs::lz77_decompress(out, data, size);
    expect(result == Lz77Result::ok || result == Lz77Result::bad_data, "an unexpected result");
    if (result != Lz77Result::ok) {
        expect(out.empty(), "bad data left bytes behind");
        return;
    }
    uint32_t claimed = uint32_t(data[4]) | uint32_t(data[5]) << 8 | uint32_t(data[6]) << 16 | uint32_t(data[7]) << 24;
    expect(out.size() == claimed, "the size differs from the claim");
}

void round_trip(const Bytes& input) {
    Bytes packed;
    Lz77Result result = codecs::lz77_compress(packed, input.data(), input.size());
    if (input.size() < codecs::LZ77_MIN_INPUT) expect(result == Lz77Result::too_short, "short input compressed");
    if (result != Lz77Result::ok) return;
    expect(packed.size() <= input.size(), "the container grew past the input");
    Bytes back;
    expect(codecs::lz77_decompress(back, packed.data(), packed.size()) == Lz77Result::ok, "decompression failed");
    expect(back == input, "round trip changed the bytes");
}

}  // namespace

void run_one(const uint8_t* data, size_t size) {
    decode(data, size);
    Bytes input(data, data + size);
    round_trip(input);
    if (size == 0) return;
    Bytes repeated;
    while (repeated.size() < 4 * codecs::LZ77_MIN_INPUT) repeated.insert(repeated.end(), data, data + size);
    round_trip(repeated);
}

}  // namespace vek::fuzz
