#include "runtime/datatypes/image/image.h"

#include <gtest/gtest.h>

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
