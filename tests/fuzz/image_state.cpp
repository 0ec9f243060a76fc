// Any bytes as the saved C++ values of a heap image, and the runtime's own
// saved values patched by them: restore must refuse what does not fit the
// declarations and change nothing then. Saved values that fit are put back
// at once, so the runtime goes on as it was.
#include <algorithm>
#include <stdexcept>
#include <vector>

#include "runtime/memory/image_state.h"
#include "tests/fuzz/target.h"

namespace vek::fuzz {
namespace {

void try_restore(const std::vector<uint8_t>& saved, const std::vector<uint8_t>& good) {
    if (image_state::restore(saved)) {
        image_state::restore(good);
        return;
    }
    if (image_state::save() != good) throw std::logic_error("a refused restore changed a value");
}

// The saved values with bytes overwritten: each pair of input bytes names a
// position (as a fraction of the size) and its new byte; an odd-sized input
// also cuts the end off by its last byte.
std::vector<uint8_t> patched(std::vector<uint8_t> saved, const uint8_t* data, size_t size) {
    if (saved.empty()) return saved;
    for (size_t i = 0; i + 1 < size; i += 2) saved[data[i] * saved.size() / 256] = data[i + 1];
    if (size % 2 == 1) saved.resize(saved.size() - std::min<size_t>(saved.size(), data[size - 1]));
    return saved;
}

}  // namespace

void run_one(const uint8_t* data, size_t size) {
    // Nothing else changes the declared values while the target runs.
    static const std::vector<uint8_t> good = image_state::save();
    try_restore({data, data + size}, good);
    try_restore(patched(good, data, size), good);
}

}  // namespace vek::fuzz
