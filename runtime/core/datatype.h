// The datatype registry: every datatype module registers one record with its
// id, its parent's id, its name and its 62 action entries. The registry keeps
// the action table that the action dispatchers index by (datatype id, slot)
// and the name table used to form and mold datatype values.
//
// Also here: the datatype! datatype itself (id 1), from
// runtime/datatypes/datatype.cpp.
#pragma once

#include <array>
#include <cstdint>

#include "runtime/core/cell.h"

namespace vek::datatype {

constexpr uint32_t ACTION_SLOTS = 62;

// Action slots are numbered from 1; entry s - 1 of a row holds slot s.
enum Slot : uint32_t {
    SLOT_MAKE = 1, SLOT_RANDOM, SLOT_REFLECT, SLOT_TO, SLOT_FORM, SLOT_MOLD,
    SLOT_EVAL_PATH, SLOT_EMPTY, SLOT_COMPARE, SLOT_ABSOLUTE, SLOT_ADD, SLOT_DIVIDE,
    SLOT_MULTIPLY, SLOT_NEGATE, SLOT_POWER, SLOT_REMAINDER, SLOT_ROUND, SLOT_SUBTRACT,
    SLOT_EVEN, SLOT_ODD, SLOT_AND, SLOT_COMPLEMENT, SLOT_OR, SLOT_XOR,
    SLOT_APPEND, SLOT_AT, SLOT_BACK, SLOT_CHANGE, SLOT_CLEAR, SLOT_COPY,
    SLOT_FIND, SLOT_HEAD, SLOT_HEAD_Q, SLOT_INDEX_Q, SLOT_INSERT, SLOT_LENGTH_Q,
    SLOT_MOVE, SLOT_NEXT, SLOT_PICK, SLOT_POKE, SLOT_PUT, SLOT_REMOVE,
    SLOT_REVERSE, SLOT_SELECT, SLOT_SORT, SLOT_SKIP, SLOT_SWAP, SLOT_TAIL,
    SLOT_TAIL_Q, SLOT_TAKE, SLOT_TRIM, SLOT_CREATE, SLOT_CLOSE, SLOT_DELETE,
    SLOT_MODIFY, SLOT_OPEN, SLOT_OPEN_Q, SLOT_QUERY, SLOT_READ, SLOT_RENAME,
    SLOT_UPDATE, SLOT_WRITE,
};

// An action entry. Each slot has its own real signature: the dispatcher casts
// the entry back to it before calling.
using ActionFn = void (*)();

template <class F>
ActionFn as_action(F* function) { return reinterpret_cast<ActionFn>(function); }

// Never called: its address marks an entry that takes the parent's.
void inherit();
inline constexpr ActionFn INHERIT = &inherit;

// nullptr in an entry: the datatype has no implementation of that action. A
// record's INHERIT is replaced by the parent's entry at registration; a type
// without a parent keeps INHERIT in its row, which dispatch must treat as no
// implementation (see implemented()).
using ActionRow = std::array<ActionFn, ACTION_SLOTS>;

struct DatatypeRecord {
    uint32_t id;      // below TYPE_COUNT
    uint32_t parent;  // 0 for none; registered before its children
    const char* name;  // such as "datatype!"; static storage
    ActionRow actions;
};

struct NameEntry {
    const char* name;
    uint32_t length;  // without the final "!"
    uint32_t word;    // symbol of the name's word in the global context; 0 until made
};

extern std::array<ActionRow, TYPE_COUNT> action_table;
extern std::array<NameEntry, TYPE_COUNT> name_table;
extern uint32_t highest_id;  // highest registered type id

inline ActionFn action(uint32_t type, uint32_t slot) { return action_table[type][slot - 1]; }
inline bool implemented(ActionFn entry) { return entry != nullptr && entry != INHERIT; }

// Empties both tables.
void init_tables();
void register_type(const DatatypeRecord& record);
// Once the global context exists: the name's word of every registered type,
// made in the global context, its symbol kept in the name table.
void make_words();

// datatype! -----------------------------------------------------------------

// The id of the datatype a datatype! names: its payload word 1.
inline uint32_t id(const Cell* datatype) {
    VEK_CHECK_LAYOUT(datatype, type_in<TYPE_DATATYPE>);
    return datatype->data1;
}

// Registers datatype!.
void init();
// A datatype! value (header 1, payload word 1 = id) pushed on the evaluation
// stack.
Cell* push(uint32_t id);
// A datatype! value appended at the tail of the block.
Cell* append_to(const Cell* block, uint32_t id);

// Slots 5 and 6. form appends the name without its "!"; mold the whole name,
// with all wrapped as #(name). Both answer the limit lowered by what they
// appended.
int32_t form(const Cell* value, const Cell* buffer, const Cell* part, int32_t limit);
int32_t mold(const Cell* value, const Cell* buffer, bool only, bool all, bool flat,
             const Cell* part, int32_t limit, int32_t indent);

// Slot 9. For the equality kinds of comparison (ops 0, 1, 2, 9 and 12): 0 when
// value2 is a datatype! of the same id, else 1. Any other op: -2, not
// comparable.
int32_t compare(const Cell* value1, const Cell* value2, int32_t op);

}  // namespace vek::datatype
