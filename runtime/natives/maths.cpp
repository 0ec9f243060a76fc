#include "runtime/natives/maths.h"

#include <cmath>
#include <limits>
#include <optional>

#include "runtime/core/raise.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/compound/pair.h"
#include "runtime/datatypes/compound/point.h"
#include "runtime/datatypes/compound/tuple.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/number/float.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/number/money.h"
#include "runtime/io/files.h"
#include "runtime/natives/helpers.h"

namespace vek::math {

namespace {
constexpr double PI = 3.141592653589793;
}

double degrees_to_radians(double angle, AngleFold fold) {
    double x = std::fmod(angle, 360.0);
    if (x > 180.0 || x < -180.0) x += x < 0.0 ? 360.0 : -360.0;
    if (x > 90.0 || x < -90.0) {
        if (fold == AngleFold::tangent) x += x < 0.0 ? 180.0 : -180.0;
        else if (fold == AngleFold::sine) x = (x < 0.0 ? -180.0 : 180.0) - x;
    }
    return x * PI / 180.0;
}

}  // namespace vek::math

namespace vek::natives {

// The specs of these natives give no argument types, so each checks its own
// arguments whatever check says.

namespace {

constexpr double E = 2.718281828459045;
constexpr double LN_2 = 0.6931471805599453;
// Sines and cosines smaller than this are the residue of an inexact angle.
constexpr double TRIG_EPSILON = 2.220446049250313e-16;

constexpr uint64_t INTEGER = type_bit(TYPE_INTEGER);
constexpr uint64_t SIGNED_TYPES = NUMBER_TYPES | type_bit(TYPE_TIME) | type_bit(TYPE_MONEY);

// The number argument as a double: an integer! converted, a percent! read as
// its fraction; script expect-arg for any other type.
double float_arg(int32_t position) {
    check_arg(position, NUMBER_TYPES);
    return number_as_float(arg(position));
}

Pending float_result(double value) {
    float_::box(value);
    return Pending::none;
}

// ---------------------------------------------------------------- signs and shifts

// -1, 0 or 1; a NaN has no sign.
int32_t sign_of_arg() {
    check_arg(0, SIGNED_TYPES);
    const Cell* value = arg(0);
    switch (cell_type(value)) {
    case TYPE_INTEGER: return integer::sign(integer::get(value));
    case TYPE_MONEY: return money::signum(value);
    default: {
        double f = float_::get(value);
        return (f > 0.0) - (f < 0.0);
    }
    }
}

enum class ShiftKind { arithmetic, logical, left };

// Every count has its result: a negative one shifts nothing, and one of 32
// or more shifts every bit out (the sign's copies fill an arithmetic shift).
int32_t shifted(int32_t data, int32_t bits, ShiftKind kind) {
    if (bits < 0) bits = 0;
    switch (kind) {
    case ShiftKind::left: return bits >= 32 ? 0 : int32_t(uint32_t(data) << bits);
    case ShiftKind::logical: return bits >= 32 ? 0 : int32_t(uint32_t(data) >> bits);
    case ShiftKind::arithmetic: break;
    }
    if (bits >= 32) return data < 0 ? -1 : 0;
    return data >> bits;
}

bool tuple_zero(const Cell* value) {
    for (uint32_t i = 0; i < tuple::size(value); ++i)
        if (tuple::get_byte(value, i) != 0) return false;
    return true;
}

bool is_zero(const Cell* value) {
    switch (cell_type(value)) {
    case TYPE_CHAR:
    case TYPE_INTEGER: return integer::get(value) == 0;
    case TYPE_FLOAT:
    case TYPE_PERCENT:
    case TYPE_TIME: return float_::get(value) == 0.0;
    case TYPE_PAIR: return pair::x(value) == 0 && pair::y(value) == 0;
    case TYPE_TUPLE: return tuple_zero(value);
    case TYPE_MONEY: return money::signum(value) == 0;
    case TYPE_POINT2D: return point2d::x(value) == 0.0f && point2d::y(value) == 0.0f;
    case TYPE_POINT3D:
        return point3d::x(value) == 0.0f && point3d::y(value) == 0.0f && point3d::z(value) == 0.0f;
    default: return false;
    }
}

// ---------------------------------------------------------------- trigonometry

double angle_arg(const int32_t* refinements, math::AngleFold fold) {
    double angle = float_arg(0);
    return present(refinements, 0) ? angle : math::degrees_to_radians(angle, fold);
}

double without_residue(double value) { return std::fabs(value) < TRIG_EPSILON ? 0.0 : value; }

Pending angle_result(const int32_t* refinements, double radians) {
    return float_result(present(refinements, 0) ? radians : radians * 180.0 / math::PI);
}

Pending arc_function(const int32_t* refinements, double (*function)(double)) {
    return angle_result(refinements, function(float_arg(0)));
}

// ---------------------------------------------------------------- hexadecimal

constexpr int32_t HEX_DIGITS = 8;

// The name of the issue: the integer's eight upper-case hexadecimal digits,
// the last length of them when length is below eight.
void hex_name(uint32_t value, int32_t length, char (&name)[HEX_DIGITS + 1]) {
    static constexpr char digits[] = "0123456789ABCDEF";
    char all[HEX_DIGITS];
    for (int32_t i = HEX_DIGITS - 1; i >= 0; --i, value >>= 4) all[i] = digits[value & 0xF];
    int32_t kept = length < HEX_DIGITS ? length : HEX_DIGITS;
    std::memcpy(name, all + HEX_DIGITS - kept, size_t(kept));
    name[kept] = '\0';
}

// ---------------------------------------------------------------- compound makers

// A coordinate of as-pair: an integer!, or a float! truncated toward zero
// (the integer minimum when that does not fit); a float that is not finite
// raises script invalid-arg.
int32_t pair_coordinate(int32_t position) {
    check_arg(position, INTEGER_FLOAT_TYPES);
    const Cell* value = arg(position);
    if (cell_type(value) == TYPE_INTEGER) return integer::get(value);
    double f = float_::get(value);
    if (float_::not_finite(f)) fire(err::script::invalid_arg, value);
    // Truncated first, so that 2147483647.5 still fits.
    return integer::truncate(std::trunc(f));
}

float point_coordinate(int32_t position) {
    check_arg(position, INTEGER_FLOAT_TYPES);
    return float(number_as_float(arg(position)));
}

}  // namespace

// ---------------------------------------------------------------- signs

Pending negative_q(bool, const int32_t*) {
    logic::box(sign_of_arg() < 0);
    return Pending::none;
}

Pending positive_q(bool, const int32_t*) {
    logic::box(sign_of_arg() > 0);
    return Pending::none;
}

Pending sign_q(bool, const int32_t*) {
    integer::box(sign_of_arg());
    return Pending::none;
}

Pending zero_q(bool, const int32_t*) {
    logic::box(is_zero(arg(0)));
    return Pending::none;
}

Pending nan_q(bool, const int32_t*) {
    logic::box(std::isnan(float_arg(0)));
    return Pending::none;
}

// ---------------------------------------------------------------- max, min and shift

Pending max_(bool, const int32_t*) {
    max_min(true);
    return Pending::none;
}

Pending min_(bool, const int32_t*) {
    max_min(false);
    return Pending::none;
}

Pending shift(bool, const int32_t* refinements) {
    check_arg(0, INTEGER);
    check_arg(1, INTEGER);
    ShiftKind kind = present(refinements, 0)   ? ShiftKind::left
                     : present(refinements, 1) ? ShiftKind::logical
                                               : ShiftKind::arithmetic;
    integer::box(shifted(integer::get(arg(0)), integer::get(arg(1)), kind));
    return Pending::none;
}

Pending to_hex(bool, const int32_t* refinements) {
    check_arg(0, INTEGER);
    int32_t length = HEX_DIGITS;
    if (present(refinements, 0)) {
        check_arg(refinements[0], INTEGER);
        length = integer::get(arg(refinements[0]));
        if (length <= 0) fire(err::script::invalid_arg, arg(refinements[0]));
    }
    char name[HEX_DIGITS + 1];
    hex_name(uint32_t(integer::get(arg(0))), length, name);
    issue::make_at(arg(0), name);
    return Pending::none;
}

// ---------------------------------------------------------------- trigonometry

Pending sine(bool, const int32_t* refinements) {
    return float_result(without_residue(std::sin(angle_arg(refinements, math::AngleFold::sine))));
}

Pending cosine(bool, const int32_t* refinements) {
    return float_result(without_residue(std::cos(angle_arg(refinements, math::AngleFold::cosine))));
}

// A right angle gives an infinity rather than the huge finite value that
// the tangent of its inexact radians would give.
Pending tangent(bool, const int32_t* refinements) {
    double x = angle_arg(refinements, math::AngleFold::tangent);
    if (x == math::PI / 2.0) return float_result(std::numeric_limits<double>::infinity());
    if (x == -math::PI / 2.0) return float_result(-std::numeric_limits<double>::infinity());
    return float_result(std::tan(x));
}

Pending arcsine(bool, const int32_t* refinements) { return arc_function(refinements, std::asin); }
Pending arccosine(bool, const int32_t* refinements) { return arc_function(refinements, std::acos); }
Pending arctangent(bool, const int32_t* refinements) { return arc_function(refinements, std::atan); }

Pending arctangent2(bool, const int32_t* refinements) {
    double y = float_arg(0), x = float_arg(1);
    return angle_result(refinements, std::atan2(y, x));
}

// ---------------------------------------------------------------- logarithms and roots

Pending log_2(bool, const int32_t*) { return float_result(std::log(float_arg(0)) / LN_2); }
Pending log_10(bool, const int32_t*) { return float_result(std::log10(float_arg(0))); }
Pending log_e(bool, const int32_t*) { return float_result(std::log(float_arg(0))); }
Pending exp_(bool, const int32_t*) { return float_result(std::pow(E, float_arg(0))); }
Pending square_root(bool, const int32_t*) { return float_result(std::sqrt(float_arg(0))); }

// ---------------------------------------------------------------- compound makers

Pending as_pair(bool, const int32_t*) {
    int32_t x = pair_coordinate(0), y = pair_coordinate(1);
    pair::make_at(arg(0), x, y);
    return Pending::none;
}

Pending as_point2d(bool, const int32_t*) {
    float x = point_coordinate(0), y = point_coordinate(1);
    point2d::make_at(arg(0), x, y);
    return Pending::none;
}

Pending as_point3d(bool, const int32_t*) {
    float x = point_coordinate(0), y = point_coordinate(1), z = point_coordinate(2);
    point3d::make_at(arg(0), x, y, z);
    return Pending::none;
}

Pending as_money(bool, const int32_t*) {
    check_arg(0, type_bit(TYPE_WORD));
    check_arg(1, INTEGER_FLOAT_TYPES);
    int32_t currency = money::find_currency_word(arg(0));
    if (currency < 0) fire(err::script::bad_denom, arg(0));
    const Cell* amount = arg(1);
    if (cell_type(amount) == TYPE_INTEGER)
        money::from_integer(arg(0), integer::get(amount));
    else
        money::from_float(arg(0), float_::get(amount), false);
    money::set_currency(arg(0), uint32_t(currency));
    return Pending::none;
}

// ---------------------------------------------------------------- files

// A name that spells a directory has no size, whatever is there; a size that
// integer! cannot hold is no answer either.
Pending size_q(bool, const int32_t*) {
    check_arg(0, type_bit(TYPE_FILE));
    std::optional<int64_t> size = files::size(arg(0));
    if (size && *size >= 0 && *size <= integer::MAX)
        integer::box(int32_t(*size));
    else
        none::box();
    return Pending::none;
}

}  // namespace vek::natives
