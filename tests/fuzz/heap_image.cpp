// Any bytes as a heap image file, and the runtime's own image patched by
// them, sealed again or not: the reader must refuse what it cannot take
// without reading outside the file, and take the whole image as it is.
#include <algorithm>
#include <stdexcept>
#include <vector>

#include "boot/heap_image.h"
#include "tests/fuzz/target.h"

namespace vek::fuzz {
namespace {

// The image with bytes overwritten: each pair of input bytes names a
// position (as a fraction of the first pages, where the header, the run
// table and the saved values lie) and its new byte; an odd-sized input also
// cuts the end off by its last byte, in pages.
std::vector<uint8_t> patched(std::vector<uint8_t> image, const uint8_t* data, size_t size) {
    size_t head = std::min<size_t>(image.size(), 16384);
    for (size_t i = 0; i + 1 < size; i += 2) image[data[i] * head / 256] = data[i + 1];
    if (size % 2 == 1) image.resize(image.size() - std::min<size_t>(image.size(), size_t(data[size - 1]) * 4096));
    return image;
}

}  // namespace

void run_one(const uint8_t* data, size_t size) {
    // The heap does not change while the target runs: no Vek code runs.
    static const std::vector<uint8_t> good = boot::heap_image::contents();
    if (!boot::heap_image::acceptable(good)) throw std::logic_error("the runtime's own image is refused");
    boot::heap_image::acceptable({data, size});
    std::vector<uint8_t> image = patched(good, data, size);
    boot::heap_image::acceptable(image);
    boot::heap_image::seal(image);
    boot::heap_image::acceptable(image);
}

}  // namespace vek::fuzz
