// The words that exist before the library boots: the natives and actions
// with their specs, the datatype words, the typesets and the infix
// operators. The natives come from natives.def, the actions from
// actions.def, the datatype words from types.def; the typesets and operators
// are listed here. init loads each spec with the lexer and binds every word
// in the global context.
#pragma once

#include <array>
#include <cstdint>

#include "runtime/core/types.h"
#include "runtime/natives/natives.h"

namespace vek::boot_table {

struct NativeEntry {
    const char* name;
    const char* spec;  // source text of the spec block, without its brackets
};

struct ActionEntry {
    const char* name;
    uint32_t slot;
    const char* spec;
};

struct DatatypeEntry {
    const char* name;
    uint32_t id;
};

// members: datatype words and earlier typeset words, united.
struct TypesetEntry {
    const char* name;
    const char* members;
};

// source: the word of the native or action the operator calls.
struct OperatorEntry {
    const char* name;
    const char* source;
};

// The rows of actions.def that have a word.
constexpr uint32_t ACTION_WORDS = [] {
    const char* const words[] = {
#define X(slot, NAME, word, entry, spec) word,
#include "runtime/actions/actions.def"
#undef X
    };
    uint32_t count = 0;
    for (const char* word : words) count += word != nullptr;
    return count;
}();

// Whether the type of types.def has a datatype word: all have one but
// symbol! and context!, which live only inside the runtime, and series!,
// whose word is the typeset of the series types.
constexpr bool has_datatype_word(uint32_t id) {
    return types::table[id].name != nullptr && id != TYPE_SYMBOL && id != TYPE_CONTEXT &&
           id != TYPE_SERIES;
}

constexpr uint32_t DATATYPE_WORDS = [] {
    uint32_t count = 0;
    for (uint32_t id = 0; id < TYPE_COUNT; id++) count += has_datatype_word(id);
    return count;
}();

constexpr uint32_t TYPESETS = 18;
constexpr uint32_t OPERATORS = 17;

// Entry i is the native at natives-table position i + 1.
extern const std::array<NativeEntry, natives::NATIVE_COUNT> native_entries;
extern const std::array<ActionEntry, ACTION_WORDS> action_entries;
extern const std::array<DatatypeEntry, DATATYPE_WORDS> datatype_entries;
// In binding order: a typeset's members name only earlier ones.
extern const std::array<TypesetEntry, TYPESETS> typeset_entries;
extern const std::array<OperatorEntry, OPERATORS> operator_entries;

// Binds, in the global context: datatype! and the datatype words, none, true
// and false, the typesets, the natives, the actions, then the operators.
// Needs the lexer, the natives table and the callable datatypes.
void init();

}  // namespace vek::boot_table
