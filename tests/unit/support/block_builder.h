// Building blocks for the tests from a small notation, until the lexer can
// load them:
//   integers       1 -20
//   strings        "text" (no escapes)
//   words          a  a:  'a  :a  /a  #a  (word!, set-word!, lit-word!,
//                  get-word!, refinement!, issue!)
//   paths          a/b/1  a/b:  'a/b  :a/b  (steps are words or integers)
//   blocks         [ ... ]   parens ( ... )
// A line break before a value sets that value's new-line flag.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>

#include "runtime/core/cell.h"

namespace vek::test {

// The block of the values in the text. The cell holds the only reference to
// its buffer: keep it in a local (which the collector's stack scan sees).
Cell block_of(const char* text);

// A block (or another block kind) of the given cells, for values the
// notation cannot write.
Cell block_of(std::initializer_list<Cell> cells, uint32_t type = TYPE_BLOCK);

// A hash! of the values in the text, indexed by a table of its own.
Cell hash_of(const char* text);

// The first value of the text's block, alone.
Cell first_of(const char* text);

// A block nested depth levels deep: [[[...[]...]]].
Cell nested_block(uint32_t depth);

// The text of a string! from its buffer's first code point (ASCII expected).
std::string text_of(const Cell* string);

}  // namespace vek::test
