#include "runtime/natives/parse.h"

#include "runtime/core/fixed_words.h"
#include "runtime/core/raise.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/natives/helpers.h"
#include "runtime/parse/parse.h"

namespace vek::natives {

namespace {

// /part: a count from the input's index, or a position in the same series;
// answers the index where the input ends. Raises invalid-refine-arg for a
// position in another series.
int64_t parse_limit(const Cell* input, const Cell* part) {
    int64_t start = series_index(input);
    if (cell_type(part) == TYPE_INTEGER) return start + integer::get(part);
    if (cell_type(part) == TYPE_FLOAT) return start + float_to_integer_arg(part);
    if (cell_type(part) != cell_type(input) || series_node(part) != series_node(input)) {
        Cell name = *fixed_words::refinement(fixed_words::Ref::part);
        set_type(&name, TYPE_WORD);
        fire(err::script::invalid_refine_arg, &name, part);
    }
    return series_index(part);
}

}  // namespace

Pending parse(bool check, const int32_t* refinements) {
    Cell* args = stack::arguments;
    if (check) {
        check_arg(0, type_bit(TYPE_BINARY) | ANY_BLOCK_TYPES | ANY_STRING_TYPES);
        check_arg(1, type_bit(TYPE_BLOCK));
        if (present(refinements, 1)) check_arg(refinements[1], INTEGER_FLOAT_TYPES | SERIES_TYPES);
        if (present(refinements, 2)) check_arg(refinements[2], type_bit(TYPE_FUNCTION));
    }
    int64_t limit = -1;
    if (present(refinements, 1)) {
        limit = parse_limit(args, args + refinements[1]);
        if (limit <= int64_t(series_index(args))) {
            logic::box(series_index(args) >= series_buffer(args)->length());
            return Pending::none;
        }
    }
    parse::Request request{args, args + 1, present(refinements, 0) ? parse::Mode::strict : parse::Mode::folded,
                           limit, present(refinements, 2) ? args + refinements[2] : nullptr};
    Cell result{};
    VEK_PASS(parse::process(request, &result));
    stack::set_last_only(&result);
    return Pending::none;
}

}  // namespace vek::natives
