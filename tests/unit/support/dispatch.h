// Reaching the datatypes' actions from tests as runtime code does, through
// the typed dispatchers (runtime/actions/dispatch.h). make and to find their
// datatype in a prototype cell; these helpers write it.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>

#include "runtime/actions/dispatch.h"
#include "runtime/core/cell.h"
#include "runtime/core/registry.h"

namespace vek::test {

// make and to of the datatype `type` from the spec. out receives the
// prototype, which the action overwrites when it writes its answer in place;
// the action's answer is returned.
inline Cell* make_as(uint32_t type, const Cell* spec, Cell* out) {
    *out = Cell{TYPE_DATATYPE, type, 0, 0};
    return actions::make(out, spec);
}
inline Cell* to_as(uint32_t type, const Cell* spec, Cell* out) {
    *out = Cell{TYPE_DATATYPE, type, 0, 0};
    return actions::to(out, spec);
}

// The datatype's entry for the slot, with the slot's signature: for a test
// that hands an implementation operands its first argument's own datatype
// would not send it (float!'s arithmetic with a time! on the left, which
// time! does not register).
template <registry::Slot slot>
typename actions::SlotSignature<slot>::type entry_of(uint32_t type) {
    return reinterpret_cast<typename actions::SlotSignature<slot>::type>(registry::action(type, slot));
}

// append and insert (append false), and change, through their dispatchers
// with the counts their implementations take: part -1 for no /part, dup at
// least 1.
inline void insert_counted(Cell* series, Cell* value, int32_t part, bool only, int32_t dup, bool append) {
    const Cell part_count{TYPE_INTEGER, 0, uint32_t(part), 0}, dup_count{TYPE_INTEGER, 0, uint32_t(dup), 0};
    auto dispatch = append ? actions::append : actions::insert;
    dispatch(series, value, part < 0 ? nullptr : &part_count, only, &dup_count);
}
inline void change_counted(Cell* series, Cell* value, int32_t part, bool only, int32_t dup) {
    const Cell part_count{TYPE_INTEGER, 0, uint32_t(part), 0}, dup_count{TYPE_INTEGER, 0, uint32_t(dup), 0};
    actions::change(series, value, part < 0 ? nullptr : &part_count, only, &dup_count);
}

// That the type's entry for the slot is the owner's own implementation (the
// owner may be the type itself): the owner's entry, implemented, and not the
// one of the owner's parent. An owner of 0: the type has no entry there.
inline testing::AssertionResult entry_owned_by(uint32_t type, registry::Slot slot, uint32_t owner) {
    registry::ActionFn entry = registry::action(type, slot);
    if (owner == 0) {
        if (entry == nullptr) return testing::AssertionSuccess();
        return testing::AssertionFailure() << "type " << type << " has an entry in slot " << slot;
    }
    bool own = registry::implemented(entry) && entry == registry::action(owner, slot) &&
               entry != registry::action(types::table[owner].parent, slot);
    if (own) return testing::AssertionSuccess();
    return testing::AssertionFailure() << "slot " << slot << " of type " << type << " is not type " << owner
                                       << "'s own";
}

}  // namespace vek::test
