#include "runtime/datatypes/image/image.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "runtime/core/raise.h"
#include "runtime/datatypes/image/layer.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/gc/collector.h"
#include "runtime/memory/manager.h"
#include "tests/unit/support/manual_collection.h"
#include "tests/unit/support/stack_fixture.h"
#include "tests/unit/support/string_cells.h"
#include "tests/unit/support/support.h"
#include "tests/unit/support/value_cells.h"

namespace vek {
namespace {

using ImageEntries = test::StackRestoringTest;

// Opaque, half and fully transparent pixels, and channels that differ, so
// that a codec that drops alpha or swaps channels shows.
const std::vector<uint32_t> SAMPLE = {0xFF102030, 0x80405060, 0x00708090, 0xFFFFFFFF, 0x01000000, 0xFEABCDEF};

// A 3x2 image of the sample pixels, pushed so that the collector sees it.
Cell* sample_image() {
    Cell made{};
    image::make_at(&made, image::make_filled(3, 2, 0));
    Cell* held = image::push(&made);
    image::Lock lock = image::acquire_buffer(held);
    std::copy(SAMPLE.begin(), SAMPLE.end(), lock.pixels);
    image::release_buffer(lock, true);
    return held;
}

std::vector<uint32_t> pixels_of(const Cell* image) {
    image::Lock lock = image::acquire_buffer(image);
    return {lock.pixels, lock.pixels + image::pixel_count(image)};
}

Cell file_cell(const std::string& path) {
    return test::text_cell(std::u32string(path.begin(), path.end()), 1, TYPE_FILE);
}

std::string temp_path(const char* name) { return (std::filesystem::temp_directory_path() / name).string(); }

TEST_F(ImageEntries, PngAndBmpRoundTripsKeepEveryPixelAlphaIncluded) {
    Cell* original = sample_image();
    for (auto format : {image::FileFormat::png, image::FileFormat::bmp}) {
        SCOPED_TRACE(int(format));
        Cell* encoded = image::encode(original, nullptr, int32_t(format));
        ASSERT_EQ(cell_type(encoded), TYPE_BINARY);
        Cell* decoded = image::decode(encoded);
        ASSERT_EQ(cell_type(decoded), TYPE_IMAGE);
        EXPECT_EQ(image::width(decoded), 3u);
        EXPECT_EQ(image::height(decoded), 2u);
        EXPECT_EQ(pixels_of(decoded), SAMPLE);
    }
}

// The file is read whole and decoded by its signature, whatever its name.
TEST_F(ImageEntries, LoadFileDecodesAFileAndRefusesWhatItCannotRead) {
    Cell* original = sample_image();
    Cell* encoded = image::encode(original, nullptr, int32_t(image::FileFormat::png));
    std::string path = temp_path("vek-image-test.data");
    {
        SeriesBuffer* bytes = series_buffer(encoded);
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes->first()), bytes->used_bytes());
    }
    Cell file = file_cell(path);
    Cell* loaded = image::decode(&file);
    std::remove(path.c_str());
    ASSERT_EQ(cell_type(loaded), TYPE_IMAGE);
    EXPECT_EQ(pixels_of(loaded), SAMPLE);

    Cell missing = file_cell(temp_path("vek-image-test-missing.png"));
    EXPECT_EQ(test::raised([&] { image::load_file(&missing); }), error_code(err::access::cannot_open));
}

TEST_F(ImageEntries, EncodingWritesIntoWhereAndRefusesWhatItCannotEncode) {
    Cell* original = sample_image();
    Cell where = test::integer_cell(7);
    EXPECT_EQ(image::encode(original, &where, int32_t(image::FileFormat::bmp)), &where);
    EXPECT_EQ(cell_type(&where), TYPE_BINARY);

    Cell empty{};
    image::make_at(&empty, Node::none, image::pack_size(0, 5));
    EXPECT_EQ(test::raised([&] { image::encode(&empty, nullptr, int32_t(image::FileFormat::png)); }),
              error_code(err::access::bad_media));
    EXPECT_EQ(test::raised([&] { image::encode(original, nullptr, 5); }), error_code(err::script::invalid_arg));
    EXPECT_EQ(test::raised([&] { image::encode(original, nullptr, -1); }), error_code(err::script::invalid_arg));
}

// Unknown bytes are no image; known bytes that do not decode are bad media.
TEST_F(ImageEntries, DecodingTellsUnknownDataFromBrokenData) {
    Cell unknown = test::binary_cell("XYZ not an image");
    EXPECT_EQ(cell_type(image::decode(&unknown)), TYPE_NONE);
    Cell broken = test::binary_cell("\x89PNG\r\n\x1a\n broken");
    EXPECT_EQ(test::raised([&] { image::decode(&broken); }), error_code(err::access::bad_media));
    Cell number = test::integer_cell(1);
    EXPECT_EQ(test::raised([&] { image::decode(&number); }), error_code(err::script::invalid_arg));
}

TEST_F(ImageEntries, PushResizedScalesByNearestNeighbour) {
    Cell* original = sample_image();
    Cell* doubled = image::push_resized(original, 6, 4);
    std::vector<uint32_t> pixels = pixels_of(doubled);
    ASSERT_EQ(pixels.size(), 24u);
    EXPECT_EQ(pixels[0], SAMPLE[0]);
    EXPECT_EQ(pixels[5], SAMPLE[2]);
    EXPECT_EQ(pixels[23], SAMPLE[5]);
    EXPECT_EQ(image::pixel_count(image::push_resized(original, 0, 4)), 0u);
    EXPECT_EQ(test::raised([&] { image::push_resized(original, 70000, 1); }), error_code(err::script::invalid_arg));
}

// ---------------------------------------------------------------- the collector

class ImageBlocks : public test::StackRestoringTest {};

[[gnu::noinline]] void make_dropped_image() {
    Cell made{};
    image::make_at(&made, image::make_filled(4, 4, 0xFF000000));
}

// A block stays while its node is reachable, however it is reached, and is
// released with it; the pixel bytes leave the pacing count then.
TEST_F(ImageBlocks, ABlockLivesAsLongAsItsNode) {
    test::collect_clean();
    uint32_t blocks = image::live_blocks();
    uint64_t external = mem.external_bytes;
    Cell* kept = sample_image();
    make_dropped_image();
    EXPECT_EQ(image::live_blocks(), blocks + 2);
    test::collect_clean();
    EXPECT_EQ(image::live_blocks(), blocks + 1);
    EXPECT_EQ(mem.external_bytes, external + SAMPLE.size() * 4);
    EXPECT_EQ(pixels_of(kept), SAMPLE);
}

[[gnu::noinline]] void make_big_images(uint32_t count, uint32_t* most_blocks) {
    for (uint32_t i = 0; i < count; i++) {
        Cell made{};
        image::make_at(&made, image::make_filled(500, 500, 0xFFFFFFFF));
        *most_blocks = std::max(*most_blocks, image::live_blocks());
    }
}

// Pixel memory alone starts collections: a loop making 1 MB images keeps a
// handful of them alive at a time, not all it made.
TEST_F(ImageBlocks, MakingManyLargeImagesStaysBounded) {
    test::SparseTorture sparse(50);
    uint32_t most_blocks = 0;
    make_big_images(200, &most_blocks);
    EXPECT_LT(most_blocks, 40u);
}

}  // namespace
}  // namespace vek
