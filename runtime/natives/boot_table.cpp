#include "runtime/natives/boot_table.h"

#include <cstring>

#include "runtime/core/registry.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/callable/action.h"
#include "runtime/datatypes/callable/native.h"
#include "runtime/datatypes/callable/op.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/typeset.h"
#include "runtime/datatypes/word/context.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/lexer/lexer.h"
#include "runtime/memory/series.h"

namespace vek::boot_table {

const std::array<NativeEntry, natives::NATIVE_COUNT> native_entries = {{
#define X(name, entry, intrinsic, spec) {name, spec},
#include "runtime/natives/natives.def"
#undef X
}};

namespace {

// actions.def's rows that have a word, in slot order.
constexpr std::array<ActionEntry, ACTION_WORDS> action_words() {
    const ActionEntry slots[] = {
#define X(slot, NAME, word, entry, spec) {word, slot, spec},
#include "runtime/actions/actions.def"
#undef X
    };
    std::array<ActionEntry, ACTION_WORDS> words{};
    uint32_t count = 0;
    for (const ActionEntry& row : slots)
        if (row.name != nullptr) words[count++] = row;
    return words;
}

// The types with a datatype word in id order, but triple!, the lexer's
// internal marker, last: the language's own types keep the symbol numbers
// their words always had.
constexpr std::array<DatatypeEntry, DATATYPE_WORDS> datatype_words() {
    std::array<DatatypeEntry, DATATYPE_WORDS> words{};
    uint32_t count = 0;
    for (uint32_t id = 0; id < TYPE_COUNT; id++)
        if (has_datatype_word(id) && id != TYPE_TRIPLE) words[count++] = {types::table[id].name, id};
    words[count] = {types::table[TYPE_TRIPLE].name, TYPE_TRIPLE};
    return words;
}

}  // namespace

constinit const std::array<ActionEntry, ACTION_WORDS> action_entries = action_words();
constinit const std::array<DatatypeEntry, DATATYPE_WORDS> datatype_entries = datatype_words();

const std::array<TypesetEntry, TYPESETS> typeset_entries = {{
    {"internal!", "unset!"},
    {"external!", "event!"},
    {"number!", "integer! float! percent!"},
    {"planar!", "pair! point2D!"},
    {"any-point!", "point2D! point3D!"},
    {"scalar!", "number! any-point! money! char! pair! tuple! time! date!"},
    {"any-word!", "word! set-word! lit-word! get-word!"},
    {"all-word!", "any-word! refinement! issue!"},
    {"any-list!", "block! paren! hash!"},
    {"any-path!", "path! lit-path! set-path! get-path!"},
    {"any-block!", "any-path! any-list!"},
    {"any-function!", "native! action! op! function! routine!"},
    {"any-object!", "object! error! port!"},
    {"any-string!", "string! file! url! tag! email! ref!"},
    {"series!", "binary! image! vector! any-block! any-string!"},
    {"immediate!", "scalar! all-word! none! logic! datatype! typeset! handle! date!"},
    {"default!", "series! immediate! any-object! external! any-function! map! bitset!"},
    {"any-type!", "default! internal!"},
}};

const std::array<OperatorEntry, OPERATORS> operator_entries = {{
    {"+", "add"}, {"-", "subtract"}, {"*", "multiply"}, {"/", "divide"},
    {"%", "remainder"}, {"=", "equal?"}, {"<>", "not-equal?"}, {"==", "strict-equal?"},
    {"=?", "same?"}, {"<", "lesser?"}, {">", "greater?"}, {"<=", "lesser-or-equal?"},
    {">=", "greater-or-equal?"}, {"**", "power"}, {"and", "and~"}, {"or", "or~"},
    {"xor", "xor~"},
}};

namespace {

void bind_global(const char* name, const Cell* value) {
    context::set_global(symbol::make(name), value);
}

// The text loaded as a block! into out.
Cell* load(const char* text, Cell* out) {
    auto bytes = reinterpret_cast<const uint8_t*>(text);
    lexer::scan(out, bytes, uint32_t(std::strlen(text)), {.wrap = true}, nullptr, nullptr, nullptr);
    return out;
}

// Every word is bound, its module registered or not, so that the specs'
// type blocks can name any datatype; the registry learns the names of those
// not registered yet, so that their datatype! values form and mold.
void bind_datatypes() {
    Cell value = datatype::cell(TYPE_DATATYPE);
    for (const DatatypeEntry& entry : datatype_entries) {
        uint32_t symbol = symbol::make(entry.name);
        registry::NameEntry& known = registry::name_table[entry.id];
        if (known.name == nullptr)
            known = {entry.name, uint32_t(std::strlen(entry.name) - 1), symbol};
        value = datatype::cell(entry.id);
        context::set_global(symbol, &value);
    }
}

void bind_constants() {
    bind_global("none", &none::constant);
    bind_global("true", logic::constant(true));
    bind_global("false", logic::constant(false));
}

void bind_typesets() {
    for (const TypesetEntry& entry : typeset_entries) {
        Cell members;
        load(entry.members, &members);
        Cell set = blank_cell(TYPE_TYPESET);
        typeset::clear(&set);
        uint32_t count = series_buffer(&members)->length();
        for (uint32_t i = 0; i < count; i++) typeset::add(&set, series_buffer(&members)->cells() + i);
        bind_global(entry.name, &set);
    }
}

void bind_natives() {
    for (uint32_t i = 0; i < natives::NATIVE_COUNT; i++) {
        Cell spec;
        Cell* value = native::push(load(native_entries[i].spec, &spec), i + 1);
        bind_global(native_entries[i].name, value);
        stack::pop(1);
    }
}

void bind_actions() {
    for (const ActionEntry& entry : action_entries) {
        Cell spec;
        Cell* value = action::push(load(entry.spec, &spec), entry.slot);
        bind_global(entry.name, value);
        stack::pop(1);
    }
}

void bind_operators() {
    for (const OperatorEntry& entry : operator_entries) {
        Cell source = *context::get_global_cell(symbol::make(entry.source));
        Cell* value = op::push(&source);
        bind_global(entry.name, value);
        stack::pop(1);
    }
}

}  // namespace

void init() {
    bind_datatypes();
    bind_constants();
    bind_typesets();
    bind_natives();
    bind_actions();
    bind_operators();
}

}  // namespace vek::boot_table
