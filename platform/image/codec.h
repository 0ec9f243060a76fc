// Image files through the system's libraries: decoding PNG, JPEG, GIF and
// TIFF into bitmaps of 32-bit pixels and encoding bitmaps back into those
// formats (libpng, TurboJPEG, giflib, libtiff), and what every image decoder
// shares, ours included: the bitmap, the answers, the size check and the
// allocation. BMP is our own codec (runtime/codecs/bmp.h), and the dispatch
// from a file's signature to its decoder is runtime/codecs/image.h. Every
// decoder takes untrusted bytes: whatever the input, it answers a status and
// never reads or writes outside its buffers, and it refuses a size before
// allocating for it. No exception and no longjmp leaves this module.
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

// One decoder or encoder per library format. A decoded image with more than
// max_pixels pixels is refused as too_large before its pixels are allocated;
// an encoder's out receives the whole file.
Decoded decode_png(std::span<const uint8_t> bytes, uint64_t max_pixels);
Decoded decode_jpeg(std::span<const uint8_t> bytes, uint64_t max_pixels);
Decoded decode_gif(std::span<const uint8_t> bytes, uint64_t max_pixels);
Decoded decode_tiff(std::span<const uint8_t> bytes, uint64_t max_pixels);
Status encode_png(const Bitmap& bitmap, std::vector<uint8_t>& out);
Status encode_jpeg(const Bitmap& bitmap, std::vector<uint8_t>& out);
Status encode_gif(const Bitmap& bitmap, std::vector<uint8_t>& out);
Status encode_tiff(const Bitmap& bitmap, std::vector<uint8_t>& out);

// ---------------------------------------------------------------- what every decoder shares

// Returns the status of expr from the enclosing function unless it is ok.
#define VEK_IMAGE_PASS(expr)                                                \
    do {                                                                    \
        if (Status status_ = (expr); status_ != Status::ok) return status_; \
    } while (0)

// ok for an image of that size, or too_large when a side is zero or above
// MAX_SIDE, or the pixel count is above max_pixels or MAX_PIXELS.
Status check_size(uint64_t width, uint64_t height, uint64_t max_pixels);

// Sets the bitmap's size and allocates its width * height pixels (zeroed).
// The size must have passed check_size. no_memory when the allocation fails.
Status allocate(Bitmap& bitmap, uint32_t width, uint32_t height);

// A failed decoding with that status and no pixels.
inline Decoded refused(Status status) { return {status, {}}; }

// The pixel word of 8-bit red, green, blue and alpha samples.
inline uint32_t pixel_from_rgba(uint32_t r, uint32_t g, uint32_t b, uint32_t a) {
    return a << 24 | r << 16 | g << 8 | b;
}

// A pixel word's samples written in the order R, G, B, A.
inline void pixel_to_rgba(uint32_t pixel, uint8_t* rgba) {
    rgba[0] = uint8_t(pixel >> 16);
    rgba[1] = uint8_t(pixel >> 8);
    rgba[2] = uint8_t(pixel);
    rgba[3] = uint8_t(pixel >> 24);
}

}  // namespace vek::platform::image
