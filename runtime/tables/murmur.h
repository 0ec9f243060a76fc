// Key hashing for the hash tables: MurmurHash3 (x86, 32-bit) seeded with the
// runtime's hash seed, its finaliser alone for single words, and one rule per
// datatype for value cells.
#pragma once

#include <cstddef>
#include <cstdint>

#include "runtime/core/cell.h"

namespace vek::murmur {

uint32_t murmur3(const void* bytes, size_t length);
// The MurmurHash3 finaliser, unseeded. Inline: every word lookup mixes a
// symbol id.
inline uint32_t mix(uint32_t h) {
    h ^= h >> 16;
    h *= 0x85EBCA6Bu;
    h ^= h >> 13;
    h *= 0xC2B2AE35u;
    h ^= h >> 16;
    return h;
}

// The code points of a string value from its head to its tail, each one
// mixed as a 32-bit block; folded to upper case unless case_sensitive.
uint32_t string(const Cell* string, bool case_sensitive);
// A symbol's UTF-8 name with ASCII A-Z folded to a-z (nothing else folded).
uint32_t symbol(const Cell* symbol);
// The hash of a symbol name given as bytes, folded as above.
uint32_t symbol_name(const char* name, uint32_t length);
uint32_t value(const Cell* value, bool case_sensitive);

// Symbol names fold ASCII A-Z to a-z and nothing else.
inline uint8_t fold_ascii(uint8_t c) { return c >= 'A' && c <= 'Z' ? c | 0x20 : c; }

// The code point at p in a string buffer of the given unit (1, 2 or 4).
uint32_t code_point_at(const std::byte* p, uint32_t unit);

}  // namespace vek::murmur
