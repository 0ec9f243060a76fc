// The lexer's constant tables: the byte classes with their flags, the
// automaton's transitions, the datatype each state stands for, and the small
// tables the scanners consult.
#pragma once

#include <array>
#include <cstdint>

namespace vek::lexer {

constexpr uint32_t CLASS_COUNT = 40;
constexpr uint32_t STATE_COUNT = 66;   // inner states 0-65
constexpr uint32_t FIRST_FINAL = 66;   // final states 66-101: token kind = state - 66
constexpr uint32_t KIND_COUNT = 0
#define X(NAME, type, scanner, loader) +1
#include "runtime/lexer/kinds.def"
#undef X
    ;

// Byte classes that the scanners name.
enum Class : uint8_t {
    C_BLANK = 0, C_LINE = 1, C_DIGIT = 2, C_ZERO = 3, C_BLOCK_OPEN = 4, C_BLOCK_CLOSE = 5,
    C_PAREN_OPEN = 6, C_PAREN_CLOSE = 7, C_BRACE_OPEN = 8, C_BRACE_CLOSE = 9, C_QUOTE = 10,
    C_HASH = 11, C_APOSTROPHE = 12, C_COLON = 13, C_SLASH = 21, C_BACKSLASH = 22, C_LESS = 23,
    C_GREATER = 24, C_SEMICOLON = 28, C_WORD = 37, C_INVALID = 38, C_END = 39,
};

// Flags above the class byte, OR-ed over a token's bytes.
constexpr uint32_t F_LINE = 0x100;
constexpr uint32_t F_PERCENT = 0x40000;
constexpr uint32_t F_GREATER = 0x80000;
constexpr uint32_t F_LESS = 0x100000;
constexpr uint32_t F_SIGN = 0x200000;
constexpr uint32_t F_NUL = 0x400000;
constexpr uint32_t F_HASH = 0x800000;
constexpr uint32_t F_EXPONENT = 0x1000000;
constexpr uint32_t F_APOSTROPHE = 0x2000000;
constexpr uint32_t F_COLON = 0x4000000;
constexpr uint32_t F_COMMA = 0x8000000;
constexpr uint32_t F_DOT = 0x10000000;
constexpr uint32_t F_CARET = 0x20000000;
constexpr uint32_t F_UTF8_SHORT = 0x40000000;  // continuation bytes, lead bytes of 2- and 3-byte sequences
constexpr uint32_t F_UTF8_LONG = 0x80000000;   // lead bytes of 4-byte sequences
constexpr uint32_t F_UTF8 = F_UTF8_SHORT | F_UTF8_LONG;

extern const std::array<uint32_t, 256> class_table;
extern const uint8_t transitions[STATE_COUNT][CLASS_COUNT];
// Indexed by state, 0 to 101.
extern const std::array<uint8_t, FIRST_FINAL + KIND_COUNT> state_type;

inline uint32_t class_of(uint8_t byte) { return class_table[byte] & 0xFF; }

// Whether a byte of that class ends a path item.
bool ends_path_item(uint32_t byte_class);

// The token kinds, final state - 66.
enum Kind : uint32_t {
#define X(NAME, type, scanner, loader) K_##NAME,
#include "runtime/lexer/kinds.def"
#undef X
};

}  // namespace vek::lexer
