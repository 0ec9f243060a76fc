// Argument caches: a callable value's spec flattened once, on its first call
// through the evaluator, into a block kept in the second cell of the value's
// internal block. Its cells, in spec order:
// - a typeset! per argument, its passing mode in header bits 20-21 (the
//   return: entry has a mode of its own and is skipped when fetching);
// - a refinement! per refinement but /local; for native! and action! its
//   word 3 holds the refinement's ordinal, 1 for the first;
// - an integer!: for native! and action! the number of refinements (when
//   there is any), for function! and routine! the number of local slots from
//   /local on (when the spec has /local);
// - last, a binary! holding the call plan (below).
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/datatypes/callable/callable.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/memory/series.h"

namespace vek::eval {

enum ArgMode : uint32_t { ARG_NORMAL = 0, ARG_GET = 1, ARG_LITERAL = 2, ARG_RETURN = 3 };

inline uint32_t arg_mode(const Cell* typeset) { return (typeset->header & ARG_MODE_MASK) >> ARG_MODE_SHIFT; }
// A native's or action's refinement entry keeps its ordinal where a word
// keeps its index.
inline uint32_t refinement_ordinal(const Cell* refinement) { return word::index(refinement); }
inline void set_refinement_ordinal(Cell* refinement, uint32_t ordinal) { word::set_index(refinement, ordinal); }

// A call plan: what a plain call (no path, no apply, so no refinement
// named) needs of the callable, read once from its cache entries. It lets
// such a call fetch its arguments without walking the cache.
struct PlanArgument {
    uint64_t types;        // bit t set when the argument takes datatype id t
    uint32_t mode;         // ARG_NORMAL, ARG_GET or ARG_LITERAL
    uint32_t cache_index;  // its cache entry, which names it in errors
};
static_assert(sizeof(PlanArgument) == 16 && TYPE_COUNT <= 64);

struct CallPlan {
    uint32_t arity;        // arguments before the first refinement; a PlanArgument each follows the plan
    uint32_t refinements;  // refinements but /local
    int32_t locals;        // function! and routine!: local slots from /local on
    uint32_t absent;       // function! and routine!: cells a call pushes for its refinements, all left out
    uint64_t absent_refinements;  // bit i set when absent cell i is a refinement's false, else an argument's none
    bool plain;            // a plain call may use the plan: the absent cells fit the bits above, a
                           // native's refinements its slots, a function! is interpreted
};
static_assert(sizeof(CallPlan) % alignof(PlanArgument) == 0);

// Refinement slots of a native or action call (natives have a dozen at most).
constexpr uint32_t MAX_REFINEMENTS = 32;

inline const PlanArgument* plan_arguments(const CallPlan* plan) {
    return reinterpret_cast<const PlanArgument*>(plan + 1);
}
inline bool takes_type(const PlanArgument& argument, uint32_t type) {
    return type < 64 && ((argument.types >> type) & 1) != 0;
}

// Builds the cache from the spec and stores it in the value's internal block
// (shared by every copy of the value, operators included).
Node make_args_cache(const Cell* callable);
// The cache, built when the value has none yet.
Node args_cache(const Cell* callable);
// The plan, built with the cache when the value has none yet. Its bytes never
// change; the pointer stays valid while it is held in the C++ stack, whose
// scan keeps the buffer it points into in place.
const CallPlan* call_plan(const Cell* callable);
// The same when the cache is built and a plain call may use the plan;
// nullptr otherwise, so that the first call, which builds the cache, takes
// the general path and raises what building raises where it always has.
inline const CallPlan* plain_plan(const Cell* callable) {
    const Cell* cache = callable::args_cache(callable);
    if (cell_type(cache) != TYPE_BLOCK) return nullptr;
    const Cell* plan_value = series_buffer(cache)->cells_tail() - 1;
    auto* plan = reinterpret_cast<const CallPlan*>(series_buffer(plan_value)->first());
    return plan->plain ? plan : nullptr;
}

// The spec word behind the cache entry at that index, pushed as a word!
// (for error messages).
Cell* push_spec_word(const Cell* callable, uint32_t cache_index);

}  // namespace vek::eval
