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

// Action slots are numbered from 1; entry s - 1 of a row holds slot s.
enum Slot : uint32_t {
#define X(slot, NAME, word, entry, spec) SLOT_##NAME = slot,
#include "runtime/actions/actions.def"
#undef X
};

constexpr uint32_t ACTION_SLOTS = 0
#define X(slot, NAME, word, entry, spec) +1
#include "runtime/actions/actions.def"
#undef X
    ;

// Whether actions.def numbers its rows 1, 2, 3...: the tables built from it
// by position rely on it.
constexpr bool slots_numbered_in_order() {
    const uint32_t slots[] = {
#define X(slot, NAME, word, entry, spec) slot,
#include "runtime/actions/actions.def"
#undef X
    };
    for (uint32_t i = 0; i < ACTION_SLOTS; i++)
        if (slots[i] != i + 1) return false;
    return true;
}
static_assert(slots_numbered_in_order(), "actions.def lists the slots in order from 1");

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
