// The natives table and the native calling convention. A native's entry
// takes check? (whether to check its arguments' types, as compiled callers
// ask; the evaluator has already checked them) and one integer per
// refinement of its spec, in spec order: -1 when the refinement is absent,
// else the position of its first argument cell counted from
// stack::arguments. The arguments are the cells from stack::arguments on;
// the result is left in the first of them.
#pragma once

#include <array>
#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/core/unwind.h"

namespace vek::natives {

// One entry per row of natives.def; the entries past them stay empty.
constexpr uint32_t NATIVE_COUNT = 0
#define X(name, entry, intrinsic, spec) +1
#include "runtime/natives/natives.def"
#undef X
    ;
constexpr uint32_t TABLE_SIZE = 120;
static_assert(NATIVE_COUNT <= TABLE_SIZE, "every native has its entry in the table");

// What the evaluator runs itself while a plain word holds a boot native:
// the conditionals (which come first), the loops and blocks of conditions,
// and the comparisons it computes inline as operators on numbers.
enum class Intrinsic : uint8_t {
    none, if_, either, unless, while_, until, loop, repeat, foreach, any, all, case_,
    equal, not_equal, strict_equal, lesser, greater, lesser_equal, greater_equal,
};

// natives.def's intrinsic column, by position from 0.
constexpr Intrinsic INTRINSICS[NATIVE_COUNT] = {
#define X(name, entry, intrinsic, spec) Intrinsic::intrinsic,
#include "runtime/natives/natives.def"
#undef X
};

using NativeFn = Pending (*)(bool check, const int32_t* refinements);

extern std::array<NativeFn, TABLE_SIZE> table;

// Fills the table in its fixed order (at every start).
void init();
// Makes the print reduce buffer, in the root block.
void init_print_buffer();

// The block! cell, in the root block, that print and prin reduce into; they
// empty it back to its length before use once done.
Cell* print_buffer();

}  // namespace vek::natives
