#include "runtime/natives/text.h"

#include "runtime/core/stack.h"
#include "runtime/natives/helpers.h"
#include "runtime/text/unicode.h"

namespace vek::natives {

namespace {

// A char! or the text of a string-like value; binary! holds bytes, which
// have no case.
constexpr uint64_t CASED_TYPES = type_bit(TYPE_CHAR) | ANY_STRING_TYPES;

// The value changes in place and is the result.
Pending change_case(const int32_t* refinements, bool upper) {
    check_arg(0, CASED_TYPES);
    const Cell* part = refinement_arg(refinements, 0);
    unicode::change_case(stack::arguments, part, upper);
    return Pending::none;
}

}  // namespace

// The argument is declared without types, so it is checked on every call.
Pending uppercase(bool, const int32_t* refinements) { return change_case(refinements, true); }
Pending lowercase(bool, const int32_t* refinements) { return change_case(refinements, false); }

}  // namespace vek::natives
