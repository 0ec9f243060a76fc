// The C++ values that a heap image keeps beside the heap. A module whose
// start-up leaves C++ globals naming heap objects (nodes, cells, symbol ids,
// counters, raw pointers into the region) declares them here, at every start,
// beside its collector root: the boot from source fills them, and an image
// of the booted heap carries their bytes so that a run mapped from it can put
// them back. Raw pointers are kept as offsets from the region's base, which
// differs from run to run. The dump shows every declared value, so that two
// boots can be compared value by value.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <type_traits>
#include <vector>

namespace vek::image_state {

// Declares the value's bytes. Declaring a name again points it at the new
// address (tests start the runtime many times).
void keep_bytes(const char* name, void* value, uint32_t size);
template <class T> void keep(const char* name, T& value) {
    static_assert(std::is_trivially_copyable_v<T>, "an image keeps plain bytes");
    keep_bytes(name, &value, uint32_t(sizeof value));
}

// Declares a raw pointer into the region, kept as its offset.
void keep_pointer_at(const char* name, void* pointer);
template <class T> void keep_pointer(const char* name, T*& pointer) { keep_pointer_at(name, &pointer); }

// The declared values in declaration order, each as its size and its bytes.
std::vector<uint8_t> save();
// Puts saved values back. False, changing nothing, when the saved values do
// not fit the declarations (an image that another program made).
bool restore(std::span<const uint8_t> saved);

// One line per declared value: its name, then its bytes in hexadecimal.
std::string dump();

}  // namespace vek::image_state
