#include "runtime/natives/json_codec.h"

#include <algorithm>

#include "runtime/codecs/base.h"
#include "runtime/core/raise.h"
#include "runtime/datatypes/callable/routine.h"
#include "runtime/datatypes/string/buffer.h"

namespace vek::routines {

namespace {

using routine::Arg;

constexpr uint32_t HIGH_SURROGATE_FIRST = 0xD800;
constexpr uint32_t HIGH_SURROGATE_LAST = 0xDBFF;
constexpr uint32_t LOW_SURROGATE_FIRST = 0xDC00;
constexpr uint32_t LOW_SURROGATE_LAST = 0xDFFF;

// Positions are indexes from the buffer's first unit: they stay right when
// writing a wider code point widens, and so moves, the buffer.
uint32_t char_at(const Cell* text, uint32_t index) { return string::rs_abs_at(text, index); }

[[noreturn]] void bad_escape(const Cell* text) { fire(err::script::invalid_data, text); }

// The code unit that four hexadecimal digits from the index spell.
uint32_t code_unit_at(const Cell* text, uint32_t index, uint32_t tail) {
    if (tail - index < 4) bad_escape(text);
    uint32_t unit = 0;
    for (uint32_t i = index; i < index + 4; i++) {
        int32_t digit = codecs::hex_digit(char_at(text, i));
        if (digit < 0) bad_escape(text);
        unit = unit * 16 + uint32_t(digit);
    }
    return unit;
}

// An escape's code point and the index just past the escape.
struct Escape {
    uint32_t code_point;
    uint32_t next;
};

// The escape whose four digits start at the index. A high surrogate must be
// followed by the escape of a low one, and the two make one code point; a
// low surrogate alone stands for itself.
Escape unicode_escape(const Cell* text, uint32_t index, uint32_t tail) {
    uint32_t high = code_unit_at(text, index, tail);
    index += 4;
    if (high < HIGH_SURROGATE_FIRST || high > HIGH_SURROGATE_LAST) return {high, index};
    if (tail - index < 6 || char_at(text, index) != '\\' || char_at(text, index + 1) != 'u') bad_escape(text);
    uint32_t low = code_unit_at(text, index + 2, tail);
    if (low < LOW_SURROGATE_FIRST || low > LOW_SURROGATE_LAST) bad_escape(text);
    return {0x10000 + ((high - HIGH_SURROGATE_FIRST) << 10) + (low - LOW_SURROGATE_FIRST), index + 6};
}

// The escape whose letter is at the index, just after its backslash.
Escape escape_at(const Cell* text, uint32_t index, uint32_t tail) {
    if (index >= tail) bad_escape(text);
    uint32_t letter = char_at(text, index);
    switch (letter) {
        case '"':
        case '\\':
        case '/':
            return {letter, index + 1};
        case 'b':
            return {'\b', index + 1};
        case 'f':
            return {'\f', index + 1};
        case 'n':
            return {'\n', index + 1};
        case 'r':
            return {'\r', index + 1};
        case 't':
            return {'\t', index + 1};
        case 'u':
            return unicode_escape(text, index + 1, tail);
        default:
            bad_escape(text);
    }
}

}  // namespace

// Argument: the string!, rewritten from its head; every escape is shorter
// than its code point's place, so writing never overtakes reading. Answers
// the same string. A backslash at the tail, a \u without four hexadecimal
// digits, an unknown escape letter or a high surrogate without its low one
// raises script invalid-data with the string.
Arg unescape(const Arg* args) {
    Cell* text = args[0].cell;
    int32_t first = string::find_char(text, '\\');
    if (first < 0) return Arg{.cell = text};
    uint32_t tail = series_buffer(text)->length();
    uint32_t read = std::min(series_index(text), tail) + uint32_t(first);
    uint32_t write = read;
    while (read < tail) {
        Escape next{char_at(text, read), read + 1};
        if (next.code_point == '\\') next = escape_at(text, read + 1, tail);
        string::overwrite_char(series_buffer(text), write++, next.code_point);
        read = next.next;
    }
    string::limit_buffer(series_buffer(text), write);
    return Arg{.cell = text};
}

}  // namespace vek::routines
