// String buffers: every string-like value (string!, file!, url!, tag!,
// email!, ref!) keeps its text as code points in a series buffer whose unit is
// 1, 2 or 4 bytes; binary! uses unit-1 buffers of the same kind. These are the
// helpers under the string! actions, and the text builder that form, mold,
// the error printer and the I/O code append to.
//
// Units: unit 1 holds U+0000-U+00FF, unit 2 up to U+FFFF, unit 4 anything,
// little-endian. A buffer never narrows (only reset sets it back to 1): a
// writer that meets a code point its unit cannot hold widens the whole buffer
// in place first. Widening and growth may move the buffer, so every writer
// returns the buffer that holds the text afterwards; callers continue with it
// and re-read any address they held. A unit other than 1, 2 or 4 stops the
// runtime with runtime error 101.
//
// String cell: header type (flags kept by every retyping), word 1 the head
// index in units, word 2 the buffer's node (series_index and series_node),
// word 3 the node of the conversion cache of runtime/text/unicode.h, 0 until
// a conversion needs one.
#pragma once

#include <cstddef>
#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/memory/series.h"
#include "runtime/text/fixed_text.h"

namespace vek::string {

inline Node cache_node(const Cell* string) {
    VEK_CHECK_LAYOUT(string, is_any_string);
    return Node(string->data3);
}
inline void set_cache_node(Cell* string, Node cache) {
    VEK_CHECK_LAYOUT(string, is_any_string);
    string->data3 = uint32_t(cache);
}

// ---------------------------------------------------------------- reading

// The code point stored at an address of a buffer of that unit.
uint32_t get_char(const std::byte* address, uint32_t unit);

// The address of the unit at the head. A head beyond the tail is first pulled
// back to the tail (the value's head index is rewritten).
std::byte* rs_head(Cell* value);
std::byte* rs_tail(const Cell* value);
bool rs_at_tail(const Cell* value);
// Code points from the head to the tail; a head beyond the tail is set to the
// tail and gives 0.
uint32_t rs_length(Cell* value);
// Code points from the buffer's first unit to the tail.
uint32_t buffer_length(const Cell* value);
// The code point at an index counted from the buffer's first unit, whatever
// the head; the index must lie below buffer_length.
uint32_t rs_abs_at(const Cell* value, uint32_t index);

// Index relative to the head of the first occurrence, or -1.
int32_t find_char(const Cell* value, uint32_t code_point);
// Whether the code point occurs at head, head + step, head + 2 x step, ...
// Compared folded to upper case unless case_sensitive.
bool contains_char(const Cell* value, uint32_t code_point, uint32_t step, bool case_sensitive);
// Whether the text from the head begins with these bytes, each compared as
// one code point.
bool starts_with_c_string(const Cell* value, const char* text);

// ---------------------------------------------------------------- making

// The cell becomes an empty string! with a unit-1 buffer of that many units
// (0 asks for 1).
Cell* rs_make_at(Cell* cell, uint32_t capacity);
// The same with the unit given; capacity 0 gives 16 bytes.
Cell* make_at_unit(Cell* cell, uint32_t capacity, uint32_t unit);
// A copy of the cell on the evaluation stack.
Cell* push(const Cell* value);
// Empties the buffer: unit 1, no text, head index 0.
void reset(Cell* value);
// Cuts the text back to n units when that lies within the capacity and below
// the tail (a formed text overran its /part limit).
void limit_buffer(SeriesBuffer* buffer, uint32_t n);

// ---------------------------------------------------------------- single code points

// Widens a unit-1 buffer from U+0080 up (to unit 4 from U+10000), a unit-2
// buffer from U+10000 up.
SeriesBuffer* append_char(SeriesBuffer* buffer, uint32_t code_point);
// Inserts at an index from the first unit (an index past the tail inserts at
// the tail). Widens only when the unit cannot hold the code point.
SeriesBuffer* insert_char(SeriesBuffer* buffer, uint32_t index, uint32_t code_point);
// Stores at an address of the buffer; the address is carried over to the
// same index when the buffer widens.
SeriesBuffer* poke_char(SeriesBuffer* buffer, std::byte* address, uint32_t code_point);
// Stores at an index from the first unit, growing the buffer to reach it; an
// index at or past the tail moves the tail just past it.
SeriesBuffer* overwrite_char(SeriesBuffer* buffer, uint32_t index, uint32_t code_point);
// Index from the first unit; nothing at or past the tail.
void remove_char(const Cell* value, uint32_t index);
// At most the code points from the index to the tail are removed.
void remove_chars(const Cell* value, uint32_t index, uint32_t n);
// Inserts the n code points from the origin's head into the target at its
// head, one by one (so a narrower target widens), then removes them from the
// origin. The two values hold different buffers.
void move_chars(Cell* origin, Cell* target, uint32_t n);

// ---------------------------------------------------------------- text builder

// Each byte is one code point, appended as append_char does.
void append_c_string(const Cell* value, const char* text);
void append_c_string_part(const Cell* value, const char* text, uint32_t n);

enum class Mode : uint32_t { append = 0, insert = 1, overwrite = 2 };

// Copies the source's code points from its head into the target: at the tail
// (append), or at the target's head + offset (insert moves the rest up,
// overwrite extends the tail only when the run reaches past it). part >= 0
// limits the count. A narrower target is widened to the source's unit; a
// narrower source is widened to the target's, unless per_char asks for a copy
// code point by code point (a binary! source is always copied so: its bytes
// must stay bytes). A symbol! source or target is read through its name
// string, from position 0.
void concatenate(Cell* target, Cell* source, int32_t part, int32_t offset, bool per_char, Mode mode);

// Exchanges two byte runs of one buffer laid out run 1, gap, run 2: run 2
// ends at the start and run 1 at the end. The gap's bytes are not kept. The
// shorter run is staged in the module's scratch buffer.
void swap_runs(std::byte* run1, uint32_t length1, std::byte* run2, uint32_t length2, uint32_t gap);

// Upper-case hexadecimal text: a byte's two digits.
FixedText<3> byte_to_hex(uint8_t byte);
// All 8 digits (the left filled with F for a negative value), or with
// significant_only only the digits that differ from the sign fill ("00" when
// none does).
FixedText<9> int_to_hex(int32_t value, bool significant_only);

// ---------------------------------------------------------------- loading

enum class Encoding : int32_t { utf8 = 0, utf16le = -1 };

// A string! decoded from the bytes (size in bytes; UTF-16 text 2-aligned),
// made in the cell, or in a new cell pushed on the stack when cell is nullptr.
Cell* load(const uint8_t* bytes, uint32_t size, Cell* cell, Encoding encoding);
// The same into a new cell appended to the block.
Cell* load_in(const uint8_t* bytes, uint32_t size, Cell* block, Encoding encoding);
Cell* load_push(const uint8_t* bytes, uint32_t size, Encoding encoding);
// A new string! pushed on the stack. UTF-8 that ends inside a sequence raises
// access invalid-utf8 with the incomplete bytes as a binary!.
Cell* load_utf8_strict(const uint8_t* bytes, uint32_t size);

}  // namespace vek::string
