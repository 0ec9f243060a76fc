#include "runtime/datatypes/number/money.h"

#include <cstring>

#include "runtime/actions/dispatch.h"
#include "runtime/core/datatype.h"
#include "runtime/core/system.h"
#include "runtime/datatypes/block/array.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/datatypes/word/word.h"

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
    const Cell* list = system_fields::currencies_list();
    uint32_t count = block::length_from_head(list);
    for (uint32_t i = 0; i < count && i < MAX_CURRENCIES; i++) {
        const Cell* word = block::rs_abs_at(list, series_index(list) + i);
        if (cell_type(word) == TYPE_WORD && same_code(symbol::get_c_string(word::symbol(word)), code))
            return int32_t(i + 1);
    }
    return -1;
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
    Cell made{TYPE_MONEY | (negative ? SIGN_BIT : 0), 0, 0, 0};
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

namespace {

// form groups the integral digits; mold does not, and with all keeps every
// fraction digit.
void form(const Cell* value, text::Sink& out) { form_text(value, out, false, true); }

void mold(const Cell* value, text::Sink& out, bool) { form_text(value, out, out.all, false); }

}  // namespace

void init() {
    using namespace datatype;
    register_type(TYPE_MONEY, Row()
        .set<SLOT_FORM>(form)
        .set<SLOT_MOLD>(mold));
}

}  // namespace vek::money
