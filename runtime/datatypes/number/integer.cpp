#include "runtime/datatypes/number/integer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "runtime/actions/dispatch.h"
#include "runtime/core/quit.h"
#include "runtime/core/registry.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/compound/date.h"
#include "runtime/datatypes/container/vector.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/number/float.h"
#include "runtime/datatypes/number/money.h"
#include "runtime/datatypes/object/error.h"
#include "runtime/datatypes/string/binary.h"
#include "runtime/datatypes/string/buffer.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/memory/series.h"
#include "runtime/tables/random.h"
#include "runtime/text/to_number.h"

namespace vek::integer {

namespace {

using MathFn = Cell* (*)(Cell* value1, Cell* value2);
using NegateFn = Cell* (*)(Cell* value);
using actions::Rounding;

struct OpInfo {
    uint32_t slot;
    const char* word;
};

// Indexed by MathOp.
constexpr OpInfo OPS[] = {
    {11, "add"}, {18, "subtract"}, {13, "multiply"}, {12, "divide"},
    {16, "remainder"}, {23, "or~"}, {21, "and~"}, {24, "xor~"},
};

// Another datatype's implementation of a slot. Datatypes whose modules are
// not built yet register no entries: reaching one is not done yet.
registry::ActionFn entry_of(uint32_t type, uint32_t slot) {
    registry::ActionFn entry = registry::action(type, slot);
    if (!registry::implemented(entry)) fire(err::internal::not_done);
    return entry;
}

Cell* call_math(uint32_t type, int32_t op, Cell* value1, Cell* value2) {
    return reinterpret_cast<MathFn>(entry_of(type, OPS[op].slot))(value1, value2);
}

// The compound types only know arithmetic with themselves on the left: the
// integer moves to the right and the other value into the result cell.
Cell* swapped_math(int32_t op, Cell* value1, Cell* value2) {
    Cell number = *value1;
    uint32_t type = cell_type(value2);
    copy_cell(value2, value1);
    return call_math(type, op, value1, &number);
}

// integer - pair is -pair + integer.
Cell* swapped_subtract(Cell* value1, Cell* value2) {
    Cell number = *value1;
    uint32_t type = cell_type(value2);
    copy_cell(value2, value1);
    reinterpret_cast<NegateFn>(entry_of(type, registry::SLOT_NEGATE))(value1);
    return call_math(type, OP_ADD, value1, &number);
}

Cell* math(int32_t op, Cell* value1, Cell* value2) {
    switch (uint32_t type = cell_type(value2)) {
    case TYPE_INTEGER:
    case TYPE_CHAR:
        do_math(get(value1), get(value2), op, value1);
        return value1;
    case TYPE_FLOAT:
    case TYPE_PERCENT:
    case TYPE_TIME:
        // The float kernel takes an integer on the left as its float, and
        // refuses the bitwise operations.
        return float_::math_op(value1, value2, op);
    case TYPE_MONEY:
        // money! has no bitwise actions.
        if (op > OP_REMAINDER) raise_invalid_type(type);
        return call_math(TYPE_MONEY, op, value1, value2);
    case TYPE_VECTOR: return vector::scalar_on_left(value1, value2, op);
    case TYPE_PAIR:
    case TYPE_POINT2D:
    case TYPE_POINT3D:
        // A remainder would be taken with the pair or point as dividend, and
        // points have no bitwise actions.
        if (op == OP_DIVIDE || op == OP_REMAINDER) raise_not_related(OPS[op].word, TYPE_INTEGER);
        if (type != TYPE_PAIR && op > OP_REMAINDER) raise_not_related(OPS[op].word, TYPE_INTEGER);
        if (op == OP_SUBTRACT) return swapped_subtract(value1, value2);
        return swapped_math(op, value1, value2);
    case TYPE_TUPLE:
        if (op == OP_SUBTRACT || op == OP_DIVIDE) raise_not_related(OPS[op].word, TYPE_INTEGER);
        return swapped_math(op, value1, value2);
    case TYPE_DATE:
        if (op != OP_ADD) raise_not_related(OPS[op].word, TYPE_INTEGER);
        return swapped_math(op, value1, value2);
    default: raise_invalid_type(type);
    }
}

// The integer cell made a float! of the same value.
Cell* as_float(Cell* value) { return float_::make_at(value, double(get(value))); }

Cell* float_power(Cell* value, const Cell* exponent) {
    double e = cell_type(exponent) == TYPE_FLOAT ? float_::get(exponent) : double(get(exponent));
    return float_::make_at(value, std::pow(double(get(value)), e));
}

// Exponentiation by squaring; false when an intermediate leaves the range.
bool exact_power(int32_t base, int32_t exponent, int32_t* result) {
    int32_t product = 1;
    while (exponent != 0) {
        if ((exponent & 1) && !checked_multiply(product, base, &product)) return false;
        exponent >>= 1;
        // The last squaring is never used: its overflow does not count.
        if (!checked_multiply(base, base, &base) && exponent != 0) return false;
    }
    *result = product;
    return true;
}

// Integer of a number spec for to integer!, type-limit when it does not fit.
int32_t from_float_spec(double value) {
    if (float_out_of_range(value)) {
        Cell datatype = datatype_value(TYPE_INTEGER);
        fire(err::script::type_limit, &datatype);
    }
    return int32_t(value);
}

// A time's seconds rounded to the nearest whole second, halves away from
// zero, alike for either sign; beyond the integer range, or NaN, is math
// overflow.
int32_t from_time_seconds(double seconds) {
    double whole = std::copysign(std::trunc(std::fabs(seconds) + 0.5), seconds);
    if (!(whole >= double(INT32_MIN) && whole <= double(INT32_MAX))) fire(err::math::overflow);
    return int32_t(whole);
}

int32_t from_text(const Cell* spec_value) {
    Cell text = *spec_value;
    uint32_t count = string::rs_length(&text);
    int32_t status;
    int32_t value = lexer::scan_integer(string::rs_head(&text), count, series_buffer(&text)->unit(), &status);
    if (status != 0) raise_bad_to_arg(TYPE_INTEGER, spec_value);
    return value;
}

int32_t from_spec(const Cell* spec_value) {
    if (is_any_string(cell_type(spec_value))) return from_text(spec_value);
    switch (cell_type(spec_value)) {
    case TYPE_INTEGER:
    case TYPE_CHAR:
        return get(spec_value);
    case TYPE_FLOAT:
    case TYPE_PERCENT:
        return from_float_spec(float_::get(spec_value));
    case TYPE_TIME:
        return from_time_seconds(float_::get(spec_value));
    case TYPE_ISSUE:
        return from_issue(spec_value);
    case TYPE_BINARY:
        return from_binary(spec_value);
    case TYPE_DATE:
        return date::to_epoch(spec_value);
    case TYPE_MONEY:
        return money::to_integer(spec_value);
    default:
        raise_bad_to_arg(TYPE_INTEGER, spec_value);
    }
}

// Rounding of |value| to a multiple of |scale|, exactly, in 64 bits: the
// result is tested against the range only once it is known, so no rounding
// whose result fits reports an overflow.
int64_t rounded(int64_t value, int64_t s, Rounding how) {
    int64_t a = value < 0 ? -value : value;
    int64_t r = a % s;
    if (r == 0) return value;
    int64_t d = s - r;
    int64_t lower = a - r;  // toward zero
    int64_t upper = a + d;  // away from zero
    auto toward = [&] { return value < 0 ? -lower : lower; };
    auto away = [&] { return value < 0 ? -upper : upper; };
    auto up = [&] { return value < 0 ? -lower : upper; };  // toward +infinity
    switch (how) {
    case Rounding::down: return toward();
    case Rounding::floor: return value < 0 ? -upper : lower;
    case Rounding::ceiling: return up();
    default: break;
    }
    if (r < d) return toward();
    if (r > d) return away();
    switch (how) {
    case Rounding::half_even: return (a / s) % 2 == 0 ? toward() : away();
    case Rounding::half_down: return toward();
    case Rounding::half_ceiling: return up();
    default: return away();
    }
}

bool equality_only(int32_t op) { return op == actions::COMP_STRICT_EQUAL || op == actions::COMP_FIND; }

}  // namespace

const char* op_word(int32_t op) { return OPS[op].word; }

// ---------------------------------------------------------------- errors of the number types

void raise_not_related(const Cell* word, uint32_t type) {
    Cell datatype = datatype_value(type);
    fire(err::script::not_related, word, &datatype);
}

void raise_not_related(const char* action, uint32_t type) {
    Cell word = word::unbound(TYPE_WORD, symbol::make(action));
    raise_not_related(&word, type);
}

void raise_invalid_type(uint32_t type) {
    Cell datatype = datatype_value(type);
    fire(err::script::invalid_type, &datatype);
}

void raise_bad_to_arg(uint32_t type, const Cell* spec_value) {
    Cell datatype = datatype_value(type);
    fire(err::script::bad_to_arg, &datatype, spec_value);
}

// ---------------------------------------------------------------- helpers

int32_t from_number_arg(const Cell* value) {
    if (cell_type(value) != TYPE_FLOAT) return get(value);
    double number = float_::get(value);
    if (float_out_of_range(number)) fire(err::script::out_of_range, value);
    return int32_t(number);
}

// Only ASCII digits count: a character beyond ASCII is invalid data,
// whatever its low bits.
int32_t from_issue(const Cell* issue) {
    const char* name = symbol::get_c_string(word::symbol(issue));
    size_t length = std::strlen(name);
    uint32_t result = 0;
    bool valid = length <= 8;
    for (size_t i = 0; valid && i < length; i++) {
        char c = name[i];
        uint32_t digit = c >= '0' && c <= '9'   ? c - '0'
                         : c >= 'A' && c <= 'F' ? c - 'A' + 10
                         : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                                : 16;
        valid = digit < 16;
        result = result * 16 + digit;
    }
    if (!valid) fire(err::script::invalid_data, issue);
    return int32_t(result);
}

int32_t from_binary(const Cell* binary) { return int32_t(uint32_t(binary::leading_bytes(binary, 4))); }

Cell* make_in(const Cell* block, int32_t value) { return make_at(block::alloc_tail(block), value); }

Cell* push(int32_t value) {
    Cell* cell = stack::push_cell();
    cell->header = TYPE_INTEGER;
    return make_at(cell, value);
}

Cell* box(int32_t value) { return make_at(stack::arguments, value); }

int32_t get_result() { return get(stack::arguments); }

int32_t get_result_or_zero() { return cell_type(stack::arguments) == TYPE_INTEGER ? get_result() : 0; }

namespace {

// "00" to "99": the digits are written two at a time.
constexpr char DIGIT_PAIRS[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Taken as unsigned, so that MIN has one too.
uint32_t magnitude_of(int32_t value) { return value < 0 ? 0u - uint32_t(value) : uint32_t(value); }

uint32_t decimal_length(int32_t value) {
    uint32_t digits = 1;
    for (uint32_t m = magnitude_of(value); m >= 10; m /= 10) digits++;
    return digits + (value < 0 ? 1 : 0);
}

// Writes the text backward so that it ends just before end.
void write_decimal(int32_t value, char* end) {
    uint32_t m = magnitude_of(value);
    while (m >= 100) {
        uint32_t pair = (m % 100) * 2;
        m /= 100;
        *--end = DIGIT_PAIRS[pair + 1];
        *--end = DIGIT_PAIRS[pair];
    }
    if (m >= 10) {
        *--end = DIGIT_PAIRS[m * 2 + 1];
        *--end = DIGIT_PAIRS[m * 2];
    } else {
        *--end = char('0' + m);
    }
    if (value < 0) *--end = '-';
}

}  // namespace

FixedText<12> to_decimal_text(int32_t value) {
    FixedText<12> text;
    write_decimal(value, text.chars.data() + decimal_length(value));
    return text;
}

Cell* form_at(Cell* result, int32_t value) {
    uint32_t length = decimal_length(value);
    string::rs_make_at(result, length);
    SeriesBuffer* b = series_buffer(result);
    write_decimal(value, reinterpret_cast<char*>(b->first()) + length);
    b->tail = b->offset + length;
    return result;
}

int32_t do_math(int32_t left, int32_t right, int32_t op, Cell* result) {
    int32_t value = 0;
    bool fits = true;
    double exact = 0;
    switch (op) {
    case OP_ADD:
        fits = checked_add(left, right, &value);
        exact = double(left) + double(right);
        break;
    case OP_SUBTRACT:
        fits = checked_subtract(left, right, &value);
        exact = double(left) - double(right);
        break;
    case OP_MULTIPLY:
        fits = checked_multiply(left, right, &value);
        exact = double(left) * double(right);
        break;
    case OP_DIVIDE:
        value = divide(left, right);
        fits = result == nullptr || left % right == 0;
        exact = double(left) / double(right);
        break;
    case OP_REMAINDER: value = remainder(left, right); break;
    case OP_OR: value = left | right; break;
    case OP_AND: value = left & right; break;
    case OP_XOR: value = left ^ right; break;
    default: quit_with_status(ERROR_BAD_UNIT, 0);  // an unmatched multi-way branch
    }
    if (result == nullptr) return value;
    if (!fits) {
        float_::make_at(result, exact);
        return 0;
    }
    make_at(result, value);
    return value;
}

// ---------------------------------------------------------------- actions

namespace {

Cell* to(Cell* result, const Cell* spec_value, uint32_t);

Cell* make(Cell* result, const Cell* spec_value, uint32_t type) {
    if (cell_type(spec_value) == TYPE_LOGIC) return make_at(result, logic::get(spec_value) ? 1 : 0);
    return to(result, spec_value, type);
}

Cell* to(Cell* result, const Cell* spec_value, uint32_t) { return make_at(result, from_spec(spec_value)); }

Cell* random(Cell* value, bool seed, bool secure, bool) {
    if (seed) {
        random::seed(get(value));
        return set_type(value, TYPE_UNSET);
    }
    return make_at(value, random::integer(get(value), secure));
}

void form(const Cell* value, text::Sink& out) { out.append(to_decimal_text(get(value)).c_str()); }

void mold(const Cell* value, text::Sink& out, bool) { form(value, out); }

int32_t compare(const Cell* value1, const Cell* value2, int32_t op) {
    uint32_t type = cell_type(value2);
    if (equality_only(op) && type != TYPE_INTEGER) return 1;
    switch (type) {
    case TYPE_INTEGER:
    case TYPE_CHAR:
        return (get(value1) > get(value2)) - (get(value1) < get(value2));
    case TYPE_FLOAT:
    case TYPE_PERCENT:
    case TYPE_TIME: {
        Cell number = *value1;
        as_float(&number);
        return reinterpret_cast<actions::CompareFn>(entry_of(TYPE_FLOAT, registry::SLOT_COMPARE))(
            &number, value2, op);
    }
    case TYPE_MONEY: return money::compare_from_other(value1, value2, op);
    default: return -2;
    }
}

Cell* absolute(Cell* value) { return make_at(value, abs(get(value))); }

Cell* add(Cell* value1, Cell* value2) { return math(OP_ADD, value1, value2); }
Cell* divide(Cell* value1, Cell* value2) { return math(OP_DIVIDE, value1, value2); }
Cell* multiply(Cell* value1, Cell* value2) { return math(OP_MULTIPLY, value1, value2); }
// Two integers never come here: the action's entry computes their
// remainder itself.
Cell* remainder(Cell* value1, Cell* value2) { return math(OP_REMAINDER, value1, value2); }
Cell* subtract(Cell* value1, Cell* value2) { return math(OP_SUBTRACT, value1, value2); }
Cell* and_(Cell* value1, Cell* value2) { return math(OP_AND, value1, value2); }
Cell* or_(Cell* value1, Cell* value2) { return math(OP_OR, value1, value2); }
Cell* xor_(Cell* value1, Cell* value2) { return math(OP_XOR, value1, value2); }

Cell* negate(Cell* value) {
    if (get(value) == MIN) fire(err::math::overflow);
    return make_at(value, -get(value));
}

Cell* power(Cell* value, Cell* exponent) {
    uint32_t type = cell_type(exponent);
    if (type != TYPE_INTEGER && type != TYPE_FLOAT) error::raise_expect_arg(type, 1);
    int32_t result;
    if (type == TYPE_INTEGER && get(exponent) >= 0 && exact_power(get(value), get(exponent), &result))
        return make_at(value, result);
    return float_power(value, exponent);
}

Cell* round(Cell* value, const actions::RoundArgs& args) {
    const Cell* scale = args.scale;
    if (scale != nullptr && cell_type(scale) == TYPE_MONEY) {
        Cell word = *stack::current_function_word();
        raise_not_related(&word, TYPE_MONEY);
    }
    if (get(value) == MIN) return value;
    if (scale != nullptr && cell_type(scale) != TYPE_INTEGER) {
        as_float(value);
        auto float_round = reinterpret_cast<actions::RoundFn>(entry_of(TYPE_FLOAT, registry::SLOT_ROUND));
        return float_round(value, args);
    }
    int32_t s = scale != nullptr ? abs(get(scale)) : 1;
    if (s == 0) return value;
    int64_t result = rounded(get(value), s, args.mode);
    if (result < MIN || result > MAX) fire(err::math::overflow);
    return make_at(value, int32_t(result));
}

bool even(const Cell* value) { return (get(value) & 1) == 0; }
bool odd(const Cell* value) { return (get(value) & 1) != 0; }

Cell* complement(Cell* value) { return make_at(value, ~get(value)); }

}  // namespace

void init() {
    using namespace registry;
    register_type(TYPE_INTEGER, Row()
        .set<SLOT_MAKE>(make)
        .set<SLOT_RANDOM>(random)
        .set<SLOT_TO>(to)
        .set<SLOT_FORM>(form)
        .set<SLOT_MOLD>(mold)
        .set<SLOT_COMPARE>(compare)
        .set<SLOT_ABSOLUTE>(absolute)
        .set<SLOT_ADD>(add)
        .set<SLOT_DIVIDE>(divide)
        .set<SLOT_MULTIPLY>(multiply)
        .set<SLOT_NEGATE>(negate)
        .set<SLOT_POWER>(power)
        .set<SLOT_REMAINDER>(remainder)
        .set<SLOT_ROUND>(round)
        .set<SLOT_SUBTRACT>(subtract)
        .set<SLOT_EVEN>(even)
        .set<SLOT_ODD>(odd)
        .set<SLOT_AND>(and_)
        .set<SLOT_COMPLEMENT>(complement)
        .set<SLOT_OR>(or_)
        .set<SLOT_XOR>(xor_));
}

}  // namespace vek::integer
