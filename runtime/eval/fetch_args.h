// Argument fetching: what eval_code runs between opening a call's frame and
// running the callable. Internal to the evaluator.
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/eval/args_cache.h"
#include "runtime/eval/evaluator.h"

namespace vek::eval {

// Fetches the arguments and refinements of the called value into the top
// frame, by the spec's passing modes; with a path, its elements from
// path_rest on name refinements, in path order. A native! or action! is then
// run; a function! or routine! gets its local slots pushed. name is the
// word naming the frame, ref what the call event reports as naming it.
Pending fetch_args(const Cell* called, Cursor& at, const Cell* path, uint32_t path_rest, ApplyMode apply,
                   bool infix, const Cell* name, const Cell* ref);

// The arguments of a plain call (no path, no apply) by the callable's plan,
// pushed and checked in the general path's order, with its events, without
// its walk of the cache. Nothing is run, and for a function! or routine!
// nothing is pushed for its refinements or locals (below).
Pending fetch_plain_args(const Cell* called, const CallPlan* plan, Cursor& at, bool infix, const Cell* name);
// The same from the argument on, those before it already in the frame and
// checked.
Pending fetch_plain_args_from(const Cell* called, const CallPlan* plan, const PlanArgument* argument, Cursor& at,
                              bool infix, const Cell* name);

// Raises expect-arg, naming the argument of the called value's spec entry at
// the cache index, for a value of the type given.
[[noreturn]] void raise_expect_arg(const Cell* called, const Cell* name, uint32_t cache_index, uint32_t type);

// Raises expect-arg, naming the argument, when the value's type is not one
// the argument takes. Inline, as every argument of a plain call is tested.
inline void check_plain_type(const Cell* called, const Cell* name, const PlanArgument& argument, const Cell* value) {
    if (!takes_type(argument, cell_type(value))) [[unlikely]]
        raise_expect_arg(called, name, argument.cache_index, cell_type(value));
}

// What a function! or routine! called with no refinement named has pushed
// after its arguments: false for each refinement, none! for each of their
// arguments.
void push_absent(const CallPlan* plan);

// A native's or action's entry with no refinement named; a break, continue,
// return or exit raised inside it as an exception (by a callback) comes back
// as a pending code.
Pending run_plain_native(const Cell* called);

// An argument expression that calls nothing and raises nothing, pushed
// without the general expression step: a value that evaluates to itself or a
// word holding one, then (unless the call is infix, whose arguments take no
// operator) the operators the evaluator computes inline. Answers false with
// nothing read past the code and nothing pushed for any other expression.
// Defined beside the evaluator's own plain values (evaluator.cpp).
bool push_plain_argument(Cursor& at, bool infix);

}  // namespace vek::eval
