#include "runtime/natives/natives.h"

#include "runtime/core/raise.h"
#include "runtime/core/root.h"
#include "runtime/datatypes/block/array.h"
#include "runtime/lexer/transcode.h"
#include "runtime/natives/control.h"
#include "runtime/natives/exits.h"
#include "runtime/natives/output.h"

namespace vek::natives {

std::array<NativeFn, TABLE_SIZE> table{};

namespace {

constexpr int32_t PRINT_BUFFER_CELLS = 32;

Cell* print_buffer_cell = nullptr;  // in the root block, which the collector marks

// The one entry of every native whose work is not written yet.
Pending not_done(bool, const int32_t*) { fire(Category::internal, err::not_done); }

Pending transcode_entry(bool, const int32_t* refinements) {
    const int32_t* r = refinements;
    transcode({.next = r[0], .one = r[1], .prescan = r[2], .scan = r[3], .part = r[4], .into = r[5]});
    return Pending::none;
}

// The fixed order in which native! values address the table (1-based).
constexpr NativeFn ENTRIES[NATIVE_COUNT] = {
    if_, unless, either, any, all, while_, until, loop, repeat, forever,        // 0-9
    foreach, forall, remove_each, func, function, does, has, switch_, case_,    // 10-18
    do_, get, set,                                                               // 19-21
    print, prin, equal_q, not_equal_q, strict_equal_q, lesser_q, greater_q,     // 22-28
    lesser_or_equal_q, greater_or_equal_q, same_q, not_, type_q, reduce,        // 29-34
    compose, stats, bind, in,                                                    // 35-38
    not_done,                                                                    // 39 parse
    not_done, not_done, not_done, not_done, not_done, not_done,                  // 40-45 sets
    not_done, not_done,                                                          // 46-47 dehex enhex
    not_done, not_done, not_done, not_done, not_done, not_done, not_done,        // 48-54 maths
    not_done, not_done, not_done, not_done, not_done, not_done, not_done,        // 55-61
    not_done, not_done, not_done, not_done, not_done,                            // 62-66
    not_done,                                                                    // 67 construct
    value_q, try_,                                                               // 68-69
    not_done, not_done,                                                          // 70-71 case change
    not_done, not_done, not_done, not_done,                                      // 72-75 as-*
    break_, continue_, exit, return_, throw_, catch_,                            // 76-81
    not_done, not_done, not_done, not_done, not_done,                            // 82-86
    unset, new_line, new_line_q,                                                 // 87-89
    not_done, not_done, not_done, not_done, not_done, not_done, not_done,        // 90-96
    not_done, not_done, not_done, not_done, not_done, not_done, not_done,        // 97-103
    not_done,                                                                    // 104 recycle
    transcode_entry, apply,                                                      // 105-106
};

}  // namespace

void init() {
    table = {};
    for (uint32_t i = 0; i < NATIVE_COUNT; i++) table[i] = ENTRIES[i];
    print_buffer_cell = block::make_at(root::append(), PRINT_BUFFER_CELLS);
}

Cell* print_buffer() { return print_buffer_cell; }

}  // namespace vek::natives
