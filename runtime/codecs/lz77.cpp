// The decoder reads untrusted bytes: its bit reader is bounded by the block
// data, every symbol consumes at least one bit, every copy is checked
// against its block before a byte moves, and the claimed size is checked
// against what the block data could possibly hold before it is allocated.
#include "runtime/codecs/lz77.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace vek::codecs {

namespace {

constexpr uint32_t MIN_COPY = 3;
constexpr uint32_t MAX_COPY = 566;
constexpr uint32_t WINDOW = 0x40000;
constexpr uint32_t FAR_SHORT_COPY = 65536;  // a 3-byte copy farther back costs more than 3 literals
constexpr int CHAIN_CANDIDATES = 256;
constexpr uint32_t HASH3_MASK = 0x7FFFF;
constexpr uint32_t HASH4_MASK = 0xFFFFF;
constexpr size_t HASH3_ENTRIES = HASH3_MASK + 1;
constexpr size_t HEAD_ENTRIES = HASH3_ENTRIES + HASH4_MASK + 1;
// The cheapest copy of MAX_COPY bytes: flag, 5 prefix bits, 9 length bits,
// 4 + 3 distance bits. No stream packs more bytes into fewer bits.
constexpr uint64_t BEST_COPY_BITS = 22;

// A length code: `zeros` 0 bits, a 1 bit (none after the last row), then
// `bits` bits added to `base`.
struct LengthRow {
    uint32_t base;
    int bits;
};
constexpr LengthRow LENGTH_ROWS[] = {{0, 2}, {4, 2}, {8, 2}, {12, 3}, {20, 5}, {52, 9}};
constexpr int LENGTH_PREFIXES = 5;

uint32_t load_le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
void store_le32(uint8_t* p, uint32_t value) {
    for (int i = 0; i < 4; ++i) p[i] = uint8_t(value >> (8 * i));
}

// ---------------------------------------------------------------- decoding

// Reads fields of up to 24 bits, low bit first, from [next, end). A read
// past `end` fails rather than inventing zero bits.
class BitReader {
public:
    BitReader(const uint8_t* start, const uint8_t* end) : next_(start), end_(end) {}

    bool read(int bits, uint32_t& value) {
        while (held_ < bits) {
            if (next_ == end_) return false;
            buffer_ |= uint64_t(*next_++) << held_;
            held_ += 8;
        }
        value = uint32_t(buffer_ & ((uint64_t(1) << bits) - 1));
        buffer_ >>= bits;
        held_ -= bits;
        return true;
    }
    // The byte after the last one any read has touched.
    const uint8_t* next() const { return next_; }

private:
    const uint8_t* next_;
    const uint8_t* end_;
    uint64_t buffer_ = 0;
    int held_ = 0;
};

bool read_length(BitReader& bits, uint32_t& length) {
    int row = 0;
    uint32_t bit = 0;
    while (row < LENGTH_PREFIXES) {
        if (!bits.read(1, bit)) return false;
        if (bit) break;
        ++row;
    }
    uint32_t v = 0;
    if (!bits.read(LENGTH_ROWS[row].bits, v)) return false;
    length = LENGTH_ROWS[row].base + v + MIN_COPY;
    return true;
}

// Reads b, the copy starting b + 1 bytes back.
bool read_distance(BitReader& bits, uint32_t& back) {
    uint32_t s = 0;
    if (!bits.read(4, s)) return false;
    int j = int(s) + 2;
    if (j == 2) return bits.read(3, back);
    uint32_t v = 0;
    if (!bits.read(j, v)) return false;
    back = v + (uint32_t(1) << j);
    return true;
}

// Decodes one block of `length` bytes onto the end of `out`.
bool decode_block(BitReader& bits, uint32_t length, std::vector<uint8_t>& out) {
    size_t start = out.size();
    uint32_t i = 0;
    while (i < length) {
        uint32_t flag = 0;
        if (!bits.read(1, flag)) return false;
        if (!flag) {
            uint32_t byte = 0;
            if (!bits.read(8, byte)) return false;
            out.push_back(uint8_t(byte));
            ++i;
            continue;
        }
        uint32_t count = 0;
        uint32_t back = 0;
        if (!read_length(bits, count) || !read_distance(bits, back)) return false;
        if (back >= i || uint64_t(i) + count > length) return false;
        // One byte at a time: an overlapping copy repeats its pattern.
        for (size_t from = start + i - back - 1, k = 0; k < count; ++k) out.push_back(out[from + k]);
        i += count;
    }
    return true;
}

Lz77Result decode_container(std::vector<uint8_t>& out, const uint8_t* in, size_t length) {
    if (length < LZ77_HEADER) return Lz77Result::bad_data;
    uint64_t data_size = load_le32(in);
    uint64_t claimed = load_le32(in + 4);
    if (data_size > length - LZ77_HEADER) return Lz77Result::bad_data;
    if (claimed > data_size * 8 * MAX_COPY / BEST_COPY_BITS) return Lz77Result::bad_data;
    out.reserve(claimed);
    const uint8_t* next = in + LZ77_HEADER;
    const uint8_t* end = next + data_size;
    while (next < end) {
        if (end - next < 4) return Lz77Result::bad_data;
        uint32_t block = load_le32(next);
        if (block < 1 || block > LZ77_BLOCK_LIMIT || out.size() + block > claimed) return Lz77Result::bad_data;
        BitReader bits(next + 4, end);
        if (!decode_block(bits, block, out)) return Lz77Result::bad_data;
        next = bits.next();
    }
    return out.size() == claimed ? Lz77Result::ok : Lz77Result::bad_data;
}

// ---------------------------------------------------------------- encoding

// Writes fields low bit first into the block data after the header; bytes
// past the capacity set `overflow` and are dropped.
class BitWriter {
public:
    BitWriter(std::vector<uint8_t>& out, size_t capacity) : out_(out), capacity_(capacity) {}

    void put(int bits, uint32_t value) {
        buffer_ |= uint64_t(value) << held_;
        held_ += bits;
        while (held_ >= 8) {
            put_byte(uint8_t(buffer_));
            buffer_ >>= 8;
            held_ -= 8;
        }
    }
    void flush() {
        if (held_ > 0) put_byte(uint8_t(buffer_));
        buffer_ = 0;
        held_ = 0;
    }
    void put_dword(uint32_t value) {
        for (int i = 0; i < 4; ++i) put_byte(uint8_t(value >> (8 * i)));
    }
    bool overflow() const { return overflow_; }
    size_t written() const { return out_.size() - LZ77_HEADER; }

private:
    void put_byte(uint8_t byte) {
        if (written() < capacity_) {
            out_.push_back(byte);
        } else {
            overflow_ = true;
        }
    }

    std::vector<uint8_t>& out_;
    size_t capacity_;
    uint64_t buffer_ = 0;
    int held_ = 0;
    bool overflow_ = false;
};

void put_length(BitWriter& bits, uint32_t count) {
    uint32_t n = count - MIN_COPY;
    int row = 0;
    while (row < LENGTH_PREFIXES && n >= LENGTH_ROWS[row + 1].base) ++row;
    // `row` zeros then a 1, except the last row's five zeros alone.
    if (row < LENGTH_PREFIXES) {
        bits.put(row + 1, uint32_t(1) << row);
    } else {
        bits.put(LENGTH_PREFIXES, 0);
    }
    bits.put(LENGTH_ROWS[row].bits, n - LENGTH_ROWS[row].base);
}

void put_distance(BitWriter& bits, uint32_t distance) {
    uint32_t back = distance - 1;
    int j = 2;
    while (back >= (uint32_t(1) << (j + 1))) ++j;
    bits.put(4, uint32_t(j - 2));
    if (j == 2) {
        bits.put(3, back);
    } else {
        bits.put(j, back - (uint32_t(1) << j));
    }
}

// The compressor's tables, allocated once per call.
struct Tables {
    std::unique_ptr<int32_t[]> head{new int32_t[HEAD_ENTRIES]};  // the 3-byte heads, then the 4-byte heads
    std::unique_ptr<int32_t[]> chain{new int32_t[WINDOW]};       // the previous position of the same 4-byte hash
    std::unique_ptr<uint8_t[]> block{new uint8_t[LZ77_BLOCK_LIMIT + MAX_COPY]};  // zero past the block's end

    int32_t* head3() { return head.get(); }
    int32_t* head4() { return head.get() + HASH3_ENTRIES; }
};

struct Match {
    uint32_t length = MIN_COPY - 1;
    uint32_t distance = WINDOW;
};

uint32_t match_length(const uint8_t* a, const uint8_t* b, uint32_t limit) {
    uint32_t n = 0;
    while (n < limit && a[n] == b[n]) ++n;
    return n;
}

// How many extra bytes a candidate farther back than the best must match by
// to be worth its longer distance code.
uint32_t distance_penalty(uint32_t distance, uint32_t best_distance) {
    uint32_t k = 0;
    for (uint32_t scaled = distance / 16; scaled > best_distance; scaled /= 8) ++k;
    return k;
}

Match find_match(Tables& t, uint32_t p, uint32_t limit, uint32_t h3, uint32_t h4) {
    const uint8_t* b = t.block.get();
    int64_t window_start = std::max<int64_t>(int64_t(p) - WINDOW, 0);
    Match best;
    int32_t first = t.head3()[h3];
    if (first >= window_start && b[first] == b[p]) {
        uint32_t n = match_length(b + first, b + p, limit);
        if (n > best.length) best = {n, p - uint32_t(first)};
    }
    int32_t candidate = t.head4()[h4];
    for (int seen = 0; best.length < limit && candidate >= window_start && seen < CHAIN_CANDIDATES; ++seen) {
        uint32_t c = uint32_t(candidate);
        if (b[c + best.length] == b[p + best.length] && b[c] == b[p]) {
            uint32_t n = match_length(b + c, b + p, limit);
            if (n > best.length + distance_penalty(p - c, best.distance)) best = {n, p - c};
        }
        candidate = t.chain[c % WINDOW];
    }
    if (best.length == MIN_COPY && best.distance > FAR_SHORT_COPY) best.length = MIN_COPY - 1;
    return best;
}

void encode_block(Tables& t, BitWriter& bits, uint32_t length) {
    const uint8_t* b = t.block.get();
    std::fill_n(t.head.get(), HEAD_ENTRIES, -1);
    uint32_t h3 = 0;
    uint32_t h4 = 0;
    for (int i = 0; i < 3; ++i) h3 = (h3 * 128 + b[i]) & HASH3_MASK;
    for (int i = 0; i < 4; ++i) h4 = (h4 * 32 + b[i]) & HASH4_MASK;
    uint32_t p = 0;
    while (p < length && !bits.overflow()) {
        Match m = find_match(t, p, std::min(length - p, MAX_COPY), h3, h4);
        uint32_t covered = 1;
        if (m.length < MIN_COPY) {
            bits.put(9, uint32_t(b[p]) << 1);
        } else {
            bits.put(1, 1);
            put_length(bits, m.length);
            put_distance(bits, m.distance);
            covered = m.length;
        }
        for (uint32_t k = 0; k < covered; ++k, ++p) {
            t.head3()[h3] = int32_t(p);
            t.chain[p % WINDOW] = t.head4()[h4];
            t.head4()[h4] = int32_t(p);
            h3 = (h3 * 128 + b[p + 3]) & HASH3_MASK;
            h4 = (h4 * 32 + b[p + 4]) & HASH4_MASK;
        }
    }
    bits.flush();
}

}  // namespace

Lz77Result lz77_compress(std::vector<uint8_t>& out, const uint8_t* in, size_t length) {
    out.clear();
    if (length < LZ77_MIN_INPUT) return Lz77Result::too_short;
    if (length > UINT32_MAX) return Lz77Result::too_large;
    Tables t;
    out.reserve(length);
    out.resize(LZ77_HEADER);
    store_le32(out.data() + 4, uint32_t(length));
    BitWriter bits(out, length - LZ77_HEADER);
    for (size_t done = 0; done < length && !bits.overflow(); done += LZ77_BLOCK_LIMIT) {
        uint32_t block = uint32_t(std::min<size_t>(length - done, LZ77_BLOCK_LIMIT));
        std::memcpy(t.block.get(), in + done, block);
        std::memset(t.block.get() + block, 0, MAX_COPY);
        bits.put_dword(block);
        encode_block(t, bits, block);
    }
    if (bits.overflow()) {
        out.clear();
        return Lz77Result::no_gain;
    }
    store_le32(out.data(), uint32_t(bits.written()));
    return Lz77Result::ok;
}

Lz77Result lz77_decompress(std::vector<uint8_t>& out, const uint8_t* in, size_t length) {
    out.clear();
    Lz77Result result = decode_container(out, in, length);
    if (result != Lz77Result::ok) out.clear();
    return result;
}

}  // namespace vek::codecs
