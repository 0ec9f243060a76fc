// Base 58 treats the bytes as one big number, which costs time quadratic in
// its length: the arithmetic works on 32-bit limbs, four bytes or five digits
// at a time, to keep the constant small.
#include "runtime/codecs/base.h"

#include <algorithm>
#include <cstring>

namespace vek::codecs {

namespace {

constexpr char HEX_DIGITS[] = "0123456789ABCDEF";
constexpr char BASE58_DIGITS[] = "123456789ABCDEFGHJKLMNPQRSTUVWXYZabcdefghijkmnopqrstuvwxyz";
constexpr char BASE64_DIGITS[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr uint64_t BASE58_5 = 58ull * 58 * 58 * 58 * 58;  // five digits to a limb

bool ascii_blank(uint32_t c) { return c == '\t' || c == '\n' || c == '\r' || c == ' '; }
bool control(uint32_t c) { return c <= ' '; }
bool wide_blank(uint32_t c) { return c == '\b' || c == '\f' || c == '\'' || ascii_blank(c); }

using Blank = bool (*)(uint32_t);

Blank blanks_of(int base, BaseRules rules) {
    if (base == 58 || base == 64) return wide_blank;
    return rules == BaseRules::data ? control : ascii_blank;
}

// The code points of the text that are neither blanks nor in a comment.
class Reader {
public:
    Reader(Units text, Blank blank) : text_(text), blank_(blank) {}

    // The next code point and its index; false at the end of the text.
    bool next(uint32_t* c, size_t* at) {
        while (i_ < text_.count) {
            *at = i_;
            *c = unit(i_++);
            if (*c > '\'' && *c != ';') return true;  // above every blank
            if (*c == ';') {
                while (i_ < text_.count && unit(i_) != '\n') i_++;
            } else if (!blank_(*c)) {
                return true;
            }
        }
        return false;
    }
    // The code point just after the last one next() answered, unskipped.
    bool followed_by(uint32_t c) const { return i_ < text_.count && unit(i_) == c; }
    void step() { i_++; }

private:
    uint32_t unit(size_t i) const {
        const auto* p = static_cast<const uint8_t*>(text_.data) + i * text_.width;
        if (text_.width == 1) return *p;
        if (text_.width == 2) {
            uint16_t u;
            std::memcpy(&u, p, 2);
            return u;
        }
        uint32_t u;
        std::memcpy(&u, p, 4);
        return u;
    }

    Units text_;
    Blank blank_;
    size_t i_ = 0;
};

constexpr Decoded valid{true, 0};
Decoded invalid(size_t at) { return {false, at}; }

// Each ASCII code point's value as a digit of the alphabet, -1 for none.
struct DigitTable {
    int8_t value[128];
    explicit constexpr DigitTable(const char* digits) : value() {
        for (int8_t& v : value) v = -1;
        for (int8_t i = 0; digits[i]; i++) value[uint8_t(digits[i])] = i;
    }
    int32_t operator()(uint32_t c) const { return c < 128 ? value[c] : -1; }
};

constexpr DigitTable base58_value(BASE58_DIGITS);
constexpr DigitTable base64_value(BASE64_DIGITS);

// ---------------------------------------------------------------- bases 2 and 16

Decoded decode_base2(Reader& reader, std::vector<uint8_t>& out) {
    uint32_t byte = 0, digits = 0;
    size_t group = 0;
    uint32_t c;
    for (size_t at; reader.next(&c, &at);) {
        if (c != '0' && c != '1') return invalid(at);
        if (digits == 0) group = at;
        byte = byte << 1 | (c - '0');
        if (++digits == 8) {
            out.push_back(uint8_t(byte));
            byte = digits = 0;
        }
    }
    return digits ? invalid(group) : valid;
}

Decoded decode_base16(Reader& reader, BaseRules rules, std::vector<uint8_t>& out) {
    int32_t high = -1;
    size_t pending = 0;
    uint32_t c;
    for (size_t at; reader.next(&c, &at);) {
        int32_t digit = hex_digit(c);
        if (digit < 0) return invalid(at);
        if (high < 0) {
            high = digit;
            pending = at;
            continue;
        }
        out.push_back(uint8_t(high << 4 | digit));
        high = -1;
    }
    return high >= 0 && rules == BaseRules::literal ? invalid(pending) : valid;
}

// ---------------------------------------------------------------- base 64

uint8_t* encode_base64(uint8_t* out, const uint8_t* bytes, size_t n) {
    size_t i = 0;
    for (; i + 3 <= n; i += 3) {
        uint32_t group = uint32_t(bytes[i]) << 16 | uint32_t(bytes[i + 1]) << 8 | bytes[i + 2];
        *out++ = uint8_t(BASE64_DIGITS[group >> 18]);
        *out++ = uint8_t(BASE64_DIGITS[(group >> 12) & 63]);
        *out++ = uint8_t(BASE64_DIGITS[(group >> 6) & 63]);
        *out++ = uint8_t(BASE64_DIGITS[group & 63]);
    }
    if (i == n) return out;
    bool two = n - i == 2;
    uint32_t group = uint32_t(bytes[i]) << 16 | (two ? uint32_t(bytes[i + 1]) << 8 : 0);
    *out++ = uint8_t(BASE64_DIGITS[group >> 18]);
    *out++ = uint8_t(BASE64_DIGITS[(group >> 12) & 63]);
    *out++ = two ? uint8_t(BASE64_DIGITS[(group >> 6) & 63]) : '=';
    *out++ = '=';
    return out;
}

// The bytes that "=" completes after pending characters of a group (2 or 3).
void put_padded(uint32_t bits, uint32_t pending, std::vector<uint8_t>& out) {
    if (pending == 3) {
        out.push_back(uint8_t(bits >> 10));
        out.push_back(uint8_t(bits >> 2));
    } else {
        out.push_back(uint8_t(bits >> 4));
    }
}

// In data, "=" ends the text; a literal needs "==" after two characters and
// nothing but blanks after its padding.
Decoded decode_padding(Reader& reader, BaseRules rules, size_t at, uint32_t bits, uint32_t pending,
                       std::vector<uint8_t>& out) {
    if (pending < 2) return invalid(at);
    if (rules == BaseRules::data) {
        put_padded(bits, pending, out);
        return valid;
    }
    if (pending == 2) {
        if (!reader.followed_by('=')) return invalid(at);
        reader.step();
    }
    put_padded(bits, pending, out);
    uint32_t c;
    return reader.next(&c, &at) ? invalid(at) : valid;
}

Decoded decode_base64(Reader& reader, BaseRules rules, std::vector<uint8_t>& out) {
    uint32_t bits = 0, pending = 0;
    size_t last = 0;
    uint32_t c;
    for (size_t at; reader.next(&c, &at);) {
        if (c == '=') return decode_padding(reader, rules, at, bits, pending, out);
        int32_t value = base64_value(c);
        if (value < 0) return invalid(at);
        last = at;
        bits = bits << 6 | uint32_t(value);
        if (++pending == 4) {
            out.push_back(uint8_t(bits >> 16));
            out.push_back(uint8_t(bits >> 8));
            out.push_back(uint8_t(bits));
            bits = pending = 0;
        }
    }
    return pending && rules == BaseRules::literal ? invalid(last) : valid;
}

// ---------------------------------------------------------------- base 58

// Multiplies the number held in little-endian limbs of the given radix by
// factor and adds carry, growing it by the limbs the result needs.
void multiply_add(std::vector<uint32_t>& limbs, uint64_t radix, uint64_t factor, uint64_t carry) {
    for (uint32_t& limb : limbs) {
        uint64_t value = uint64_t(limb) * factor + carry;
        limb = uint32_t(value % radix);
        carry = value / radix;
    }
    for (; carry; carry /= radix) limbs.push_back(uint32_t(carry % radix));
}

uint8_t* encode_base58(uint8_t* out, const uint8_t* bytes, size_t n) {
    size_t zeros = 0;
    while (zeros < n && bytes[zeros] == 0) zeros++;
    out = std::fill_n(out, zeros, uint8_t('1'));
    std::vector<uint32_t> limbs;  // the number in base 58^5, least significant first
    size_t i = zeros;
    for (size_t odd = (n - zeros) % 4; odd; odd--) multiply_add(limbs, BASE58_5, 256, bytes[i++]);
    for (; i < n; i += 4) {
        uint32_t word = uint32_t(bytes[i]) << 24 | uint32_t(bytes[i + 1]) << 16 | uint32_t(bytes[i + 2]) << 8 | bytes[i + 3];
        multiply_add(limbs, BASE58_5, uint64_t(1) << 32, word);
    }
    // Every limb but the most significant is written with all five digits.
    uint8_t* start = out;
    for (size_t k = 0; k < limbs.size(); k++) {
        uint32_t limb = limbs[k];
        for (int d = 0; d < 5 && (limb || k + 1 < limbs.size()); d++, limb /= 58) *out++ = uint8_t(BASE58_DIGITS[limb % 58]);
    }
    std::reverse(start, out);
    return out;
}

// Appends the number's bytes, most significant first, without leading zeros.
void put_limbs(const std::vector<uint32_t>& limbs, std::vector<uint8_t>& out) {
    size_t start = out.size();
    for (uint32_t limb : limbs)
        for (int shift = 0; shift < 32; shift += 8) out.push_back(uint8_t(limb >> shift));
    while (out.size() > start && out.back() == 0) out.pop_back();
    std::reverse(out.begin() + std::ptrdiff_t(start), out.end());
}

Decoded decode_base58(Reader& reader, std::vector<uint8_t>& out) {
    std::vector<uint32_t> limbs;  // the number in base 2^32, least significant first
    bool leading = true;
    uint64_t group = 0, factor = 1;
    uint32_t c;
    for (size_t at; reader.next(&c, &at);) {
        int32_t value = base58_value(c);
        if (value < 0) return invalid(at);
        if (leading && value == 0) {
            out.push_back(0);
            continue;
        }
        leading = false;
        group = group * 58 + uint64_t(value);
        factor *= 58;
        if (factor == BASE58_5) {
            multiply_add(limbs, uint64_t(1) << 32, factor, group);
            group = 0;
            factor = 1;
        }
    }
    if (factor > 1) multiply_add(limbs, uint64_t(1) << 32, factor, group);
    put_limbs(limbs, out);
    return valid;
}

}  // namespace

int32_t hex_digit(uint32_t c) {
    if (c >= '0' && c <= '9') return int32_t(c - '0');
    if (c >= 'A' && c <= 'F') return int32_t(c - 'A' + 10);
    if (c >= 'a' && c <= 'f') return int32_t(c - 'a' + 10);
    return -1;
}

bool is_base(int base) { return base == 2 || base == 16 || base == 58 || base == 64; }

uint64_t encoded_size(int base, uint64_t n) {
    switch (base) {
        case 2: return n * 8;
        case 16: return n * 2;
        case 58: return n * 138 / 100 + 1;  // log(256) / log(58) is below 1.38
        default: return (n + 2) / 3 * 4;
    }
}

uint8_t* encode_base(int base, uint8_t* out, const uint8_t* bytes, size_t n) {
    switch (base) {
        case 2:
            for (size_t i = 0; i < n; i++)
                for (int bit = 7; bit >= 0; bit--) *out++ = uint8_t('0' + ((bytes[i] >> bit) & 1));
            return out;
        case 16:
            for (size_t i = 0; i < n; i++) {
                *out++ = uint8_t(HEX_DIGITS[bytes[i] >> 4]);
                *out++ = uint8_t(HEX_DIGITS[bytes[i] & 15]);
            }
            return out;
        case 58: return encode_base58(out, bytes, n);
        default: return encode_base64(out, bytes, n);
    }
}

Decoded decode_base(int base, Units text, BaseRules rules, std::vector<uint8_t>& out) {
    Reader reader(text, blanks_of(base, rules));
    out.reserve(out.size() + (base == 64 ? text.count / 4 * 3 + 3 : text.count / 2 + 1));
    switch (base) {
        case 2: return decode_base2(reader, out);
        case 16: return decode_base16(reader, rules, out);
        case 58: return decode_base58(reader, out);
        default: return decode_base64(reader, rules, out);
    }
}

}  // namespace vek::codecs
