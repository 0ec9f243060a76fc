// Decoding reads the whole text into a C++ byte vector before it makes the
// binary: the text may lie in a series buffer that the allocation moves.
#include "runtime/datatypes/string/binary_codecs.h"

#include <algorithm>
#include <vector>

#include "runtime/datatypes/string/binary.h"
#include "runtime/text/unicode.h"

namespace vek::binary {

namespace {

constexpr char HEX_DIGITS[] = "0123456789ABCDEF";
constexpr char BASE64_DIGITS[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Code points of a text buffer, read one at a time, with ";" comments (to
// the end of the line) stepped over.
class TextReader {
public:
    TextReader(const std::byte* text, uint32_t n, uint32_t unit) : text_(text), n_(n), unit_(unit) {}

    bool done() const { return i_ >= n_; }
    // The next code point that is not inside a comment; false at the end.
    bool next(uint32_t* c) {
        while (i_ < n_) {
            *c = unicode::read_unit(text_ + size_t(i_++) * unit_, unit_);
            if (*c != ';') return true;
            while (i_ < n_ && unicode::read_unit(text_ + size_t(i_) * unit_, unit_) != '\n') i_++;
        }
        return false;
    }

private:
    const std::byte* text_;
    uint32_t n_;
    uint32_t unit_;
    uint32_t i_ = 0;
};

int32_t hex_value(uint32_t c) {
    if (c >= '0' && c <= '9') return int32_t(c - '0');
    if (c >= 'A' && c <= 'F') return int32_t(c - 'A' + 10);
    if (c >= 'a' && c <= 'f') return int32_t(c - 'a' + 10);
    return -1;
}

int32_t base64_value(uint32_t c) {
    if (c >= 'A' && c <= 'Z') return int32_t(c - 'A');
    if (c >= 'a' && c <= 'z') return int32_t(c - 'a' + 26);
    if (c >= '0' && c <= '9') return int32_t(c - '0' + 52);
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

bool base64_skipped(uint32_t c) {
    return c == '\b' || c == '\t' || c == '\n' || c == '\f' || c == '\r' || c == ' ' || c == '\'';
}

Cell* made(Cell* result, const std::vector<uint8_t>& bytes) {
    make_at(result, uint32_t(bytes.size()));
    SeriesBuffer* buffer = series_buffer(result);
    if (!bytes.empty()) std::copy(bytes.begin(), bytes.end(), reinterpret_cast<uint8_t*>(buffer->first()));
    buffer->tail = buffer->offset + uint32_t(bytes.size());
    return result;
}

}  // namespace

// ---------------------------------------------------------------- encoding

uint8_t* encode_base2(uint8_t* buffer, const uint8_t* bytes, uint32_t n) {
    for (uint32_t i = 0; i < n; i++)
        for (int bit = 7; bit >= 0; bit--) *buffer++ = uint8_t('0' + ((bytes[i] >> bit) & 1));
    return buffer;
}

uint8_t* encode_base16(uint8_t* buffer, const uint8_t* bytes, uint32_t n) {
    for (uint32_t i = 0; i < n; i++) {
        *buffer++ = uint8_t(HEX_DIGITS[bytes[i] >> 4]);
        *buffer++ = uint8_t(HEX_DIGITS[bytes[i] & 15]);
    }
    return buffer;
}

uint8_t* encode_base64(uint8_t* buffer, const uint8_t* bytes, uint32_t n) {
    uint32_t i = 0;
    for (; i + 3 <= n; i += 3) {
        uint32_t group = uint32_t(bytes[i]) << 16 | uint32_t(bytes[i + 1]) << 8 | bytes[i + 2];
        for (int shift = 18; shift >= 0; shift -= 6) *buffer++ = uint8_t(BASE64_DIGITS[(group >> shift) & 63]);
    }
    if (i == n) return buffer;
    bool two = n - i == 2;
    uint32_t group = uint32_t(bytes[i]) << 16 | (two ? uint32_t(bytes[i + 1]) << 8 : 0);
    *buffer++ = uint8_t(BASE64_DIGITS[group >> 18]);
    *buffer++ = uint8_t(BASE64_DIGITS[(group >> 12) & 63]);
    *buffer++ = two ? uint8_t(BASE64_DIGITS[(group >> 6) & 63]) : '=';
    *buffer++ = '=';
    return buffer;
}

// ---------------------------------------------------------------- decoding

Cell* decode_base2(Cell* result, const std::byte* text, uint32_t n, uint32_t unit) {
    TextReader reader(text, n, unit);
    std::vector<uint8_t> bytes;
    uint32_t byte = 0, digits = 0;
    for (uint32_t c; reader.next(&c);) {
        if (c <= ' ') continue;
        if (c != '0' && c != '1') return nullptr;
        byte = byte << 1 | (c - '0');
        if (++digits == 8) {
            bytes.push_back(uint8_t(byte));
            byte = digits = 0;
        }
    }
    return digits ? nullptr : made(result, bytes);
}

// A code point above 127 is invalid, never read as the digit its low seven
// bits would spell.
Cell* decode_base16(Cell* result, const std::byte* text, uint32_t n, uint32_t unit) {
    TextReader reader(text, n, unit);
    std::vector<uint8_t> bytes;
    int32_t high = -1;
    for (uint32_t c; reader.next(&c);) {
        if (c <= ' ') continue;
        int32_t digit = hex_value(c);
        if (digit < 0) return nullptr;
        if (high < 0) {
            high = digit;
            continue;
        }
        bytes.push_back(uint8_t(high << 4 | digit));
        high = -1;
    }
    return made(result, bytes);
}

Cell* decode_base64(Cell* result, const std::byte* text, uint32_t n, uint32_t unit) {
    TextReader reader(text, n, unit);
    std::vector<uint8_t> bytes;
    uint32_t bits = 0, pending = 0;
    for (uint32_t c; reader.next(&c);) {
        if (base64_skipped(c)) continue;
        if (c == '=') {
            if (pending < 2) return nullptr;
            bytes.push_back(uint8_t(pending == 3 ? bits >> 10 : bits >> 4));
            if (pending == 3) bytes.push_back(uint8_t(bits >> 2));
            pending = 0;
            break;
        }
        int32_t value = base64_value(c);
        if (value < 0) return nullptr;
        bits = bits << 6 | uint32_t(value);
        if (++pending == 4) {
            bytes.push_back(uint8_t(bits >> 16));
            bytes.push_back(uint8_t(bits >> 8));
            bytes.push_back(uint8_t(bits));
            bits = pending = 0;
        }
    }
    return made(result, bytes);
}

}  // namespace vek::binary
