#include "runtime/codecs/bmp.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <new>
#include <optional>

namespace vek::codecs {
namespace {

using namespace platform::image;

constexpr size_t FILE_HEADER_SIZE = 14;
constexpr uint32_t CORE_HEADER_SIZE = 12;
constexpr uint32_t V5_HEADER_SIZE = 124;
constexpr uint32_t OPAQUE = 0xFF000000u;

// The compression field's values.
enum Compression : uint32_t {
    BI_RGB = 0,
    BI_RLE8 = 1,
    BI_RLE4 = 2,
    BI_BITFIELDS = 3,
    BI_JPEG = 4,
    BI_PNG = 5,
    BI_ALPHABITFIELDS = 6,
};

uint16_t read16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

uint32_t read32(const uint8_t* p) { return read16(p) | uint32_t(read16(p + 2)) << 16; }

void put16(std::vector<uint8_t>& out, uint16_t value) {
    out.push_back(uint8_t(value));
    out.push_back(uint8_t(value >> 8));
}

void put32(std::vector<uint8_t>& out, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(uint8_t(value >> shift));
}

// One channel of a masked pixel: where its bits sit and how to widen or narrow
// them to 8 bits. An empty mask reads as 0 (or as opaque for alpha).
struct Channel {
    uint32_t mask = 0;  // the channel's bits within the pixel
    int shift = 0;      // position of the mask's lowest bit
    int width = 0;      // number of bits in the mask

    uint32_t scale(uint32_t pixel) const {
        if (width == 0) return 0;
        uint32_t value = (pixel & mask) >> shift;
        if (width >= 8) return value >> (width - 8);
        uint32_t top = (1u << width) - 1;
        return (value * 255 + top / 2) / top;
    }
};

// The channel of a mask, or nothing when its bits are not contiguous.
std::optional<Channel> channel_of(uint32_t mask) {
    if (mask == 0) return Channel{};
    int shift = std::countr_zero(mask);
    int width = std::popcount(mask);
    if ((mask >> shift) != (width == 32 ? ~0u : (1u << width) - 1)) return std::nullopt;
    return Channel{mask, shift, width};
}

enum class Kind {
    indexed,  // 1, 4 or 8 bits, uncompressed, through the palette
    rle8,     // run-length coded 8-bit indexes
    rle4,     // run-length coded 4-bit indexes
    bgr24,    // three bytes per pixel: blue, green, red
    masked,   // 16 or 32 bits per pixel, split by the channel masks
};

// What the headers say, checked against each other and the input.
struct Layout {
    uint32_t width = 0;
    uint32_t height = 0;
    bool top_down = false;         // rows stored top first (negative height)
    uint16_t bits = 0;             // bits per pixel
    Kind kind = Kind::indexed;
    std::array<Channel, 4> channels;   // red, green, blue, alpha for Kind::masked
    bool zero_alpha_is_opaque = false; // a 32-bit BI_RGB image whose alpha bytes are all 0 is opaque
    std::vector<uint32_t> palette;     // opaque colours, at most 256
    size_t pixel_offset = 0;           // where the pixel data starts in the file
};

// The header's fields, zero where a shorter header leaves them out.
struct InfoHeader {
    uint32_t size = 0;      // the header's own size
    int64_t width = 0;
    int64_t height = 0;
    uint16_t bits = 0;
    uint32_t compression = BI_RGB;
    uint32_t colours_used = 0;
    std::array<uint32_t, 4> masks{};  // red, green, blue, alpha, as far as the header holds them
    int masks_in_header = 0;
};

bool is_known_header_size(uint32_t size) {
    switch (size) {
    case 12: case 16: case 40: case 52: case 56: case 64: case 108: case 124: return true;
    default: return false;
    }
}

// OS/2 2.x headers (16 and 64 bytes) share the first fields of the Windows
// ones but number two compressions differently.
bool is_os2_v2(uint32_t size) { return size == 16 || size == 64; }

Status read_info_header(std::span<const uint8_t> bytes, InfoHeader& info) {
    info.size = read32(&bytes[FILE_HEADER_SIZE]);
    if (!is_known_header_size(info.size)) return Status::bad_data;
    if (bytes.size() < FILE_HEADER_SIZE + info.size) return Status::bad_data;
    const uint8_t* h = &bytes[FILE_HEADER_SIZE];
    if (info.size == CORE_HEADER_SIZE) {
        info.width = read16(h + 4);
        info.height = read16(h + 6);
        info.bits = read16(h + 10);
        return Status::ok;
    }
    std::array<uint8_t, V5_HEADER_SIZE> padded{};
    std::memcpy(padded.data(), h, info.size);
    info.width = int32_t(read32(&padded[4]));
    info.height = int32_t(read32(&padded[8]));
    info.bits = read16(&padded[14]);
    info.compression = read32(&padded[16]);
    info.colours_used = read32(&padded[32]);
    if (!is_os2_v2(info.size)) {
        info.masks_in_header = info.size >= 56 ? 4 : info.size >= 52 ? 3 : 0;
        for (int i = 0; i < info.masks_in_header; ++i) info.masks[i] = read32(&padded[40 + 4 * i]);
    }
    return Status::ok;
}

// The image's size and row order; a negative height means top down, and the
// most negative one has no positive counterpart.
Status take_size(const InfoHeader& info, Layout& layout, uint64_t max_pixels) {
    if (info.width < 0 || info.height == INT32_MIN) return Status::bad_data;
    layout.top_down = info.height < 0;
    uint64_t height = uint64_t(info.height < 0 ? -info.height : info.height);
    VEK_IMAGE_PASS(check_size(uint64_t(info.width), height, max_pixels));
    layout.width = uint32_t(info.width);
    layout.height = uint32_t(height);
    return Status::ok;
}

// Picks the pixel kind from the bit depth and the compression; BI_JPEG,
// BI_PNG and the OS/2 Huffman and RLE24 codings are valid but not read here.
Status take_kind(const InfoHeader& info, Layout& layout) {
    layout.bits = info.bits;
    if (info.size == CORE_HEADER_SIZE && (info.bits == 16 || info.bits == 32)) return Status::bad_data;
    switch (info.compression) {
    case BI_RGB:
        switch (info.bits) {
        case 1: case 4: case 8: layout.kind = Kind::indexed; return Status::ok;
        case 24: layout.kind = Kind::bgr24; return Status::ok;
        case 16: case 32: layout.kind = Kind::masked; return Status::ok;
        default: return Status::bad_data;
        }
    case BI_RLE8: layout.kind = Kind::rle8; return info.bits == 8 ? Status::ok : Status::bad_data;
    case BI_RLE4: layout.kind = Kind::rle4; return info.bits == 4 ? Status::ok : Status::bad_data;
    case BI_BITFIELDS:
    case BI_ALPHABITFIELDS:
        if (is_os2_v2(info.size)) return Status::unsupported;
        layout.kind = Kind::masked;
        return info.bits == 16 || info.bits == 32 ? Status::ok : Status::bad_data;
    case BI_JPEG:
    case BI_PNG: return Status::unsupported;
    default: return Status::bad_data;
    }
}

// The masks of a masked image: given by the file with BI_BITFIELDS (three)
// and BI_ALPHABITFIELDS (four), in the header when it is long enough and
// right after it otherwise; the defaults 5-5-5 and 8-8-8 without. A 32-bit
// BI_RGB image takes its fourth byte as alpha, unless a header with an alpha
// mask field leaves it empty. trailing receives the number of bytes of masks
// that follow the header.
Status take_masks(std::span<const uint8_t> bytes, const InfoHeader& info, Layout& layout, size_t& trailing) {
    std::array<uint32_t, 4> masks{};
    trailing = 0;
    if (info.compression == BI_BITFIELDS || info.compression == BI_ALPHABITFIELDS) {
        int wanted = info.compression == BI_BITFIELDS ? 3 : 4;
        masks = info.masks;
        size_t after = FILE_HEADER_SIZE + info.size;
        for (int i = info.masks_in_header; i < wanted; ++i, trailing += 4) {
            if (bytes.size() < after + trailing + 4) return Status::bad_data;
            masks[i] = read32(&bytes[after + trailing]);
        }
    } else if (info.bits == 16) {
        masks = {0x7C00, 0x03E0, 0x001F, 0};
    } else {
        masks = {0x00FF0000, 0x0000FF00, 0x000000FF, info.masks_in_header == 4 ? info.masks[3] : OPAQUE};
        layout.zero_alpha_is_opaque = true;
    }
    for (int i = 0; i < 4; ++i) {
        std::optional<Channel> channel = channel_of(masks[i]);
        if (!channel) return Status::bad_data;
        layout.channels[i] = *channel;
    }
    return Status::ok;
}

// Reads the palette that sits between the headers and the pixel data: as many
// entries as the header asks for (all 2^bits when it says 0), but no more than
// fit before the pixel data. Core headers store three bytes per entry, the
// others four. A paletted image without a single entry is bad_data.
Status take_palette(std::span<const uint8_t> bytes, const InfoHeader& info, size_t start, Layout& layout) {
    if (info.bits > 8) return Status::ok;
    size_t entry = info.size == CORE_HEADER_SIZE ? 3 : 4;
    size_t count = size_t(1) << info.bits;
    if (info.colours_used != 0) count = std::min<size_t>(count, info.colours_used);
    count = std::min(count, (layout.pixel_offset - start) / entry);
    if (count == 0) return Status::bad_data;
    layout.palette.resize(count);
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* p = &bytes[start + i * entry];
        layout.palette[i] = OPAQUE | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
    }
    return Status::ok;
}

// Reads and checks both headers, the masks and the palette.
Status read_layout(std::span<const uint8_t> bytes, uint64_t max_pixels, Layout& layout) {
    if (bytes.size() < FILE_HEADER_SIZE + 4 || bytes[0] != 'B' || bytes[1] != 'M') return Status::bad_data;
    InfoHeader info;
    VEK_IMAGE_PASS(read_info_header(bytes, info));
    VEK_IMAGE_PASS(take_kind(info, layout));
    VEK_IMAGE_PASS(take_size(info, layout, max_pixels));
    size_t trailing = 0;
    if (layout.kind == Kind::masked) VEK_IMAGE_PASS(take_masks(bytes, info, layout, trailing));
    size_t headers_end = FILE_HEADER_SIZE + info.size + trailing;
    layout.pixel_offset = read32(&bytes[10]);
    if (layout.pixel_offset < headers_end || layout.pixel_offset >= bytes.size()) return Status::bad_data;
    return take_palette(bytes, info, headers_end, layout);
}

// ====== Pixel data ======

// The image row that the file's row r fills.
size_t image_row(const Layout& layout, uint32_t r) { return layout.top_down ? r : layout.height - 1 - r; }

uint32_t colour(const Layout& layout, uint32_t index) {
    return index < layout.palette.size() ? layout.palette[index] : OPAQUE;
}

uint32_t masked_pixel(const Layout& layout, uint32_t value) {
    const auto& c = layout.channels;
    uint32_t alpha = c[3].mask == 0 ? 255 : c[3].scale(value);
    return alpha << 24 | c[0].scale(value) << 16 | c[1].scale(value) << 8 | c[2].scale(value);
}

void convert_row(const Layout& layout, const uint8_t* in, uint32_t* out) {
    for (uint32_t x = 0; x < layout.width; ++x) {
        switch (layout.kind) {
        case Kind::indexed: {
            uint64_t bit = uint64_t(x) * layout.bits;
            uint32_t index = in[bit / 8] >> (8 - layout.bits - bit % 8) & ((1u << layout.bits) - 1);
            out[x] = colour(layout, index);
            break;
        }
        case Kind::bgr24: {
            const uint8_t* p = in + size_t(x) * 3;
            out[x] = OPAQUE | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
            break;
        }
        default:
            out[x] = masked_pixel(layout, layout.bits == 16 ? read16(in + size_t(x) * 2) : read32(in + size_t(x) * 4));
            break;
        }
    }
}

// A 32-bit BI_RGB image whose alpha bytes are all 0 was written by a program
// that did not use them: it is opaque.
void fix_unused_alpha(const Layout& layout, Bitmap& bitmap) {
    if (!layout.zero_alpha_is_opaque) return;
    if (std::any_of(bitmap.pixels.begin(), bitmap.pixels.end(), [](uint32_t p) { return p >> 24 != 0; })) return;
    for (uint32_t& p : bitmap.pixels) p |= OPAQUE;
}

// Uncompressed rows are padded to 4 bytes; the last row's padding may be cut.
Status decode_rows(std::span<const uint8_t> bytes, const Layout& layout, Bitmap& bitmap) {
    uint64_t row_bits = uint64_t(layout.width) * layout.bits;
    uint64_t stride = (row_bits + 31) / 32 * 4;
    uint64_t needed = stride * (layout.height - 1) + (row_bits + 7) / 8;
    if (needed > bytes.size() - layout.pixel_offset) return Status::bad_data;
    VEK_IMAGE_PASS(allocate(bitmap, layout.width, layout.height));
    for (uint32_t r = 0; r < layout.height; ++r) {
        const uint8_t* in = &bytes[layout.pixel_offset + r * stride];
        convert_row(layout, in, &bitmap.pixels[image_row(layout, r) * layout.width]);
    }
    fix_unused_alpha(layout, bitmap);
    return Status::ok;
}

// Walks an RLE8 or RLE4 stream. A run or an absolute stretch that would pass
// the end of its row, a delta out of the image, and a stream that runs out
// before its end-of-bitmap code (or an end of line after the last row) are
// bad_data.
class RleReader {
public:
    RleReader(std::span<const uint8_t> data, const Layout& layout, Bitmap& bitmap)
        : data_(data), layout_(layout), bitmap_(bitmap), nibbles_(layout.kind == Kind::rle4) {}

    Status run() {
        for (;;) {
            if (!has(2)) return y_ >= layout_.height ? Status::ok : Status::bad_data;
            uint8_t count = data_[at_], value = data_[at_ + 1];
            at_ += 2;
            if (count > 0) {
                VEK_IMAGE_PASS(repeat(count, value));
            } else if (value == 0) {
                VEK_IMAGE_PASS(end_line());
            } else if (value == 1) {
                return Status::ok;
            } else if (value == 2) {
                VEK_IMAGE_PASS(delta());
            } else {
                VEK_IMAGE_PASS(absolute(value));
            }
        }
    }

private:
    bool has(size_t n) const { return data_.size() - at_ >= n; }

    bool fits(uint32_t count) const { return y_ < layout_.height && count <= layout_.width - x_; }

    void put(uint32_t index) {
        bitmap_.pixels[image_row(layout_, y_) * layout_.width + x_++] = colour(layout_, index);
    }

    // An RLE4 run alternates the two nibbles of its byte.
    Status repeat(uint32_t count, uint8_t value) {
        if (!fits(count)) return Status::bad_data;
        for (uint32_t i = 0; i < count; ++i) put(nibbles_ ? (i % 2 == 0 ? value >> 4 : value & 0x0F) : value);
        return Status::ok;
    }

    Status end_line() {
        x_ = 0;
        return ++y_ > layout_.height ? Status::bad_data : Status::ok;
    }

    Status delta() {
        if (!has(2)) return Status::bad_data;
        x_ += data_[at_];
        y_ += data_[at_ + 1];
        at_ += 2;
        return x_ > layout_.width || y_ > layout_.height ? Status::bad_data : Status::ok;
    }

    // count indexes stored as they are, padded to a whole number of 16-bit words.
    Status absolute(uint32_t count) {
        size_t length = nibbles_ ? (count + 1) / 2 : count;
        size_t padded = length + (length & 1);
        if (!has(padded) || !fits(count)) return Status::bad_data;
        for (uint32_t i = 0; i < count; ++i) {
            uint8_t byte = data_[at_ + (nibbles_ ? i / 2 : i)];
            put(nibbles_ ? (i % 2 == 0 ? byte >> 4 : byte & 0x0F) : byte);
        }
        at_ += padded;
        return Status::ok;
    }

    std::span<const uint8_t> data_;
    const Layout& layout_;
    Bitmap& bitmap_;
    bool nibbles_;       // RLE4: two indexes per byte
    size_t at_ = 0;      // next byte of data_
    uint32_t x_ = 0;     // column of the next pixel
    uint32_t y_ = 0;     // row of the next pixel, counted in file order
};

Status decode_rle(std::span<const uint8_t> bytes, const Layout& layout, Bitmap& bitmap) {
    VEK_IMAGE_PASS(allocate(bitmap, layout.width, layout.height));
    return RleReader(bytes.subspan(layout.pixel_offset), layout, bitmap).run();
}

// ====== Writer ======

// The fifth version of the info header, with 32 bits per pixel and all four
// masks, so that alpha survives; rows bottom up, as most readers expect.
constexpr uint32_t SRGB_COLOUR_SPACE = 0x73524742;  // "sRGB"
constexpr uint32_t INTENT_IMAGES = 4;
constexpr int32_t PIXELS_PER_METRE = 2835;          // 72 dots per inch

void put_v5_header(std::vector<uint8_t>& out, const Bitmap& bitmap, uint32_t image_size) {
    put32(out, V5_HEADER_SIZE);
    put32(out, bitmap.width);
    put32(out, bitmap.height);
    put16(out, 1);
    put16(out, 32);
    put32(out, BI_BITFIELDS);
    put32(out, image_size);
    put32(out, PIXELS_PER_METRE);
    put32(out, PIXELS_PER_METRE);
    put32(out, 0);  // colours used
    put32(out, 0);  // colours important
    for (uint32_t mask : {0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0xFF000000u}) put32(out, mask);
    put32(out, SRGB_COLOUR_SPACE);
    out.resize(out.size() + 36 + 12);  // end points and gamma: unused with sRGB
    put32(out, INTENT_IMAGES);
    out.resize(out.size() + 12);  // profile offset and size, reserved
}

}  // namespace

platform::image::Decoded decode_bmp(std::span<const uint8_t> bytes, uint64_t max_pixels) {
    Decoded result;
    Layout layout;
    result.status = read_layout(bytes, max_pixels, layout);
    if (result.status != Status::ok) return result;
    bool rle = layout.kind == Kind::rle8 || layout.kind == Kind::rle4;
    result.status = rle ? decode_rle(bytes, layout, result.bitmap) : decode_rows(bytes, layout, result.bitmap);
    if (result.status != Status::ok) result.bitmap = {};
    return result;
}

platform::image::Status encode_bmp(const platform::image::Bitmap& bitmap, std::vector<uint8_t>& out) {
    out.clear();
    VEK_IMAGE_PASS(check_size(bitmap.width, bitmap.height, MAX_PIXELS));
    if (bitmap.pixels.size() != size_t(bitmap.width) * bitmap.height) return Status::failed;
    uint64_t image_size = uint64_t(bitmap.width) * bitmap.height * 4;
    uint64_t pixel_offset = FILE_HEADER_SIZE + V5_HEADER_SIZE;
    if (pixel_offset + image_size > UINT32_MAX) return Status::too_large;
    try {
        out.reserve(pixel_offset + image_size);
        out.push_back('B');
        out.push_back('M');
        put32(out, uint32_t(pixel_offset + image_size));
        put32(out, 0);  // reserved
        put32(out, uint32_t(pixel_offset));
        put_v5_header(out, bitmap, uint32_t(image_size));
        for (uint32_t r = bitmap.height; r-- > 0;)
            for (uint32_t x = 0; x < bitmap.width; ++x) put32(out, bitmap.pixels[size_t(r) * bitmap.width + x]);
    } catch (const std::bad_alloc&) {
        out.clear();
        return Status::no_memory;
    }
    return Status::ok;
}

}  // namespace vek::codecs
