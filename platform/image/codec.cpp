// The checks that every image decoder shares, and the reading of the
// libraries' messages.
#include <algorithm>
#include <cctype>
#include <iterator>
#include <new>
#include <stdexcept>
#include <string_view>

#include "platform/image/codec.h"
#include "platform/image/internal.h"

namespace vek::platform::image {
namespace {

// The phrases libpng, libjpeg, TurboJPEG and libtiff use when an allocation
// fails, in lower case.
constexpr std::string_view MEMORY_FAILURES[] = {
    "out of memory", "insufficient memory", "not enough memory", "memory allocation fail",
    "failed to allocate memory", "cannot allocate memory", "no space for",
};

}  // namespace

bool names_memory_failure(std::string_view message) {
    auto same_letter = [](char a, char b) { return std::tolower(uint8_t(a)) == std::tolower(uint8_t(b)); };
    return std::any_of(std::begin(MEMORY_FAILURES), std::end(MEMORY_FAILURES), [&](std::string_view phrase) {
        return std::search(message.begin(), message.end(), phrase.begin(), phrase.end(), same_letter) != message.end();
    });
}

Status check_size(uint64_t width, uint64_t height, uint64_t max_pixels) {
    if (width == 0 || height == 0 || width > MAX_SIDE || height > MAX_SIDE) return Status::too_large;
    return width * height > std::min(max_pixels, MAX_PIXELS) ? Status::too_large : Status::ok;
}

Status allocate(Bitmap& bitmap, uint32_t width, uint32_t height) {
    try {
        bitmap.pixels.resize(size_t(width) * height);
    } catch (const std::bad_alloc&) {
        return Status::no_memory;
    } catch (const std::length_error&) {
        return Status::no_memory;
    }
    bitmap.width = width;
    bitmap.height = height;
    return Status::ok;
}

}  // namespace vek::platform::image
