// Image files of the five formats: the format of a file from its signature,
// its first image decoded into a bitmap, and a bitmap encoded as a file. BMP
// is our own codec (bmp.h); PNG, JPEG, GIF and TIFF go through the system's
// libraries (platform/image/codec.h, which also gives the bitmap and the
// answers). Whatever the input, an answer and no fault; no exception leaves
// this module.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "platform/image/codec.h"

namespace vek::codecs::image {

using platform::image::Bitmap;
using platform::image::DECODE_PIXEL_BUDGET;
using platform::image::Decoded;
using platform::image::Format;
using platform::image::MAX_PIXELS;
using platform::image::Pixels;
using platform::image::MAX_SIDE;
using platform::image::Status;

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

}  // namespace vek::codecs::image
