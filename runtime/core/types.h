// The datatype list (types.def) made into the type ids, the table of what
// each type is, and the type-class predicates. Every module asks these; none
// defines a class of types of its own.
#pragma once

#include <array>
#include <cstdint>

namespace vek {

enum TypeId : uint32_t {
#define X(NAME, id, name, parent, classes, nodes) TYPE_##NAME = id,
#include "runtime/core/types.def"
#undef X
    TYPE_COUNT = 57,  // rows of the action and name tables: ids 0 to 56
};

constexpr uint32_t TYPE_MASK = 0xFFu;

// A set of type ids in 64 bits (every id is below 64): bit t for id t.
constexpr uint64_t type_bit(uint32_t type) { return uint64_t(1) << type; }

namespace types {

// The classes a type belongs to: the language's typesets of the same names.
enum TypeClass : uint32_t {
    ANY_WORD = 1u << 0,      // word! set-word! lit-word! get-word!
    ALL_WORD = 1u << 1,      // any-word! refinement! issue!
    ANY_PATH = 1u << 2,      // path! lit-path! set-path! get-path!
    ANY_LIST = 1u << 3,      // block! paren! hash!
    ANY_BLOCK = 1u << 4,     // any-path! any-list!
    ANY_STRING = 1u << 5,    // string! file! url! tag! email! ref!
    SERIES = 1u << 6,        // binary! image! vector! any-block! any-string!
    NUMBER = 1u << 7,        // integer! float! percent!
    SCALAR = 1u << 8,        // number! the points money! char! pair! tuple! time! date!
    ANY_FUNCTION = 1u << 9,  // native! action! op! function! routine!
    ANY_OBJECT = 1u << 10,   // object! error! port!
    IMMEDIATE = 1u << 11,    // scalar! all-word! none! logic! datatype! typeset! handle!
};

// Payload words that hold a node the collector follows: bit n for word n.
enum NodeWords : uint32_t { W1 = 1u << 1, W2 = 1u << 2, W3 = 1u << 3 };

struct TypeInfo {
    const char* name;     // such as "block!"; nullptr for an id no type has
    uint32_t parent;      // 0 for none
    uint32_t classes;     // TypeClass bits
    uint32_t node_words;  // NodeWords bits
};

constexpr std::array<TypeInfo, TYPE_COUNT> make_table() {
    std::array<TypeInfo, TYPE_COUNT> table{};
#define X(NAME, id, name, parent, classes, nodes) table[id] = TypeInfo{name, parent, classes, nodes};
#include "runtime/core/types.def"
#undef X
    return table;
}

inline constexpr std::array<TypeInfo, TYPE_COUNT> table = make_table();

// Bit t set for every type id t of the class: a class test is one shift.
constexpr uint64_t members(uint32_t type_class) {
    uint64_t set = 0;
    for (uint32_t t = 0; t < TYPE_COUNT; t++)
        if (table[t].classes & type_class) set |= type_bit(t);
    return set;
}

template <uint32_t type_class>
constexpr bool in_class(uint32_t type) {
    constexpr uint64_t set = members(type_class);
    return type < 64 && ((set >> type) & 1) != 0;
}

static_assert(TYPE_COUNT <= 64, "a class test holds every type id in 64 bits");

// The NodeWords of the type's cells; none for an id no type has.
constexpr uint32_t node_words(uint32_t type) { return type < TYPE_COUNT ? table[type].node_words : 0; }

}  // namespace types

constexpr bool is_any_word(uint32_t type) { return types::in_class<types::ANY_WORD>(type); }
constexpr bool is_all_word(uint32_t type) { return types::in_class<types::ALL_WORD>(type); }
constexpr bool is_any_path(uint32_t type) { return types::in_class<types::ANY_PATH>(type); }
constexpr bool is_any_list(uint32_t type) { return types::in_class<types::ANY_LIST>(type); }
constexpr bool is_any_block(uint32_t type) { return types::in_class<types::ANY_BLOCK>(type); }
constexpr bool is_any_string(uint32_t type) { return types::in_class<types::ANY_STRING>(type); }
constexpr bool is_series(uint32_t type) { return types::in_class<types::SERIES>(type); }
constexpr bool is_number(uint32_t type) { return types::in_class<types::NUMBER>(type); }
constexpr bool is_scalar(uint32_t type) { return types::in_class<types::SCALAR>(type); }
constexpr bool is_any_function(uint32_t type) { return types::in_class<types::ANY_FUNCTION>(type); }
constexpr bool is_any_object(uint32_t type) { return types::in_class<types::ANY_OBJECT>(type); }
constexpr bool is_immediate(uint32_t type) { return types::in_class<types::IMMEDIATE>(type); }

// The word kinds that a context binds: every all-word! but issue!, whose
// payload is its symbol alone. types.def gives exactly these a context in
// payload word 1.
constexpr bool is_word_kind(uint32_t type) {
    return is_all_word(type) && (types::node_words(type) & types::W1) != 0;
}

// The types a call dispatches on: any function but op!, which is unwrapped to
// the value it was made from first.
constexpr bool is_callable(uint32_t type) { return is_any_function(type) && type != TYPE_OP; }

}  // namespace vek
