// The facets of face! and their bits in a shown face's change mask
// (state/2), from the one table in view/facets.def.
#pragma once

#include <cstdint>

namespace vek::view {

// The facets by position, from 1.
enum class Facet : uint32_t {
    none = 0,
#define VEK_FACET(NAME, word) NAME,
#include "view/facets.def"
#undef VEK_FACET
};

constexpr uint32_t FACET_COUNT = 0
#define VEK_FACET(NAME, word) +1
#include "view/facets.def"
#undef VEK_FACET
    ;

// The facet's words, by position from 1.
constexpr const char* FACET_WORDS[FACET_COUNT + 1] = {
    nullptr,
#define VEK_FACET(NAME, word) word,
#include "view/facets.def"
#undef VEK_FACET
};

// The facet's bit in the change mask.
constexpr uint32_t mask_bit(Facet facet) { return 1u << (uint32_t(facet) - 1); }

static_assert(FACET_COUNT <= 32, "every facet has a bit of a 32-bit mask");
static_assert(mask_bit(Facet::FONT) == 0x80000 && mask_bit(Facet::DRAW) == 0x400000);

}  // namespace vek::view
