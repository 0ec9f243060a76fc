// The decoder keeps up to 64 bits of input in hand and refills them once per
// symbol, which covers the longest symbol with its distance and extra bits
// (48 bits). A symbol decodes through a 10-bit table indexed by the next
// input bits; the few bit patterns that longer codes share fall back to a
// binary search over the canonical codes, sorted and left-aligned.
//
// Code sets are canonical (RFC 1951, 3.2.2). An incomplete set is accepted:
// bit patterns that no code spells decode as the code just below them, which
// is what the binary search gives. A set with no code at all, or one whose
// codes do not fit their lengths (over-subscribed), is bad data: no step may
// consume no bits.
#include "runtime/codecs/deflate.h"

#include <array>
#include <bit>
#include <cstring>

#include "runtime/codecs/crc.h"

namespace vek::codecs {

namespace {

// ---------------------------------------------------------------- tables of RFC 1951

constexpr int MAX_CODE_BITS = 15;
constexpr int LITERALS = 288;
constexpr int DISTANCES = 32;
constexpr int LENGTH_CODES = 19;
constexpr int END_OF_BLOCK = 256;
constexpr int LAST_LENGTH_SYMBOL = 285;
constexpr int LAST_DISTANCE_SYMBOL = 29;

constexpr std::array<uint16_t, 29> LENGTH_BASE = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                                  31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::array<uint8_t, 29> LENGTH_EXTRA = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                                  2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::array<uint16_t, 30> DISTANCE_BASE = {1,   2,   3,   4,   5,   7,    9,    13,   17,   25,
                                                    33,  49,  65,  97,  129, 193,  257,  385,  513,  769,
                                                    1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr std::array<uint8_t, 30> DISTANCE_EXTRA = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                                    6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
constexpr std::array<uint8_t, LENGTH_CODES> LENGTH_CODE_ORDER = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                                 11, 4,  12, 3, 13, 2, 14, 1, 15};

uint32_t reverse_bits(uint32_t code, int bits) {
    uint32_t reversed = 0;
    for (int i = 0; i < bits; ++i, code >>= 1) reversed = (reversed << 1) | (code & 1);
    return reversed;
}

void fixed_lengths(uint8_t* lengths) {
    std::memset(lengths, 8, 144);
    std::memset(lengths + 144, 9, 112);
    std::memset(lengths + 256, 7, 24);
    std::memset(lengths + 280, 8, 8);
    std::memset(lengths + LITERALS, 5, DISTANCES);
}

uint32_t load_be32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}
uint32_t load_le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// ---------------------------------------------------------------- output

// The decoder's or encoder's output: bytes past the capacity are counted only.
struct Output {
    uint8_t* start;         // the first byte; null when capacity is 0
    uint64_t capacity;      // bytes that may be stored
    uint64_t produced = 0;  // bytes of output so far, stored or not

    void put(uint8_t byte) {
        if (produced < capacity) start[produced] = byte;
        ++produced;
    }
};

// ---------------------------------------------------------------- bit reader

// Bits in hand sit at the low end of `bits`, the next one lowest. Above them
// `bits` holds zeros or the very bytes that `next` still points at.
struct BitReader {
    const uint8_t* next;  // the first input byte not yet in hand
    const uint8_t* end;   // past the last input byte
    uint64_t bits = 0;    // the bits in hand
    unsigned count = 0;   // how many bits are in hand

    // Brings the bits in hand to 57 or more, unless the input runs out.
    void refill() {
        if (end - next >= 8) {
            uint64_t word;
            std::memcpy(&word, next, 8);
            if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap64(word);
            bits |= word << count;
            next += (63 - count) >> 3;
            count |= 56;
            return;
        }
        while (count <= 56 && next < end) {
            bits |= uint64_t(*next++) << count;
            count += 8;
        }
    }
    // n below 32; the caller made sure that count >= n.
    uint32_t take(unsigned n) {
        uint32_t value = uint32_t(bits & ((uint64_t(1) << n) - 1));
        drop(n);
        return value;
    }
    void drop(unsigned n) {
        bits >>= n;
        count -= n;
    }
};

// ---------------------------------------------------------------- decoding tables

constexpr int FAST_BITS = 10;

// A code set: the fast table holds (symbol << 4) | length for each value of
// the next FAST_BITS input bits, or 0 where the pattern needs the search;
// sorted holds code << (32 - length) | symbol << 4 | length in code order.
struct Decoder {
    std::array<uint16_t, 1 << FAST_BITS> fast;  // by the next input bits
    std::array<uint32_t, LITERALS> sorted;      // the codes in code order
    int count;                                  // codes in sorted
};

// False for an over-subscribed set.
bool build_decoder(Decoder& d, const uint8_t* lengths, int n) {
    std::array<int, MAX_CODE_BITS + 1> per_length{};
    for (int i = 0; i < n; ++i) ++per_length[lengths[i]];
    int32_t left = 1;
    for (int len = 1; len <= MAX_CODE_BITS; ++len) {
        left = (left << 1) - per_length[len];
        if (left < 0) return false;
    }
    std::array<uint32_t, MAX_CODE_BITS + 2> next_code{};
    std::array<int, MAX_CODE_BITS + 2> slot{};
    uint32_t code = 0;
    int offset = 0;
    for (int len = 1; len <= MAX_CODE_BITS; ++len) {
        code = (code + uint32_t(len > 1 ? per_length[len - 1] : 0)) << 1;
        next_code[len] = code;
        slot[len] = offset;
        offset += per_length[len];
    }
    d.count = offset;
    for (int symbol = 0; symbol < n; ++symbol) {
        int len = lengths[symbol];
        if (len == 0) continue;
        uint32_t c = next_code[len]++;
        d.sorted[size_t(slot[len]++)] = c << (32 - len) | uint32_t(symbol) << 4 | uint32_t(len);
    }
    d.fast.fill(0);
    if (d.count == 0) return true;
    int i = 0;
    for (uint32_t prefix = 0; prefix < (1u << FAST_BITS); ++prefix) {
        uint64_t low = uint64_t(prefix) << (32 - FAST_BITS);
        uint64_t high = uint64_t(prefix + 1) << (32 - FAST_BITS);
        while (i + 1 < d.count && (d.sorted[size_t(i) + 1] & 0xFFFF0000u) <= low) ++i;
        bool shared = i + 1 < d.count && (d.sorted[size_t(i) + 1] & 0xFFFF0000u) < high;
        d.fast[reverse_bits(prefix, FAST_BITS)] = shared ? 0 : uint16_t(d.sorted[size_t(i)] & 0xFFFF);
    }
    return true;
}

constexpr int OUT_OF_BITS = -1;
constexpr int NO_CODE = -2;

// The last code not above the next 16 input bits (missing ones read as 0).
uint32_t search_code(const Decoder& d, uint32_t bits16) {
    uint32_t key = reverse_bits(bits16, 16) << 16 | 0xFFFF;
    int low = 0;
    int high = d.count - 1;
    while (low < high) {
        int mid = (low + high + 1) / 2;
        if (d.sorted[size_t(mid)] <= key)
            low = mid;
        else
            high = mid - 1;
    }
    return d.sorted[size_t(low)] & 0xFFFF;
}

// The next symbol, OUT_OF_BITS when its code needs bits past the input, or
// NO_CODE for a set without codes. The reader must be refilled.
int decode_symbol(const Decoder& d, BitReader& in) {
    uint32_t entry = d.fast[in.bits & ((1u << FAST_BITS) - 1)];
    if (entry == 0) {
        if (d.count == 0) return NO_CODE;
        entry = search_code(d, uint32_t(in.bits & 0xFFFF));
    }
    unsigned len = entry & 15;
    if (len > in.count) return OUT_OF_BITS;
    in.drop(len);
    return int(entry >> 4);
}

// The fixed blocks' code sets, built once: rebuilding them for every block
// would let a run of tiny fixed blocks cost a table build for each 10 bits
// of input.
struct FixedDecoders {
    Decoder literals;
    Decoder distances;
};

FixedDecoders make_fixed_decoders() {
    FixedDecoders d;
    std::array<uint8_t, LITERALS + DISTANCES> lengths;
    fixed_lengths(lengths.data());
    build_decoder(d.literals, lengths.data(), LITERALS);
    build_decoder(d.distances, lengths.data() + LITERALS, DISTANCES);
    return d;
}

const FixedDecoders& fixed_decoders() {
    static const FixedDecoders decoders = make_fixed_decoders();
    return decoders;
}

// ---------------------------------------------------------------- inflating

// Where a block's decoding left off.
enum class Step { next_block, done, stop };

struct Inflater {
    BitReader in;
    Output out;
    Decoder dynamic_literals;            // a dynamic block's literal/length code
    Decoder dynamic_distances;           // a dynamic block's distance code
    const Decoder* literals = nullptr;   // the block's literal/length code
    const Decoder* distances = nullptr;  // the block's distance code
    Coded failure = Coded::ok;           // why the decoding stopped, when it failed

    Step fail(Coded code) {
        failure = code;
        return Step::stop;
    }

    void copy_match(uint32_t length, uint32_t distance) {
        uint64_t at = out.produced;
        if (at + length <= out.capacity) {
            uint8_t* to = out.start + at;
            const uint8_t* from = to - distance;
            if (distance >= length)
                std::memcpy(to, from, length);
            else
                for (uint32_t i = 0; i < length; ++i) to[i] = from[i];
        } else {
            for (uint64_t i = at; i < at + length && i < out.capacity; ++i) out.start[i] = out.start[i - distance];
        }
        out.produced = at + length;
    }

    // A block's symbols up to its end-of-block code.
    Step data() {
        for (;;) {
            if (out.produced > INFLATE_COUNT_LIMIT) return Step::stop;
            in.refill();
            int symbol = decode_symbol(*literals, in);
            if (symbol == OUT_OF_BITS) return Step::done;
            if (symbol == NO_CODE || symbol > LAST_LENGTH_SYMBOL) return fail(Coded::bad_data);
            if (symbol < END_OF_BLOCK) {
                out.put(uint8_t(symbol));
                continue;
            }
            if (symbol == END_OF_BLOCK) return Step::next_block;
            size_t index = size_t(symbol - 257);
            if (in.count < LENGTH_EXTRA[index]) return Step::done;
            uint32_t length = LENGTH_BASE[index] + in.take(LENGTH_EXTRA[index]);
            int code = decode_symbol(*distances, in);
            if (code == OUT_OF_BITS) return Step::done;
            if (code == NO_CODE || code > LAST_DISTANCE_SYMBOL) return fail(Coded::bad_data);
            if (in.count < DISTANCE_EXTRA[size_t(code)]) return Step::done;
            uint32_t distance = DISTANCE_BASE[size_t(code)] + in.take(DISTANCE_EXTRA[size_t(code)]);
            if (distance > out.produced) return fail(Coded::too_far);
            copy_match(length, distance);
        }
    }

    Step stored() {
        in.drop(in.count & 7);
        in.refill();
        if (in.count < 32) return Step::done;
        uint32_t length = in.take(16);
        in.drop(16);
        if (length == 0) return Step::next_block;
        in.next -= in.count / 8;
        in.bits = 0;
        in.count = 0;
        if (size_t(in.end - in.next) < length) return fail(Coded::stored_short);
        uint64_t room = out.capacity > out.produced ? out.capacity - out.produced : 0;
        if (room > 0) std::memcpy(out.start + out.produced, in.next, size_t(room < length ? room : length));
        out.produced += length;
        in.next += length;
        return Step::next_block;
    }

    Step fixed() {
        literals = &fixed_decoders().literals;
        distances = &fixed_decoders().distances;
        return data();
    }

    Step dynamic() {
        in.refill();
        if (in.count < 14) return Step::done;
        int literal_count = int(in.take(5)) + 257;
        int distance_count = int(in.take(5)) + 1;
        int length_codes = int(in.take(4)) + 4;
        std::array<uint8_t, LENGTH_CODES> code_lengths{};
        for (int i = 0; i < length_codes; ++i) {
            in.refill();
            if (in.count < 3) return Step::done;
            code_lengths[LENGTH_CODE_ORDER[size_t(i)]] = uint8_t(in.take(3));
        }
        Decoder& length_decoder = dynamic_distances;  // free until the lengths are read
        if (!build_decoder(length_decoder, code_lengths.data(), LENGTH_CODES)) return fail(Coded::bad_data);
        std::array<uint8_t, LITERALS + DISTANCES> lengths{};
        int total = literal_count + distance_count;
        for (int i = 0; i < total;) {
            in.refill();
            int symbol = decode_symbol(length_decoder, in);
            if (symbol == OUT_OF_BITS) return Step::done;
            if (symbol == NO_CODE) return fail(Coded::bad_data);
            if (symbol < 16) {
                lengths[size_t(i++)] = uint8_t(symbol);
                continue;
            }
            uint8_t value = 0;
            unsigned extra = symbol == 16 ? 2 : symbol == 17 ? 3 : 7;
            int base = symbol == 18 ? 11 : 3;
            if (symbol == 16) {
                if (i == 0) return fail(Coded::bad_data);
                value = lengths[size_t(i) - 1];
            }
            if (in.count < extra) return Step::done;
            int repeat = base + int(in.take(extra));
            if (i + repeat > total) return fail(Coded::bad_data);
            std::memset(lengths.data() + i, value, size_t(repeat));
            i += repeat;
        }
        if (!build_decoder(dynamic_literals, lengths.data(), literal_count) ||
            !build_decoder(dynamic_distances, lengths.data() + literal_count, distance_count))
            return fail(Coded::bad_data);
        literals = &dynamic_literals;
        distances = &dynamic_distances;
        return data();
    }

    Coded run() {
        for (;;) {
            in.refill();
            if (in.count < 3) break;
            bool final = in.take(1) != 0;
            uint32_t type = in.take(2);
            Step step = type == 0   ? stored()
                        : type == 1 ? fixed()
                        : type == 2 ? dynamic()
                                    : fail(Coded::reserved_block);
            if (step == Step::stop) {
                if (failure != Coded::ok) return failure;
                break;
            }
            if (step == Step::done || final) break;
        }
        return out.produced > out.capacity ? Coded::too_small : Coded::ok;
    }
};

// ---------------------------------------------------------------- compressing

constexpr int BUCKETS = 1024;
constexpr int SLOTS = 4;
constexpr uint32_t MAX_DISTANCE = 32767;
constexpr uint32_t MAX_MATCH = 258;

struct BitWriter {
    Output out;
    uint64_t bits = 0;   // bits not yet written, the first lowest
    unsigned count = 0;  // how many, always below 8 between calls

    // n up to 32.
    void put(uint32_t value, unsigned n) {
        bits |= uint64_t(value) << count;
        count += n;
        while (count >= 8) {
            out.put(uint8_t(bits));
            bits >>= 8;
            count -= 8;
        }
    }
    void flush() {
        if (count > 0) put(0, 8 - count);
    }
};

// Fixed literal/length codes, bit-reversed for sending, with their lengths.
struct FixedCodes {
    std::array<uint16_t, LITERALS> code;  // by symbol
    std::array<uint8_t, LITERALS> bits;   // the code's length, by symbol
    std::array<uint8_t, MAX_MATCH + 1> length_symbol;  // by match length
};

// The fixed code of a literal/length symbol, most significant bit first.
uint32_t fixed_code(uint32_t symbol) {
    if (symbol < 144) return 0x30 + symbol;
    if (symbol < 256) return 0x190 + (symbol - 144);
    if (symbol < 280) return symbol - 256;
    return 0xC0 + (symbol - 280);
}

FixedCodes make_fixed_codes() {
    FixedCodes f{};
    std::array<uint8_t, LITERALS + DISTANCES> lengths;
    fixed_lengths(lengths.data());
    for (uint32_t s = 0; s < LITERALS; ++s) {
        f.bits[s] = lengths[s];
        f.code[s] = uint16_t(reverse_bits(fixed_code(s), lengths[s]));
    }
    for (uint32_t len = 3; len <= MAX_MATCH; ++len) {
        size_t i = 0;
        while (i + 1 < LENGTH_BASE.size() && LENGTH_BASE[i + 1] <= len) ++i;
        f.length_symbol[len] = uint8_t(i);
    }
    return f;
}

const FixedCodes& fixed_codes() {
    static const FixedCodes codes = make_fixed_codes();
    return codes;
}

uint32_t hash3(const uint8_t* p) {
    uint32_t x = uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
    x ^= x >> 16;
    x *= 0x7FEB352Du;
    x ^= x >> 15;
    x *= 0x846CA68Bu;
    x ^= x >> 16;
    return x & (BUCKETS - 1);
}

uint32_t pick_slot(const uint8_t* p) { return uint32_t((p[1] >> 6) - p[2]) & (SLOTS - 1); }

void put_literal(BitWriter& w, uint8_t byte) {
    const FixedCodes& f = fixed_codes();
    w.put(f.code[byte], f.bits[byte]);
}

void put_match(BitWriter& w, uint32_t length, uint32_t distance) {
    const FixedCodes& f = fixed_codes();
    size_t index = f.length_symbol[length];
    size_t symbol = 257 + index;
    w.put(f.code[symbol], f.bits[symbol]);
    w.put(length - LENGTH_BASE[index], LENGTH_EXTRA[index]);
    size_t code = 0;
    while (code + 1 < DISTANCE_BASE.size() && DISTANCE_BASE[code + 1] <= distance) ++code;
    w.put(reverse_bits(uint32_t(code), 5), 5);
    w.put(distance - DISTANCE_BASE[code], DISTANCE_EXTRA[code]);
}

// The length of the match at from, 0 when there is none: position 0 marks an
// empty slot, so it is never a source.
uint32_t match_at(const uint8_t* in, size_t length, size_t at, uint32_t from) {
    if (from == 0 || from >= at || at - from > MAX_DISTANCE) return 0;
    if (std::memcmp(in + from, in + at, 3) != 0) return 0;
    uint32_t len = 3;
    while (len < MAX_MATCH && at + len < length && in[from + len] == in[at + len]) ++len;
    return len;
}

}  // namespace

// ---------------------------------------------------------------- entries

Coded deflate_compress(uint8_t* out, uint64_t& size, const uint8_t* in, size_t length) {
    std::array<std::array<uint32_t, SLOTS>, BUCKETS> table{};
    BitWriter w{Output{out, size}};
    w.put(1, 1);
    w.put(1, 2);
    size_t at = 0;
    while (at < length) {
        size_t start = at;
        bool hashed = start + 3 <= length;
        uint32_t bucket = hashed ? hash3(in + start) : 0;
        uint32_t len = 0;
        uint32_t from = 0;
        if (start >= 3 && hashed)
            for (uint32_t candidate : table[bucket])
                if ((len = match_at(in, length, start, candidate)) != 0) {
                    from = candidate;
                    break;
                }
        if (len) {
            put_match(w, len, uint32_t(start - from));
            at += len;
        } else {
            put_literal(w, in[at]);
            ++at;
        }
        if (hashed && at + 3 <= length && start <= UINT32_MAX) table[bucket][pick_slot(in + at)] = uint32_t(start);
    }
    w.put(0, 7);
    w.flush();
    size = w.out.produced;
    return size > w.out.capacity ? Coded::too_small : Coded::ok;
}

namespace {

// deflate_inflate, telling in consumed how many input bytes the data took:
// up to the byte in which its final block ends (all of them when the input
// ends first).
Coded inflate_counted(uint8_t* out, uint64_t& size, const uint8_t* in, size_t length, size_t& consumed) {
    Inflater inflater{BitReader{in, in + length}, Output{out, size}, {}, {}};
    Coded result = inflater.run();
    size = inflater.out.produced;
    consumed = size_t(inflater.in.next - in) - inflater.in.count / 8;
    return result;
}

}  // namespace

Coded deflate_inflate(uint8_t* out, uint64_t& size, const uint8_t* in, size_t length) {
    size_t consumed = 0;
    return inflate_counted(out, size, in, length, consumed);
}

namespace {

constexpr uint64_t ZLIB_FRAMING = 6;
constexpr uint64_t GZIP_FRAMING = 18;
constexpr uint64_t GZIP_HEADER = 10;

void store_be32(Output& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.put(uint8_t(v >> shift));
}
void store_le32(Output& out, uint32_t v) {
    for (int shift = 0; shift < 32; shift += 8) out.put(uint8_t(v >> shift));
}

// The DEFLATE data of the input after `head` framing bytes of the output.
Output deflate_after(uint8_t* out, uint64_t capacity, uint64_t head, const uint8_t* in, size_t length) {
    uint64_t room = capacity > head ? capacity - head : 0;
    uint64_t produced = room;
    deflate_compress(room ? out + head : nullptr, produced, in, length);
    Output o{out, capacity};
    o.produced = head + produced;
    return o;
}

}  // namespace

Coded zlib_encode(uint8_t* out, uint64_t& size, const uint8_t* in, size_t length) {
    Output o = deflate_after(out, size, 2, in, length);
    Output head{out, size};
    head.put(0x78);
    head.put(0x01);
    store_be32(o, adler32(in, length));
    size = o.produced;
    return size > o.capacity ? Coded::too_small : Coded::ok;
}

Coded zlib_decode(uint8_t* out, uint64_t& size, const uint8_t* in, size_t length) {
    if (length < ZLIB_FRAMING) return Coded::bad_data;
    uint32_t cmf = in[0];
    uint32_t flags = in[1];
    if ((cmf * 256 + flags) % 31 != 0 || (cmf & 15) != 8 || (cmf >> 4) > 7 || (flags & 0x20)) return Coded::bad_data;
    uint64_t capacity = size;
    Coded result = deflate_inflate(out, size, in + 2, length - ZLIB_FRAMING);
    if (result != Coded::ok) return result;
    if (size > capacity) return Coded::too_small;
    return adler32(out, size_t(size)) == load_be32(in + length - 4) ? Coded::ok : Coded::bad_data;
}

Coded gzip_encode(uint8_t* out, uint64_t& size, const uint8_t* in, size_t length) {
    Output o = deflate_after(out, size, GZIP_HEADER, in, length);
    Output head{out, size};
    for (uint8_t byte : {0x1F, 0x8B, 0x08, 0, 0, 0, 0, 0, 0x04, 0x04}) head.put(byte);
    store_le32(o, crc32(in, length));
    store_le32(o, uint32_t(length));
    size = o.produced;
    return size > o.capacity ? Coded::too_small : Coded::ok;
}

namespace {

// The end of a zero-terminated field from at on, or 0 when it runs off.
size_t skip_string(const uint8_t* in, size_t at, size_t end) {
    while (at < end && in[at] != 0) ++at;
    return at < end ? at + 1 : 0;
}

// The offset of the DEFLATE data after a member's header, 0 when the header
// is bad. The trailer's 8 bytes are not part of the header.
size_t gzip_data_start(const uint8_t* in, size_t length) {
    constexpr uint8_t FHCRC = 2, FEXTRA = 4, FNAME = 8, FCOMMENT = 16, RESERVED = 0xE0;
    if (length < GZIP_FRAMING || in[0] != 0x1F || in[1] != 0x8B || in[2] != 8 || (in[3] & RESERVED)) return 0;
    size_t end = length - 8;
    size_t at = GZIP_HEADER;
    uint8_t flags = in[3];
    if (flags & FEXTRA) {
        if (at + 2 > end) return 0;
        size_t extra = size_t(in[at]) | size_t(in[at + 1]) << 8;
        at += 2;
        if (extra > end - at) return 0;
        at += extra;
    }
    if ((flags & FNAME) && (at = skip_string(in, at, end)) == 0) return 0;
    if ((flags & FCOMMENT) && (at = skip_string(in, at, end)) == 0) return 0;
    if (flags & FHCRC) {
        if (at + 2 > end) return 0;
        uint32_t check = uint32_t(in[at]) | uint32_t(in[at + 1]) << 8;
        if (check != (crc32(in, at) & 0xFFFF)) return 0;
        at += 2;
    }
    return at;
}

}  // namespace

namespace {

// One member at the input's start: its header, its DEFLATE data into out
// (size bytes of room; the output's size comes back) and its trailer, whose
// size must be what the data gave and whose CRC-32 is checked once all of it
// is stored. taken: the member's bytes.
Coded gzip_member(uint8_t* out, uint64_t& size, const uint8_t* in, size_t length, size_t& taken) {
    size_t start = gzip_data_start(in, length);
    if (start == 0) return Coded::bad_data;
    uint64_t capacity = size;
    size_t consumed = 0;
    Coded result = inflate_counted(out, size, in + start, length - start, consumed);
    if (result != Coded::ok && result != Coded::too_small) return result;
    if (size > INFLATE_COUNT_LIMIT) {
        // Counting stopped: no trailer can be checked, and no output is made.
        taken = length;
        return Coded::too_small;
    }
    size_t trailer = start + consumed;
    if (length - trailer < 8 || load_le32(in + trailer + 4) != uint32_t(size)) return Coded::bad_data;
    bool stored = size <= capacity;
    if (stored && crc32(out, size_t(size)) != load_le32(in + trailer)) return Coded::bad_data;
    taken = trailer + 8;
    return stored ? Coded::ok : Coded::too_small;
}

}  // namespace

Coded gzip_decode(uint8_t* out, uint64_t& size, const uint8_t* in, size_t length) {
    uint64_t capacity = size;
    uint64_t total = 0;
    Coded result = Coded::ok;
    size_t at = 0;
    do {
        uint64_t produced = total < capacity ? capacity - total : 0;
        size_t taken = 0;
        Coded member = gzip_member(produced ? out + total : nullptr, produced, in + at, length - at, taken);
        if (member != Coded::ok && member != Coded::too_small) return member;
        if (member == Coded::too_small) result = member;
        total += produced;
        at += taken;
    } while (at < length && total <= INFLATE_COUNT_LIMIT);
    size = total;
    return total > capacity ? Coded::too_small : result;
}

}  // namespace vek::codecs
