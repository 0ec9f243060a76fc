// The runtime's one random source: a Mersenne-Twister-style generator with
// the MT19937 constants, and a secure source over the system's random bytes.
// Both deliver 31-bit non-negative integers.
//
// The generator shifts right arithmetically on signed 32-bit words, so its
// sequence differs from the reference MT19937 (which shifts unsigned words);
// the sequences that scripts see after a given seed depend on it.
#pragma once

#include <cstdint>

namespace vek {

// Read by the hash functions. 0 until random::init sets it; never changed
// afterwards, and no hash table is made before it is set.
extern uint32_t hash_seed;

namespace random {

constexpr uint32_t STATE_WORDS = 624;
constexpr int32_t STARTUP_SEED = 19650218;
constexpr uint32_t HASH_SEED = 5596684;

// Allocates the state, seeds it with STARTUP_SEED and sets hash_seed.
void init();
void seed(int32_t s);
// 0 to 2^31 - 1.
int32_t next();
int32_t next_secure();

// A fraction from 0 to 1: one draw over 2^31 - 1, or, secure, two draws
// combined for the finer steps.
double fraction(bool secure);

// 1..n for n > 0, n..-1 for n < 0 (each value equally likely), 0 for 0. For
// the minimum integer: -1 minus one draw, so the whole negative range.
int32_t integer(int32_t n, bool secure);

}  // namespace random
}  // namespace vek
