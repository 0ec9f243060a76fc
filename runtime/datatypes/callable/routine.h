// routine! (29, child of function!): a function whose body is C++ code
// compiled into the program, registered here by name.
//
// Cell: header 29, FLAG_CELLS on request, the arity in bits 25-29; word 1 the
// node of a context of the spec's words; word 2 the spec node; word 3 an
// internal block laid out as a function!'s (function.h): body or none!,
// argument cache, the registry index as integer!, unset! (an op! made from
// the routine stores it there), the maker's integer (the declared return
// type: below 1 none, 4 logic!, 11 integer!, 12 float!).
//
// The library declares each routine, while booting only, by the name it was
// registered under; the spec comes with the registration.
#pragma once

#include <cstdint>
#include <string_view>

#include "runtime/core/cell.h"
#include "runtime/memory/series.h"

namespace vek::routine {

// One argument as its declared type passes it: logic! (0 or 1) and integer!
// in integer, float! in number, any other type (and every argument of a
// FLAG_CELLS routine) as cell, pointing at the argument cell.
union Arg {
    int32_t integer;
    double number;
    Cell* cell;
};
// The arguments in spec order; the answer is read by the declared return
// type (integer for logic! and integer!, number for float!; a FLAG_CELLS
// routine answers a cell that becomes the result).
using Fn = Arg (*)(const Arg* args);

// ---------------------------------------------------------------- registry

// Registers the function under the name with the source text of its spec
// block, without the brackets (both of static storage), and answers its
// 1-based index; a name registered again keeps its first index and takes the
// new function and spec. The library's routines are the rows of
// runtime/natives/routines.def.
uint32_t register_fn(std::string_view name, Fn fn, std::string_view spec);
// The index of the name, 0 when it is not registered.
uint32_t find(std::string_view name);
// The index of the routine registered under the name a word of any kind
// holds; raises script bad-make-arg with routine! and the name when it is no
// such word or not registered.
uint32_t named(const Cell* name);
// The function at a valid index.
Fn at(uint32_t index);
// The spec text registered with the routine at a valid index.
std::string_view spec_text(uint32_t index);

// ---------------------------------------------------------------- values

inline uint32_t arity(const Cell* routine) { return (routine->header & ARITY_MASK) >> ARITY_SHIFT; }
// The registry index kept in the internal block.
uint32_t index(const Cell* routine);
inline bool takes_cells(const Cell* routine) { return (routine->header & FLAG_CELLS) != 0; }

// The number of argument words (word!, get-word!, lit-word!) before the
// spec's first refinement or set-word; type blocks, doc strings, refinement
// arguments and locals do not count.
uint32_t count_arity(const Cell* spec);

// Builds a routine! on the evaluation stack: body may be nullptr or none! (no
// body), code is the registry index, extra the declared return type,
// cells asks for FLAG_CELLS. Arities above 31 raise script bad-func-def with
// the spec.
Cell* make_value(const Cell* spec, const Cell* body, uint32_t code, int32_t extra, bool cells);

// The boot-time constructor: the routine registered under the name (a word
// of any kind), made with the spec (validated as a function's) and pushed.
// Outside the boot phase (core/system.h) it raises internal routines; a
// name that is no word or not registered raises as named does.
Cell* declare(const Cell* spec, const Cell* name, int32_t return_type, bool cells);

// Runs a routine! whose arguments are on the stack, in the native frame the
// caller opened; the result is left in the frame's first cell.
void call(const Cell* routine);

// Registers routine!, after function!.
void init();

}  // namespace vek::routine
