// BMP and GIF files: the decoders on small files built here byte by byte, the
// encoders through round trips, and the refusals of broken input.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/image/codec.h"
#include "runtime/codecs/bmp.h"

namespace {

using namespace vek::platform::image;
using Bytes = std::vector<uint8_t>;

void put16(Bytes& out, uint16_t value) {
    out.push_back(uint8_t(value));
    out.push_back(uint8_t(value >> 8));
}

void put32(Bytes& out, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(uint8_t(value >> shift));
}

void set32(Bytes& out, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) out[at + i] = uint8_t(value >> 8 * i);
}

// ====== BMP files ======

// A BMP file as its fields give it; the builder lays out the headers, the
// masks (inside a header of 52 bytes or more, after a shorter one), the
// palette and the pixel data, in that order.
struct BmpLayout {
    uint32_t header_size = 40;
    int32_t width = 1;
    int32_t height = 1;
    uint16_t bits = 24;
    uint32_t compression = 0;
    uint32_t colours_used = 0;
    std::vector<uint32_t> masks{};
    Bytes palette{};  // entries as stored: B, G, R (and a fourth byte unless the header is 12 bytes)
    Bytes pixels{};   // pixel data as stored
    std::optional<uint32_t> pixel_offset{};  // in place of the one the layout gives
};

Bytes info_header(const BmpLayout& layout) {
    Bytes info;
    put32(info, layout.header_size);
    if (layout.header_size == 12) {
        put16(info, uint16_t(layout.width));
        put16(info, uint16_t(layout.height));
        put16(info, 1);
        put16(info, layout.bits);
        return info;
    }
    put32(info, uint32_t(layout.width));
    put32(info, uint32_t(layout.height));
    put16(info, 1);
    put16(info, layout.bits);
    put32(info, layout.compression);
    put32(info, uint32_t(layout.pixels.size()));
    put32(info, 2835);
    put32(info, 2835);
    put32(info, layout.colours_used);
    put32(info, 0);
    info.resize(layout.header_size);
    return info;
}

Bytes bmp_file(const BmpLayout& layout) {
    Bytes info = info_header(layout);
    Bytes masks;
    for (size_t i = 0; i < layout.masks.size(); ++i) {
        if (40 + 4 * i + 4 <= layout.header_size)
            set32(info, 40 + 4 * i, layout.masks[i]);
        else
            put32(masks, layout.masks[i]);
    }
    uint32_t offset = uint32_t(14 + info.size() + masks.size() + layout.palette.size());
    Bytes file{'B', 'M'};
    put32(file, uint32_t(offset + layout.pixels.size()));
    put32(file, 0);
    put32(file, layout.pixel_offset.value_or(offset));
    for (const Bytes* part : {&std::as_const(info), &std::as_const(masks), &layout.palette, &layout.pixels})
        file.insert(file.end(), part->begin(), part->end());
    return file;
}

constexpr uint32_t RED = 0xFFFF0000, GREEN = 0xFF00FF00, BLUE = 0xFF0000FF, BLACK = 0xFF000000, CLEAR = 0;

// Palette entries (B, G, R, 0) for red, green and blue.
const Bytes RGB_PALETTE{0, 0, 255, 0, 0, 255, 0, 0, 255, 0, 0, 0};

Bytes grey_palette(int entries) {
    Bytes palette;
    for (int i = 0; i < entries; ++i) {
        uint8_t level = uint8_t(i * 17);
        palette.insert(palette.end(), {level, level, level, 0});
    }
    return palette;
}

uint32_t grey(int i) { return BLACK | uint32_t(i * 17) * 0x010101u; }

struct DecodeCase {
    std::string name;
    BmpLayout layout;
    Pixels expected;  // rows top down
};

TEST(BmpDecode, FixturesGiveTheirPixels) {
    constexpr uint32_t ZERO = 0xFF0A141E, ONE = 0xFFC86432;  // the 1-bit palette's colours
    const DecodeCase cases[] = {
        // 4x3, bottom up. Bottom row: a run of 3 and an early end of line; middle:
        // an absolute stretch of 3 with its pad byte (index 3 is past the palette)
        // and a run of 1; top: a delta of 2 columns, a run of 2, end of bitmap.
        {"rle8",
         {.width = 4, .height = 3, .bits = 8, .compression = 1, .colours_used = 3, .palette = RGB_PALETTE,
          .pixels = {3, 1, 0, 0, 0, 3, 2, 0, 3, 0, 1, 2, 0, 0, 0, 2, 2, 0, 2, 0, 0, 1}},
         {CLEAR, CLEAR, RED, RED, BLUE, RED, BLACK, BLUE, GREEN, GREEN, GREEN, CLEAR}},
        // 8x1: a run of 3 alternating nibbles, an absolute stretch of 5 nibbles.
        {"rle4",
         {.width = 8, .height = 1, .bits = 4, .compression = 2, .palette = grey_palette(16),
          .pixels = {3, 0x12, 0, 5, 0x34, 0x51, 0x20, 0, 0, 1}},
         {grey(1), grey(2), grey(1), grey(3), grey(4), grey(5), grey(1), grey(2)}},
        // 10x2, 1 bit, under the 12-byte core header with three-byte palette entries.
        {"core header, 1 bit",
         {.header_size = 12, .width = 10, .height = 2, .bits = 1, .palette = {30, 20, 10, 50, 100, 200},
          .pixels = {0b10110000, 0b01000000, 0, 0, 0xFF, 0xC0, 0, 0}},
         {ONE, ONE, ONE, ONE, ONE, ONE, ONE, ONE, ONE, ONE,
          ONE, ZERO, ONE, ONE, ZERO, ZERO, ZERO, ZERO, ZERO, ONE}},
        // 3x1, 5-6-5 masks after the header: 6- and 5-bit values widen to 8 bits.
        {"16 bits, bitfields",
         {.width = 3, .height = 1, .bits = 16, .compression = 3, .masks = {0xF800, 0x07E0, 0x001F},
          .pixels = {0x00, 0xF8, 0xE0, 0x07, 0x10, 0x04, 0, 0}},
         {RED, GREEN, 0xFF008284}},
        // An empty mask gives its channel 0.
        {"16 bits, empty masks",
         {.width = 1, .height = 1, .bits = 16, .compression = 3, .masks = {0, 0x07E0, 0}, .pixels = {0xFF, 0xFF, 0, 0}},
         {GREEN}},
        // 2x2 top down; the last row's padding is left out of the file.
        {"24 bits, top down",
         {.width = 2, .height = -2, .bits = 24, .pixels = {3, 2, 1, 6, 5, 4, 0, 0, 9, 8, 7, 12, 11, 10}},
         {0xFF010203, 0xFF040506, 0xFF070809, 0xFF0A0B0C}},
        // 32-bit BI_RGB whose alpha bytes are all 0: opaque.
        {"32 bits, unused alpha", {.width = 2, .height = 1, .bits = 32, .pixels = {3, 2, 1, 0, 6, 5, 4, 0}},
         {0xFF010203, 0xFF040506}},
        // A 56-byte header holds all four masks, alpha among them.
        {"32 bits, alpha mask in the header",
         {.header_size = 56, .width = 2, .height = 1, .bits = 32, .compression = 3,
          .masks = {0xFF000000, 0x00FF0000, 0x0000FF00, 0x000000FF}, .pixels = {0x80, 3, 2, 1, 0, 6, 5, 4}},
         {0x80010203, 0x00040506}},
    };
    for (const auto& c : cases) {
        Decoded d = vek::codecs::decode_bmp(bmp_file(c.layout), MAX_PIXELS);
        ASSERT_EQ(d.status, Status::ok) << c.name;
        EXPECT_EQ(d.bitmap.width, uint32_t(c.layout.width)) << c.name;
        EXPECT_EQ(d.bitmap.height, uint32_t(std::abs(c.layout.height))) << c.name;
        EXPECT_EQ(d.bitmap.pixels, c.expected) << c.name;
    }
}

TEST(BmpEncode, RoundTripKeepsEveryPixelAndAlpha) {
    Bitmap image{3, 2, {0xFF102030, 0x80FFFFFF, 0x00000000, 0x01020304, 0xFEDCBA98, 0x7F7F7F7F}};
    Bytes file;
    ASSERT_EQ(vek::codecs::encode_bmp(image, file), Status::ok);
    Decoded d = vek::codecs::decode_bmp(file, MAX_PIXELS);
    ASSERT_EQ(d.status, Status::ok);
    EXPECT_EQ(d.bitmap.width, 3u);
    EXPECT_EQ(d.bitmap.height, 2u);
    EXPECT_EQ(d.bitmap.pixels, image.pixels);

    Bytes untouched{1, 2, 3};
    EXPECT_EQ(vek::codecs::encode_bmp(Bitmap{0, 5, {}}, untouched), Status::too_large);
    EXPECT_TRUE(untouched.empty());
}

TEST(BmpDecode, RefusesBrokenAndOversizedFiles) {
    const BmpLayout rgb{.width = 2, .height = 2, .pixels = {1, 2, 3, 4, 5, 6, 0, 0, 7, 8, 9, 10, 11, 12, 0, 0}};
    const BmpLayout rle{.width = 4, .height = 1, .bits = 8, .compression = 1, .palette = RGB_PALETTE};
    auto with = [](BmpLayout layout, auto change) {
        change(layout);
        return bmp_file(layout);
    };
    auto cut = [](Bytes file, size_t length) {
        file.resize(length);
        return file;
    };
    Bytes good = bmp_file(rgb);
    struct Case {
        std::string name;
        Bytes file;
        Status expected;
        uint64_t max_pixels = MAX_PIXELS;
    };
    const Case cases[] = {
        {"empty", {}, Status::bad_data},
        {"cut in the file header", cut(good, 12), Status::bad_data},
        {"cut in the info header", cut(good, 30), Status::bad_data},
        {"cut in the pixels", cut(good, good.size() - 3), Status::bad_data},
        {"cut in the palette", cut(bmp_file(BmpLayout{.bits = 8, .palette = grey_palette(256), .pixels = {0}}), 600),
         Status::bad_data},
        {"pixel offset past the end", with(rgb, [](BmpLayout& s) { s.pixel_offset = 4000; }), Status::bad_data},
        {"pixel offset inside the header", with(rgb, [](BmpLayout& s) { s.pixel_offset = 20; }), Status::bad_data},
        {"rle run past the row", with(rle, [](BmpLayout& s) { s.pixels = {5, 0, 0, 1}; }), Status::bad_data},
        {"rle absolute stretch past the row", with(rle, [](BmpLayout& s) { s.pixels = {2, 0, 0, 3, 1, 1, 1, 0}; }),
         Status::bad_data},
        {"rle delta out of the image", with(rle, [](BmpLayout& s) { s.pixels = {0, 2, 1, 2, 0, 1}; }), Status::bad_data},
        {"rle without its end", with(rle, [](BmpLayout& s) { s.pixels = {2, 0}; }), Status::bad_data},
        {"rle absolute stretch cut short", with(rle, [](BmpLayout& s) { s.pixels = {0, 4, 1, 1}; }), Status::bad_data},
        {"most negative height", with(rgb, [](BmpLayout& s) { s.height = INT32_MIN; }), Status::bad_data},
        {"negative width", with(rgb, [](BmpLayout& s) { s.width = -2; }), Status::bad_data},
        {"mask with a gap", with(rgb, [](BmpLayout& s) {
             s.bits = 16;
             s.compression = 3;
             s.masks = {0xF00F, 0x0F00, 0x00F0};
         }),
         Status::bad_data},
        {"unknown header size", with(rgb, [](BmpLayout& s) { s.header_size = 44; }), Status::bad_data},
        {"width above the limit", with(rgb, [](BmpLayout& s) { s.width = 70000; }), Status::too_large},
        {"zero height", with(rgb, [](BmpLayout& s) { s.height = 0; }), Status::too_large},
        {"more pixels than allowed", good, Status::too_large, 3},
        {"embedded PNG", with(rgb, [](BmpLayout& s) { s.compression = 5; }), Status::unsupported},
    };
    for (const auto& c : cases) {
        Decoded d = vek::codecs::decode_bmp(c.file, c.max_pixels);
        EXPECT_EQ(d.status, c.expected) << c.name;
        EXPECT_TRUE(d.bitmap.pixels.empty()) << c.name;
    }
}

// ====== GIF files ======

// A GIF file with one frame, built without giflib: a global colour map, an
// optional graphics control block, the image descriptor, and the indexes as
// an LZW stream of literal codes only (code size 8, a clear code every 200
// literals so the code width stays 9 bits).
struct GifSpec {
    uint16_t screen_width = 1;
    uint16_t screen_height = 1;
    std::vector<uint32_t> colours{};  // 0xRRGGBB each; a power of two in size, or none at all
    int transparent = -1;           // the graphics control block's index, -1 for no block
    uint16_t left = 0, top = 0, width = 1, height = 1;
    bool interlaced = false;
    Bytes indexes{};  // in stored order
};

Bytes literal_lzw(const Bytes& indexes) {
    constexpr uint32_t CLEAR_CODE = 256, END_CODE = 257;
    Bytes packed;
    uint32_t bits = 0, count = 0;
    auto emit = [&](uint32_t code) {
        bits |= code << count;
        for (count += 9; count >= 8; count -= 8, bits >>= 8) packed.push_back(uint8_t(bits));
    };
    for (size_t i = 0; i < indexes.size(); ++i) {
        if (i % 200 == 0) emit(CLEAR_CODE);
        emit(indexes[i]);
    }
    emit(END_CODE);
    if (count > 0) packed.push_back(uint8_t(bits));
    Bytes blocks{8};
    for (size_t at = 0; at < packed.size(); at += 255) {
        size_t length = std::min<size_t>(255, packed.size() - at);
        blocks.push_back(uint8_t(length));
        blocks.insert(blocks.end(), packed.begin() + at, packed.begin() + at + length);
    }
    blocks.push_back(0);
    return blocks;
}

Bytes gif_file(const GifSpec& layout) {
    Bytes file{'G', 'I', 'F', '8', '9', 'a'};
    put16(file, layout.screen_width);
    put16(file, layout.screen_height);
    int size_bits = 0;
    while ((2u << size_bits) < layout.colours.size()) ++size_bits;
    file.push_back(uint8_t(layout.colours.empty() ? 0 : 0x80 | 0x70 | size_bits));
    file.insert(file.end(), {0, 0});
    for (uint32_t c : layout.colours) file.insert(file.end(), {uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c)});
    if (layout.transparent >= 0) file.insert(file.end(), {0x21, 0xF9, 4, 1, 0, 0, uint8_t(layout.transparent), 0});
    file.push_back(0x2C);
    for (uint16_t v : {layout.left, layout.top, layout.width, layout.height}) put16(file, v);
    file.push_back(layout.interlaced ? 0x40 : 0);
    Bytes data = literal_lzw(layout.indexes);
    file.insert(file.end(), data.begin(), data.end());
    file.push_back(0x3B);
    return file;
}

uint32_t shade(int i) { return uint32_t(i * 30) << 16 | uint32_t(255 - i * 30) << 8 | uint32_t(i); }

// A 2x8 interlaced frame at (1, 1) on a 4x10 screen; row r of the frame is
// all index r, and index 5 is transparent.
GifSpec interlaced_gif() {
    GifSpec layout{.screen_width = 4, .screen_height = 10, .transparent = 5, .left = 1, .top = 1, .width = 2,
                 .height = 8, .interlaced = true};
    for (int i = 0; i < 8; ++i) layout.colours.push_back(shade(i));
    for (uint8_t row : {0, 4, 2, 6, 1, 3, 5, 7}) layout.indexes.insert(layout.indexes.end(), {row, row});
    return layout;
}

TEST(GifDecode, InterlacedFrameWithTransparencyOnItsScreen) {
    Bytes file = gif_file(interlaced_gif());
    // Records after frame 0 are never read: a broken second frame does no harm.
    file.insert(file.end() - 1, {0x2C, 0, 0});
    Decoded d = decode_gif(file, MAX_PIXELS);
    ASSERT_EQ(d.status, Status::ok);
    ASSERT_EQ(d.bitmap.width, 4u);
    ASSERT_EQ(d.bitmap.height, 10u);
    for (uint32_t y = 0; y < 10; ++y) {
        for (uint32_t x = 0; x < 4; ++x) {
            bool inside = x >= 1 && x <= 2 && y >= 1 && y <= 8;
            uint32_t expected = inside && y - 1 != 5 ? 0xFF000000 | shade(int(y - 1)) : 0;
            EXPECT_EQ(d.bitmap.pixels[y * 4 + x], expected) << x << "x" << y;
        }
    }
}

TEST(GifEncode, RoundTripWithFewColoursIsExact) {
    // 241 colours: 240 opaque ones and transparent black in the top row.
    Bitmap image{16, 16, {}};
    for (uint32_t y = 0; y < 16; ++y)
        for (uint32_t x = 0; x < 16; ++x)
            image.pixels.push_back(y == 0 ? 0 : 0xFF000000 | x * 16 << 16 | y * 16 << 8 | 77);
    Bytes file;
    ASSERT_EQ(encode_gif(image, file), Status::ok);
    Decoded d = decode_gif(file, MAX_PIXELS);
    ASSERT_EQ(d.status, Status::ok);
    EXPECT_EQ(d.bitmap.width, 16u);
    EXPECT_EQ(d.bitmap.height, 16u);
    EXPECT_EQ(d.bitmap.pixels, image.pixels);
}

TEST(GifEncode, ManyColoursAreReducedCloseToTheOriginal) {
    // 4096 colours; alpha below half turns transparent, above half opaque.
    Bitmap image{64, 64, {}};
    for (uint32_t y = 0; y < 64; ++y)
        for (uint32_t x = 0; x < 64; ++x) {
            uint32_t alpha = x < 8 && y < 8 ? 100 : 200;
            image.pixels.push_back(alpha << 24 | x * 4 << 16 | y * 4 << 8 | 128);
        }
    Bytes file;
    ASSERT_EQ(encode_gif(image, file), Status::ok);
    Decoded d = decode_gif(file, MAX_PIXELS);
    ASSERT_EQ(d.status, Status::ok);
    ASSERT_EQ(d.bitmap.width, 64u);
    ASSERT_EQ(d.bitmap.height, 64u);
    // Median cut over a smooth 64x64 ramp leaves each channel a few steps off on average.
    long error = 0, samples = 0;
    for (size_t i = 0; i < image.pixels.size(); ++i) {
        uint32_t in = image.pixels[i], out = d.bitmap.pixels[i];
        if (in >> 24 < 128) {
            EXPECT_EQ(out >> 24, 0u) << i;
            continue;
        }
        EXPECT_EQ(out >> 24, 255u) << i;
        for (int shift : {0, 8, 16}) {
            error += std::abs(int(in >> shift & 255) - int(out >> shift & 255));
            ++samples;
        }
    }
    EXPECT_LE(double(error) / double(samples), 8.0);
}

TEST(GifDecode, RefusesBrokenAndOversizedFiles) {
    Bytes good = gif_file(interlaced_gif());
    auto cut = [](Bytes file, size_t length) {
        file.resize(length);
        return file;
    };
    auto with = [](auto change) {
        GifSpec layout = interlaced_gif();
        change(layout);
        return gif_file(layout);
    };
    Bytes no_image = cut(good, 13 + 24 + 8);  // screen, colour map, control block
    no_image.push_back(0x3B);
    struct Case {
        std::string name;
        Bytes file;
        Status expected;
    };
    const Case cases[] = {
        {"empty", {}, Status::bad_data},
        {"cut in the screen descriptor", cut(good, 9), Status::bad_data},
        {"cut in the colour map", cut(good, 20), Status::bad_data},
        {"cut in the pixel data", cut(good, good.size() - 8), Status::bad_data},
        {"index past the colour map", with([](GifSpec& s) {
             s.colours.resize(4);
             s.transparent = -1;
         }),
         Status::bad_data},
        {"no colour map", with([](GifSpec& s) { s.colours.clear(); }), Status::bad_data},
        {"no image", no_image, Status::bad_data},
        {"screen above the pixel limit",
         with([](GifSpec& s) {
             s.screen_width = 65535;
             s.screen_height = 65535;
         }), Status::too_large},
    };
    for (const auto& c : cases) {
        Decoded d = decode_gif(c.file, MAX_PIXELS);
        EXPECT_EQ(d.status, c.expected) << c.name;
        EXPECT_TRUE(d.bitmap.pixels.empty()) << c.name;
    }
}

}  // namespace
