// Unicode services: display widths for the terminal grid, simple case
// mapping, and the conversions between the string buffers (code points in
// units of 1, 2 or 4 bytes) and UTF-8 / UTF-16.
//
// Errors: malformed UTF-8 and broken UTF-16 surrogates raise access
// invalid-utf8 with the offending bytes as a binary!; a code point above
// U+10FFFF given to a UTF-8 encoder raises script invalid-char. A string
// buffer whose unit is not 1, 2 or 4 stops the runtime with runtime error 101.
#pragma once

#include <cstddef>
#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/memory/series.h"

namespace vek::unicode {

// ---------------------------------------------------------------- widths

// Inclusive code-point ranges as a flat, ascending array of bounds:
// first, last, first, last, ...
struct RangeTable {
    const uint32_t* bounds;
    uint32_t bound_count;
};
extern const RangeTable zero_width;  // combining marks, Hangul medial/final jamo
extern const RangeTable wide;        // East Asian wide and fullwidth, wide emoji
extern const RangeTable ambiguous;   // East Asian ambiguous

bool in_ranges(uint32_t code_point, const uint32_t* bounds, uint32_t bound_count);
inline bool in_ranges(uint32_t code_point, const RangeTable& table) {
    return in_ranges(code_point, table.bounds, table.bound_count);
}

// Terminal columns taken by a code point: 0, 1 or 2.
int char_width(uint32_t code_point);
// The same for terminals that draw East Asian ambiguous characters wide.
int char_width_cjk(uint32_t code_point);

// ---------------------------------------------------------------- case

// (from, to) pairs, flat and sorted by their first member.
struct PairList {
    const uint32_t* pairs;
    uint32_t pair_count;
};
extern const PairList to_upper_bmp;
extern const PairList to_lower_bmp;
extern const PairList to_upper_above_bmp;
extern const PairList to_lower_above_bmp;

// Fills the direct BMP tables from the pair lists; runtime initialisation
// calls it once. Until then every code point maps to itself.
void init_case_tables();

// Simple one-to-one mapping: always exactly one code point comes back.
uint32_t change_char_case(uint32_t code_point, bool upper);
uint32_t to_upper(uint32_t code_point);
// The upper-case form, or the lower-case form when upper case changes nothing.
uint32_t toggle_case(uint32_t code_point);

// uppercase and lowercase: a char! value, or the string from its head to its
// tail (part nullptr) or for the /part argument: an integer! count (clipped
// to the tail; below 0 counts as 0) or a position in the same series. Any
// other part raises script invalid-refine-arg. A code point the buffer's
// unit cannot hold widens the buffer. The string's owner is told afterwards.
void change_case(Cell* value, const Cell* part, bool upper);

// Whether the code point is a surrogate, which well-formed UTF-8 never holds.
constexpr bool is_surrogate(uint32_t code_point) { return code_point >= 0xD800 && code_point <= 0xDFFF; }

// ---------------------------------------------------------------- decoding

// Table-driven decoding with no end test: the caller guarantees a terminator
// (a NUL ends any sequence). On a rejected sequence the code point is -1 and
// the result stands after the last byte read.
const uint8_t* fast_decode_utf8_char(const uint8_t* p, int32_t* code_point);

// Sequences are measured by their lead byte alone; neither function reads
// or steps past end.
uint32_t count_utf8_chars(const uint8_t* start, const uint8_t* end);
const uint8_t* skip_utf8_chars(const uint8_t* start, const uint8_t* end, uint32_t n);

// 4 when the top four bits are set, 3 for 1110xxxx, 2 for 110xxxxx, else 0.
int utf8_lead_length(uint8_t byte);

// count holds the bytes available at p. Returns the code point and sets count
// to the sequence length, or returns -1 (count unchanged) when the sequence
// needs more bytes than are available. Malformed input (a stray byte, an
// overlong form, a surrogate, a code point above U+10FFFF, U+FFFE) raises
// invalid-utf8 with at most four of the available bytes.
int32_t decode_utf8_char_checked(const uint8_t* p, uint32_t* count);

// A name from the system (a file name) may hold any bytes. Each byte that is
// not part of well-formed UTF-8 becomes the code point OS_NAME_BYTE_BASE +
// byte (U+DC80 to U+DCFF, which well-formed UTF-8 never gives), and
// to_os_name_cstring turns it back into that byte, so the name reaches the
// same file. Returns a new unit-1 (or wider) buffer's node.
constexpr uint32_t OS_NAME_BYTE_BASE = 0xDC00;
Node load_os_name(const uint8_t* bytes, uint32_t length);

// Decodes UTF-8 into the target's buffer (replacing its text, keeping and if
// need be widening its unit) or into a new unit-1 buffer when target is none;
// returns the buffer's node. A leading byte-order mark is skipped. In newline
// mode CR LF becomes LF and a lone CR becomes LF. An incomplete sequence at
// the end stops the load and, when bytes_left is given, stores the number of
// unused input bytes there; a complete load leaves *bytes_left unchanged
// (except for an input that is only the byte-order mark: 0).
Node load_utf8(const uint8_t* bytes, uint32_t length, Node target, int32_t* bytes_left,
               bool newline_mode);
Node load_utf8_into(const uint8_t* bytes, uint32_t length, Cell* string, int32_t* bytes_left);
Node load_utf8_new(const uint8_t* bytes, uint32_t length);

// Decodes count UTF-16 units (host order) into the target string's buffer,
// replacing its text, or into a new buffer when target is nullptr; returns
// the node. The unit is the narrowest that holds the text. With drop_cr every
// U+000D is left out. A high surrogate not followed by a low one raises
// invalid-utf8 with the units concerned as little-endian bytes.
Node load_utf16(const uint16_t* units, uint32_t count, Cell* target, bool drop_cr);

// ---------------------------------------------------------------- units

// One code point of a string buffer, 1, 2 or 4 bytes wide, little-endian.
// Any other unit stops the runtime with quit code 101.
uint32_t read_unit(const std::byte* p, uint32_t unit);
void write_unit(std::byte* p, uint32_t unit, uint32_t code_point);
[[noreturn]] void bad_unit();

// ---------------------------------------------------------------- encoding

// UTF-8 length of a code point, 1-4; a surrogate or a code point above
// U+10FFFF raises invalid-char.
int utf8_char_size(uint32_t code_point);
// UTF-8 bytes needed for the units from start to end of a string buffer.
uint32_t utf8_size_of_range(const std::byte* start, const std::byte* end, uint32_t unit);

// A surrogate code point or one above U+10FFFF raises invalid-char: no
// well-formed UTF-8 holds it, and text written with it would not read back.
int encode_utf8_char(uint32_t code_point, uint8_t* destination);
// Writes at most room bytes: the leading bytes of a sequence that does not fit.
int encode_utf8_char_bounded(uint32_t code_point, uint8_t* destination, uint32_t room);
// Units written (host order): 1, 2, or 0 above U+10FFFF.
int encode_utf16_char(uint32_t code_point, uint16_t* destination);

// The conversions below read a string value from its head. limit is a count
// of code points, -1 for all; it is clipped to the string's length.

// UTF-8 written to destination; with terminate a NUL follows, not counted
// in the result.
uint32_t string_to_utf8(const Cell* string, uint8_t* destination, int32_t limit, bool terminate);
// The same within room bytes, NUL included: only whole characters are written.
uint32_t string_to_utf8_bounded(const Cell* string, uint8_t* destination, uint32_t room,
                                int32_t limit, bool terminate);

// NUL-terminated copies in the string's conversion cache (a byte series whose
// node is kept in word 3 of the string cell, made or grown as needed). The
// result stays valid until the next conversion of that string or the next
// allocation. length: in, the limit; out, the bytes or units written without
// the terminator.
const uint8_t* to_utf8_cstring(Cell* string, int32_t* length);
// With lf_to_crlf each LF is written as CR LF.
const uint8_t* to_utf8_cstring_part(Cell* string, int32_t* length, bool lf_to_crlf);
// For the system's calls: a name, each code point of load_os_name's range
// written as the byte it stands for.
const uint8_t* to_os_name_cstring(Cell* string, int32_t* length);
// UTF-16 in host order. nullptr (length 0) when a code point lies above
// U+10FFFF.
const uint16_t* to_utf16_buffer(Cell* string, int32_t* length, bool lf_to_crlf);
// The whole string, each LF written as CR LF.
const uint16_t* to_utf16_cstring(Cell* string);

// ---------------------------------------------------------------- widening

// Rewrites a string buffer's text in place at the wider unit, growing the
// buffer when it has no room; returns the buffer that holds the text now
// (callers continue with it and re-read any address they held).
SeriesBuffer* widen_ucs1_to_ucs2(SeriesBuffer* buffer);
SeriesBuffer* widen_ucs1_to_ucs4(SeriesBuffer* buffer);
SeriesBuffer* widen_ucs2_to_ucs4(SeriesBuffer* buffer);

}  // namespace vek::unicode
