#include "runtime/codecs/deflate.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "runtime/codecs/crc.h"

namespace vek {
namespace {

using codecs::Coded;
using Bytes = std::vector<uint8_t>;
using Codec = Coded (*)(uint8_t*, uint64_t&, const uint8_t*, size_t);

Bytes bytes_of(const std::string& text) { return Bytes(text.begin(), text.end()); }

Bytes hex(const char* digits) {
    Bytes out;
    for (const char* p = digits; p[0] && p[1]; p += 2)
        out.push_back(uint8_t(std::stoi(std::string(p, 2), nullptr, 16)));
    return out;
}

// The codec's whole output, sized by a first pass without an output.
Coded run(Codec codec, const Bytes& in, Bytes& out) {
    uint64_t size = 0;
    Coded first = codec(nullptr, size, in.data(), in.size());
    if (first != Coded::ok && first != Coded::too_small) return first;
    out.assign(size_t(size), 0);
    Coded result = codec(out.data(), size, in.data(), in.size());
    out.resize(size_t(size));
    return result;
}

Bytes through(Codec codec, const Bytes& in) {
    Bytes out;
    EXPECT_EQ(run(codec, in, out), Coded::ok);
    return out;
}

Bytes sample_text(size_t n) {
    static const char* words[] = {"the ", "deflate ", "of ", "data ", "block ", "\n", "0123", "zlib "};
    std::mt19937 random(42);
    std::string s;
    while (s.size() < n) s += words[random() % 8];
    s.resize(n);
    return bytes_of(s);
}

Bytes noise(size_t n) {
    std::mt19937 random(7);
    Bytes b(n);
    for (auto& byte : b) byte = uint8_t(random());
    return b;
}

TEST(Crc, KnownValues) {
    Bytes digits = bytes_of("123456789");
    EXPECT_EQ(codecs::crc32(digits.data(), digits.size()), 0xCBF43926u);
    EXPECT_EQ(codecs::crc32(nullptr, 0), 0u);
    EXPECT_EQ(codecs::adler32(digits.data(), 3, codecs::adler32(nullptr, 0)), codecs::adler32(digits.data(), 3));
    Bytes abc = bytes_of("abc");
    EXPECT_EQ(codecs::adler32(abc.data(), abc.size()), 0x024D0127u);
    Bytes big = noise(100000);
    EXPECT_EQ(codecs::crc32(big.data() + 5000, big.size() - 5000, codecs::crc32(big.data(), 5000)),
              codecs::crc32(big.data(), big.size()));
    // Long runs of 0xFF push the sums furthest between reductions.
    Bytes ones(20000, 0xFF);
    uint32_t a = 1, b = 0;
    for (uint8_t byte : ones) a = (a + byte) % 65521, b = (b + a) % 65521;
    EXPECT_EQ(codecs::adler32(ones.data(), ones.size()), b << 16 | a);
}

TEST(Deflate, EncodesTheKnownForms) {
    struct Case {
        Codec codec;
        const char* input;
        const char* output;
    } cases[] = {
        {codecs::deflate_compress, "", "0300"},
        {codecs::zlib_encode, "", "7801030000000001"},
        {codecs::gzip_encode, "", "1f8b080000000000040403000000000000000000"},
        {codecs::deflate_compress, "a", "4b0400"},
        {codecs::zlib_encode, "a", "78014b040000620062"},
        {codecs::deflate_compress, "aaaa", "4b4c4c4c0400"},
        {codecs::deflate_compress, "aaaaaaa", "4b4c4c040100"},
    };
    for (const Case& c : cases) EXPECT_EQ(through(c.codec, bytes_of(c.input)), hex(c.output)) << c.input;
}

TEST(Deflate, RoundTripsEveryFraming) {
    Bytes gzip_magic = bytes_of("\x1f\x8b\x08 already looks framed");
    Bytes long_run(100000, 'x');
    for (const Bytes& input : {sample_text(300000), noise(70000), long_run, gzip_magic, Bytes{}}) {
        EXPECT_EQ(through(codecs::deflate_inflate, through(codecs::deflate_compress, input)), input);
        EXPECT_EQ(through(codecs::zlib_decode, through(codecs::zlib_encode, input)), input);
        Bytes gz = through(codecs::gzip_encode, input);
        EXPECT_TRUE(gz.size() >= 18 && gz[3] == 0) << "framed with a header of its own";
        EXPECT_EQ(through(codecs::gzip_decode, gz), input);
    }
}

// A small capacity: the size needed comes back, and nothing is written past
// the capacity.
TEST(Deflate, CountsPastTheCapacity) {
    Bytes input = sample_text(5000);
    Bytes packed = through(codecs::zlib_encode, input);
    for (Codec codec : {codecs::zlib_decode, codecs::deflate_inflate}) {
        const Bytes& in = codec == codecs::zlib_decode ? packed : through(codecs::deflate_compress, input);
        Bytes out(100 + 16, 0xEE);
        uint64_t size = 100;
        EXPECT_EQ(codec(out.data(), size, in.data(), in.size()), Coded::too_small);
        EXPECT_EQ(size, input.size());
        EXPECT_EQ(out[100], 0xEE);
    }
    Bytes out(10);
    uint64_t size = 10;
    EXPECT_EQ(codecs::gzip_encode(out.data(), size, input.data(), input.size()), Coded::too_small);
    EXPECT_EQ(size, through(codecs::gzip_encode, input).size());
}

TEST(Inflate, BlockFormsAndBadData) {
    struct Case {
        const char* data;
        Coded result;
        const char* output;
    } cases[] = {
        {"010300fcff616263", Coded::ok, "616263"},  // stored
        {"010500faff6162", Coded::stored_short, ""},
        {"07", Coded::reserved_block, ""},
        {"4b440000", Coded::ok, "6161616161616161616161"},  // literal, then 10 at distance 1
        {"4b04", Coded::ok, "61"},                          // cut short: the whole symbols
        {"4b044200", Coded::too_far, ""},                   // distance 2 after one byte
        {"050002240000", Coded::bad_data, ""},              // dynamic: a repeat before any length
        {"050090040000", Coded::bad_data, ""},              // three codes of one bit
        {"4b1c0300", Coded::bad_data, ""},                  // literal/length symbol 286
        {"4b043e00", Coded::bad_data, ""},                  // distance symbol 30
    };
    for (const Case& c : cases) {
        Bytes out(64);
        uint64_t size = out.size();
        Bytes in = hex(c.data);
        EXPECT_EQ(codecs::deflate_inflate(out.data(), size, in.data(), in.size()), c.result) << c.data;
        if (c.result == Coded::ok) {
            EXPECT_EQ(Bytes(out.begin(), out.begin() + long(size)), hex(c.output)) << c.data;
        }
    }
}

// Fixed, empty stored, dynamic, empty stored and fixed blocks in one stream:
// each block decodes with its own codes, the fixed ones after a dynamic one
// included.
TEST(Inflate, BlockTypesMixInOneStream) {
    Bytes data = hex(
        "4acbac484d5148ce4f492d5648cb2c2a2ed15100000000ffff04c1490d80400004302b230005b881a50984eb331fdcd376f764c9f63d"
        "cb7d8cacd73bce39000402206d1ba46dc0941f0000ffff4bcc4b5148cbac484d51484c4fccccd30300");
    EXPECT_EQ(through(codecs::deflate_inflate, data),
              bytes_of("fixed codes first, then a dynamic block: eeeeeeeeee eeee eeeeeeeee tttt eee ttt eeeee, "
                       "and fixed again."));
}

// A dynamic block whose code-length code has no symbol, or whose literal code
// has no end-of-block code, must end, not loop.
TEST(Inflate, CodeSetsWithoutCodesEnd) {
    // HLIT 257, HDIST 1, HCLEN 4, all four code-length lengths 0.
    Bytes empty_lengths = hex("0500000000");
    Bytes out(16);
    uint64_t size = out.size();
    EXPECT_EQ(codecs::deflate_inflate(out.data(), size, empty_lengths.data(), empty_lengths.size()), Coded::bad_data);
}

// Fixed-code data of one literal and `matches` copies of 258 bytes at
// distance 1: 13 bits for each 258 bytes of output.
Bytes long_run_data(uint64_t matches) {
    Bytes data;
    uint64_t bits = 0;
    unsigned count = 0;
    auto put = [&](uint32_t value, unsigned n) {
        bits |= uint64_t(value) << count;
        for (count += n; count >= 8; count -= 8, bits >>= 8) data.push_back(uint8_t(bits));
    };
    put(0b011, 3);        // final block, fixed codes
    put(0x89, 8);         // the literal 0x61: code 0x91, bits reversed
    for (uint64_t i = 0; i < matches; ++i) put(0xA3, 13);  // length symbol 285, then distance code 0
    put(0, 7 + 7);        // end of block, then padding
    return data;
}

// An output past the decoders' limit is counted only that far, so that no
// data can keep them busy for long nor ask for a size that wraps.
TEST(Inflate, StopsCountingPastTheLimit) {
    Bytes small = long_run_data(2);
    Bytes out;
    EXPECT_EQ(run(codecs::deflate_inflate, small, out), Coded::ok);
    EXPECT_EQ(out, Bytes(517, 0x61));
    Bytes huge = long_run_data(codecs::INFLATE_COUNT_LIMIT / 258 + 10);
    uint64_t size = 0;
    EXPECT_EQ(codecs::deflate_inflate(nullptr, size, huge.data(), huge.size()), Coded::too_small);
    EXPECT_GT(size, uint64_t(INT32_MAX));
    EXPECT_LE(size, codecs::INFLATE_COUNT_LIMIT + 258);
}

TEST(Framing, RejectsBadHeadersAndChecks) {
    Bytes data = sample_text(1000);
    Bytes z = through(codecs::zlib_encode, data);
    Bytes g = through(codecs::gzip_encode, data);
    auto with = [](Bytes b, size_t at, uint8_t value) { return b[at] = value, b; };
    struct Case {
        Codec codec;
        Bytes input;
    } cases[] = {
        {codecs::zlib_decode, with(z, 1, 0x02)},              // check bits
        {codecs::zlib_decode, with(z, 1, 0x20)},                // preset dictionary
        {codecs::zlib_decode, with(z, z.size() - 1, z.back() ^ 1)},      // Adler-32
        {codecs::zlib_decode, hex("7801")},
        {codecs::gzip_decode, with(g, g.size() - 8, g[g.size() - 8] ^ 1)},  // CRC-32
        {codecs::gzip_decode, with(g, g.size() - 4, g[g.size() - 4] + 1)},  // size above the data
        {codecs::gzip_decode, with(g, 3, 0x20)},                             // reserved flag
        {codecs::gzip_decode, with(g, 3, 0x08)},                             // a name that never ends
        {codecs::gzip_decode, hex("1f8b08")},
    };
    for (const Case& c : cases) {
        Bytes out;
        EXPECT_EQ(run(c.codec, c.input, out), Coded::bad_data);
    }
}

// A member with every optional header field, its header CRC right and wrong.
TEST(Framing, GzipOptionalFields) {
    Bytes data = bytes_of("optional fields");
    Bytes plain = through(codecs::gzip_encode, data);
    Bytes member = {0x1F, 0x8B, 8, 2 | 4 | 8 | 16, 0, 0, 0, 0, 0, 3, 3, 0, 'x', 'y', 'z', 'n', 0, 'c', 0};
    uint32_t header_crc = codecs::crc32(member.data(), member.size());
    member.push_back(uint8_t(header_crc));
    member.push_back(uint8_t(header_crc >> 8));
    member.insert(member.end(), plain.begin() + 10, plain.end());
    EXPECT_EQ(through(codecs::gzip_decode, member), data);
    member[19] ^= 1;
    Bytes out;
    EXPECT_EQ(run(codecs::gzip_decode, member, out), Coded::bad_data);
}

// Members joined as concatenated gzip files are: all their data in order,
// each member's CRC-32 and size checked, nothing but members after one.
TEST(Framing, GzipMembersInOrder) {
    Bytes first = sample_text(5000), second = noise(3000), third = bytes_of("end");
    Bytes a = through(codecs::gzip_encode, first), b = through(codecs::gzip_encode, second);
    Bytes empty = through(codecs::gzip_encode, Bytes{}), c = through(codecs::gzip_encode, third);
    Bytes joined = a;
    for (const Bytes* member : {&b, &empty, &c}) joined.insert(joined.end(), member->begin(), member->end());
    Bytes whole = first;
    whole.insert(whole.end(), second.begin(), second.end());
    whole.insert(whole.end(), third.begin(), third.end());
    EXPECT_EQ(through(codecs::gzip_decode, joined), whole);
    auto with = [](Bytes bytes, size_t at, uint8_t value) { return bytes[at] = value, bytes; };
    size_t b_trailer = a.size() + b.size() - 8;
    Bytes two = a;
    two.insert(two.end(), b.begin(), b.end());
    const Bytes bad[] = {
        with(joined, b_trailer, joined[b_trailer] ^ 1),          // the second member's CRC-32
        with(joined, b_trailer + 4, joined[b_trailer + 4] + 1),  // its size
        with(two, a.size() - 4, two[a.size() - 4] + 1),           // the first's size, the last's right
        [&] { Bytes more = joined; more.push_back(0); return more; }(),  // a byte after the last member
    };
    for (const Bytes& input : bad) {
        Bytes out;
        EXPECT_EQ(run(codecs::gzip_decode, input, out), Coded::bad_data);
    }
}

// python3's zlib as the other side: it decodes what we make, and we decode
// what it makes at every level and in every framing.
class Oracle : public ::testing::Test {
protected:
    void SetUp() override {
        if (std::system("python3 -c 'import zlib' 2>/dev/null") != 0) GTEST_SKIP() << "no python3";
    }
    // The torture runs go side by side: each process has files of its own.
    static std::string path(const char* name) {
        return ::testing::TempDir() + "vek_deflate_" + std::to_string(getpid()) + "_" + name;
    }
    static void save(const std::string& file, const Bytes& b) {
        std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
    }
    static Bytes load(const std::string& file) {
        std::ifstream f(file, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(f), {});
    }
    static void python(const std::string& code) { ASSERT_EQ(std::system(("python3 -c '" + code + "'").c_str()), 0); }
};

TEST_F(Oracle, BothWays) {
    std::string in = path("in"), out = path("out");
    struct Framing {
        Codec decode;
        Codec encode;
        int wbits;
    } framings[] = {{codecs::deflate_inflate, codecs::deflate_compress, -15},
                    {codecs::zlib_decode, codecs::zlib_encode, 15},
                    {codecs::gzip_decode, codecs::gzip_encode, 31}};
    for (const Bytes& input : {sample_text(100000), noise(40000), Bytes(70000, 'q')}) {
        save(in, input);
        python("import zlib; d=open(\"" + in + "\",\"rb\").read()\nfor l in range(10):\n for w in (-15,15,31):\n" +
               "  c=zlib.compressobj(l,zlib.DEFLATED,w)\n" +
               "  open(\"" + out + "%d_%d\" % (l,w),\"wb\").write(c.compress(d)+c.flush())");
        for (const Framing& f : framings) {
            for (int level = 0; level <= 9; ++level) {
                std::string file = out + std::to_string(level) + "_" + std::to_string(f.wbits);
                EXPECT_EQ(through(f.decode, load(file)), input) << file;
                std::remove(file.c_str());
            }
            save(out, through(f.encode, input));
            python("import zlib,sys; d=zlib.decompress(open(\"" + out + "\",\"rb\").read(), " +
                   std::to_string(f.wbits) + "); sys.exit(d != open(\"" + in + "\",\"rb\").read())");
        }
    }
    std::remove(in.c_str());
    std::remove(out.c_str());
}

}  // namespace
}  // namespace vek
