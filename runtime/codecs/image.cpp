// The dispatch from a file's signature to its decoder and from a format to
// its encoder.
#include "runtime/codecs/image.h"

#include <algorithm>
#include <new>
#include <string_view>

#include "runtime/codecs/bmp.h"

namespace vek::codecs::image {

using namespace platform::image;

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
    case Format::bmp: return codecs::decode_bmp(bytes, max_pixels);
    case Format::gif: return decode_gif(bytes, max_pixels);
    case Format::tiff: return decode_tiff(bytes, max_pixels);
    }
    return refused(Status::bad_data);
}

Status dispatch_encode(const Bitmap& bitmap, Format format, std::vector<uint8_t>& out) {
    switch (format) {
    case Format::png: return encode_png(bitmap, out);
    case Format::jpeg: return encode_jpeg(bitmap, out);
    case Format::bmp: return codecs::encode_bmp(bitmap, out);
    case Format::gif: return encode_gif(bitmap, out);
    case Format::tiff: return encode_tiff(bitmap, out);
    }
    return Status::unsupported;
}

}  // namespace

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

}  // namespace vek::codecs::image
