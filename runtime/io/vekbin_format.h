// The bytes of vekbin, the binary serialization of values, shared by its
// reader and its writer.
//
// A file is the magic "VEKBIN", a version byte, a flags byte, then the rest
// of the header and the records in one of two encodings: compact (varints,
// one lead byte per record) or fixed (whole 32-bit little-endian words, one
// header dword per record). Both keep shared series and contexts shared: the
// first occurrence is written in full and later ones as a reference path,
// the list of sibling positions from the top level down to the record that
// wrote it first.
//
// A varint is unsigned LEB128 of at most 5 bytes, the fifth carrying only
// its low 4 bits; a zigzag varint carries a signed 32-bit value.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace vek::vekbin {

// ---------------------------------------------------------------- header

constexpr char MAGIC[] = "VEKBIN";
constexpr size_t MAGIC_SIZE = 6;
constexpr uint8_t WRITER_VERSION = 2;
constexpr size_t FLAGS_OFFSET = 7;

constexpr uint8_t FLAG_COMPACT = 0x01;
constexpr uint8_t FLAG_COMPRESSED = 0x02;  // the rest after the flags byte is an LZ77 container
constexpr uint8_t FLAG_SYMBOLS = 0x04;

// ---------------------------------------------------------------- compact records

constexpr uint8_t PREFIX_NEW_LINE = 0xC0;
constexpr uint8_t PREFIX_REFERENCE = 0xC1;  // leading fields, then a path instead of the content
constexpr uint8_t PREFIX_ASSIGNMENT = 0xC4;  // boot data only: never valid in a file
constexpr uint8_t LEAD_TRUE = 0xC2;
constexpr uint8_t LEAD_FALSE = 0xC3;
constexpr uint8_t LEAD_REFERENCE_VALUE = 0xFF;  // a path; the value is a copy of the cell reached
constexpr uint8_t LEAD_SMALL_INTEGER = 0x80;  // 0x80 + v for integer! v in 0..63
constexpr int32_t SMALL_INTEGER_LIMIT = 64;
constexpr uint8_t LEAD_TYPE_MASK = 0x3F;  // bits 0-5 of a lead byte below 0x80: the datatype id
constexpr uint8_t LEAD_F = 0x40;  // bit 6: the type's own flag
constexpr uint8_t LEAD_TYPE_ESCAPE = 63;  // the datatype id follows as a varint

// ---------------------------------------------------------------- fixed records

constexpr uint32_t FIXED_TYPE_MASK = 0xFF;
constexpr uint32_t FIXED_REFERENCE = 1u << 19;
constexpr uint32_t FIXED_NEW_LINE = 1u << 31;
constexpr uint32_t FIXED_GLOBAL_WORD = 1u << 25;
constexpr uint32_t FIXED_BITSET_COMPLEMENT = 1u << 23;
constexpr uint32_t FIXED_MONEY_NEGATIVE = 1u << 22;
constexpr uint32_t FIXED_OBJECT_HANDLERS = 1u << 24;
constexpr int FIXED_WIDTH_SHIFT = 8;  // unit width, element width or tuple length in bits 8-15
constexpr int FIXED_OP_TYPE_SHIFT = 16;  // an op!'s underlying type in bits 16-23
constexpr int FIXED_CONTEXT_KIND_SHIFT = 26;  // bits 26-27
constexpr uint32_t FIXED_CONTEXT_HEADER_FLAG = 1u << 28;
constexpr uint32_t FIXED_CONTEXT_ON_STACK = 1u << 29;
constexpr uint32_t FIXED_CONTEXT_VALUES = 1u << 30;
constexpr uint32_t FIXED_REFERENCE_VALUE = 0xFF;  // also the dword that opens a path

// ---------------------------------------------------------------- context records (compact flags byte)

constexpr uint8_t CONTEXT_KIND_MASK = 0x03;  // 0 global, 1 function, 2 object
constexpr uint8_t CONTEXT_ON_STACK = 0x04;
constexpr uint8_t CONTEXT_HEADER_FLAG = 0x08;
constexpr uint8_t CONTEXT_VALUES = 0x10;

// ---------------------------------------------------------------- limits

constexpr uint32_t PATH_LIMIT = 65536;  // indexes in one reference path
constexpr int DEPTH_LIMIT = 512;  // records nested in records, so a crafted file cannot exhaust the stack
constexpr uint32_t IMAGE_SIDE_LIMIT = 65535;
constexpr uint32_t NATIVE_LIMIT = 107;  // native! records index the natives table 1..107
constexpr uint32_t ACTION_LIMIT = 62;  // action! records index the action slots 1..62

// ---------------------------------------------------------------- varints

inline void put_varint(std::vector<uint8_t>& out, uint32_t value) {
    while (value >= 0x80) {
        out.push_back(static_cast<uint8_t>(value | 0x80));
        value >>= 7;
    }
    out.push_back(static_cast<uint8_t>(value));
}

inline uint32_t zigzag(int32_t value) {
    return (static_cast<uint32_t>(value) << 1) ^ static_cast<uint32_t>(value >> 31);
}

inline int32_t unzigzag(uint32_t u) {
    return static_cast<int32_t>((u >> 1) ^ (0u - (u & 1)));
}

inline void put_zigzag(std::vector<uint8_t>& out, int32_t value) { put_varint(out, zigzag(value)); }

inline void put_dword(std::vector<uint8_t>& out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

inline uint32_t get_dword(const uint8_t* at) {
    return static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8 |
           static_cast<uint32_t>(at[2]) << 16 | static_cast<uint32_t>(at[3]) << 24;
}

// Reads a varint at `at`, never past `end`; moves `at` past it. Empty when
// it runs past `end`, is longer than 5 bytes, or its fifth byte is 0x10 or
// more; `at` is then left at the failing byte.
inline std::optional<uint32_t> get_varint(const uint8_t*& at, const uint8_t* end) {
    uint32_t value = 0;
    for (int i = 0; i < 5; ++i) {
        if (at >= end) return std::nullopt;
        uint8_t byte = *at;
        if (i == 4 && byte >= 0x10) return std::nullopt;
        value |= static_cast<uint32_t>(byte & 0x7F) << (7 * i);
        ++at;
        if ((byte & 0x80) == 0) return value;
    }
    return std::nullopt;
}

}  // namespace vek::vekbin
