// Image files: decoding PNG, JPEG, BMP, GIF and TIFF into bitmaps of 32-bit
// pixels and encoding bitmaps back into those formats. PNG, JPEG, GIF and
// TIFF go through the system's libraries (libpng, TurboJPEG, giflib,
// libtiff); BMP is our own. Every decoder takes untrusted bytes: whatever the
// input, it answers a status and never reads or writes outside its buffers,
// and it refuses a size before allocating for it. No exception and no
// longjmp leaves this module.
//
// A pixel is 0xAARRGGBB in one 32-bit word (so in memory, on a little-endian
// machine: B, G, R, A), rows top down, no padding between rows, alpha not
// premultiplied (255 = opaque).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <optional>
#include <span>
#include <utility>
#include <vector>

namespace vek::platform::image {

// The format numbers the image codecs of the language pass.
enum class Format : int32_t { bmp = 0, png = 1, gif = 2, jpeg = 3, tiff = 4 };

// The largest side, and the largest pixel count, an image may have.
constexpr uint32_t MAX_SIDE = 65535;
constexpr uint64_t MAX_PIXELS = 0x7FFFFFFFu;

// The most pixels a file may decode to (256 MB of pixels): a few bytes of a
// file may claim any size, and what a screen-sized workload needs is far
// below it. A larger image is refused before anything is allocated.
constexpr uint64_t DECODE_PIXEL_BUDGET = uint64_t(1) << 26;

// Storage that is zero from the start without being written: the fresh pages
// of a large allocation cost nothing until a decoder reaches them, so a file
// that ends early costs what it decoded. An element made without a value is
// left as the allocation gave it (zero; a vector that shrinks and grows again
// in place would keep its old values).
template <class T>
struct ZeroedAllocator {
    using value_type = T;
    ZeroedAllocator() = default;
    template <class U>
    ZeroedAllocator(const ZeroedAllocator<U>&) {}
    T* allocate(size_t n) {
        void* p = std::calloc(n, sizeof(T));
        if (!p) throw std::bad_alloc();
        return static_cast<T*>(p);
    }
    void deallocate(T* p, size_t) { std::free(p); }
    template <class U>
    void construct(U*) noexcept {}
    template <class U, class... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
    friend bool operator==(const ZeroedAllocator&, const ZeroedAllocator&) { return true; }
};
using Pixels = std::vector<uint32_t, ZeroedAllocator<uint32_t>>;

struct Bitmap {
    uint32_t width = 0;
    uint32_t height = 0;
    Pixels pixels;  // width * height words
};

enum class Status {
    ok,
    bad_data,     // not a valid file of the format, or cut short
    too_large,    // a side above MAX_SIDE, a pixel count above the limit, or a zero side
    no_memory,    // the pixels could not be allocated
    unsupported,  // valid, but a variant this module does not read
    failed,       // the library refused to encode
};

struct Decoded {
    Status status = Status::bad_data;
    Bitmap bitmap;  // frame 0 when status is ok
};

// The format whose signature starts the bytes: 89 50 4E 47 (PNG), FF D8 FF
// (JPEG), 42 4D (BMP), 47 49 46 38 37|39 61 (GIF), 49 49 2A 00 or 4D 4D 00 2A
// (TIFF); none for anything else.
std::optional<Format> sniff(std::span<const uint8_t> bytes);

// Decodes the first frame of a file of the sniffed format (bad_data when no
// signature matches). A decoded image with more than max_pixels pixels is
// refused as too_large before its pixels are allocated.
Decoded decode(std::span<const uint8_t> bytes, uint64_t max_pixels = MAX_PIXELS);

// Encodes the bitmap as a file of the format; out receives the whole file
// (and nothing on failure). A bitmap with a zero side is too_large.
Status encode(const Bitmap& bitmap, Format format, std::vector<uint8_t>& out);

// One decoder or encoder each, as decode and encode dispatch to them.
Decoded decode_png(std::span<const uint8_t> bytes, uint64_t max_pixels);
Decoded decode_jpeg(std::span<const uint8_t> bytes, uint64_t max_pixels);
Decoded decode_bmp(std::span<const uint8_t> bytes, uint64_t max_pixels);
Decoded decode_gif(std::span<const uint8_t> bytes, uint64_t max_pixels);
Decoded decode_tiff(std::span<const uint8_t> bytes, uint64_t max_pixels);
Status encode_png(const Bitmap& bitmap, std::vector<uint8_t>& out);
Status encode_jpeg(const Bitmap& bitmap, std::vector<uint8_t>& out);
Status encode_bmp(const Bitmap& bitmap, std::vector<uint8_t>& out);
Status encode_gif(const Bitmap& bitmap, std::vector<uint8_t>& out);
Status encode_tiff(const Bitmap& bitmap, std::vector<uint8_t>& out);

}  // namespace vek::platform::image
