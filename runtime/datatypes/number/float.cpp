#include "runtime/datatypes/number/float.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

#include "runtime/actions/dispatch.h"
#include "runtime/core/raise.h"
#include "runtime/core/registry.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/block/array.h"
#include "runtime/datatypes/char.h"
#include "runtime/datatypes/compound/tuple.h"
#include "runtime/datatypes/container/vector.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/number/money.h"
#include "runtime/datatypes/object/error.h"
#include "runtime/datatypes/string/binary.h"
#include "runtime/datatypes/string/buffer.h"
#include "runtime/lexer/lexer.h"
#include "runtime/memory/series.h"
#include "runtime/tables/random.h"
#include "runtime/text/float_text.h"
#include "runtime/text/to_number.h"

namespace vek::float_ {

namespace {

constexpr double EPSILON = std::numeric_limits<double>::epsilon();
constexpr double LARGEST = std::numeric_limits<double>::max();

using integer::datatype_value;
using integer::raise_bad_to_arg;
using integer::raise_invalid_type;
using integer::raise_not_related;

// ---------------------------------------------------------------- arithmetic

bool is_float_based(uint32_t type) { return type == TYPE_FLOAT || type == TYPE_PERCENT || type == TYPE_TIME; }

// The float of an integer!, char!, float!, percent! or time! operand.
double number_of(const Cell* value) {
    switch (cell_type(value)) {
    case TYPE_INTEGER: return double(integer::get(value));
    case TYPE_CHAR: return double(char_::get(value));
    default: return get(value);
    }
}

// The right operands the float kernel takes itself; every other one raises.
void check_right_operand(uint32_t left, uint32_t right, int32_t op) {
    switch (right) {
    case TYPE_PAIR:
    case TYPE_POINT2D:
    case TYPE_POINT3D:
        if (left == TYPE_TIME) raise_invalid_type(right);
        // Only the operations whose order does not matter can be handed over.
        if (op != integer::OP_ADD && op != integer::OP_MULTIPLY) raise_not_related(integer::op_word(op), right);
        return;
    case TYPE_CHAR:
        if (left == TYPE_TIME || left == TYPE_PERCENT) raise_invalid_type(right);
        return;
    case TYPE_INTEGER:
    case TYPE_FLOAT:
    case TYPE_PERCENT:
    case TYPE_TIME: return;
    default: raise_invalid_type(right);
    }
}

// A remainder whose divisor is not finite: NaN for a NaN divisor, the
// dividend for an infinite one (fmod's answer when the dividend is finite).
double remainder_of(double a, double b) {
    if (std::isfinite(b)) return std::fmod(a, b);
    if (std::isnan(b) || !std::isfinite(a)) return std::numeric_limits<double>::quiet_NaN();
    return a;
}

double compute(double a, double b, int32_t op) {
    switch (op) {
    case integer::OP_ADD: return a + b;
    case integer::OP_SUBTRACT: return a - b;
    case integer::OP_MULTIPLY: return a * b;
    case integer::OP_DIVIDE: return a / b;
    case integer::OP_REMAINDER: return remainder_of(a, b);
    default: {
        Cell word = *stack::current_function_word();
        Cell datatype = datatype_value(TYPE_FLOAT);
        fire(err::script::cannot_use, &word, &datatype);
    }
    }
}

// number + pair, number * point and the like: the pair's or point's own
// action, the number (its type kept) moved to the right.
Cell* swapped_math(Cell* value1, const Cell* value2, int32_t op) {
    Cell number = *value1;
    copy_cell(value2, value1);
    auto slot = op == integer::OP_ADD ? registry::SLOT_ADD : registry::SLOT_MULTIPLY;
    return reinterpret_cast<actions::ArithmeticFn>(registry::action(cell_type(value1), slot))(value1, &number);
}

// time! wins over every other type; a percent! keeps its type only with a
// plain number on the right; an integer! on the left has become a float!.
uint32_t result_type(uint32_t left, uint32_t right) {
    if (left == TYPE_TIME || right == TYPE_TIME) return TYPE_TIME;
    if (left == TYPE_PERCENT) return TYPE_PERCENT;
    return left == TYPE_INTEGER ? TYPE_FLOAT : left;
}

// ---------------------------------------------------------------- make and to

// [mantissa exponent]: mantissa x 10 ^ exponent, the exponent truncated. A
// negative exponent divides, so that [3 -1] gives exactly 0.3.
double from_scaled_block(const Cell* block) {
    if (block::length_from_head(block) != 2) raise_bad_to_arg(TYPE_FLOAT, block);
    double parts[2];
    for (uint32_t i = 0; i < 2; i++) {
        const Cell* element = block::rs_abs_at(block, series_index(block) + i);
        uint32_t type = cell_type(element);
        if (type != TYPE_INTEGER && type != TYPE_FLOAT) raise_bad_to_arg(TYPE_FLOAT, element);
        parts[i] = number_of(element);
    }
    double exponent = std::trunc(parts[1]);
    return exponent < 0 ? parts[0] / std::pow(10.0, -exponent) : parts[0] * std::pow(10.0, exponent);
}

double from_text(const Cell* text, uint32_t type) {
    Cell string = *text;
    uint32_t count = string::rs_length(&string);
    int32_t status = 0;
    double value = lexer::scan_float(string::rs_head(&string), count, series_buffer(&string)->unit(), &status);
    if (status != 0) raise_bad_to_arg(type, text);
    return value;
}

// percent! from text takes any number the text loads as: 50% stays 50%.
double loaded_number(const Cell* text, uint32_t type) {
    Cell loaded{};
    if (lexer::scan_string(&loaded, text, -1, {.mode = lexer::Mode::scan}, nullptr, nullptr) == TYPE_ERROR)
        raise_bad_to_arg(type, text);
    lexer::scan_string(&loaded, text, -1, {}, nullptr, nullptr);
    if (block::length_from_head(&loaded) != 1) raise_bad_to_arg(type, text);
    const Cell* value = block::rs_abs_at(&loaded, series_index(&loaded));
    uint32_t value_type = cell_type(value);
    if (!is_number(value_type))
        raise_bad_to_arg(type, text);
    return number_of(value);
}

double from_spec(const Cell* spec_value, uint32_t type) {
    uint32_t spec_type = cell_type(spec_value);
    if (is_any_list(spec_type)) return from_scaled_block(spec_value);
    if (is_any_string(spec_type))
        return type == TYPE_PERCENT ? loaded_number(spec_value, type) : from_text(spec_value, type);
    switch (spec_type) {
    case TYPE_INTEGER:
    case TYPE_CHAR:
    case TYPE_FLOAT:
    case TYPE_PERCENT:
    case TYPE_TIME: return number_of(spec_value);
    case TYPE_MONEY: return money::to_float(spec_value);
    case TYPE_BINARY: return std::bit_cast<double>(binary::leading_bytes(spec_value, 8));
    default: raise_bad_to_arg(type, spec_value);
    }
}

// ---------------------------------------------------------------- compare

bool needs_same_type(int32_t op) {
    return op == actions::COMP_STRICT_EQUAL || op == actions::COMP_SAME || op == actions::COMP_FIND;
}

// With NaN on either side every ordering test is false, and NaN matches
// nothing in a search.
int32_t compare_with_nan(int32_t op) {
    switch (op) {
    case actions::COMP_LESSER:
    case actions::COMP_LESSER_EQUAL:
    case actions::COMP_FIND: return 1;
    case actions::COMP_GREATER:
    case actions::COMP_GREATER_EQUAL: return -1;
    default: return 0;
    }
}

// Maps the bit patterns onto integers that order like the floats (negative
// values counted down from zero), so that their distance counts the floats
// between them.
int64_t ordered64(double value) {
    uint64_t bits = std::bit_cast<uint64_t>(value);
    int64_t magnitude = int64_t(bits & ~(uint64_t(1) << 63));
    return bits >> 63 ? -magnitude : magnitude;
}

int32_t ordered32(uint32_t bits) {
    int32_t magnitude = int32_t(bits & 0x7FFFFFFFu);
    return bits >> 31 ? -magnitude : magnitude;
}

uint64_t distance(int64_t a, int64_t b) { return a > b ? uint64_t(a) - uint64_t(b) : uint64_t(b) - uint64_t(a); }

// ---------------------------------------------------------------- round

using actions::Rounding;

// x rounded to a whole number; x is below 2^53 in magnitude.
double round_whole(double x, Rounding how) {
    switch (how) {
    case Rounding::down: return std::trunc(x);
    case Rounding::floor: return std::floor(x);
    case Rounding::ceiling: return std::ceil(x);
    default: break;
    }
    double a = std::fabs(x);
    double toward = std::floor(a);
    double fraction = a - toward;
    double away = toward + 1.0;
    if (fraction == 0.5) {
        switch (how) {
        case Rounding::half_even: return std::copysign(std::fmod(a, 2.0) > 1.0 ? away : toward, x);
        case Rounding::half_down: return std::copysign(toward, x);
        case Rounding::half_ceiling: return std::ceil(x);
        default: break;
        }
    }
    return std::copysign(fraction < 0.5 ? toward : away, x);
}

// value rounded to a multiple of unit (unit > 0).
double round_to_unit(double value, double unit, Rounding how) {
    if (std::isnan(unit)) return unit;
    if (unit >= 1.0) {
        double result = round_whole(value / unit, how) * unit;
        // A multiple of the unit beyond the largest float does not exist.
        if (std::fabs(result) == LARGEST || (std::isinf(result) && std::isfinite(value)))
            fire(err::math::overflow);
        return result;
    }
    // A subnormal unit's reciprocal overflows: scale both out of that range.
    int exponent;
    double mantissa = std::frexp(unit, &exponent);
    if (exponent <= -1022) {
        unit = mantissa;
        value = std::ldexp(value, -exponent);
    } else {
        exponent = 0;
    }
    double reciprocal = 1.0 / unit;
    return std::ldexp(round_whole(value * reciprocal, how) / reciprocal, exponent);
}

}  // namespace

// ---------------------------------------------------------------- cells

Cell* make_at(Cell* cell, double value) {
    set_type(cell, TYPE_FLOAT);
    set(cell, value);
    return cell;
}

Cell* make_in(const Cell* block, double value) {
    Cell* cell = block::alloc_tail(block);
    cell->header = TYPE_FLOAT;
    return make_at(cell, value);
}

Cell* push(double value) {
    Cell* cell = stack::push_cell();
    cell->header = TYPE_FLOAT;
    return make_at(cell, value);
}

Cell* box(double value) { return make_at(stack::arguments, value); }

// ---------------------------------------------------------------- float services

bool near_equal(double a, double b) {
    if (std::isnan(a) || std::isnan(b)) return false;
    if (a == b || std::fabs(a - b) < EPSILON) return true;
    return distance(ordered64(a), ordered64(b)) <= 10;
}

bool float32_near_equal(float a, float b) {
    if (a != a || b != b) return false;
    if (a == b) return true;  // both zeros included
    uint32_t bits_a = std::bit_cast<uint32_t>(a), bits_b = std::bit_cast<uint32_t>(b);
    uint32_t magnitude_a = bits_a & 0x7FFFFFFFu, magnitude_b = bits_b & 0x7FFFFFFFu;
    if (magnitude_a <= 0x7F7FFFFEu && magnitude_b <= 0x7F7FFFFEu)
        return distance(ordered32(bits_a), ordered32(bits_b)) <= 10;
    return (bits_a >> 31) == (bits_b >> 31) && distance(magnitude_a, magnitude_b) < 0x100000;
}

Cell* math_op(Cell* value1, const Cell* value2, int32_t op) {
    uint32_t left = cell_type(value1);
    uint32_t right = cell_type(value2);
    if (right == TYPE_MONEY) return money::math_op(value1, value2, op);
    if (right == TYPE_TUPLE) return tuple::math_op(value1, value2, op);
    if (right == TYPE_VECTOR) return vector::scalar_on_left(value1, value2, op);
    check_right_operand(left, right, op);
    if (right == TYPE_PAIR || right == TYPE_POINT2D || right == TYPE_POINT3D) return swapped_math(value1, value2, op);
    double result = compute(number_of(value1), number_of(value2), op);
    set_type(value1, result_type(left, right));
    set(value1, result);
    return value1;
}

// ---------------------------------------------------------------- actions

namespace {

// make and to: one conversion, the result of type `type` (float!, or
// percent! when inherited).
Cell* make(Cell* result, const Cell* spec_value, uint32_t type) {
    double value = from_spec(spec_value, type);
    make_at(result, value);
    return set_type(result, type);
}

Cell* random(Cell* value, bool seed, bool secure, bool) {
    if (seed) {
        uint64_t bits = std::bit_cast<uint64_t>(get(value));
        random::seed(int32_t(uint32_t(bits) ^ uint32_t(bits >> 32)));
        return set_type(value, TYPE_UNSET);
    }
    double r = random::fraction(secure);
    cell_set_f64(value, get(value) * r);
    return value;
}

void form(const Cell* value, text::Sink& out) { out.append(float_text::format(get(value), float_text::FORMAT_FLOAT64).c_str()); }

void mold(const Cell* value, text::Sink& out, bool) {
    out.append(float_text::float_to_text(get(value), 0, true).c_str());
}

int32_t compare(const Cell* value1, const Cell* value2, int32_t op) {
    uint32_t type = cell_type(value2);
    if (needs_same_type(op) && type != cell_type(value1)) return 1;
    if (type == TYPE_MONEY) return money::compare_from_other(value1, value2, op);
    if (type != TYPE_INTEGER && !is_float_based(type)) return -2;
    double a = get(value1);
    double b = number_of(value2);
    switch (op) {
    case actions::COMP_EQUAL:
    case actions::COMP_NOT_EQUAL: return near_equal(a, b) ? 0 : 1;
    case actions::COMP_STRICT_EQUAL: return a == b ? 0 : 1;
    case actions::COMP_SAME: return std::bit_cast<uint64_t>(a) == std::bit_cast<uint64_t>(b) ? 0 : 1;
    default: break;
    }
    if (std::isnan(a) || std::isnan(b)) return compare_with_nan(op);
    return (a > b) - (a < b);
}

Cell* absolute(Cell* value) {
    cell_set_f64(value, abs_bits(get(value)));
    return value;
}

Cell* add(Cell* value1, Cell* value2) { return math_op(value1, value2, integer::OP_ADD); }
Cell* divide(Cell* value1, Cell* value2) { return math_op(value1, value2, integer::OP_DIVIDE); }
Cell* multiply(Cell* value1, Cell* value2) { return math_op(value1, value2, integer::OP_MULTIPLY); }
Cell* remainder(Cell* value1, Cell* value2) { return math_op(value1, value2, integer::OP_REMAINDER); }
Cell* subtract(Cell* value1, Cell* value2) { return math_op(value1, value2, integer::OP_SUBTRACT); }

// Subtracting from +0.0 gives +0.0 for both zeros.
Cell* negate(Cell* value) {
    cell_set_f64(value, 0.0 - get(value));
    return value;
}

Cell* power(Cell* value, Cell* exponent) {
    uint32_t type = cell_type(exponent);
    if (type != TYPE_INTEGER && type != TYPE_FLOAT) error::raise_expect_arg(type, 1);
    cell_set_f64(value, std::pow(get(value), number_of(exponent)));
    return value;
}

Cell* round(Cell* value, const actions::RoundArgs& args) {
    const Cell* scale = args.scale;
    if (scale != nullptr && cell_type(scale) == TYPE_MONEY) raise_not_related("round", TYPE_MONEY);
    if (scale != nullptr && cell_type(scale) != TYPE_INTEGER && !is_float_based(cell_type(scale)))
        fire(err::script::invalid_arg, scale);
    bool percent = cell_type(value) == TYPE_PERCENT;
    double unit = percent ? 0.01 : 1.0;
    // A percent! value counts a plain number scale in percentage points; a
    // percent! scale already holds its fraction.
    if (scale != nullptr) {
        bool points = percent && cell_type(scale) != TYPE_PERCENT;
        unit = std::fabs(number_of(scale)) / (points ? 100.0 : 1.0);
    }
    double x = get(value);
    // Units too small to change the value leave it alone, and so does a zero
    // unit (no multiple of 0 is near anything but 0).
    if (unit < std::fabs(x) / 9007199254740992.0 || unit == 0.0) return value;
    double result = round_to_unit(x, unit, args.mode);
    uint32_t scale_type = scale != nullptr ? cell_type(scale) : TYPE_NONE;
    if (scale_type == TYPE_INTEGER) {
        if (integer::float_out_of_range(result)) fire(err::math::overflow);
        return integer::make_at(value, int32_t(result));
    }
    if (scale_type == TYPE_FLOAT || scale_type == TYPE_PERCENT) set_type(value, scale_type);
    cell_set_f64(value, result);
    return value;
}

// Truncated to 32 bits first; beyond them the value counts as the lowest
// integer, which is even.
bool even(const Cell* value) { return (integer::truncate(get(value)) & 1) == 0; }
bool odd(const Cell* value) { return !even(value); }

}  // namespace

void init() {
    using namespace registry;
    register_type(TYPE_FLOAT, Row()
        .set<SLOT_MAKE>(make)
        .set<SLOT_RANDOM>(random)
        .set<SLOT_TO>(make)
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
        .set<SLOT_ODD>(odd));
}

}  // namespace vek::float_
