// GIF files through giflib. The reader walks the records only as far as the
// first image, so a file's later frames are never read, and places that frame
// on the logical screen; pixels of the screen outside the frame, and pixels of
// the frame's transparent index, are transparent black. The writer keeps an
// exact palette when the image has at most 256 colours and reduces it with
// giflib's quantizer otherwise; GIF has no partial transparency, so a pixel
// below half alpha becomes the transparent index and any other is opaque.
// giflib reports failures by codes; every structure it allocates is closed or
// freed on every path. giflib is loaded at the first decoding or encoding;
// without it both answer unsupported.
#include <gif_lib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <new>
#include <unordered_map>

#include "platform/image/codec.h"
#include "platform/image/internal.h"
#include "platform/shared_library.h"

namespace vek::platform::image {
namespace {

#define VEK_GIFLIB_FUNCTIONS(F)                                                                                \
    F(DGifOpen) F(DGifCloseFile) F(DGifGetRecordType) F(DGifGetExtension) F(DGifGetExtensionNext)              \
    F(DGifExtensionToGCB) F(DGifGetImageDesc) F(DGifGetLine) F(EGifOpen) F(EGifCloseFile) F(EGifSetGifVersion) \
    F(EGifPutScreenDesc) F(EGifGCBToExtension) F(EGifPutExtension) F(EGifPutImageDesc) F(EGifPutLine)         \
    F(GifMakeMapObject) F(GifFreeMapObject) F(GifQuantizeBuffer)
VEK_SHARED_LIBRARY(VEK_GIFLIB_SONAME, VEK_GIFLIB_FUNCTIONS)

constexpr uint32_t OPAQUE = 0xFF000000u;

// ====== Reader ======

// The input span and how far giflib has read it.
struct Input {
    std::span<const uint8_t> bytes;
    size_t at = 0;
};

// giflib's read callback: copies what is left of the span, up to wanted bytes.
int read_input(GifFileType* gif, GifByteType* buffer, int wanted) {
    auto* input = static_cast<Input*>(gif->UserData);
    size_t count = std::min(size_t(std::max(wanted, 0)), input->bytes.size() - input->at);
    if (count == 0) return 0;  // an empty span's data() may be null, which memcpy must not see
    std::memcpy(buffer, input->bytes.data() + input->at, count);
    input->at += count;
    return int(count);
}

struct CloseDecoder {
    void operator()(GifFileType* gif) const {
        int error = 0;
        DGifCloseFile(gif, &error);
    }
};
using Decoder = std::unique_ptr<GifFileType, CloseDecoder>;

// Reads one extension record to its end; a graphics control block sets the
// transparent index (the last one before the image counts). A malformed block
// is ignored.
Status read_extension(GifFileType* gif, int& transparent) {
    int code = 0;
    GifByteType* block = nullptr;
    if (DGifGetExtension(gif, &code, &block) == GIF_ERROR) return Status::bad_data;
    GraphicsControlBlock control;
    if (code == GRAPHICS_EXT_FUNC_CODE && block && DGifExtensionToGCB(block[0], block + 1, &control) == GIF_OK)
        transparent = control.TransparentColor;
    while (block)
        if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) return Status::bad_data;
    return Status::ok;
}

// The colours of a map as pixels, the transparent index's as transparent black.
std::array<uint32_t, 256> colours_of(const ColorMapObject& map, int transparent) {
    std::array<uint32_t, 256> colours{};
    for (int i = 0; i < map.ColorCount && i < 256; ++i) {
        const GifColorType& c = map.Colors[i];
        colours[i] = OPAQUE | uint32_t(c.Red) << 16 | uint32_t(c.Green) << 8 | c.Blue;
    }
    if (transparent >= 0 && transparent < 256) colours[transparent] = 0;
    return colours;
}

// Reads one line of the frame into the screen's row; an index past the colour
// map is bad_data.
Status read_line(GifFileType* gif, std::vector<GifPixelType>& line, const ColorMapObject& map,
                 const std::array<uint32_t, 256>& colours, uint32_t* out) {
    if (DGifGetLine(gif, line.data(), int(line.size())) == GIF_ERROR) return Status::bad_data;
    for (size_t x = 0; x < line.size(); ++x) {
        if (line[x] >= map.ColorCount) return Status::bad_data;
        out[x] = colours[line[x]];
    }
    return Status::ok;
}

// An interlaced frame stores every 8th row from row 0, then every 8th from row
// 4, every 4th from row 2 and every 2nd from row 1.
Status read_frame_lines(GifFileType* gif, const ColorMapObject& map, int transparent, Bitmap& bitmap) {
    const GifImageDesc& frame = gif->Image;
    std::vector<GifPixelType> line;
    try {
        line.resize(size_t(frame.Width));
    } catch (const std::bad_alloc&) {
        return Status::no_memory;
    }
    std::array<uint32_t, 256> colours = colours_of(map, transparent);
    auto out = [&](int row) { return &bitmap.pixels[size_t(frame.Top + row) * bitmap.width + size_t(frame.Left)]; };
    if (!frame.Interlace) {
        for (int row = 0; row < frame.Height; ++row) VEK_IMAGE_PASS(read_line(gif, line, map, colours, out(row)));
        return Status::ok;
    }
    constexpr std::array<int, 4> first{0, 4, 2, 1}, step{8, 8, 4, 2};
    for (size_t pass = 0; pass < first.size(); ++pass)
        for (int row = first[pass]; row < frame.Height; row += step[pass])
            VEK_IMAGE_PASS(read_line(gif, line, map, colours, out(row)));
    return Status::ok;
}

// Frame 0 on the logical screen. A frame that reaches past the screen widens
// the screen to hold it, as a screen of 0 x 0 does.
Status read_frame(GifFileType* gif, int transparent, uint64_t max_pixels, Bitmap& bitmap) {
    if (DGifGetImageDesc(gif) == GIF_ERROR) return Status::bad_data;
    const GifImageDesc& frame = gif->Image;
    const ColorMapObject* map = frame.ColorMap ? frame.ColorMap : gif->SColorMap;
    if (!map || map->ColorCount <= 0 || frame.Width == 0 || frame.Height == 0)
        return Status::bad_data;
    uint64_t width = std::max<uint64_t>(uint64_t(gif->SWidth), uint64_t(frame.Left) + uint64_t(frame.Width));
    uint64_t height = std::max<uint64_t>(uint64_t(gif->SHeight), uint64_t(frame.Top) + uint64_t(frame.Height));
    VEK_IMAGE_PASS(check_size(width, height, max_pixels));
    VEK_IMAGE_PASS(allocate(bitmap, uint32_t(width), uint32_t(height)));
    return read_frame_lines(gif, *map, transparent, bitmap);
}

// Skips extensions up to the first image descriptor, keeping the transparent
// index of the graphics control block before it.
Status read_first_frame(GifFileType* gif, uint64_t max_pixels, Bitmap& bitmap) {
    int transparent = NO_TRANSPARENT_COLOR;
    for (;;) {
        GifRecordType type = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif, &type) == GIF_ERROR) return Status::bad_data;
        if (type == IMAGE_DESC_RECORD_TYPE) return read_frame(gif, transparent, max_pixels, bitmap);
        if (type != EXTENSION_RECORD_TYPE) return Status::bad_data;
        VEK_IMAGE_PASS(read_extension(gif, transparent));
    }
}

// ====== Writer ======

// The palette of an image and each pixel's index into it.
struct Palette {
    std::vector<GifColorType> colours;  // 2 to 256 entries, a power of two
    int transparent = NO_TRANSPARENT_COLOR;
    std::vector<GifPixelType> indexes;  // one per pixel, rows top down
};

// GIF has no partial transparency: a pixel is transparent below half alpha.
bool is_transparent(uint32_t pixel) { return pixel >> 24 < 128; }

GifColorType colour_type(uint32_t pixel) {
    return GifColorType{uint8_t(pixel >> 16), uint8_t(pixel >> 8), uint8_t(pixel)};
}

// giflib takes colour maps whose size is a power of two.
void pad_to_power_of_two(std::vector<GifColorType>& colours) {
    size_t size = 2;
    while (size < colours.size()) size *= 2;
    colours.resize(size, GifColorType{0, 0, 0});
}

// One entry per distinct opaque colour and one shared by every transparent
// pixel; false when that takes more than 256 entries.
bool exact_palette(const Bitmap& bitmap, Palette& palette) {
    constexpr uint32_t TRANSPARENT_KEY = 0;  // opaque keys carry 0xFF in their top byte
    std::unordered_map<uint32_t, GifPixelType> index_of;
    palette.indexes.resize(bitmap.pixels.size());
    for (size_t i = 0; i < bitmap.pixels.size(); ++i) {
        uint32_t pixel = bitmap.pixels[i];
        uint32_t key = is_transparent(pixel) ? TRANSPARENT_KEY : pixel | OPAQUE;
        auto found = index_of.find(key);
        if (found == index_of.end()) {
            if (palette.colours.size() == 256) return false;
            if (key == TRANSPARENT_KEY) palette.transparent = int(palette.colours.size());
            found = index_of.emplace(key, GifPixelType(palette.colours.size())).first;
            palette.colours.push_back(colour_type(key));
        }
        palette.indexes[i] = found->second;
    }
    pad_to_power_of_two(palette.colours);
    return true;
}

// A palette of 255 colours chosen by giflib's median cut, and index 255 for
// transparent pixels.
Status reduced_palette(const Bitmap& bitmap, Palette& palette) {
    size_t count = bitmap.pixels.size();
    std::vector<GifByteType> red(count), green(count), blue(count);
    for (size_t i = 0; i < count; ++i) {
        GifColorType c = colour_type(bitmap.pixels[i]);
        red[i] = c.Red;
        green[i] = c.Green;
        blue[i] = c.Blue;
    }
    palette.colours.assign(256, GifColorType{0, 0, 0});
    palette.indexes.assign(count, 0);
    int size = 255;
    if (GifQuantizeBuffer(bitmap.width, bitmap.height, &size, red.data(), green.data(), blue.data(),
                          palette.indexes.data(), palette.colours.data()) == GIF_ERROR)
        return Status::no_memory;
    for (size_t i = 0; i < count; ++i) {
        if (!is_transparent(bitmap.pixels[i])) continue;
        palette.indexes[i] = 255;
        palette.transparent = 255;
    }
    return Status::ok;
}

// giflib's write callback: appends to the output vector; 0 written tells
// giflib that the write failed.
int write_output(GifFileType* gif, const GifByteType* bytes, int count) {
    auto* out = static_cast<std::vector<uint8_t>*>(gif->UserData);
    try {
        out->insert(out->end(), bytes, bytes + std::max(count, 0));
    } catch (const std::bad_alloc&) {
        return 0;
    }
    return count;
}

struct CloseEncoder {
    void operator()(GifFileType* gif) const {
        int error = 0;
        EGifCloseFile(gif, &error);
    }
};
struct FreeColourMap {
    void operator()(ColorMapObject* map) const { GifFreeMapObject(map); }
};

Status put_transparency(GifFileType* gif, int transparent) {
    if (transparent == NO_TRANSPARENT_COLOR) return Status::ok;
    GraphicsControlBlock control{DISPOSAL_UNSPECIFIED, false, 0, transparent};
    std::array<GifByteType, 4> block{};
    EGifGCBToExtension(&control, block.data());
    return EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, int(block.size()), block.data()) == GIF_OK
               ? Status::ok
               : Status::failed;
}

// One frame covering the screen, with the palette as the global colour map.
Status write_gif(const Bitmap& bitmap, Palette& palette, std::vector<uint8_t>& out) {
    std::unique_ptr<ColorMapObject, FreeColourMap> map(
        GifMakeMapObject(int(palette.colours.size()), palette.colours.data()));
    if (!map) return Status::no_memory;
    int error = 0;
    std::unique_ptr<GifFileType, CloseEncoder> gif(EGifOpen(&out, write_output, &error));
    if (!gif) return Status::no_memory;
    EGifSetGifVersion(gif.get(), true);
    int width = int(bitmap.width), height = int(bitmap.height);
    if (EGifPutScreenDesc(gif.get(), width, height, 8, 0, map.get()) == GIF_ERROR) return Status::failed;
    VEK_IMAGE_PASS(put_transparency(gif.get(), palette.transparent));
    if (EGifPutImageDesc(gif.get(), 0, 0, width, height, false, nullptr) == GIF_ERROR) return Status::failed;
    for (size_t row = 0; row < bitmap.height; ++row)
        if (EGifPutLine(gif.get(), &palette.indexes[row * bitmap.width], width) == GIF_ERROR) return Status::failed;
    return EGifCloseFile(gif.release(), &error) == GIF_OK ? Status::ok : Status::failed;
}

Status encode_into(const Bitmap& bitmap, std::vector<uint8_t>& out) {
    VEK_IMAGE_PASS(check_size(bitmap.width, bitmap.height, MAX_PIXELS));
    if (bitmap.pixels.size() != size_t(bitmap.width) * bitmap.height) return Status::failed;
    Palette palette;
    try {
        if (!exact_palette(bitmap, palette)) {
            palette = {};
            VEK_IMAGE_PASS(reduced_palette(bitmap, palette));
        }
    } catch (const std::bad_alloc&) {
        return Status::no_memory;
    }
    return write_gif(bitmap, palette, out);
}

}  // namespace

Decoded decode_gif(std::span<const uint8_t> bytes, uint64_t max_pixels) {
    if (!library.available()) return refused(Status::unsupported);
    Decoded result;
    Input input{bytes};
    int error = 0;
    Decoder gif(DGifOpen(&input, read_input, &error));
    if (!gif) {
        result.status = error == D_GIF_ERR_NOT_ENOUGH_MEM ? Status::no_memory : Status::bad_data;
        return result;
    }
    result.status = read_first_frame(gif.get(), max_pixels, result.bitmap);
    if (result.status == Status::bad_data && gif->Error == D_GIF_ERR_NOT_ENOUGH_MEM) result.status = Status::no_memory;
    if (result.status != Status::ok) result.bitmap = {};
    return result;
}

Status encode_gif(const Bitmap& bitmap, std::vector<uint8_t>& out) {
    out.clear();
    if (!library.available()) return Status::unsupported;
    Status status = encode_into(bitmap, out);
    if (status != Status::ok) out.clear();
    return status;
}

}  // namespace vek::platform::image
