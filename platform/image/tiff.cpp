// TIFF through libtiff, over memory: the client procedures below read a byte
// span and write into a growing vector, and the library never maps or opens a
// file. Its warnings and errors never reach the console; an error that names
// a failed allocation makes the answer no_memory. The per-file allocation cap
// of libtiff's open options bounds what a lying header can make it allocate.
//
// The decoder reads every layout libtiff's RGBA interface knows (any bit
// depth, palette, grey, CMYK, YCbCr, tiles, planes); that interface hands out
// premultiplied colours, which are turned back into straight alpha. The
// layout the encoder writes (8-bit RGBA, contiguous, unassociated alpha, in
// strips) is read row by row instead, so that its pixels come back exactly.
// libtiff is loaded at the first decoding or encoding; without it both answer
// unsupported.
#include <tiffio.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "platform/image/codec.h"
#include "platform/image/internal.h"
#include "platform/shared_library.h"

namespace vek::platform::image {
namespace {

#define VEK_LIBTIFF_FUNCTIONS(F)                                                                                 \
    F(TIFFSetErrorHandler) F(TIFFSetWarningHandler) F(TIFFOpenOptionsAlloc) F(TIFFOpenOptionsFree)               \
    F(TIFFOpenOptionsSetErrorHandlerExtR) F(TIFFOpenOptionsSetWarningHandlerExtR)                                \
    F(TIFFOpenOptionsSetMaxSingleMemAlloc) F(TIFFClientOpenExt) F(TIFFClose) F(TIFFGetField)                     \
    F(TIFFGetFieldDefaulted) F(TIFFSetField) F(TIFFIsTiled) F(TIFFScanlineSize64) F(TIFFReadScanline)            \
    F(TIFFWriteScanline) F(TIFFFlush) F(TIFFDefaultStripSize) F(TIFFRGBAImageOK) F(TIFFRGBAImageBegin)           \
    F(TIFFRGBAImageGet) F(TIFFRGBAImageEnd)
VEK_SHARED_LIBRARY(VEK_LIBTIFF_SONAME, VEK_LIBTIFF_FUNCTIONS)

// The bytes behind one open TIFF: read from input, or, when output is set,
// read from and written to output.
struct Stream {
    std::span<const uint8_t> input;          // the file being decoded
    std::vector<uint8_t>* output = nullptr;  // the file being encoded
    uint64_t position = 0;                   // where the next read or write starts
    bool memory_failed = false;              // an allocation failed, ours or libtiff's

    std::span<const uint8_t> bytes() const { return output ? std::span<const uint8_t>(*output) : input; }
    Status failure(Status otherwise) const { return memory_failed ? Status::no_memory : otherwise; }
};

// The largest offset a stream seeks to: far above any file we encode, and it
// keeps offset arithmetic away from overflow.
constexpr uint64_t MAX_OFFSET = uint64_t(1) << 40;

Stream& stream_of(thandle_t handle) { return *static_cast<Stream*>(handle); }

tmsize_t read_bytes(thandle_t handle, void* buffer, tmsize_t size) {
    Stream& stream = stream_of(handle);
    std::span<const uint8_t> bytes = stream.bytes();
    if (size <= 0 || stream.position >= bytes.size()) return 0;
    size_t count = std::min<uint64_t>(uint64_t(size), bytes.size() - stream.position);
    std::memcpy(buffer, bytes.data() + stream.position, count);
    stream.position += count;
    return tmsize_t(count);
}

tmsize_t write_bytes(thandle_t handle, void* buffer, tmsize_t size) {
    Stream& stream = stream_of(handle);
    if (!stream.output || size < 0 || stream.position + uint64_t(size) > MAX_OFFSET) return -1;
    uint64_t end = stream.position + uint64_t(size);
    try {
        if (end > stream.output->size()) stream.output->resize(end);
    } catch (const std::bad_alloc&) {
        stream.memory_failed = true;
        return -1;
    }
    std::memcpy(stream.output->data() + stream.position, buffer, size_t(size));
    stream.position = end;
    return size;
}

toff_t seek(thandle_t handle, toff_t offset, int whence) {
    Stream& stream = stream_of(handle);
    uint64_t base = whence == SEEK_CUR ? stream.position : whence == SEEK_END ? stream.bytes().size() : 0;
    // SEEK_CUR and SEEK_END may step back: the offset is a two's complement.
    int64_t step = int64_t(offset);
    if (whence == SEEK_SET && offset > MAX_OFFSET) return toff_t(-1);
    if (step < -int64_t(base) || step > int64_t(MAX_OFFSET - base)) return toff_t(-1);
    stream.position = uint64_t(int64_t(base) + step);
    return stream.position;
}

toff_t size_of(thandle_t handle) { return stream_of(handle).bytes().size(); }

int close_stream(thandle_t) { return 0; }

// Mapping is declined: libtiff then reads through read_bytes into buffers of
// its own and never writes into the caller's bytes.
int map_none(thandle_t, void**, toff_t*) { return 0; }

void unmap_none(thandle_t, void*, toff_t) {}

// Drops libtiff's message, noting whether it reports a failed allocation.
int note_error(TIFF*, void* user_data, const char*, const char* format, va_list arguments) {
    char message[256];
    std::vsnprintf(message, sizeof message, format, arguments);
    if (names_memory_failure(message)) static_cast<Stream*>(user_data)->memory_failed = true;
    return 1;
}

int drop_warning(TIFF*, void*, const char*, const char*, va_list) { return 1; }

// A few messages libtiff sends to its process-wide handlers, which print on
// standard error by default.
void silence_process_handlers() {
    static const bool silenced = [] {
        TIFFSetErrorHandler(nullptr);
        TIFFSetWarningHandler(nullptr);
        return true;
    }();
    (void)silenced;
}

using Tiff = std::unique_ptr<TIFF, Releaser<TIFFClose>>;
using Options = std::unique_ptr<TIFFOpenOptions, Releaser<TIFFOpenOptionsFree>>;

// Opens the stream in the mode ("r" or "w"); null when libtiff refuses it.
// The stream outlives the TIFF.
Tiff open(Stream& stream, const char* mode, uint64_t max_allocation) {
    silence_process_handlers();
    Options options(TIFFOpenOptionsAlloc());
    if (!options) {
        stream.memory_failed = true;
        return nullptr;
    }
    TIFFOpenOptionsSetErrorHandlerExtR(options.get(), note_error, &stream);
    TIFFOpenOptionsSetWarningHandlerExtR(options.get(), drop_warning, nullptr);
    TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(), tmsize_t(max_allocation));
    std::string mode_unmapped = std::string(mode) + "m";
    return Tiff(TIFFClientOpenExt("image", mode_unmapped.c_str(), &stream, read_bytes, write_bytes, seek,
                                  close_stream, size_of, map_none, unmap_none, options.get()));
}

// ============================== Decoding ==============================

// The cap on one libtiff allocation while decoding an image of that many
// pixels: a strip or tile of the whole image at 32 bits for each of four
// samples, with room for a tile that reaches past the image's edges.
uint64_t decoding_cap(uint64_t pixels) { return pixels * 16 + (16 << 20); }

uint16_t field16(TIFF* tif, uint32_t tag) {
    uint16_t value = 0;
    TIFFGetFieldDefaulted(tif, tag, &value);
    return value;
}

// The layout encode_tiff writes.
bool is_plain_rgba(TIFF* tif) {
    uint16_t extra_count = 0;
    uint16_t* extra = nullptr;
    TIFFGetFieldDefaulted(tif, TIFFTAG_EXTRASAMPLES, &extra_count, &extra);
    return !TIFFIsTiled(tif) && field16(tif, TIFFTAG_BITSPERSAMPLE) == 8 &&
           field16(tif, TIFFTAG_SAMPLESPERPIXEL) == 4 && field16(tif, TIFFTAG_PHOTOMETRIC) == PHOTOMETRIC_RGB &&
           field16(tif, TIFFTAG_PLANARCONFIG) == PLANARCONFIG_CONTIG &&
           field16(tif, TIFFTAG_ORIENTATION) == ORIENTATION_TOPLEFT && extra_count == 1 &&
           extra[0] == EXTRASAMPLE_UNASSALPHA;
}

Status read_plain_rgba(TIFF* tif, Bitmap& bitmap) {
    if (TIFFScanlineSize64(tif) != uint64_t(bitmap.width) * 4) return Status::bad_data;
    std::vector<uint8_t> row(size_t(bitmap.width) * 4);
    for (uint32_t y = 0; y < bitmap.height; ++y) {
        if (TIFFReadScanline(tif, row.data(), y, 0) < 0) return Status::bad_data;
        uint32_t* pixel = bitmap.pixels.data() + size_t(y) * bitmap.width;
        for (size_t x = 0; x < bitmap.width; ++x)
            pixel[x] = pixel_from_rgba(row[4 * x], row[4 * x + 1], row[4 * x + 2], row[4 * x + 3]);
    }
    return Status::ok;
}

// libtiff's RGBA interface premultiplies colour by alpha on every path with
// an alpha sample except contiguous grey, which it passes through as it is.
bool premultiplied(const TIFFRGBAImage& image) {
    bool grey = image.photometric == PHOTOMETRIC_MINISBLACK || image.photometric == PHOTOMETRIC_MINISWHITE;
    bool contiguous = field16(image.tif, TIFFTAG_PLANARCONFIG) == PLANARCONFIG_CONTIG;
    return image.alpha != 0 && !(grey && contiguous);
}

uint32_t unpremultiply(uint32_t sample, uint32_t alpha) {
    return alpha == 0 ? 0 : std::min<uint32_t>(255, (sample * 255 + alpha / 2) / alpha);
}

// libtiff packs R in the low byte and A in the high byte; the pixel word
// wants B in the low byte, and straight alpha.
void to_pixels(Bitmap& bitmap, bool straighten) {
    for (uint32_t& pixel : bitmap.pixels) {
        uint32_t r = TIFFGetR(pixel), g = TIFFGetG(pixel), b = TIFFGetB(pixel), a = TIFFGetA(pixel);
        if (straighten && a != 255) r = unpremultiply(r, a), g = unpremultiply(g, a), b = unpremultiply(b, a);
        pixel = pixel_from_rgba(r, g, b, a);
    }
}

Status read_any_layout(TIFF* tif, Bitmap& bitmap) {
    char message[1024];
    if (!TIFFRGBAImageOK(tif, message)) return Status::unsupported;
    TIFFRGBAImage image{};
    if (!TIFFRGBAImageBegin(&image, tif, 1, message)) return Status::bad_data;
    image.req_orientation = ORIENTATION_TOPLEFT;
    int done = TIFFRGBAImageGet(&image, bitmap.pixels.data(), bitmap.width, bitmap.height);
    bool straighten = premultiplied(image);
    TIFFRGBAImageEnd(&image);
    if (!done) return Status::bad_data;
    to_pixels(bitmap, straighten);
    return Status::ok;
}

// ============================== Encoding ==============================

void set_rgba_fields(TIFF* tif, const Bitmap& bitmap) {
    uint16_t extra[] = {EXTRASAMPLE_UNASSALPHA};
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, bitmap.width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, bitmap.height);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 4);
    TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, extra);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
    TIFFSetField(tif, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tif, 0));
}

Status write_rows(TIFF* tif, const Bitmap& bitmap) {
    // libtiff's predictor rewrites the row it is given, so each row is
    // copied out first.
    std::vector<uint8_t> row(size_t(bitmap.width) * 4);
    for (uint32_t y = 0; y < bitmap.height; ++y) {
        const uint32_t* pixel = bitmap.pixels.data() + size_t(y) * bitmap.width;
        for (size_t x = 0; x < bitmap.width; ++x) pixel_to_rgba(pixel[x], &row[4 * x]);
        if (TIFFWriteScanline(tif, row.data(), y, 0) < 0) return Status::failed;
    }
    return TIFFFlush(tif) ? Status::ok : Status::failed;
}

}  // namespace

// The file is opened twice: first under a cap for the largest image allowed,
// to read its size, then under a cap for that size.
Decoded decode_tiff(std::span<const uint8_t> bytes, uint64_t max_pixels) {
    if (!library.available()) return refused(Status::unsupported);
    Stream stream{bytes};
    uint32_t width = 0, height = 0;
    {
        Tiff header = open(stream, "r", decoding_cap(std::min(max_pixels, MAX_PIXELS)));
        if (!header) return refused(stream.failure(Status::bad_data));
        TIFFGetField(header.get(), TIFFTAG_IMAGEWIDTH, &width);
        TIFFGetField(header.get(), TIFFTAG_IMAGELENGTH, &height);
    }
    Status status = check_size(width, height, max_pixels);
    if (status != Status::ok) return refused(status);
    stream.position = 0;
    Tiff tif = open(stream, "r", decoding_cap(uint64_t(width) * height));
    if (!tif) return refused(stream.failure(Status::bad_data));
    Decoded decoded{Status::ok, {}};
    status = allocate(decoded.bitmap, width, height);
    if (status != Status::ok) return refused(status);
    status = is_plain_rgba(tif.get()) ? read_plain_rgba(tif.get(), decoded.bitmap)
                                      : read_any_layout(tif.get(), decoded.bitmap);
    if (status != Status::ok) return refused(stream.failure(status));
    return decoded;
}

Status encode_tiff(const Bitmap& bitmap, std::vector<uint8_t>& out) {
    if (!library.available()) return Status::unsupported;
    Stream stream{{}, &out};
    Tiff tif = open(stream, "w", MAX_OFFSET);
    if (!tif) return stream.failure(Status::failed);
    set_rgba_fields(tif.get(), bitmap);
    Status status = write_rows(tif.get(), bitmap);
    return stream.failure(status);
}

}  // namespace vek::platform::image
