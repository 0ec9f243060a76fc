// string!: the text value, and the string-like types (file!, url!, tag!,
// email!, ref!) that reach these entries through inheritance. Here are the
// string! actions make, to, form, mold and compare, the comparison engine
// that sorting, searching and parse share, and the match tests that find and
// parse apply at a string's head. The buffer layer and the text builder are
// in buffer.h.
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/text/sink.h"

namespace vek::string {

// string!'s make, to and form, which the string-like types fall back on.
//
// An integer! or float! spec is a capacity (a negative one raises script
// out-of-range): an empty value of the target type. For binary! a money! spec
// raises bad-make-arg. Any other spec is handled as to.
Cell* make_from_spec(Cell* result, const Cell* spec, uint32_t type);
// A string-like spec is copied from its head; a refinement! gives its formed
// text for string!, its molded text for the other targets; none! raises
// bad-to-arg; any other value is formed into a new string. The result takes
// the target type.
Cell* convert(Cell* result, const Cell* spec, uint32_t type);

// The text from the head (at most the limit when it is in force); lowers the
// limit by the whole length.
void form_text(const Cell* value, text::Sink& out);
// Appends one code point in molded form: control characters, the double quote
// and the caret as caret escapes, U+001E, U+0080-U+009F (and with all
// anything above U+007F) as ^(hex digits), DEL as ^~.
void mold_char(const Cell* output, uint32_t code_point, bool all);

// The comparison engine: -1, 0 or 1. Case-folded unless op is strict-equal or
// case-sort. With prefix, answers 0 when value1 starts with value2. A symbol!
// operand is read through its name string.
int32_t compare_strings(const Cell* value1, const Cell* value2, int32_t op, bool prefix);

// Whether the value matches at the string's head: a string, file, url, email
// or ref as a prefix, a char! as the code point there, a tag! as "<" + its
// text + ">". Case-folded unless op is strict-equal.
bool match_at_head(const Cell* string, const Cell* value, int32_t op);
// Whether the string has "<" at its head and ">" right after as many code
// points as the tag's text holds.
bool tag_at_head(const Cell* string, const Cell* tag);
// Whether the code point at the head belongs to the bitset! (a string at its
// tail: false).
bool head_char_in_bitset(const Cell* string, const Cell* bitset);

// Registers string!.
void init();

}  // namespace vek::string
