// handle!: an opaque 32-bit value standing for a resource of the operating
// system or of a backend: a POSIX file descriptor (kind fd) or an index into
// one of the backend's tables (a monitor, a window, a font, a rich-text
// layout). Runtime and backend code make handles; scripts print and compare
// them but can neither make them nor compute with them.
//
// Cell layout: word 1 the kind (an index into the kind names below), word 2
// the value, word 3 the slot in the externals table that keeps the resource
// alive, -1 when it has none (what the constructors below write).
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"

namespace vek::handle {

// What a handle stands for; null has no name in the text forms.
enum class Kind : uint32_t { null = 0, fd = 1, monitor = 2, window = 3, font = 4, rich_text = 5 };

// A handle! of the kind and value, its slot in the externals table none (-1).
constexpr Cell cell(Kind kind, int32_t value) { return Cell{TYPE_HANDLE, uint32_t(kind), uint32_t(value), uint32_t(-1)}; }

inline Kind kind(const Cell* handle) {
    VEK_CHECK_LAYOUT(handle, type_in<TYPE_HANDLE>);
    return Kind(handle->data1);
}
inline int32_t value(const Cell* handle) {
    VEK_CHECK_LAYOUT(handle, type_in<TYPE_HANDLE>);
    return int32_t(handle->data2);
}
// The slot in the externals table, negative for none.
inline int32_t external_slot(const Cell* handle) {
    VEK_CHECK_LAYOUT(handle, type_in<TYPE_HANDLE>);
    return int32_t(handle->data3);
}

// Writes a handle of the value and kind into the cell (its flags dropped)
// and returns the cell.
Cell* make_at(Cell* cell, int32_t value, Kind kind);
// make_at on the current call's result cell.
Cell* box(int32_t value, Kind kind);
// make_at on a new cell at the tail of the block; the returned cell stays
// valid until the next call that may allocate.
Cell* make_in(const Cell* block, int32_t value, Kind kind);
// make_at on a new cell pushed on the evaluation stack.
Cell* push(int32_t value, Kind kind);
// The null handle (value 0, kind null) pushed on the evaluation stack.
Cell* push_null();

// Registers handle!; integer! must be registered first.
void init();

}  // namespace vek::handle
