// Raising script-level errors. fire is the one way any module raises: it takes
// the category and the id by their positions in the error catalog and up to
// three argument cells, and does not return.
#pragma once

#include <cstdint>

#include "runtime/cell.h"

namespace vek {

enum class Category : uint32_t {
    throw_ = 0, note = 1, syntax = 2, script = 3, math = 4, access = 5,
    reserved1 = 6, reserved2 = 7, user = 8, internal = 9,
};

// Id positions within their category (0 and 1 are the category's code and type).
namespace err {
// internal
constexpr uint32_t no_memory = 4;
constexpr uint32_t wrong_mem = 5;
constexpr uint32_t stack_overflow = 6;
constexpr uint32_t limit_hit = 7;
constexpr uint32_t too_deep = 8;
// script
constexpr uint32_t no_value = 2;
constexpr uint32_t need_value = 3;
constexpr uint32_t not_defined = 4;
constexpr uint32_t expect_arg = 7;
constexpr uint32_t out_of_range = 43;
constexpr uint32_t bad_make_arg = 55;
// throw
constexpr uint32_t break_ = 2;
constexpr uint32_t return_ = 3;
constexpr uint32_t throw_ = 4;
constexpr uint32_t continue_ = 5;
// script (unicode)
constexpr uint32_t invalid_char = 62;
// access
constexpr uint32_t invalid_utf8 = 4;
// script (sorting)
constexpr uint32_t too_long = 61;
// script (refinements)
constexpr uint32_t invalid_refine_arg = 47;
}  // namespace err

// An error's code: the category position times 100 plus the id's offset
// among the ids, so script no-value (position 2) is 300.
constexpr uint32_t error_code(Category cat, uint32_t id) { return uint32_t(cat) * 100 + (id - 2); }

[[noreturn]] void fire(Category cat, uint32_t id, const Cell* arg1 = nullptr,
                       const Cell* arg2 = nullptr, const Cell* arg3 = nullptr);

}  // namespace vek
