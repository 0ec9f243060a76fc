#include "runtime/datatypes/number/money.h"

#include <cmath>
#include <cstring>

#include "runtime/actions/dispatch.h"
#include "runtime/core/fixed_words.h"
#include "runtime/core/raise.h"
#include "runtime/core/registry.h"
#include "runtime/core/system.h"
#include "runtime/datatypes/block/array.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/number/float.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/string/buffer.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/memory/series.h"
#include "runtime/tables/random.h"
#include "runtime/text/float_text.h"
#include "runtime/text/to_number.h"

namespace vek::money {

namespace {

constexpr uint32_t CURRENCY_BYTE = 4;
constexpr uint32_t AMOUNT_START = 5;
constexpr uint32_t MAX_CURRENCIES = 255;
constexpr uint32_t CODE_LENGTH = 3;
constexpr int32_t DEFAULT_SHOWN_DIGITS = 2;

unsigned char* bytes_of(Cell* cell) { return reinterpret_cast<unsigned char*>(cell); }
const unsigned char* bytes_of(const Cell* cell) { return reinterpret_cast<const unsigned char*>(cell); }

char upper(char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; }

bool same_code(const char* name, const char* code) {
    for (uint32_t i = 0; i < CODE_LENGTH; i++)
        if (name[i] == '\0' || upper(name[i]) != upper(code[i])) return false;
    return name[CODE_LENGTH] == '\0';
}

// The currency's word in the list, copied out as text; empty when the list
// no longer holds that position.
void currency_code(uint32_t index, char (&code)[16]) {
    code[0] = '\0';
    const Cell* list = system_fields::currencies_list();
    if (index > block::length_from_head(list)) return;
    const Cell* word = block::rs_abs_at(list, series_index(list) + index - 1);
    if (cell_type(word) != TYPE_WORD) return;
    std::strncat(code, symbol::get_c_string(word::symbol(word)), sizeof code - 1);
}

// How many fraction digits the text shows: the system's money-digits when it
// is an integer!, else 2; all five above 5.
int32_t shown_fraction_digits(bool all) {
    const Cell* option = system_fields::money_digits();
    int32_t n = cell_type(option) == TYPE_INTEGER ? integer::get(option) : DEFAULT_SHOWN_DIGITS;
    return all || n > FRACTION_DIGITS ? FRACTION_DIGITS : n < 0 ? 0 : n;
}

// The integral digits from the first significant one ("0" when there is
// none), with "'" after each digit followed by a multiple of three.
char* integral_text(char* out, const Cell* value, bool grouping) {
    int32_t first = 1;
    while (first <= INTEGRAL_DIGITS && digit(value, first) == 0) first++;
    if (first > INTEGRAL_DIGITS) {
        *out++ = '0';
        return out;
    }
    for (int32_t n = first; n <= INTEGRAL_DIGITS; n++) {
        *out++ = char('0' + digit(value, n));
        if (grouping && n < INTEGRAL_DIGITS && (n + 1) % 3 == 0) *out++ = '\'';
    }
    return out;
}

}  // namespace

// ---------------------------------------------------------------- fields

void set_sign(Cell* cell, bool negative) {
    cell->header = negative ? cell->header | SIGN_BIT : cell->header & ~SIGN_BIT;
}

uint32_t currency(const Cell* cell) {
    VEK_CHECK_LAYOUT(cell, type_in<TYPE_MONEY>);
    return bytes_of(cell)[CURRENCY_BYTE];
}
void set_currency(Cell* cell, uint32_t index) {
    VEK_CHECK_LAYOUT(cell, type_in<TYPE_MONEY>);
    bytes_of(cell)[CURRENCY_BYTE] = uint8_t(index);
}

uint32_t digit(const Cell* cell, int32_t n) {
    VEK_CHECK_LAYOUT(cell, type_in<TYPE_MONEY>);
    unsigned char byte = bytes_of(cell)[AMOUNT_START + uint32_t(n - 1) / 2];
    return n % 2 ? byte >> 4 : byte & 0xFu;
}

void set_digit(Cell* cell, int32_t n, uint32_t value) {
    VEK_CHECK_LAYOUT(cell, type_in<TYPE_MONEY>);
    unsigned char& byte = bytes_of(cell)[AMOUNT_START + uint32_t(n - 1) / 2];
    byte = n % 2 ? uint8_t((byte & 0x0F) | value << 4) : uint8_t((byte & 0xF0) | value);
}

int32_t signum(const Cell* cell) {
    const unsigned char* amount = bytes_of(cell) + AMOUNT_START;
    for (uint32_t i = 0; i < AMOUNT_BYTES; i++)
        if (amount[i] != 0) return sign(cell) ? -1 : 1;
    return 0;
}

int32_t find_currency(const char* code) {
    // The code may be a symbol's name, which reading further names can move.
    char letters[CODE_LENGTH];
    std::memcpy(letters, code, CODE_LENGTH);
    const Cell* list = system_fields::currencies_list();
    uint32_t count = block::length_from_head(list);
    for (uint32_t i = 0; i < count && i < MAX_CURRENCIES; i++) {
        const Cell* word = block::rs_abs_at(list, series_index(list) + i);
        if (cell_type(word) == TYPE_WORD && same_code(symbol::get_c_string(word::symbol(word)), letters))
            return int32_t(i + 1);
    }
    return -1;
}

int32_t find_currency_word(const Cell* word) {
    const char* name = symbol::get_c_string(word::symbol(word));
    if (std::strlen(name) != CODE_LENGTH) return -1;
    return find_currency(name);
}

// ---------------------------------------------------------------- cells

Cell* make_at(Cell* cell, bool negative, uint32_t currency, const uint8_t* amount) {
    set_type(cell, TYPE_MONEY);
    set_sign(cell, negative);
    set_currency(cell, currency);
    std::memcpy(bytes_of(cell) + AMOUNT_START, amount, AMOUNT_BYTES);
    return cell;
}

bool make_at_from_text(Cell* cell, bool negative, const char* code, const char* integral, size_t integral_length,
                       const char* fraction, size_t fraction_length) {
    int32_t index = 0;
    if (code != nullptr && (index = find_currency(code)) < 0) return false;
    // Leading zeros take no place: only the significant digits must fit.
    size_t start = 0;
    while (start < integral_length && (integral[start] == '0' || integral[start] == '\'')) start++;
    Cell made = blank_cell(TYPE_MONEY | (negative ? SIGN_BIT : 0));
    set_currency(&made, uint32_t(index));
    int32_t n = INTEGRAL_DIGITS;
    for (size_t i = integral_length; i > start; i--) {
        char c = integral[i - 1];
        if (c == '\'') continue;
        if (c < '0' || c > '9' || n == 0) return false;
        set_digit(&made, n--, uint32_t(c - '0'));
    }
    for (size_t i = 0; i < fraction_length && i < size_t(FRACTION_DIGITS); i++) {
        char c = fraction[i];
        if (c < '0' || c > '9') return false;
        set_digit(&made, INTEGRAL_DIGITS + 1 + int32_t(i), uint32_t(c - '0'));
    }
    *cell = made;
    return true;
}

// ---------------------------------------------------------------- text

void form_text(const Cell* value, text::Sink& sink, bool all, bool grouping) {
    char text[64];
    char* out = text;
    if (signum(value) < 0) *out++ = '-';
    if (uint32_t index = currency(value); index != 0) {
        char code[16];
        currency_code(index, code);
        size_t length = std::strlen(code);
        std::memcpy(out, code, length);
        out += length;
    }
    *out++ = '$';
    out = integral_text(out, value, grouping);
    if (int32_t shown = shown_fraction_digits(all); shown > 0) {
        *out++ = '.';
        for (int32_t n = 1; n <= shown; n++) *out++ = char('0' + digit(value, INTEGRAL_DIGITS + n));
    }
    sink.append(text, uint32_t(out - text));
}

// ---------------------------------------------------------------- amounts as integers

namespace {

// An amount as the signed count of 0.00001 units it holds.
using Units = __int128;

constexpr Units power_of_ten(int32_t n) { return n == 0 ? 1 : 10 * power_of_ten(n - 1); }

constexpr Units UNITS_PER_WHOLE = power_of_ten(FRACTION_DIGITS);
// The first count that needs a 23rd digit.
constexpr Units LIMIT = power_of_ten(DIGITS);
// A product of factors with at most this many significant digits in all
// stays below 10^28, well inside 128 bits; with more it cannot fit.
constexpr int32_t PRODUCT_DIGITS = 28;
// The floats beyond what the amounts span: at and above 10^17, and non-zero
// below one unit.
constexpr double FLOAT_TOO_LARGE = 1e17;
constexpr double FLOAT_TOO_SMALL = 1e-5;
// Significant digits of a float's text on its way to money.
constexpr int32_t FLOAT_DIGITS = 22;
// Fraction units money! make adds from a block: 0 to this.
constexpr int32_t LARGEST_FRACTION = 99999;

enum Field { NO_FIELD, CODE_FIELD, AMOUNT_FIELD };

Units magnitude_of(const Cell* value) {
    Units units = 0;
    for (int32_t n = 1; n <= DIGITS; n++) units = units * 10 + digit(value, n);
    return units;
}

Units units_of(const Cell* value) {
    Units magnitude = magnitude_of(value);
    return sign(value) ? -magnitude : magnitude;
}

Units absolute_units(Units units) { return units < 0 ? -units : units; }

[[noreturn]] void raise_type_limit(uint32_t type) {
    Cell datatype = integer::datatype_value(type);
    fire(err::script::type_limit, &datatype);
}

[[noreturn]] void raise_bad_make_arg(const Cell* spec_value) {
    Cell datatype = integer::datatype_value(TYPE_MONEY);
    fire(err::script::bad_make_arg, &datatype, spec_value);
}

// Writes a money! of the count and currency (the cell's flags kept); a count
// of 23 digits raises type-limit. A zero amount carries no sign.
Cell* store(Cell* cell, Units units, uint32_t currency_index) {
    Units magnitude = absolute_units(units);
    if (magnitude >= LIMIT) raise_type_limit(TYPE_MONEY);
    set_type(cell, TYPE_MONEY);
    set_sign(cell, units < 0);
    set_currency(cell, currency_index);
    for (int32_t n = DIGITS; n >= 1; n--) {
        set_digit(cell, n, uint32_t(magnitude % 10));
        magnitude /= 10;
    }
    return cell;
}

// Significant digits of a count, at least 1.
int32_t digit_count(Units magnitude) {
    int32_t count = 1;
    while (magnitude >= 10) {
        magnitude /= 10;
        count++;
    }
    return count;
}

// The count of a float from its 22 significant digits: digits below one unit
// are cut off, or refused when strict.
Units float_units(double value, bool strict) {
    Cell spec_value = float_::cell(value);
    double magnitude = std::fabs(value);
    if (!std::isfinite(value) || magnitude >= FLOAT_TOO_LARGE || (magnitude != 0.0 && magnitude < FLOAT_TOO_SMALL))
        raise_bad_make_arg(&spec_value);
    if (magnitude == 0.0) return 0;
    float_text::Digits digits = float_text::float_to_digits(value, FLOAT_DIGITS, true);
    Units units = 0;
    for (int32_t i = 0; i < digits.count; i++) {
        // The digit's power of ten counted in units: the value is
        // 0.d1d2... x 10^point.
        int32_t exponent = digits.point - 1 - i + FRACTION_DIGITS;
        if (exponent < 0) {
            if (strict) raise_bad_make_arg(&spec_value);
            break;
        }
        units += Units(digits.text[i] - '0') * power_of_ten(exponent);
    }
    return digits.negative ? -units : units;
}

// ---------------------------------------------------------------- arithmetic

// Each operand as a count and a currency.
struct Operand {
    Units units;
    uint32_t currency;
};

Operand operand_of(const Cell* value) {
    switch (uint32_t type = cell_type(value)) {
    case TYPE_MONEY: return {units_of(value), currency(value)};
    case TYPE_INTEGER: return {Units(integer::get(value)) * UNITS_PER_WHOLE, 0};
    case TYPE_FLOAT:
    case TYPE_PERCENT: return {float_units(float_::get(value), false), 0};
    default: integer::raise_invalid_type(type);
    }
}

bool currencies_agree(uint32_t a, uint32_t b) { return a == b || a == 0 || b == 0; }

Units checked_product(Units a, Units b) {
    if (a == 0 || b == 0) return 0;
    if (digit_count(absolute_units(a)) + digit_count(absolute_units(b)) > PRODUCT_DIGITS)
        raise_type_limit(TYPE_MONEY);
    return a * b / UNITS_PER_WHOLE;
}

// The quotient truncated to whole units; its sign is negative when the
// signs differ.
Units quotient(Units a, Units b) {
    if (b == 0) fire(err::math::zero_divide);
    return a * UNITS_PER_WHOLE / b;
}

// With the dividend's sign.
Units remainder_of(Units a, Units b) {
    if (b == 0) fire(err::math::zero_divide);
    return a % b;
}

Units compute(Units a, Units b, int32_t op) {
    switch (op) {
    case integer::OP_ADD: return a + b;
    case integer::OP_SUBTRACT: return a - b;
    case integer::OP_MULTIPLY: return checked_product(a, b);
    case integer::OP_DIVIDE: return quotient(a, b);
    default: return remainder_of(a, b);
    }
}

double units_to_float(Units units) {
    char text[48];
    char* end = text + sizeof text;
    char* p = end;
    Units magnitude = absolute_units(units);
    for (int32_t n = 0; n < FRACTION_DIGITS; n++) {
        *--p = char('0' + int32_t(magnitude % 10));
        magnitude /= 10;
    }
    *--p = '.';
    do {
        *--p = char('0' + int32_t(magnitude % 10));
        magnitude /= 10;
    } while (magnitude != 0);
    if (units < 0) *--p = '-';
    int32_t remaining;
    return dtoa::text_to_float(p, end, 0, &remaining);
}

// ---------------------------------------------------------------- compare

bool ordering_op(int32_t op) { return op >= actions::COMP_LESSER && op <= actions::COMP_CASE_SORT; }

int32_t order(Units a, Units b) { return (a > b) - (a < b); }

// The currencies' codes in alphabetical order, no currency first.
int32_t currency_order(uint32_t a, uint32_t b) {
    if (a == 0 || b == 0) return order(a, b);
    char code_a[16], code_b[16];
    currency_code(a, code_a);
    currency_code(b, code_b);
    int32_t text_order = std::strcmp(code_a, code_b);
    return (text_order > 0) - (text_order < 0);
}

int32_t compare_moneys(const Cell* value, const Cell* other, int32_t op) {
    uint32_t a = currency(value), b = currency(other);
    switch (op) {
    case actions::COMP_EQUAL:
    case actions::COMP_NOT_EQUAL:
        if (!currencies_agree(a, b)) return 1;
        break;
    case actions::COMP_STRICT_EQUAL:
    case actions::COMP_SAME:
    case actions::COMP_FIND:
        if (a != b) return 1;
        break;
    case actions::COMP_SORT:
    case actions::COMP_CASE_SORT:
        if (a != b) return currency_order(a, b);
        break;
    default:
        if (!currencies_agree(a, b)) fire(err::script::wrong_denom, value, other);
    }
    return order(units_of(value), units_of(other));
}

// Floats where no amount lies: NaN is unordered (every ordering test false,
// as with floats); a magnitude beyond every amount orders by its sign; one
// between zero and the smallest unit lies next to zero, so the amount's sign
// decides, or the float's against a zero amount. None equals an amount.
int32_t compare_with_unreachable(const Cell* value, double f, int32_t op) {
    if (!ordering_op(op)) return 1;
    if (std::isnan(f)) return op == actions::COMP_LESSER || op == actions::COMP_LESSER_EQUAL ? 1 : -1;
    int32_t f_sign = f > 0 ? 1 : -1;
    if (std::fabs(f) >= FLOAT_TOO_LARGE) return -f_sign;
    int32_t s = signum(value);
    return s != 0 ? s : -f_sign;
}

int32_t compare_with_float(const Cell* value, double f, int32_t op) {
    double magnitude = std::fabs(f);
    if (!(magnitude < FLOAT_TOO_LARGE) || (magnitude != 0.0 && magnitude < FLOAT_TOO_SMALL))
        return compare_with_unreachable(value, f, op);
    return order(units_of(value), float_units(f, true));
}

// ---------------------------------------------------------------- round

using actions::Rounding;

// The scale as a count of units, taken positive.
Units scale_units(const Cell* scale) {
    if (scale == nullptr) return UNITS_PER_WHOLE;
    switch (uint32_t type = cell_type(scale)) {
    case TYPE_MONEY: return magnitude_of(scale);
    case TYPE_INTEGER: return absolute_units(Units(integer::get(scale)) * UNITS_PER_WHOLE);
    case TYPE_FLOAT: return absolute_units(float_units(float_::get(scale), true));
    default: integer::raise_not_related("round", type);
    }
}

// Whether the magnitude a, r above a multiple of s, moves up to the next
// multiple; negative tells the value's sign.
bool rounds_up(Units a, Units r, Units s, bool negative, Rounding how) {
    switch (how) {
    case Rounding::down: return false;
    case Rounding::floor: return negative;
    case Rounding::ceiling: return !negative;
    default: break;
    }
    if (2 * r != s) return 2 * r > s;
    switch (how) {
    case Rounding::half_down: return false;
    case Rounding::half_ceiling: return !negative;
    case Rounding::half_even: return (a / s) % 2 != 0;
    default: return true;
    }
}

// ---------------------------------------------------------------- random

// The currency byte and the amount read as three 32-bit words, XORed.
uint32_t payload_bits(const Cell* value) {
    uint32_t words[3];
    std::memcpy(words, bytes_of(value) + CURRENCY_BYTE, sizeof words);
    return words[0] ^ words[1] ^ words[2];
}

// 0 to n - 1, each equally likely: three 31-bit draws make 93 bits, and
// draws from the uneven top of that range are made again.
Units draw_below(Units n, bool secure) {
    auto next = [secure] { return Units(secure ? random::next_secure() : random::next()); };
    constexpr Units SPAN = Units(1) << 93;
    Units limit = SPAN - SPAN % n;
    Units r;
    do r = next() << 62 | next() << 31 | next();
    while (r >= limit);
    return r % n;
}

// ---------------------------------------------------------------- fields

Field field_of(const Cell* selector) {
    switch (cell_type(selector)) {
    case TYPE_INTEGER: {
        int32_t n = integer::get(selector);
        return n == 1 ? CODE_FIELD : n == 2 ? AMOUNT_FIELD : NO_FIELD;
    }
    case TYPE_WORD: {
        uint32_t name = symbol::resolve(word::symbol(selector));
        if (name == symbol::resolve(fixed_words::symbol(fixed_words::Sym::code))) return CODE_FIELD;
        if (name == symbol::resolve(fixed_words::symbol(fixed_words::Sym::amount))) return AMOUNT_FIELD;
        return NO_FIELD;
    }
    default: return NO_FIELD;
    }
}

// The currency's word (none when there is none) or the amount without
// currency, written over the value.
Cell* read_field(Cell* value, Field field) {
    if (field == AMOUNT_FIELD) {
        set_currency(value, 0);
        return value;
    }
    uint32_t index = currency(value);
    const Cell* list = system_fields::currencies_list();
    if (index == 0 || index > block::length_from_head(list)) return copy_cell(&none::constant, value);
    return copy_cell(block::rs_abs_at(list, series_index(list) + index - 1), value);
}

// ---------------------------------------------------------------- make and to

// [code amount fraction]: the code optional, the fraction too (0 to 99999
// units, taking the amount's sign).
Cell* from_block(Cell* result, const Cell* block) {
    uint32_t count = block::length_from_head(block);
    if (count < 1 || count > 3) raise_bad_make_arg(block);
    Cell values[3];
    for (uint32_t i = 0; i < count; i++) values[i] = *block::rs_abs_at(block, series_index(block) + i);
    uint32_t i = 0;
    int32_t index = 0;
    if (cell_type(&values[0]) == TYPE_WORD) {
        index = find_currency_word(&values[0]);
        if (index < 0 || count == 1) raise_bad_make_arg(&values[0]);
        i = 1;
    }
    Units units;
    switch (cell_type(&values[i])) {
    case TYPE_INTEGER: units = Units(integer::get(&values[i])) * UNITS_PER_WHOLE; break;
    case TYPE_FLOAT: units = float_units(float_::get(&values[i]), true); break;
    default: raise_bad_make_arg(&values[i]);
    }
    if (++i < count) {
        const Cell* fraction = &values[i];
        if (cell_type(fraction) != TYPE_INTEGER || integer::get(fraction) < 0 ||
            integer::get(fraction) > LARGEST_FRACTION)
            raise_bad_make_arg(fraction);
        if (++i < count) raise_bad_make_arg(&values[i]);
        Units added = integer::get(fraction);
        units += units < 0 ? -added : added;
    }
    return store(result, units, uint32_t(index));
}

Cell* from_text(Cell* result, const Cell* text) {
    Cell string = *text;
    uint32_t count = string::rs_length(&string);
    int32_t status = 0;
    Cell made = blank_cell(TYPE_MONEY);
    lexer::scan_money(string::rs_head(&string), count, series_buffer(&string)->unit(), &status, &made);
    if (status != 0) integer::raise_bad_to_arg(TYPE_MONEY, text);
    return make_at(result, sign(&made), currency(&made), bytes_of(&made) + AMOUNT_START);
}

Cell* to(Cell* result, const Cell* spec_value, uint32_t) {
    uint32_t type = cell_type(spec_value);
    if (is_any_string(type)) return from_text(result, spec_value);
    switch (type) {
    case TYPE_INTEGER: return from_integer(result, integer::get(spec_value));
    case TYPE_FLOAT: return from_float(result, float_::get(spec_value), true);
    case TYPE_MONEY: return copy_cell(spec_value, result);
    default: integer::raise_bad_to_arg(TYPE_MONEY, spec_value);
    }
}

Cell* make(Cell* result, const Cell* spec_value, uint32_t type) {
    switch (cell_type(spec_value)) {
    case TYPE_WORD: {
        int32_t index = find_currency_word(spec_value);
        if (index < 0) raise_bad_make_arg(spec_value);
        return store(result, 0, uint32_t(index));
    }
    case TYPE_BLOCK: return from_block(result, spec_value);
    default: return to(result, spec_value, type);
    }
}

// ---------------------------------------------------------------- actions

Cell* random(Cell* value, bool seed, bool secure, bool) {
    if (seed) {
        random::seed(int32_t(payload_bits(value) ^ uint32_t(sign(value))));
        return set_type(value, TYPE_UNSET);
    }
    Units magnitude = magnitude_of(value);
    Units drawn = draw_below(magnitude + 1, secure);
    return store(value, sign(value) ? -drawn : drawn, currency(value));
}

// form groups the integral digits; mold does not, and with all keeps every
// fraction digit.
void form(const Cell* value, text::Sink& out) { form_text(value, out, false, true); }

void mold(const Cell* value, text::Sink& out, bool) { form_text(value, out, out.all, false); }

Cell* eval_path(Cell* parent, const Cell* element, const actions::PathArgs& args) {
    const Cell* where = args.path != nullptr ? args.path : &none::constant;
    if (args.value != nullptr) fire(err::script::bad_path_set, where, element);
    Field field = field_of(element);
    if (field == NO_FIELD) fire(err::script::invalid_path, where, element);
    return read_field(parent, field);
}

Cell* pick(Cell* value, int32_t, const Cell* index) {
    Field field = field_of(index);
    if (field == NO_FIELD) fire(err::script::out_of_range, index);
    return read_field(value, field);
}

int32_t compare_action(const Cell* value1, const Cell* value2, int32_t op) { return compare(value1, value2, op); }

Cell* absolute(Cell* value) {
    set_sign(value, false);
    return value;
}

Cell* negate(Cell* value) {
    set_sign(value, !sign(value));
    return value;
}

Cell* add(Cell* value1, Cell* value2) { return math_op(value1, value2, integer::OP_ADD); }
Cell* divide(Cell* value1, Cell* value2) { return math_op(value1, value2, integer::OP_DIVIDE); }
Cell* multiply(Cell* value1, Cell* value2) { return math_op(value1, value2, integer::OP_MULTIPLY); }
Cell* remainder(Cell* value1, Cell* value2) { return math_op(value1, value2, integer::OP_REMAINDER); }
Cell* subtract(Cell* value1, Cell* value2) { return math_op(value1, value2, integer::OP_SUBTRACT); }

// A multiple of the scale near the value, its sign and currency kept.
Cell* round(Cell* value, const actions::RoundArgs& args) {
    Units s = scale_units(args.scale);
    Units a = magnitude_of(value);
    if (a == 0 || s == 0) return value;
    Units r = a % s;
    if (r == 0) return value;
    bool negative = sign(value);
    Units rounded = rounds_up(a, r, s, negative, args.mode) ? a - r + s : a - r;
    return store(value, negative ? -rounded : rounded, currency(value));
}

bool even(const Cell* value) { return digit(value, INTEGRAL_DIGITS) % 2 == 0; }
bool odd(const Cell* value) { return !even(value); }

}  // namespace

// ---------------------------------------------------------------- conversions

Cell* from_integer(Cell* cell, int32_t value) { return store(cell, Units(value) * UNITS_PER_WHOLE, 0); }

Cell* from_float(Cell* cell, double value, bool strict) { return store(cell, float_units(value, strict), 0); }

int32_t to_integer(const Cell* value) {
    Units whole = units_of(value) / UNITS_PER_WHOLE;
    if (whole < integer::MIN || whole > integer::MAX) raise_type_limit(TYPE_INTEGER);
    return int32_t(whole);
}

double to_float(const Cell* value) { return units_to_float(units_of(value)); }

// ---------------------------------------------------------------- arithmetic and order

Cell* math_op(Cell* value1, const Cell* value2, int32_t op) {
    uint32_t left = cell_type(value1), right = cell_type(value2);
    bool money_divisor = op == integer::OP_DIVIDE || op == integer::OP_REMAINDER;
    if ((left == TYPE_MONEY && right == TYPE_MONEY && op == integer::OP_MULTIPLY) ||
        (left != TYPE_MONEY && right == TYPE_MONEY && money_divisor))
        integer::raise_invalid_type(left);
    Operand a = operand_of(value1), b = operand_of(value2);
    if (!currencies_agree(a.currency, b.currency)) fire(err::script::wrong_denom, value1, value2);
    Units result = compute(a.units, b.units, op);
    if (op == integer::OP_DIVIDE && right == TYPE_MONEY) {
        if (absolute_units(result) >= LIMIT) raise_type_limit(TYPE_MONEY);
        return float_::make_at(value1, units_to_float(result));
    }
    return store(value1, result, b.currency != 0 ? b.currency : a.currency);
}

int32_t compare(const Cell* value, const Cell* other, int32_t op) {
    uint32_t type = cell_type(other);
    bool same_type_only = op == actions::COMP_STRICT_EQUAL || op == actions::COMP_SAME || op == actions::COMP_FIND;
    if (same_type_only && type != TYPE_MONEY) return 1;
    switch (type) {
    case TYPE_MONEY: return compare_moneys(value, other, op);
    case TYPE_INTEGER: return order(units_of(value), Units(integer::get(other)) * UNITS_PER_WHOLE);
    case TYPE_FLOAT: return compare_with_float(value, float_::get(other), op);
    default: return -2;
    }
}

int32_t compare_from_other(const Cell* other, const Cell* value, int32_t op) {
    // other < value is value > other, and so on; the answer is then turned
    // round.
    int32_t mirrored = op;
    switch (op) {
    case actions::COMP_LESSER: mirrored = actions::COMP_GREATER; break;
    case actions::COMP_LESSER_EQUAL: mirrored = actions::COMP_GREATER_EQUAL; break;
    case actions::COMP_GREATER: mirrored = actions::COMP_LESSER; break;
    case actions::COMP_GREATER_EQUAL: mirrored = actions::COMP_LESSER_EQUAL; break;
    default: break;
    }
    int32_t answer = compare(value, other, mirrored);
    return answer == -2 || !ordering_op(op) ? answer : -answer;
}

void init() {
    using namespace registry;
    register_type(TYPE_MONEY, Row()
        .set<SLOT_MAKE>(make)
        .set<SLOT_RANDOM>(random)
        .set<SLOT_TO>(to)
        .set<SLOT_FORM>(form)
        .set<SLOT_MOLD>(mold)
        .set<SLOT_EVAL_PATH>(eval_path)
        .set<SLOT_COMPARE>(compare_action)
        .set<SLOT_ABSOLUTE>(absolute)
        .set<SLOT_ADD>(add)
        .set<SLOT_DIVIDE>(divide)
        .set<SLOT_MULTIPLY>(multiply)
        .set<SLOT_NEGATE>(negate)
        .set<SLOT_REMAINDER>(remainder)
        .set<SLOT_ROUND>(round)
        .set<SLOT_SUBTRACT>(subtract)
        .set<SLOT_EVEN>(even)
        .set<SLOT_ODD>(odd)
        .set<SLOT_PICK>(pick));
}

}  // namespace vek::money
