// The image decoders on any bytes, dispatched by their signature: whatever
// the input, a status and no fault. A decoded image must hold exactly its
// width * height pixels, and must survive a PNG round trip unchanged. A
// share of the inputs runs again at the limit users get, where a few bytes
// may claim the whole pixel budget: what one costs in resident memory must
// stay near what its bytes can decode to.
#include <fstream>
#include <stdexcept>
#include <vector>

#include "runtime/codecs/image.h"
#include "tests/fuzz/target.h"

namespace vek::fuzz {
namespace {

using namespace codecs::image;

// Keeps the fuzzer's memory bounded: a few bytes may claim a huge image.
constexpr uint64_t MAX_FUZZ_PIXELS = 1 << 20;

// One input in this many runs at the users' budget too, and so does every
// input of a few dozen bytes, the size of the bombs the corpus keeps. Under
// the sanitizers, whose allocator touches every page of a large block, such
// a run costs what the whole budget's pixels cost, and only the share runs.
constexpr uint64_t REAL_LIMIT_SHARE = 8;
#ifndef VEK_SANITIZE
constexpr size_t BOMB_SIZE = 128;
#else
constexpr size_t BOMB_SIZE = 0;
#endif
// The resident bytes such an input may add: room for what the allocator and
// the libraries keep, and for a thousand pixels per input byte (no format
// packs more into its bytes; GIF and PNG come near it).
constexpr uint64_t SPARE_BYTES = uint64_t(64) << 20;
constexpr uint64_t BYTES_PER_INPUT_BYTE = 4000;

// The process's resident bytes, from the kernel's count of its 4 KiB pages.
uint64_t resident_bytes() {
    std::ifstream statm("/proc/self/statm");
    uint64_t pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * 4096;
}

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

// The checks on a decoding at a limit; an image within the fuzzing limit is
// round-tripped too.
void check_decoded(const Decoded& decoded, uint64_t limit) {
    if (decoded.status != Status::ok) {
        expect(decoded.bitmap.pixels.empty(), "a failed decoding kept pixels");
        return;
    }
    const Bitmap& bitmap = decoded.bitmap;
    expect(bitmap.width > 0 && bitmap.height > 0 && uint64_t(bitmap.width) * bitmap.height <= limit,
           "a decoded image is empty or above the limit");
    expect(bitmap.pixels.size() == size_t(bitmap.width) * bitmap.height, "pixel count differs from the size");
    if (bitmap.pixels.size() <= MAX_FUZZ_PIXELS) check_png_round_trip(bitmap);
}

// The sanitizers' shadow memory and the quarantine of freed blocks grow the
// resident bytes whatever the decoder touches: there only the run is checked.
void run_at_the_users_limit(const uint8_t* data, size_t size) {
    uint64_t before = resident_bytes();
    Decoded decoded = decode({data, size}, DECODE_PIXEL_BUDGET);
#ifndef VEK_SANITIZE
    expect(resident_bytes() - before <= SPARE_BYTES + BYTES_PER_INPUT_BYTE * size,
           "decoding took memory its bytes cannot fill");
#else
    (void)before;
#endif
    check_decoded(decoded, DECODE_PIXEL_BUDGET);
}

}  // namespace

void run_one(const uint8_t* data, size_t size) {
    static uint64_t inputs = 0;
    check_decoded(decode({data, size}, MAX_FUZZ_PIXELS), MAX_FUZZ_PIXELS);
    if (inputs++ % REAL_LIMIT_SHARE == 0 || size <= BOMB_SIZE) run_at_the_users_limit(data, size);
}

}  // namespace vek::fuzz
