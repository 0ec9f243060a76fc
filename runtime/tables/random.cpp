#include "runtime/tables/random.h"

#include "platform/os.h"
#include "runtime/core/quit.h"
#include "runtime/memory/malloc_list.h"

namespace vek {

uint32_t hash_seed = 0;

namespace random {

namespace {

uint32_t* state = nullptr;
uint32_t position = 0;  // of the next word to deliver; STATE_WORDS asks for regeneration

constexpr uint32_t SEED_MULTIPLIER = 1812433253u;
constexpr uint32_t SHIFT_DISTANCE = 397;
constexpr uint32_t TWIST = 0x9908B0DFu;
constexpr int32_t DRAW_MAX = 0x7FFFFFFF;
constexpr int NO_SECURE_SOURCE = 99;  // runtime error "unknown error"

// Every right shift of the generator propagates the sign.
inline uint32_t sar(uint32_t word, int bits) { return uint32_t(int32_t(word) >> bits); }

uint32_t twisted(uint32_t high_from, uint32_t low_from, uint32_t far) {
    uint32_t y = (high_from & 0x80000000u) | (low_from & 0x7FFFFFFFu);
    return far ^ sar(y, 1) ^ ((y & 1) ? TWIST : 0);
}

void regenerate() {
    for (uint32_t k = 0; k < STATE_WORDS - 1; k++)
        state[k] = twisted(state[k], state[k + 1], state[(k + SHIFT_DISTANCE) % STATE_WORDS]);
    state[STATE_WORDS - 1] = twisted(state[STATE_WORDS - 1], state[0], state[SHIFT_DISTANCE - 1]);
    position = 0;
}

// The final shift clears the sign bit: a set sign bit XORs itself away.
int32_t temper(uint32_t y) {
    y ^= sar(y, 11);
    y ^= (y << 7) & 0x9D2C5680u;
    y ^= (y << 15) & 0xEFC60000u;
    y ^= sar(y, 18);
    return int32_t(y);
}

int32_t draw(bool secure) { return secure ? next_secure() : next(); }

}  // namespace

void init() {
    state = static_cast<uint32_t*>(malloc_list::alloc(STATE_WORDS * sizeof(uint32_t)));
    seed(STARTUP_SEED);
    hash_seed = HASH_SEED;
}

void seed(int32_t s) {
    state[0] = uint32_t(s);
    for (uint32_t i = 1; i < STATE_WORDS; i++)
        state[i] = SEED_MULTIPLIER * (state[i - 1] ^ sar(state[i - 1], 30)) + i;
    // The first draws temper the seeded words themselves.
    position = 0;
}

int32_t next() {
    if (position == STATE_WORDS) regenerate();
    return temper(state[position++]);
}

int32_t next_secure() {
    unsigned char bytes[4];
    // Predictable numbers must never pass for secure ones.
    if (!platform::random_bytes(bytes, sizeof bytes))
        quit_with_status(NO_SECURE_SOURCE, uintptr_t(__builtin_return_address(0)));
    uint32_t word = uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24;
    return int32_t(word & 0x7FFFFFFFu);
}

int32_t integer(int32_t n, bool secure) {
    if (n == 0) return 0;
    if (n == INT32_MIN) return -1 - draw(secure);
    int32_t range = n < 0 ? -n : n;
    // Draws at or above the largest multiple of range are rejected, so that
    // every residue is equally likely.
    int32_t limit = (DRAW_MAX / range) * range;
    int32_t value;
    do value = draw(secure);
    while (value >= limit);
    int32_t result = value % range + 1;
    return n < 0 ? -result : result;
}

double fraction(bool secure) {
    if (!secure) return next() / 2147483647.0;
    double draw1 = next_secure();
    double draw2 = next_secure();
    return (draw2 + draw1 / 2147483647.0) / 2147483648.0;
}

}  // namespace random
}  // namespace vek
