// PNG through libpng. Every colour type, bit depth and interlacing decodes to
// 8-bit BGRA with straight alpha: palettes and low bit depths are expanded, a
// tRNS chunk becomes alpha, grey becomes RGB, and 16-bit samples are scaled
// to 8 bits as stored (no gamma correction: an untagged 16-bit file reads as
// its 8-bit counterpart would). The encoder writes 8-bit RGBA.
//
// libpng reports a fatal error by longjmp. The decoder catches it with
// setjmp in two small functions (read_header, read_pixels) whose frames, like
// every frame libpng can unwind (the callbacks below), own nothing; the
// structures libpng allocates belong to a wrapper in the caller's frame that
// frees them on every path. The encoder uses libpng's simplified interface,
// which catches its own longjmp and answers by its return value. libpng is
// loaded at the first decoding or encoding; without it both answer
// unsupported.
#include <png.h>

#include <csetjmp>
#include <cstring>

#include "platform/image/codec.h"
#include "platform/image/internal.h"
#include "platform/shared_library.h"

namespace vek::platform::image {
namespace {

#define VEK_LIBPNG_FUNCTIONS(F)                                                                                 \
    F(png_create_read_struct) F(png_create_info_struct) F(png_destroy_read_struct) F(png_set_read_fn)            \
    F(png_get_io_ptr) F(png_get_error_ptr) F(png_error) F(png_set_longjmp_fn) F(png_read_info)                   \
    F(png_set_expand) F(png_set_scale_16) F(png_set_gray_to_rgb) F(png_set_bgr) F(png_set_add_alpha)             \
    F(png_set_interlace_handling) F(png_read_update_info) F(png_get_rowbytes) F(png_get_image_width)             \
    F(png_get_image_height) F(png_read_row) F(png_image_write_to_memory) F(png_image_free)
VEK_SHARED_LIBRARY(VEK_LIBPNG_SONAME, VEK_LIBPNG_FUNCTIONS)

// The bytes libpng reads, and what its error handler learned.
struct Source {
    std::span<const uint8_t> bytes;  // the file
    size_t position = 0;             // where the next read starts
    bool memory_failed = false;      // libpng's error named a failed allocation

    Status failure() const { return memory_failed ? Status::no_memory : Status::bad_data; }
};

void read_bytes(png_structp png, png_bytep out, size_t size) {
    Source& source = *static_cast<Source*>(png_get_io_ptr(png));
    if (size > source.bytes.size() - source.position) png_error(png, "file cut short");
    std::memcpy(out, source.bytes.data() + source.position, size);
    source.position += size;
}

[[noreturn]] void on_error(png_structp png, png_const_charp message) {
    if (names_memory_failure(message)) static_cast<Source*>(png_get_error_ptr(png))->memory_failed = true;
    std::longjmp(png_jmpbuf(png), 1);
}

void on_warning(png_structp, png_const_charp) {}

// libpng's read structures, destroyed with the object.
class ReadStructs {
public:
    explicit ReadStructs(Source& source)
        : png_(png_create_read_struct(PNG_LIBPNG_VER_STRING, &source, on_error, on_warning)),
          info_(png_ ? png_create_info_struct(png_) : nullptr) {
        if (info_) png_set_read_fn(png_, &source, read_bytes);
    }
    ~ReadStructs() { png_destroy_read_struct(&png_, &info_, nullptr); }
    ReadStructs(const ReadStructs&) = delete;
    ReadStructs& operator=(const ReadStructs&) = delete;

    bool created() const { return info_ != nullptr; }
    png_structp png() const { return png_; }
    png_infop info() const { return info_; }

private:
    png_structp png_;
    png_infop info_;
};

// Reads the chunks up to the image data and sets the transforms to 8-bit
// BGRA; false on a libpng error. Owns nothing: libpng may longjmp here.
bool read_header(png_structp png, png_infop info) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_read_info(png, info);
    png_set_expand(png);
    png_set_scale_16(png);
    png_set_gray_to_rgb(png);
    png_set_bgr(png);
    png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    return png_get_rowbytes(png, info) == size_t(png_get_image_width(png, info)) * 4;
}

// Reads every pass of every row into the bitmap; false on a libpng error.
// Owns nothing: libpng may longjmp here.
bool read_pixels(png_structp png, Bitmap& bitmap) {
    if (setjmp(png_jmpbuf(png))) return false;
    int passes = png_set_interlace_handling(png);
    for (int pass = 0; pass < passes; ++pass)
        for (uint32_t y = 0; y < bitmap.height; ++y)
            png_read_row(png, reinterpret_cast<png_bytep>(bitmap.pixels.data() + size_t(y) * bitmap.width), nullptr);
    return true;
}

// A png_image for the simplified writer, freed with the object.
class WriteImage {
public:
    WriteImage() { image_.version = PNG_IMAGE_VERSION; }
    ~WriteImage() { png_image_free(&image_); }
    WriteImage(const WriteImage&) = delete;
    WriteImage& operator=(const WriteImage&) = delete;

    png_image& get() { return image_; }

private:
    png_image image_{};
};

Status write_failure(const png_image& image) {
    return names_memory_failure(image.message) ? Status::no_memory : Status::failed;
}

}  // namespace

Decoded decode_png(std::span<const uint8_t> bytes, uint64_t max_pixels) {
    if (!library.available()) return refused(Status::unsupported);
    Source source{bytes};
    ReadStructs structs(source);
    if (!structs.created()) return refused(Status::no_memory);
    if (!read_header(structs.png(), structs.info())) return refused(source.failure());
    uint32_t width = png_get_image_width(structs.png(), structs.info());
    uint32_t height = png_get_image_height(structs.png(), structs.info());
    Status status = check_size(width, height, max_pixels);
    if (status != Status::ok) return refused(status);
    Decoded decoded{Status::ok, {}};
    status = allocate(decoded.bitmap, width, height);
    if (status != Status::ok) return refused(status);
    if (!read_pixels(structs.png(), decoded.bitmap)) return refused(source.failure());
    return decoded;
}

Status encode_png(const Bitmap& bitmap, std::vector<uint8_t>& out) {
    if (!library.available()) return Status::unsupported;
    WriteImage writer;
    png_image& image = writer.get();
    image.width = bitmap.width;
    image.height = bitmap.height;
    image.format = PNG_FORMAT_BGRA;
    const void* pixels = bitmap.pixels.data();
    png_int_32 stride = png_int_32(bitmap.width * 4);
    // The first pass only measures the file: libpng compresses twice, but the
    // output is allocated once at its exact size.
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&image, nullptr, &size, 0, pixels, stride, nullptr)) return write_failure(image);
    out.resize(size);
    if (!png_image_write_to_memory(&image, out.data(), &size, 0, pixels, stride, nullptr)) return write_failure(image);
    out.resize(size);
    return Status::ok;
}

}  // namespace vek::platform::image
