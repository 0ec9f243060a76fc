// BMP files, read and written by our own code. The reader takes every header
// from the 12-byte core header of OS/2 1.x to the 124-byte fifth version:
// 1-, 4- and 8-bit palettes, RLE8 and RLE4, 16 and 32 bits with or without
// channel masks, and 24 bits, stored bottom up or top down. Every offset and
// length is checked against the input before it is read. Embedded JPEG and
// PNG streams are refused as unsupported.
//
// Two choices where files leave the answer open: a palette index past the
// palette's last entry reads as opaque black, and a pixel that an RLE stream
// skips (by a delta, an early end of line or an early end of bitmap) stays
// transparent black.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "platform/image/codec.h"

namespace vek::codecs {

// The first image of a BMP file; a bitmap of more than max_pixels pixels is
// refused as too_large before its pixels are allocated.
platform::image::Decoded decode_bmp(std::span<const uint8_t> bytes, uint64_t max_pixels);

// The bitmap as a BMP file of 32-bit pixels with their alpha; out receives
// the whole file.
platform::image::Status encode_bmp(const platform::image::Bitmap& bitmap, std::vector<uint8_t>& out);

}  // namespace vek::codecs
