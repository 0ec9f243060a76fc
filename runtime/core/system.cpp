#include "runtime/core/system.h"

#include <array>
#include <cctype>
#include <cstring>

#include "runtime/core/root.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/compound/pair.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/object/object.h"
#include "runtime/datatypes/string/buffer.h"
#include "runtime/datatypes/word/context.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/memory/image_state.h"
#include "runtime/memory/manager.h"
#include "runtime/memory/series.h"

namespace vek {

SystemRecord sysrec;
bool booting = false;
bool boot_phase = false;

}  // namespace vek

namespace vek::system_fields {

namespace {

constexpr Cell STACK_TRACE_DEFAULT = integer::cell(1);
constexpr Cell CALLBACK_BITS_DEFAULT = integer::cell(0);
constexpr Cell MONEY_DIGITS_DEFAULT = integer::cell(2);
constexpr Cell DECIMAL_DIGITS_DEFAULT = integer::cell(15);
constexpr Cell BINARY_BASE_DEFAULT = integer::cell(16);

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

Cell* new_root_block() {
    Cell* cell = root::append();
    make_unset(cell);
    return cell;
}

Cell* new_block(Cell* cell, uint32_t capacity) {
    *cell = series_cell(TYPE_BLOCK, memory::alloc_cells(capacity));
    return cell;
}

template <size_t N>
Cell* string_block(Cell* list, const std::array<const char*, N>& texts) {
    new_block(list, N);
    for (const char* text : texts) {
        Cell made{};  // on the C++ stack, where the collector sees it
        string::rs_make_at(&made, uint32_t(std::strlen(text)));
        string::append_c_string(&made, text);
        *block::alloc_tail(list) = made;
    }
    return list;
}

template <size_t N>
Cell* word_block(Cell* list, const std::array<const char*, N>& names) {
    new_block(list, N);
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

Cell* token_kind_block(Cell* list) {
    new_block(list, TOKEN_KINDS.size());
    for (const char* kind : TOKEN_KINDS) {
        std::array<char, 32> name{};
        for (size_t i = 0; kind[i] && i + 1 < name.size(); i++)
            name[i] = kind[i] == '_' ? '-' : char(std::tolower(uint8_t(kind[i])));
        word::load_in(list, name.data());
    }
    return list;
}

Cell* make_default(Cell* cell, DefaultBlock which) {
    switch (which) {
    case DefaultBlock::months: return string_block(cell, MONTH_NAMES);
    case DefaultBlock::days: return string_block(cell, DAY_NAMES);
    case DefaultBlock::currencies: return word_block(cell, CURRENCY_CODES);
    case DefaultBlock::exit_states: return token_kind_block(cell);
    }
    return cell;
}

// ---------------------------------------------------------------- reading the object

// Where each field lives in the system object, and the type its default
// has; 0 takes any value.
struct FieldPath {
    std::array<const char*, 3> names;  // nullptr after the last
    uint32_t type;
};

enum Field : uint32_t {
    STACK_TRACE, CALLBACK_BITS, SOURCE_FILES, MONTHS, DAYS, CURRENCIES, MONEY_DIGITS,
    DECIMAL_DIGITS, BINARY_BASE, EXIT_STATES, CATALOG_ERRORS, CONSOLE_SIZE, SCHEMES,
    STANDARD_PORT, STANDARD_URL_PARTS, FIELD_COUNT
};

// stack-trace takes any value: its readers take a value that is no positive
// integer! for "no trace", which a script may mean.
constexpr std::array<FieldPath, FIELD_COUNT> PATHS{{
    {{"state", "stack-trace"}, 0},
    {{"state", "callbacks", "bits"}, TYPE_INTEGER},
    {{"state", "source-files"}, TYPE_BLOCK},
    {{"locale", "months"}, TYPE_BLOCK},
    {{"locale", "days"}, TYPE_BLOCK},
    {{"locale", "currencies", "list"}, TYPE_BLOCK},
    {{"options", "money-digits"}, TYPE_INTEGER},
    {{"options", "decimal-digits"}, TYPE_INTEGER},
    {{"options", "binary-base"}, TYPE_INTEGER},
    {{"lexer", "exit-states"}, TYPE_BLOCK},
    {{"catalog", "errors"}, TYPE_OBJECT},
    {{"console", "size"}, 0},
    {{"schemes"}, TYPE_BLOCK},
    {{"standard", "port"}, TYPE_OBJECT},
    {{"standard", "url-parts"}, TYPE_OBJECT},
}};

// Symbol ids of the names, interned by init; symbol ids never change.
uint32_t system_symbol = 0;
std::array<std::array<uint32_t, 3>, FIELD_COUNT> path_symbols{};
bool object_attached = false;

void intern_paths() {
    system_symbol = symbol::make("system");
    for (uint32_t f = 0; f < FIELD_COUNT; f++)
        for (uint32_t i = 0; i < PATHS[f].names.size() && PATHS[f].names[i]; i++)
            path_symbols[f][i] = symbol::make(PATHS[f].names[i]);
}

// The value of the word system, or nullptr when the global context has no
// such word.
Cell* system_value() {
    const Cell* global = context::global_cell();
    int32_t position = context::find_word(global, system_symbol, true);
    if (position < 0) return nullptr;
    return context::values_base(global) + word::index(context::word_at(global, uint32_t(position)));
}

// The field at the end of its path, or nullptr where the path breaks or the
// value has another type than the field's.
Cell* find(Field f) {
    if (!object_attached) return nullptr;
    Cell* value = system_value();
    for (uint32_t symbol_id : path_symbols[f]) {
        if (symbol_id == 0) break;
        if (!value || cell_type(value) != TYPE_OBJECT) return nullptr;
        value = object::find_field(value, symbol_id);
    }
    if (!value) return nullptr;
    return PATHS[f].type == 0 || cell_type(value) == PATHS[f].type ? value : nullptr;
}

const Cell* read(Field f, const Cell* fallback) {
    const Cell* value = find(f);
    return value ? value : fallback;
}

}  // namespace

void init() {
    source_files_block = new_block(new_root_block(), SOURCE_FILES_CAPACITY);
    months_block = make_default(new_root_block(), DefaultBlock::months);
    days_block = make_default(new_root_block(), DefaultBlock::days);
    currencies_block = make_default(new_root_block(), DefaultBlock::currencies);
    exit_states_block = make_default(new_root_block(), DefaultBlock::exit_states);
    intern_paths();
    object_attached = false;
}

void init_hooks() {
    image_state::keep_pointer("source files block", source_files_block);
    image_state::keep_pointer("months block", months_block);
    image_state::keep_pointer("days block", days_block);
    image_state::keep_pointer("currencies block", currencies_block);
    image_state::keep_pointer("exit states block", exit_states_block);
    image_state::keep("system symbol", system_symbol);
    image_state::keep("system path symbols", path_symbols);
    image_state::keep("system object attached", object_attached);
}

void attach() { object_attached = true; }
bool attached() { return object_attached; }

Cell* push_default(DefaultBlock which) {
    Cell* cell = make_unset(stack::push_cell());
    return make_default(cell, which);
}

const Cell* stack_trace() { return read(STACK_TRACE, &STACK_TRACE_DEFAULT); }
const Cell* callback_bits() { return read(CALLBACK_BITS, &CALLBACK_BITS_DEFAULT); }
const Cell* source_files() { return read(SOURCE_FILES, source_files_block); }
const Cell* months() { return read(MONTHS, months_block); }
const Cell* days() { return read(DAYS, days_block); }
const Cell* currencies_list() { return read(CURRENCIES, currencies_block); }
const Cell* money_digits() { return read(MONEY_DIGITS, &MONEY_DIGITS_DEFAULT); }
const Cell* decimal_digits() { return read(DECIMAL_DIGITS, &DECIMAL_DIGITS_DEFAULT); }
const Cell* binary_base() { return read(BINARY_BASE, &BINARY_BASE_DEFAULT); }
const Cell* exit_states() { return read(EXIT_STATES, exit_states_block); }

void set_console_size(int32_t columns, int32_t rows) {
    if (Cell* size = find(CONSOLE_SIZE)) pair::make_at(size, columns, rows);
}

const Cell* catalog_errors() {
    const Cell* errors = read(CATALOG_ERRORS, nullptr);
    return errors && cell_type(errors) == TYPE_OBJECT ? errors : nullptr;
}

const Cell* schemes() { return find(SCHEMES); }
const Cell* standard_port() { return find(STANDARD_PORT); }
const Cell* standard_url_parts() { return find(STANDARD_URL_PARTS); }

}  // namespace vek::system_fields
