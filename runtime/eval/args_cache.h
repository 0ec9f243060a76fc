// Argument caches: a callable value's spec flattened once, on its first call
// through the evaluator, into a block kept in the second cell of the value's
// internal block. Its cells, in spec order:
// - a typeset! per argument, its passing mode in header bits 20-21 (the
//   return: entry has a mode of its own and is skipped when fetching);
// - a refinement! per refinement but /local; for native! and action! its
//   word 3 holds the refinement's ordinal, 1 for the first;
// - last, an integer!: for native! and action! the number of refinements
//   (when there is any), for function! and routine! the number of local
//   slots from /local on (when the spec has /local).
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/memory/series.h"

namespace vek::eval {

enum ArgMode : uint32_t { ARG_NORMAL = 0, ARG_GET = 1, ARG_LITERAL = 2, ARG_RETURN = 3 };

inline uint32_t arg_mode(const Cell* typeset) { return (typeset->header & ARG_MODE_MASK) >> ARG_MODE_SHIFT; }
// A native's or action's refinement entry keeps its ordinal where a word
// keeps its index.
inline uint32_t refinement_ordinal(const Cell* refinement) { return word::index(refinement); }
inline void set_refinement_ordinal(Cell* refinement, uint32_t ordinal) { word::set_index(refinement, ordinal); }

// Builds the cache from the spec and stores it in the value's internal block
// (shared by every copy of the value, operators included).
Node make_args_cache(const Cell* callable);
// The cache, built when the value has none yet.
Node args_cache(const Cell* callable);

// The spec word behind the cache entry at that index, pushed as a word!
// (for error messages).
Cell* push_spec_word(const Cell* callable, uint32_t cache_index);

}  // namespace vek::eval
