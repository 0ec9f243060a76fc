// The dispatch from a file's signature to its decoder and from a format
// number to its encoder, and the checks they all share.
#include <algorithm>
#include <cctype>
#include <iterator>
#include <new>
#include <stdexcept>
#include <string_view>

#include "platform/image/codec.h"
#include "platform/image/internal.h"

namespace vek::platform::image {
namespace {

struct Signature {
    Format format;
    std::string_view bytes;  // the file's first bytes
};

constexpr Signature SIGNATURES[] = {
    {Format::png, "\x89PNG"},
    {Format::jpeg, "\xFF\xD8\xFF"},
    {Format::bmp, "BM"},
    {Format::gif, "GIF87a"},
    {Format::gif, "GIF89a"},
    {Format::tiff, {"II\x2A\0", 4}},
    {Format::tiff, {"MM\0\x2A", 4}},
};

bool starts_with(std::span<const uint8_t> bytes, std::string_view signature) {
    return bytes.size() >= signature.size() &&
           std::equal(signature.begin(), signature.end(), bytes.begin(),
                      [](char expected, uint8_t byte) { return uint8_t(expected) == byte; });
}

Decoded dispatch_decode(Format format, std::span<const uint8_t> bytes, uint64_t max_pixels) {
    switch (format) {
    case Format::png: return decode_png(bytes, max_pixels);
    case Format::jpeg: return decode_jpeg(bytes, max_pixels);
    case Format::bmp: return decode_bmp(bytes, max_pixels);
    case Format::gif: return decode_gif(bytes, max_pixels);
    case Format::tiff: return decode_tiff(bytes, max_pixels);
    }
    return refused(Status::bad_data);
}

Status dispatch_encode(const Bitmap& bitmap, Format format, std::vector<uint8_t>& out) {
    switch (format) {
    case Format::png: return encode_png(bitmap, out);
    case Format::jpeg: return encode_jpeg(bitmap, out);
    case Format::bmp: return encode_bmp(bitmap, out);
    case Format::gif: return encode_gif(bitmap, out);
    case Format::tiff: return encode_tiff(bitmap, out);
    }
    return Status::unsupported;
}

// The phrases libpng, libjpeg, TurboJPEG and libtiff use when an allocation
// fails, in lower case.
constexpr std::string_view MEMORY_FAILURES[] = {
    "out of memory", "insufficient memory", "not enough memory", "memory allocation fail",
    "failed to allocate memory", "cannot allocate memory", "no space for",
};

}  // namespace

bool names_memory_failure(std::string_view message) {
    auto same_letter = [](char a, char b) { return std::tolower(uint8_t(a)) == std::tolower(uint8_t(b)); };
    return std::any_of(std::begin(MEMORY_FAILURES), std::end(MEMORY_FAILURES), [&](std::string_view phrase) {
        return std::search(message.begin(), message.end(), phrase.begin(), phrase.end(), same_letter) != message.end();
    });
}

Status check_size(uint64_t width, uint64_t height, uint64_t max_pixels) {
    if (width == 0 || height == 0 || width > MAX_SIDE || height > MAX_SIDE) return Status::too_large;
    return width * height > std::min(max_pixels, MAX_PIXELS) ? Status::too_large : Status::ok;
}

Status allocate(Bitmap& bitmap, uint32_t width, uint32_t height) {
    try {
        bitmap.pixels.resize(size_t(width) * height);
    } catch (const std::bad_alloc&) {
        return Status::no_memory;
    } catch (const std::length_error&) {
        return Status::no_memory;
    }
    bitmap.width = width;
    bitmap.height = height;
    return Status::ok;
}

std::optional<Format> sniff(std::span<const uint8_t> bytes) {
    for (const Signature& signature : SIGNATURES)
        if (starts_with(bytes, signature.bytes)) return signature.format;
    return std::nullopt;
}

// The decoders allocate only through allocate and the libraries; a
// bad_alloc from a smaller buffer of theirs still must not leave the module.
Decoded decode(std::span<const uint8_t> bytes, uint64_t max_pixels) {
    std::optional<Format> format = sniff(bytes);
    if (!format) return refused(Status::bad_data);
    try {
        return dispatch_decode(*format, bytes, max_pixels);
    } catch (const std::bad_alloc&) {
        return refused(Status::no_memory);
    }
}

Status encode(const Bitmap& bitmap, Format format, std::vector<uint8_t>& out) {
    out.clear();
    Status status = check_size(bitmap.width, bitmap.height, MAX_PIXELS);
    if (status != Status::ok) return status;
    if (bitmap.pixels.size() != size_t(bitmap.width) * bitmap.height) return Status::failed;
    try {
        status = dispatch_encode(bitmap, format, out);
    } catch (const std::bad_alloc&) {
        status = Status::no_memory;
    }
    if (status != Status::ok) out.clear();
    return status;
}

}  // namespace vek::platform::image
