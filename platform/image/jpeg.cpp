// JPEG through libjpeg-turbo's TurboJPEG interface, which catches libjpeg's
// longjmp itself and answers -1. The decoder is strict: a warning (a file cut
// short, corrupt entropy data) fails the decoding rather than handing out an
// image padded with grey, and a progressive file with an unreasonable number
// of scans is refused. Greyscale files decode to grey pixels; CMYK and YCCK
// files, which hold inverted ink values as Adobe's applications write them,
// are converted to RGB here. Alpha is always 255. The encoder writes quality
// 90 with 4:4:4 sampling (no chroma subsampling: the edges of drawn images
// stay sharp) and drops alpha. TurboJPEG is loaded at the first decoding or
// encoding; without it both answer unsupported.
#include <turbojpeg.h>

#include "platform/image/codec.h"
#include "platform/image/internal.h"
#include "platform/shared_library.h"

namespace vek::platform::image {
namespace {

#define VEK_TURBOJPEG_FUNCTIONS(F)                                                                            \
    F(tjInitDecompress) F(tjInitCompress) F(tjDestroy) F(tjFree) F(tjGetErrorStr2) F(tjDecompressHeader3)     \
    F(tjDecompress2) F(tjCompress2)
VEK_SHARED_LIBRARY(VEK_TURBOJPEG_SONAME, VEK_TURBOJPEG_FUNCTIONS)

constexpr int QUALITY = 90;

// A TurboJPEG instance, destroyed with the object.
class Handle {
public:
    explicit Handle(tjhandle handle) : handle_(handle) {}
    ~Handle() {
        if (handle_) tjDestroy(handle_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    tjhandle get() const { return handle_; }

private:
    tjhandle handle_;
};

// A buffer TurboJPEG allocated, freed with the object.
struct JpegBuffer {
    unsigned char* data = nullptr;
    unsigned long size = 0;

    JpegBuffer() = default;
    ~JpegBuffer() { tjFree(data); }
    JpegBuffer(const JpegBuffer&) = delete;
    JpegBuffer& operator=(const JpegBuffer&) = delete;
};

Status failure_of(tjhandle handle, Status otherwise) {
    return names_memory_failure(tjGetErrorStr2(handle)) ? Status::no_memory : otherwise;
}

bool is_cmyk(int colorspace) { return colorspace == TJCS_CMYK || colorspace == TJCS_YCCK; }

// Rewrites every pixel decoded as C, M, Y, K bytes into a pixel word. The
// bytes are inverted ink amounts (255 = no ink), so each colour is the
// product of its byte and K's.
void cmyk_to_pixels(Bitmap& bitmap) {
    for (uint32_t& pixel : bitmap.pixels) {
        const auto* cmyk = reinterpret_cast<const uint8_t*>(&pixel);
        uint32_t k = cmyk[3];
        auto ink = [k](uint32_t value) { return (value * k + 127) / 255; };
        pixel = pixel_from_rgba(ink(cmyk[0]), ink(cmyk[1]), ink(cmyk[2]), 255);
    }
}

}  // namespace

Decoded decode_jpeg(std::span<const uint8_t> bytes, uint64_t max_pixels) {
    if (!library.available()) return refused(Status::unsupported);
    Handle handle(tjInitDecompress());
    if (!handle.get()) return refused(Status::no_memory);
    int width = 0, height = 0, subsampling = 0, colorspace = 0;
    if (tjDecompressHeader3(handle.get(), bytes.data(), bytes.size(), &width, &height, &subsampling, &colorspace) != 0)
        return refused(failure_of(handle.get(), Status::bad_data));
    // Bytes that end before the frame header leave the size at zero.
    if (width <= 0 || height <= 0) return refused(Status::bad_data);
    Status status = check_size(uint32_t(width), uint32_t(height), max_pixels);
    if (status != Status::ok) return refused(status);
    Decoded decoded{Status::ok, {}};
    status = allocate(decoded.bitmap, uint32_t(width), uint32_t(height));
    if (status != Status::ok) return refused(status);
    int format = is_cmyk(colorspace) ? TJPF_CMYK : TJPF_BGRA;
    auto* pixels = reinterpret_cast<unsigned char*>(decoded.bitmap.pixels.data());
    if (tjDecompress2(handle.get(), bytes.data(), bytes.size(), pixels, width, width * 4, height, format,
                      TJFLAG_STOPONWARNING | TJFLAG_LIMITSCANS) != 0)
        return refused(failure_of(handle.get(), Status::bad_data));
    if (is_cmyk(colorspace)) cmyk_to_pixels(decoded.bitmap);
    return decoded;
}

Status encode_jpeg(const Bitmap& bitmap, std::vector<uint8_t>& out) {
    if (!library.available()) return Status::unsupported;
    Handle handle(tjInitCompress());
    if (!handle.get()) return Status::no_memory;
    JpegBuffer file;
    const auto* pixels = reinterpret_cast<const unsigned char*>(bitmap.pixels.data());
    int width = int(bitmap.width), height = int(bitmap.height);
    if (tjCompress2(handle.get(), pixels, width, width * 4, height, TJPF_BGRA, &file.data, &file.size, TJSAMP_444,
                    QUALITY, 0) != 0)
        return failure_of(handle.get(), Status::failed);
    out.assign(file.data, file.data + file.size);
    return Status::ok;
}

}  // namespace vek::platform::image
