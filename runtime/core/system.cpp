#include "runtime/core/system.h"

#include <array>
#include <cctype>
#include <cstring>

#include "runtime/core/root.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/string/buffer.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/memory/manager.h"
#include "runtime/memory/series.h"

namespace vek {

SystemRecord sysrec;
bool booting = false;
bool boot_phase = false;

}  // namespace vek

namespace vek::system_fields {

namespace {

constexpr Cell STACK_TRACE = integer::cell(1);
constexpr Cell CALLBACK_BITS = integer::cell(0);
constexpr Cell MONEY_DIGITS = integer::cell(2);
constexpr Cell DECIMAL_DIGITS = integer::cell(15);
constexpr Cell BINARY_BASE = integer::cell(16);

constexpr uint32_t SOURCE_FILES_CAPACITY = 4;

constexpr std::array MONTH_NAMES{"January", "February", "March",     "April",   "May",      "June",
                                 "July",    "August",   "September", "October", "November", "December"};
constexpr std::array DAY_NAMES{"Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Sunday"};

// A money! value stores its currency as the 1-based position in this list,
// so the order is part of the data.
constexpr std::array<const char*, 170> CURRENCY_CODES{
    "AED", "AFN", "ALL", "AMD", "ANG", "AOA", "ARS", "AUD", "AWG", "AZN", "BAM", "BBD", "BDT", "BTC", "BGN",
    "BHD", "BIF", "BMD", "BND", "BOB", "BRL", "BSD", "BTN", "BWP", "BYN", "BZD", "CAD", "CDF", "CHF", "CKD",
    "CLP", "CNY", "COP", "CRC", "CUC", "CUP", "CVE", "CZK", "DJF", "DKK", "DOP", "DZD", "EGP", "ERN", "ETB",
    "ETH", "EUR", "FJD", "FKP", "FOK", "GBP", "GEL", "GGP", "GHS", "GIP", "GMD", "GNF", "GTQ", "GYD", "HKD",
    "HNL", "HRK", "HTG", "HUF", "IDR", "ILS", "IMP", "INR", "IQD", "IRR", "ISK", "JEP", "JMD", "JOD", "JPY",
    "KES", "KGS", "KHR", "KID", "KMF", "KPW", "KRW", "KWD", "KYD", "KZT", "LAK", "LBP", "LKR", "LRD", "LSL",
    "LYD", "MAD", "MDL", "MGA", "MKD", "MMK", "MNT", "MOP", "MRU", "MUR", "MVR", "MWK", "MXN", "MYR", "MZN",
    "NAD", "NGN", "NIO", "NOK", "NPR", "NZD", "OMR", "PAB", "PEN", "PGK", "PHP", "PKR", "PLN", "PND", "PRB",
    "PYG", "QAR", "VEK", "RON", "RSD", "RUB", "RWF", "SAR", "SBD", "SCR", "SDG", "SEK", "SGD", "SHP", "SLL",
    "SLS", "SOS", "SRD", "SSP", "STN", "SYP", "SZL", "THB", "TJS", "TMT", "TND", "TOP", "TRY", "TTD", "TVD",
    "TWD", "TZS", "UAH", "UGX", "USD", "UYU", "UZS", "VES", "VND", "VUV", "WST", "CFA", "XAF", "XCD", "XOF",
    "CFP", "XPF", "YER", "ZAR", "ZMW"};

// The block defaults sit in the root block: it never moves, so these
// addresses stay valid, and what it holds stays reachable.
Cell* source_files_block = nullptr;
Cell* months_block = nullptr;
Cell* days_block = nullptr;
Cell* currencies_block = nullptr;
Cell* exit_states_block = nullptr;

Cell* new_root_block(uint32_t capacity) {
    Cell* cell = root::append();
    *cell = Cell{TYPE_BLOCK, 0, uint32_t(memory::alloc_cells(capacity)), 0};
    return cell;
}

template <size_t N>
Cell* string_block(const std::array<const char*, N>& texts) {
    Cell* list = new_root_block(N);
    for (const char* text : texts) {
        Cell made{};  // on the C++ stack, where the collector sees it
        string::rs_make_at(&made, uint32_t(std::strlen(text)));
        string::append_c_string(&made, text);
        *block::alloc_tail(list) = made;
    }
    return list;
}

template <size_t N>
Cell* word_block(const std::array<const char*, N>& names) {
    Cell* list = new_root_block(N);
    for (const char* name : names) word::load_in(list, name);
    return list;
}

// The lexer's token kinds, named as kinds.def names them, in lower case and
// with hyphens: block-open, raw-string and so on.
constexpr std::array TOKEN_KINDS{
#define X(NAME, type, scanner, loader) #NAME,
#include "runtime/lexer/kinds.def"
#undef X
};

Cell* token_kind_block() {
    Cell* list = new_root_block(TOKEN_KINDS.size());
    for (const char* kind : TOKEN_KINDS) {
        std::array<char, 32> name{};
        for (size_t i = 0; kind[i] && i + 1 < name.size(); i++)
            name[i] = kind[i] == '_' ? '-' : char(std::tolower(uint8_t(kind[i])));
        word::load_in(list, name.data());
    }
    return list;
}

}  // namespace

void init() {
    source_files_block = new_root_block(SOURCE_FILES_CAPACITY);
    months_block = string_block(MONTH_NAMES);
    days_block = string_block(DAY_NAMES);
    currencies_block = word_block(CURRENCY_CODES);
    exit_states_block = token_kind_block();
}

const Cell* stack_trace() { return &STACK_TRACE; }
const Cell* callback_bits() { return &CALLBACK_BITS; }
const Cell* source_files() { return source_files_block; }
const Cell* months() { return months_block; }
const Cell* days() { return days_block; }
const Cell* currencies_list() { return currencies_block; }
const Cell* money_digits() { return &MONEY_DIGITS; }
const Cell* decimal_digits() { return &DECIMAL_DIGITS; }
const Cell* binary_base() { return &BINARY_BASE; }
const Cell* exit_states() { return exit_states_block; }

void register_routines() {}

}  // namespace vek::system_fields
