// The image decoders on any bytes, dispatched by their signature: whatever
// the input, a status and no fault. A decoded image must hold exactly its
// width * height pixels, and must survive a PNG round trip unchanged.
#include <stdexcept>
#include <vector>

#include "runtime/codecs/image.h"
#include "tests/fuzz/target.h"

namespace vek::fuzz {
namespace {

using namespace codecs::image;

// Keeps the fuzzer's memory bounded: a few bytes may claim a huge image.
constexpr uint64_t MAX_FUZZ_PIXELS = 1 << 20;

void expect(bool holds, const char* what) {
    if (!holds) throw std::logic_error(what);
}

void check_png_round_trip(const Bitmap& bitmap) {
    std::vector<uint8_t> file;
    expect(encode(bitmap, Format::png, file) == Status::ok, "a decoded image does not encode as PNG");
    Decoded again = decode(file, MAX_FUZZ_PIXELS);
    expect(again.status == Status::ok, "an encoded PNG does not decode");
    expect(again.bitmap.width == bitmap.width && again.bitmap.height == bitmap.height &&
               again.bitmap.pixels == bitmap.pixels,
           "a PNG round trip changed the image");
}

}  // namespace

void run_one(const uint8_t* data, size_t size) {
    Decoded decoded = decode({data, size}, MAX_FUZZ_PIXELS);
    if (decoded.status != Status::ok) {
        expect(decoded.bitmap.pixels.empty(), "a failed decoding kept pixels");
        return;
    }
    const Bitmap& bitmap = decoded.bitmap;
    expect(bitmap.width > 0 && bitmap.height > 0 && uint64_t(bitmap.width) * bitmap.height <= MAX_FUZZ_PIXELS,
           "a decoded image is empty or above the limit");
    expect(bitmap.pixels.size() == size_t(bitmap.width) * bitmap.height, "pixel count differs from the size");
    check_png_round_trip(bitmap);
}

}  // namespace vek::fuzz
