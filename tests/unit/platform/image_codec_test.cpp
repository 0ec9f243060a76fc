// The image files: signatures, the decoders on small files of each library
// format, round trips through the encoders, and refusals of lying or cut
// files.
//
// The fixtures in images/ are written byte by byte by images/make_fixtures.py
// (palette.png, grey16_interlaced.png, rgba16.tiff), and grey.jpg by cjpeg
// (quality 95) from the greyscale PGM that script writes; the script's
// docstrings describe each image.
#include <gtest/gtest.h>
#include <turbojpeg.h>
#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "runtime/codecs/image.h"

namespace {

using namespace vek::codecs::image;
using Bytes = std::vector<uint8_t>;

Bytes fixture(const std::string& name) {
    std::ifstream in(std::string(VEK_TEST_IMAGES) + "/" + name, std::ios::binary);
    Bytes bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    EXPECT_FALSE(bytes.empty()) << name;
    return bytes;
}

Bytes from_text(std::string_view text) { return Bytes(text.begin(), text.end()); }

uint32_t argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b) { return a << 24 | r << 16 | g << 8 | b; }

// A bitmap whose pixels differ in every channel, alpha 0 and 1 included.
Bitmap pattern(uint32_t width, uint32_t height) {
    Bitmap bitmap{width, height, Pixels(size_t(width) * height)};
    for (uint32_t i = 0; i < bitmap.pixels.size(); ++i)
        bitmap.pixels[i] = argb(i * 37 % 256, i * 11 % 256, 255 - i * 5 % 256, i * 71 % 256);
    return bitmap;
}

// Largest difference of any channel between two pixels.
int channel_distance(uint32_t a, uint32_t b) {
    int most = 0;
    for (int shift = 0; shift < 32; shift += 8) most = std::max(most, std::abs(int(a >> shift & 0xFF) - int(b >> shift & 0xFF)));
    return most;
}

TEST(ImageSniff, SignaturesNearMissesAndShortInput) {
    struct Case {
        std::string_view bytes;
        std::optional<Format> format;
    };
    const Case cases[] = {
        {"\x89PNG\r\n", Format::png},
        {"\xFF\xD8\xFF\xE0", Format::jpeg},
        {"BM", Format::bmp},
        {"GIF87a", Format::gif},
        {"GIF89a...", Format::gif},
        {{"II\x2A\0", 4}, Format::tiff},
        {{"MM\0\x2A", 4}, Format::tiff},
        {"\x89PNx", std::nullopt},
        {"\xFF\xD8\xFE", std::nullopt},
        {"GIF88a", std::nullopt},
        {"GIF89b", std::nullopt},
        {{"II\0\x2A", 4}, std::nullopt},
        {"\x89PN", std::nullopt},
        {"GIF89", std::nullopt},
        {"B", std::nullopt},
        {"", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(sniff(from_text(c.bytes)), c.format) << c.bytes;
    EXPECT_EQ(decode(from_text("XYZ")).status, Status::bad_data);
}

TEST(ImageDecode, PalettedPngWithTransparency) {
    Decoded decoded = decode(fixture("palette.png"));
    ASSERT_EQ(decoded.status, Status::ok);
    ASSERT_EQ(decoded.bitmap.width, 4u);
    ASSERT_EQ(decoded.bitmap.height, 2u);
    uint32_t clear_red = argb(0, 255, 0, 0), half_green = argb(128, 0, 255, 0), blue = argb(255, 0, 0, 255);
    Pixels expected{clear_red, half_green, blue, half_green, blue, blue, clear_red, half_green};
    EXPECT_EQ(decoded.bitmap.pixels, expected);
}

TEST(ImageDecode, SixteenBitInterlacedGreyPng) {
    Decoded decoded = decode(fixture("grey16_interlaced.png"));
    ASSERT_EQ(decoded.status, Status::ok);
    ASSERT_EQ(decoded.bitmap.width, 3u);
    ASSERT_EQ(decoded.bitmap.height, 3u);
    // The samples scaled to 8 bits, each pass's pixels in place, and the
    // clear pixel in the middle.
    Pixels expected;
    for (uint32_t grey : {0x01, 0x11, 0x21, 0x31, 0x41, 0x51, 0x61, 0x71, 0x80})
        expected.push_back(argb(255, grey, grey, grey));
    expected[4] &= 0xFFFFFF;
    EXPECT_EQ(decoded.bitmap.pixels, expected);
}

TEST(ImageDecode, GreyscaleJpegIsOpaqueGrey) {
    Decoded decoded = decode(fixture("grey.jpg"));
    ASSERT_EQ(decoded.status, Status::ok);
    ASSERT_EQ(decoded.bitmap.width, 16u);
    ASSERT_EQ(decoded.bitmap.height, 8u);
    for (uint32_t y : {0u, 7u}) {
        EXPECT_LE(channel_distance(decoded.bitmap.pixels[y * 16 + 2], argb(255, 40, 40, 40)), 2);
        EXPECT_LE(channel_distance(decoded.bitmap.pixels[y * 16 + 13], argb(255, 200, 200, 200)), 2);
    }
}

TEST(ImageDecode, SixteenBitTiffWithUnassociatedAlpha) {
    Decoded decoded = decode(fixture("rgba16.tiff"));
    ASSERT_EQ(decoded.status, Status::ok);
    ASSERT_EQ(decoded.bitmap.width, 3u);
    ASSERT_EQ(decoded.bitmap.height, 2u);
    // The high byte of each sample; the half-transparent orange keeps its
    // straight colour, and the clear pixel its zero alpha.
    Pixels expected{argb(255, 0x12, 0x56, 0x9A), argb(255, 255, 0, 0), argb(255, 0, 255, 0),
                                   argb(255, 0, 0, 255), argb(128, 255, 128, 0), argb(0, 0, 0, 0)};
    EXPECT_EQ(decoded.bitmap.pixels, expected);
}

TEST(ImageDecode, CmykJpegBecomesRgb) {
    // Inverted ink as Adobe's applications store it: C = 255 is no cyan.
    std::vector<uint8_t> cmyk;
    for (int i = 0; i < 64; ++i) cmyk.insert(cmyk.end(), {255, 0, 255, 255});
    tjhandle compressor = tjInitCompress();
    unsigned char* file = nullptr;
    unsigned long size = 0;
    ASSERT_EQ(tjCompress2(compressor, cmyk.data(), 8, 32, 8, TJPF_CMYK, &file, &size, TJSAMP_444, 100, 0), 0);
    Bytes bytes(file, file + size);
    tjFree(file);
    tjDestroy(compressor);
    Decoded decoded = decode(bytes);
    ASSERT_EQ(decoded.status, Status::ok);
    EXPECT_LE(channel_distance(decoded.bitmap.pixels[27], argb(255, 255, 0, 255)), 3);
}

TEST(ImageEncode, PngAndTiffRoundTripExactly) {
    Bitmap bitmap = pattern(7, 5);
    for (Format format : {Format::png, Format::tiff}) {
        Bytes file;
        ASSERT_EQ(encode(bitmap, format, file), Status::ok) << int(format);
        EXPECT_EQ(sniff(file), format);
        Decoded decoded = decode(file);
        ASSERT_EQ(decoded.status, Status::ok) << int(format);
        EXPECT_EQ(decoded.bitmap.width, 7u);
        EXPECT_EQ(decoded.bitmap.height, 5u);
        EXPECT_EQ(decoded.bitmap.pixels, bitmap.pixels) << int(format);
    }
}

TEST(ImageEncode, JpegRoundTripIsCloseAndOpaque) {
    Bitmap bitmap{16, 16, Pixels(256)};
    for (uint32_t y = 0; y < 16; ++y)
        for (uint32_t x = 0; x < 16; ++x) bitmap.pixels[y * 16 + x] = argb(100, x * 16, y * 16, 128);
    Bytes file;
    ASSERT_EQ(encode(bitmap, Format::jpeg, file), Status::ok);
    Decoded decoded = decode(file);
    ASSERT_EQ(decoded.status, Status::ok);
    ASSERT_EQ(decoded.bitmap.pixels.size(), 256u);
    for (size_t i = 0; i < 256; ++i) {
        EXPECT_EQ(decoded.bitmap.pixels[i] >> 24, 255u) << i;
        EXPECT_LE(channel_distance(decoded.bitmap.pixels[i] | 0xFF000000, bitmap.pixels[i] | 0xFF000000), 8) << i;
    }
}

TEST(ImageEncode, ZeroSideIsTooLargeAndLeavesNothing) {
    for (Format format : {Format::png, Format::jpeg, Format::tiff}) {
        Bytes file{1, 2, 3};
        EXPECT_EQ(encode(Bitmap{0, 5, {}}, format, file), Status::too_large) << int(format);
        EXPECT_TRUE(file.empty());
    }
}

// The fixture with its width claimed as 70000: in the PNG header (with the
// chunk's checksum made right again), and in the TIFF's first directory
// entry, retyped from a short to a long.
Bytes png_claiming_70000_wide() {
    Bytes bytes = fixture("palette.png");
    bytes[16] = 0, bytes[17] = 0x01, bytes[18] = 0x11, bytes[19] = 0x70;
    uint32_t crc = uint32_t(crc32(0, &bytes[12], 17));
    for (int i = 0; i < 4; ++i) bytes[29 + i] = uint8_t(crc >> (24 - 8 * i));
    return bytes;
}

Bytes tiff_claiming_70000_wide() {
    Bytes bytes = fixture("rgba16.tiff");
    bytes[13] = 4;
    bytes[18] = 0, bytes[19] = 0x01, bytes[20] = 0x11, bytes[21] = 0x70;
    return bytes;
}

TEST(ImageDecode, SizesAboveTheLimitsAreTooLarge) {
    EXPECT_EQ(decode(png_claiming_70000_wide()).status, Status::too_large);
    EXPECT_EQ(decode(tiff_claiming_70000_wide()).status, Status::too_large);
    // Each format against a pixel limit just below its image.
    for (const char* name : {"palette.png", "grey.jpg", "rgba16.tiff"}) {
        Bytes bytes = fixture(name);
        Decoded whole = decode(bytes);
        uint64_t pixels = uint64_t(whole.bitmap.width) * whole.bitmap.height;
        EXPECT_EQ(decode(bytes, pixels).status, Status::ok) << name;
        EXPECT_EQ(decode(bytes, pixels - 1).status, Status::too_large) << name;
    }
}

TEST(ImageDecode, CutFilesAreBadData) {
    Bytes png, tiff;
    ASSERT_EQ(encode(pattern(20, 20), Format::png, png), Status::ok);
    ASSERT_EQ(encode(pattern(20, 20), Format::tiff, tiff), Status::ok);
    struct Case {
        const char* what;
        Bytes bytes;
    };
    const Case cases[] = {
        {"png", png},
        {"palette png", fixture("palette.png")},
        {"jpeg", fixture("grey.jpg")},
        {"tiff, directory at the end", tiff},
        {"tiff, directory first", fixture("rgba16.tiff")},
    };
    // The libraries' complaints stay off the console.
    testing::internal::CaptureStderr();
    for (const Case& c : cases)
        for (size_t keep : {c.bytes.size() - 30, c.bytes.size() / 2, size_t(12), size_t(4)}) {
            Bytes cut(c.bytes.begin(), c.bytes.begin() + ptrdiff_t(keep));
            EXPECT_EQ(decode(cut).status, Status::bad_data) << c.what << " cut to " << keep;
        }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

}  // namespace
