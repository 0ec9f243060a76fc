// Raising script-level errors. fire is the one way any module raises: it takes
// the category and the id by their positions in the error catalog and up to
// three argument cells, and does not return.
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"

namespace vek {

enum class Category : uint32_t {
    throw_ = 0, note = 1, syntax = 2, script = 3, math = 4, access = 5,
    reserved1 = 6, reserved2 = 7, user = 8, internal = 9,
};

// Id positions within their category (0 and 1 are the category's code and
// type fields of the catalog), one constant per id of the error catalog.
namespace err {
// throw
constexpr uint32_t break_ = 2;
constexpr uint32_t return_ = 3;
constexpr uint32_t throw_ = 4;
constexpr uint32_t continue_ = 5;
constexpr uint32_t while_cond = 6;
// note
constexpr uint32_t no_load = 2;
// syntax
constexpr uint32_t invalid = 2;
constexpr uint32_t missing = 3;
constexpr uint32_t no_header = 4;
constexpr uint32_t no_vs_header = 5;
constexpr uint32_t bad_header = 6;
constexpr uint32_t malconstruct = 7;
constexpr uint32_t bad_char = 8;
// script
constexpr uint32_t no_value = 2;
constexpr uint32_t need_value = 3;
constexpr uint32_t not_defined = 4;
constexpr uint32_t not_in_context = 5;
constexpr uint32_t no_arg = 6;
constexpr uint32_t expect_arg = 7;
constexpr uint32_t expect_val = 8;
constexpr uint32_t expect_type = 9;
constexpr uint32_t cannot_use = 10;
constexpr uint32_t invalid_arg = 11;
constexpr uint32_t invalid_type = 12;
constexpr uint32_t invalid_type_spec = 13;
constexpr uint32_t invalid_key_type = 14;
constexpr uint32_t invalid_op = 15;
constexpr uint32_t no_op_arg = 16;
constexpr uint32_t bad_op_spec = 17;
constexpr uint32_t invalid_data = 18;
constexpr uint32_t invalid_part = 19;
constexpr uint32_t not_same_type = 20;
constexpr uint32_t not_same_class = 21;
constexpr uint32_t not_related = 22;
constexpr uint32_t bad_func_def = 23;
constexpr uint32_t bad_func_arg = 24;
constexpr uint32_t bad_func_extern = 25;
constexpr uint32_t no_refine = 26;
constexpr uint32_t bad_refines = 27;
constexpr uint32_t bad_refine = 28;
constexpr uint32_t dup_refine = 29;
constexpr uint32_t word_first = 30;
constexpr uint32_t empty_path = 31;
constexpr uint32_t unset_path = 32;
constexpr uint32_t invalid_path = 33;
constexpr uint32_t invalid_path_set = 34;
constexpr uint32_t invalid_path_get = 35;
constexpr uint32_t bad_path_type = 36;
constexpr uint32_t bad_path_type2 = 37;
constexpr uint32_t bad_path_set = 38;
constexpr uint32_t bad_field_set = 39;
constexpr uint32_t dup_vars = 40;
constexpr uint32_t past_end = 41;
constexpr uint32_t missing_arg = 42;
constexpr uint32_t out_of_range = 43;
constexpr uint32_t invalid_chars = 44;
constexpr uint32_t invalid_compare = 45;
constexpr uint32_t wrong_type = 46;
constexpr uint32_t invalid_refine_arg = 47;
constexpr uint32_t type_limit = 48;
constexpr uint32_t size_limit = 49;
constexpr uint32_t no_return = 50;
constexpr uint32_t throw_usage = 51;
constexpr uint32_t locked_word = 52;
constexpr uint32_t protected_ = 53;
constexpr uint32_t bad_bad = 54;
constexpr uint32_t bad_make_arg = 55;
constexpr uint32_t bad_to_arg = 56;
constexpr uint32_t invalid_months = 57;
constexpr uint32_t invalid_spec_field = 58;
constexpr uint32_t missing_spec_field = 59;
constexpr uint32_t move_bad = 60;
constexpr uint32_t too_long = 61;
constexpr uint32_t invalid_char = 62;
constexpr uint32_t bad_loop_series = 63;
constexpr uint32_t wrong_denom = 64;
constexpr uint32_t bad_denom = 65;
constexpr uint32_t invalid_obj_evt = 66;
constexpr uint32_t parse_rule = 67;
constexpr uint32_t parse_end = 68;
constexpr uint32_t parse_invalid_ref = 69;
constexpr uint32_t parse_block = 70;
constexpr uint32_t parse_unsupported = 71;
constexpr uint32_t parse_infinite = 72;
constexpr uint32_t parse_stack = 73;
constexpr uint32_t parse_keep = 74;
constexpr uint32_t parse_into_bad = 75;
constexpr uint32_t parse_into_type = 76;
constexpr uint32_t draw_invalid = 77;
constexpr uint32_t draw_infinite = 78;
constexpr uint32_t invalid_data_facet = 79;
constexpr uint32_t face_type = 80;
constexpr uint32_t not_window = 81;
constexpr uint32_t bad_window = 82;
constexpr uint32_t not_linked = 83;
constexpr uint32_t not_event_type = 84;
constexpr uint32_t invalid_facet_type = 85;
constexpr uint32_t vid_invalid_syntax = 86;
constexpr uint32_t rtd_invalid_syntax = 87;
constexpr uint32_t rtd_no_match = 88;
constexpr uint32_t react_bad_func = 89;
constexpr uint32_t react_not_enough = 90;
constexpr uint32_t react_no_match = 91;
constexpr uint32_t react_bad_obj = 92;
constexpr uint32_t react_gctx = 93;
constexpr uint32_t lib_invalid_arg = 94;
constexpr uint32_t vb_invalid_record = 95;
// math
constexpr uint32_t zero_divide = 2;
constexpr uint32_t overflow = 3;
constexpr uint32_t positive = 4;
// access
constexpr uint32_t cannot_open = 2;
constexpr uint32_t cannot_close = 3;
constexpr uint32_t invalid_utf8 = 4;
constexpr uint32_t not_open = 5;
constexpr uint32_t no_connect = 6;
constexpr uint32_t no_scheme = 7;
constexpr uint32_t unknown_scheme = 8;
constexpr uint32_t invalid_spec = 9;
constexpr uint32_t invalid_port = 10;
constexpr uint32_t invalid_actor = 11;
constexpr uint32_t no_port_action = 12;
constexpr uint32_t no_create = 13;
constexpr uint32_t no_codec = 14;
constexpr uint32_t bad_media = 15;
constexpr uint32_t invalid_cmd = 16;
// user
constexpr uint32_t message = 2;
// internal
constexpr uint32_t bad_path = 2;
constexpr uint32_t not_here = 3;
constexpr uint32_t no_memory = 4;
constexpr uint32_t wrong_mem = 5;
constexpr uint32_t stack_overflow = 6;
constexpr uint32_t limit_hit = 7;
constexpr uint32_t too_deep = 8;
constexpr uint32_t no_cycle = 9;
constexpr uint32_t feature_na = 10;
constexpr uint32_t not_done = 11;
constexpr uint32_t invalid_error = 12;
constexpr uint32_t routines = 13;
constexpr uint32_t vek_system = 14;
constexpr uint32_t deprecated = 15;
}  // namespace err

// An error's code: the category position times 100 plus the id's offset
// among the ids, so script no-value (position 2) is 300.
constexpr uint32_t error_code(Category cat, uint32_t id) { return uint32_t(cat) * 100 + (id - 2); }

// The error goes up the stack as an error! value, its where and stack fields
// recording the function and the frame position at the raise.
[[noreturn]] void fire(Category cat, uint32_t id, const Cell* arg1 = nullptr,
                       const Cell* arg2 = nullptr, const Cell* arg3 = nullptr);

}  // namespace vek
