// The datatype registry: every datatype module registers its datatype's id
// with a row of its 62 action entries; the name and the parent come from the
// type list (runtime/core/types.def). The registry keeps the action table
// that the action dispatchers index by (datatype id, slot) and the name table
// used to form and mold datatype values.
#pragma once

#include <array>
#include <cstdint>

#include "runtime/core/cell.h"

namespace vek::registry {

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

}  // namespace vek::registry

namespace vek::actions {
// The function type of the slot's implementations, as its member `type`:
// defined for every slot but empty, beside the slot signatures in
// runtime/actions/dispatch.h.
template <registry::Slot slot>
struct SlotSignature;
}  // namespace vek::actions

namespace vek::registry {

// A row of action entries under construction, whose entries were set in slot
// order up to slot `last`. Each step names its slot and answers a new row, so
// the compiler checks both that the entry has the slot's signature and that
// the slot comes after the last one set:
//   register_type(TYPE_PAIR, Row().set<SLOT_FORM>(form).set<SLOT_MOLD>(mold));
// A slot the steps skip keeps its starting entry: none in Row(), the parent's
// in Row::inheriting().
template <uint32_t last>
class OrderedRow {
public:
    // Every entry INHERIT.
    static OrderedRow inheriting() requires(last == 0) {
        OrderedRow row;
        row.entries_.fill(INHERIT);
        return row;
    }

    template <Slot slot>
        requires(slot > last)
    [[nodiscard]] OrderedRow<slot> set(typename actions::SlotSignature<slot>::type implementation) const {
        return with<slot, slot>(as_action(implementation));
    }
    // The parent's entry.
    template <Slot slot>
        requires(slot > last)
    [[nodiscard]] OrderedRow<slot> inherit() const {
        return with<slot, slot>(INHERIT);
    }
    // The parent's entries from slot first to slot final, both included.
    template <Slot first, Slot final>
        requires(first > last && final >= first)
    [[nodiscard]] OrderedRow<final> inherit_range() const {
        return with<first, final>(INHERIT);
    }
    // No implementation, where the row started from the parent's.
    template <Slot slot>
        requires(slot > last)
    [[nodiscard]] OrderedRow<slot> omit() const {
        return with<slot, slot>(nullptr);
    }

    const ActionRow& entries() const { return entries_; }

private:
    template <uint32_t>
    friend class OrderedRow;

    template <Slot first, Slot final>
    OrderedRow<final> with(ActionFn entry) const {
        OrderedRow<final> next;
        next.entries_ = entries_;
        for (uint32_t slot = first; slot <= final; slot++) next.entries_[slot - 1] = entry;
        return next;
    }

    ActionRow entries_{};
};

// The row nothing is set in yet.
using Row = OrderedRow<0>;

// What the registry takes in for a datatype. The datatypes of the type list
// make theirs from an OrderedRow (register_type below).
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
// Registers the datatype. Its parent must be registered first: the record's
// INHERIT entries take the parent's entries then.
void register_type(const DatatypeRecord& record);
// Registers the datatype `id` of the type list with its row of entries,
// under the name and the parent that the list gives it.
template <uint32_t last>
void register_type(uint32_t id, const OrderedRow<last>& row) {
    register_type(DatatypeRecord{id, types::table[id].parent, types::table[id].name, row.entries()});
}
// Once the global context exists: the name's word of every registered type,
// made in the global context, its symbol kept in the name table.
void make_words();

}  // namespace vek::registry
