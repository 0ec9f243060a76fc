// The words that exist before the library boots: the natives and actions
// with their specs, the datatype words, the typesets and the infix
// operators. One table holds their names, order and spec texts; init loads
// each spec with the lexer and binds every word in the global context.
#pragma once

#include <array>
#include <cstdint>

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

constexpr uint32_t ACTION_WORDS = 59;  // every slot but 7, 8 and 9
constexpr uint32_t DATATYPE_WORDS = 50;
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
