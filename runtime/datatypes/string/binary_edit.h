// binary!'s editing and bitwise actions, registered by binary.cpp. Each has
// its slot's signature (runtime/actions/dispatch.h); the edits tell an owner
// of the series before and after they change it.
#pragma once

#include <cstdint>

#include "runtime/actions/dispatch.h"
#include "runtime/core/cell.h"

namespace vek::binary {

// append and insert: the value's bytes (value_bytes in insert mode, part
// limiting them) written dup times at the tail or the head. append leaves
// the series at its head, insert just past the new bytes. A size past the
// buffer's reach raises internal no-memory before anything changes.
void insert(Cell* series, Cell* value, int32_t part, bool only, int32_t dup, bool append);
// The bytes from the head (part of them, or as many as are written) replaced
// by the value's bytes (value_bytes in change mode) dup times; the series
// comes back just past them. Sizes as for insert.
void change(Cell* series, Cell* value, int32_t part, bool only, int32_t dup);
// With /with the bytes of the set go, with /all every 0 byte, else the 0
// bytes at the ends (trim_zeros). /auto and /lines raise internal not-done.
void trim(Cell* series, const actions::TrimArgs& args);
// and~, or~, xor~: the second operand must be a binary! (else script
// invalid-arg). value1 receives a new binary! as long as the longer operand.
Cell* and_(Cell* value1, Cell* value2);
Cell* or_(Cell* value1, Cell* value2);
Cell* xor_(Cell* value1, Cell* value2);
// Inverts every byte from the head to the tail in place.
Cell* complement(Cell* value);

// Removes the 0 bytes at the head unless only tail is set, at the tail
// unless only head is set; what remains moves down to the head.
void trim_zeros(Cell* series, bool head, bool tail);

}  // namespace vek::binary
