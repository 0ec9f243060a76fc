// Path access on strings (s/2, s/2: #"x", s/key, s/key: #"x"), inherited by
// the string-like types and binary!.
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"

namespace vek::string {

// Slot 7. Reads when value is nullptr, else sets and answers value.
//
// An integer! element picks the element at that position (none when out of
// range) or pokes it (script out-of-range when out of range). A word!
// element raises script invalid-path. Any other element is searched for:
// reading answers the element right after the found text (select), setting
// pokes the value there, and raises script bad-path-set when the text is
// missing. case_sensitive searches without folding case. The other
// arguments mean nothing to strings.
//
// The answer of a read (a char!, integer! or none!) is written into the
// parent cell, which is answered.
Cell* eval_path(Cell* parent, const Cell* element, const Cell* value, const Cell* path,
                const Cell* grandparent, const Cell* previous, int32_t index, bool case_sensitive,
                bool get, bool last, bool notify);

}  // namespace vek::string
