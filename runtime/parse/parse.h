// The parse engine: matches a rule block against an input series (any block
// kind, any string kind or binary!) and answers whether the whole input was
// matched, or the block that a top-level collect gathered.
//
// It is one loop over an explicit state machine: entered rule blocks and
// pending operations are value cells on two engine-owned stacks (stacks.h),
// never machine recursion, so deep grammars cost no C++ stack and a tracing
// callback can see (and even edit) the rule stack. A nested parse, from a
// paren or the callback, works above the marks of the outer one.
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/core/unwind.h"

namespace vek::parse {

// Matching mode passed to every comparison: case-insensitive or strict.
enum class Mode : int32_t { folded = 0, strict = 2 };

// What one parse is asked to do.
struct Request {
    const Cell* input;     // any-block!, any-string! or binary!, from its index
    const Cell* rules;     // block!, from its index
    Mode mode;             // /case gives strict
    int64_t limit;         // index (from the buffer's start) where the input counts as ended; -1: none
    const Cell* callback;  // a function! called at each event, or nullptr
};

// Makes the two stacks and interns the keywords; once, at runtime start-up,
// after the datatypes and the fixed words exist.
void init();
// Registers the stacks as a collector root (at every start).
void init_hooks();

// Runs the rules over the input and writes a logic! (the rules matched up to
// the end of the input or the limit) or the collected block! into result, a
// cell that stays put meanwhile (a frame's argument cell). A break, continue,
// return or exit coming out of a paren is handed back pending, with both
// stacks cut back to where this call found them; errors and throws leave the
// same way as exceptions. Raises the script parse-* errors, and what the
// parens and the callback raise.
Pending process(const Request& request, Cell* result);

}  // namespace vek::parse
