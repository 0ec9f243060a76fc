// What the image decoders and encoders share and the rest of the system does
// not see: the size check every decoder makes before it allocates, the
// allocation of a bitmap's pixels that answers no_memory instead of throwing,
// the reading of the libraries' messages for failed allocations, and the conversion between our pixel words and RGBA byte order.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/image/codec.h"

namespace vek::platform::image {

// ok for an image of that size, or too_large when a side is zero or above
// MAX_SIDE, or the pixel count is above max_pixels or MAX_PIXELS.
Status check_size(uint64_t width, uint64_t height, uint64_t max_pixels);

// Sets the bitmap's size and allocates its width * height pixels (zeroed).
// The size must have passed check_size. no_memory when the allocation fails.
Status allocate(Bitmap& bitmap, uint32_t width, uint32_t height);

// Whether a library's error message reports a failed allocation (the image
// libraries tell it apart from bad data only by their text). Allocates
// nothing, so library callbacks may use it.
bool names_memory_failure(std::string_view message);

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
