// Raising script-level errors. fire is the one way any module raises: it takes
// an id of the error catalog, typed by its category (err::math::zero_divide),
// and up to three argument cells, and does not return.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "runtime/core/cell.h"

namespace vek {

enum class Category : uint32_t {
#define ERR_CATEGORY(position, name, vek_name, title) name = position,
#include "runtime/core/errors.def"
};

namespace err {

// An id of the error catalog: its position within its category (2 and up;
// 0 and 1 are the category's code and type fields). The category is part of
// the type, so an id cannot be raised under another category than its own.
template <Category C>
struct Id {
    uint32_t position;
    bool operator==(const Id&) const = default;
};

// An id of any category with its category, as raising and making errors take
// them. It is made only from a typed id.
struct AnyId {
    template <Category C>
    constexpr AnyId(Id<C> id) : category(C), position(id.position) {}
    Category category;
    uint32_t position;
};

namespace detail {

// The ids in list order, by their C++ names.
enum class Entry : uint32_t {
#define ERR_ID(category, name, ...) name,
#include "runtime/core/errors.def"
    count
};

// The categories in list order.
inline constexpr Category categories[] = {
#define ERR_CATEGORY(position, name, ...) Category::name,
#include "runtime/core/errors.def"
};

// Each id's category, in list order.
inline constexpr std::array<Category, size_t(Entry::count)> entry_categories{
#define ERR_ID(category, name, ...) Category::category,
#include "runtime/core/errors.def"
};

// Each id's position: the ids of its category listed before it, from 2.
inline constexpr auto entry_positions = [] {
    std::array<uint32_t, size_t(Entry::count)> positions{};
    std::array<uint32_t, std::size(categories)> next{};
    next.fill(2);
    for (size_t i = 0; i < positions.size(); i++) positions[i] = next[size_t(entry_categories[i])]++;
    return positions;
}();

constexpr uint32_t position_of(Entry entry) { return entry_positions[size_t(entry)]; }

}  // namespace detail
}  // namespace err

// One namespace per category, one constant per id: err::script::no_value.
#define ERR_ID(category, name, ...)                                                          \
    namespace err::category {                                                                \
    inline constexpr Id<Category::category> name{detail::position_of(detail::Entry::name)}; \
    }
#include "runtime/core/errors.def"

// An error's code: the category position times 100 plus the id's offset
// among the ids, so script no-value (position 2) is 300.
constexpr uint32_t error_code(err::AnyId id) { return uint32_t(id.category) * 100 + (id.position - 2); }

// The error goes up the stack as an error! value, its where and stack fields
// recording the function and the frame position at the raise. no-memory and
// stack-overflow allocate nothing: they raise values kept in the root block,
// and no-memory first hands the emergency reserve back to the heap.
[[noreturn]] void fire(err::AnyId id, const Cell* arg1 = nullptr,
                       const Cell* arg2 = nullptr, const Cell* arg3 = nullptr);

// internal not-done: for work that is not written yet.
[[noreturn]] inline void not_done() { fire(err::internal::not_done); }

// internal no-memory: for a size past what a buffer or a file may hold, or an
// allocation that failed.
[[noreturn]] inline void no_memory() { fire(err::internal::no_memory); }

// Raises an error value made beforehand (do of an error!). An error without
// a where or a stack position gets them as fire gives them, where naming the
// innermost call that the user's code made (a library function that raises
// is named, not the do inside it); one raised before keeps its own.
[[noreturn]] void raise_error(const Cell* error);

}  // namespace vek
