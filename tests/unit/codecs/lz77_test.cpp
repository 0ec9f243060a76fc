#include "runtime/codecs/lz77.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace vek {
namespace {

using codecs::Lz77Result;
using Bytes = std::vector<uint8_t>;

Bytes repeated(size_t size, uint8_t byte) { return Bytes(size, byte); }

Bytes random_bytes(size_t size, uint32_t seed) {
    std::mt19937 gen(seed);
    Bytes out(size);
    for (auto& b : out) b = uint8_t(gen());
    return out;
}

// Text-like: a few words in a random order, so that matches are near and far.
Bytes words(size_t size, uint32_t seed) {
    static const char* const WORDS[] = {"block ", "series ", "word ", "copy ", "literal ", "window ", "\n"};
    std::mt19937 gen(seed);
    Bytes out;
    while (out.size() < size) {
        const char* w = WORDS[gen() % 7];
        out.insert(out.end(), w, w + std::char_traits<char>::length(w));
    }
    out.resize(size);
    return out;
}

Bytes container(uint32_t z, uint32_t u, const Bytes& data) {
    Bytes out;
    for (uint32_t v : {z, u})
        for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

// A hand-written block: its length word, then fields low bit first.
struct Stream {
    uint64_t bits = 0;
    int at = 0;

    Stream& put(int n, uint64_t v) {
        bits |= v << at;
        at += n;
        return *this;
    }
    Stream& literal(uint8_t byte) { return put(9, uint64_t(byte) << 1); }
    Stream& copy_code() { return put(1, 1); }
    // A copy of 3 bytes starting back + 1 bytes back (back below 8).
    Stream& short_copy(uint32_t back) { return copy_code().put(1, 1).put(2, 0).put(4, 0).put(3, back); }
    Bytes block(uint32_t length) const {
        Bytes out;
        for (int i = 0; i < 4; ++i) out.push_back(uint8_t(length >> (8 * i)));
        for (int i = 0; i < at; i += 8) out.push_back(uint8_t(bits >> i));
        return out;
    }
};

Bytes compressed(const Bytes& input) {
    Bytes packed;
    EXPECT_EQ(codecs::lz77_compress(packed, input.data(), input.size()), Lz77Result::ok);
    return packed;
}

Lz77Result decompress(const Bytes& packed, Bytes& out) { return codecs::lz77_decompress(out, packed.data(), packed.size()); }

TEST(Lz77, RoundTripsGiveTheInputBack) {
    constexpr size_t BLOCK = codecs::LZ77_BLOCK_LIMIT;
    const Bytes inputs[] = {
        repeated(128, 'a'),
        words(1000, 1),
        words(262144 + 600, 2),  // past the window
        words(BLOCK, 3),
        words(BLOCK + 1, 4),  // a second block of one byte
        [] {
            Bytes b = words(2 * BLOCK + 1000, 5);
            Bytes noise = random_bytes(5000, 6);  // incompressible stretches among text
            std::copy(noise.begin(), noise.end(), b.begin() + 100000);
            return b;
        }(),
        repeated(BLOCK * 2 + 7, 0),
    };
    for (const Bytes& input : inputs) {
        Bytes packed = compressed(input);
        EXPECT_LT(packed.size(), input.size());
        Bytes back;
        ASSERT_EQ(decompress(packed, back), Lz77Result::ok) << input.size();
        EXPECT_TRUE(back == input) << input.size();
    }
}

TEST(Lz77, CompressionRefusesShortAndIncompressibleInput) {
    Bytes packed{1, 2, 3};
    for (size_t size : {0, 1, 127}) {
        Bytes input = repeated(size, 'x');
        EXPECT_EQ(codecs::lz77_compress(packed, input.data(), input.size()), Lz77Result::too_short) << size;
        EXPECT_TRUE(packed.empty());
    }
    Bytes noise = random_bytes(4096, 7);
    EXPECT_EQ(codecs::lz77_compress(packed, noise.data(), noise.size()), Lz77Result::no_gain);
    EXPECT_TRUE(packed.empty());
}

TEST(Lz77, OneRepeatedByteIsALiteralAndOneCopy) {
    // Literal 'a'; a copy of 127 (five 0s and 9 bits of 72) at 1 back.
    Bytes block = Stream().literal('a').copy_code().put(5, 0).put(9, 72).put(4, 0).put(3, 0).block(128);
    EXPECT_EQ(compressed(repeated(128, 'a')), container(uint32_t(block.size()), 128, block));
}

TEST(Lz77, EmptyContainerDecompressesToNothing) {
    Bytes out{9};
    EXPECT_EQ(decompress(container(0, 0, {}), out), Lz77Result::ok);
    EXPECT_TRUE(out.empty());
}

TEST(Lz77, BadContainersAreRefused) {
    const Bytes text = words(5000, 8);
    const Bytes good = compressed(text);
    const uint32_t z = uint32_t(good.size() - 8);
    const Bytes body(good.begin() + 8, good.end());
    auto with_block_length = [&](uint32_t length) {
        Bytes b = body;
        for (int i = 0; i < 4; ++i) b[size_t(i)] = uint8_t(length >> (8 * i));
        return container(z, uint32_t(text.size()), b);
    };
    // "ab" then "a" and a copy from 2 back, which the first block's output
    // would cover but which lies before the second block.
    Bytes far = Stream().literal('a').literal('b').block(2);
    Bytes second = Stream().literal('a').short_copy(1).block(4);
    far.insert(far.end(), second.begin(), second.end());
    // "ab" and a copy of 3 from 2 back: "ababa" in a block of 5, one byte
    // too many in a block of 4.
    const Stream ab_copy = Stream().literal('a').literal('b').short_copy(1);
    Bytes fits = ab_copy.block(5);
    Bytes out;
    ASSERT_EQ(decompress(container(uint32_t(fits.size()), 5, fits), out), Lz77Result::ok);
    EXPECT_EQ(std::string(out.begin(), out.end()), "ababa");
    Bytes near = ab_copy.block(4);
    struct Case {
        const char* what;
        Bytes packed;
    } cases[] = {
        {"shorter than the header", Bytes(good.begin(), good.begin() + 7)},
        {"truncated block data", Bytes(good.begin(), good.end() - 1)},
        {"a block length of 0", with_block_length(0)},
        {"a block length past the limit", with_block_length(codecs::LZ77_BLOCK_LIMIT + 1)},
        {"a claim larger than the data could give", container(z, UINT32_MAX, body)},
        {"a claim larger than what is decoded", container(z, uint32_t(text.size() + 1), body)},
        {"a claim smaller than what is decoded", container(z, uint32_t(text.size() - 1), body)},
        {"a copy before its block", container(uint32_t(far.size()), 6, far)},
        {"a copy past its block's end", container(uint32_t(near.size()), 4, near)},
        {"a bit stream running past the data", container(uint32_t(body.size() - 1), uint32_t(text.size()), body)},
    };
    for (const Case& c : cases) {
        Bytes out{1};
        EXPECT_EQ(decompress(c.packed, out), Lz77Result::bad_data) << c.what;
        EXPECT_TRUE(out.empty()) << c.what;
    }
}

TEST(Lz77, CorruptedStreamsNeverDecodeToTheWrongSize) {
    const Bytes packed = compressed(words(20000, 9));
    std::mt19937 gen(10);
    for (int trial = 0; trial < 300; ++trial) {
        Bytes bad = packed;
        bad[8 + gen() % (bad.size() - 8)] ^= uint8_t(1 << (gen() % 8));
        Bytes out;
        if (decompress(bad, out) == Lz77Result::ok) {
            EXPECT_EQ(out.size(), 20000u);
        }
    }
}

}  // namespace
}  // namespace vek
