// The Vek heap: one address range reserved at start-up. Everything a cell can
// reach lives in it, so the runtime keeps addresses as 32-bit offsets from
// its base. Offset 0 means none: the first 64 KiB are never handed out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vek {

// An offset into the Vek heap. A distinct type: it never converts silently to
// or from an integer.
enum class Off : uint32_t { none = 0 };

namespace region {

extern std::byte* base;       // start of the reservation
extern uint64_t reserved;     // its size in bytes

// Reserves the range: 4 GiB, halving down to 256 MiB; below that the process
// stops with runtime error 94.
void init();

inline void* ptr(Off o) {
    return o == Off::none ? nullptr : base + uint32_t(o);
}
template <class T> inline T* at(Off o) { return static_cast<T*>(ptr(o)); }

inline Off off(const void* p) {
    return p ? Off(uint32_t(static_cast<const std::byte*>(p) - base)) : Off::none;
}

// The same conversions without the none test, for the hot paths where the
// offset or the address is known to be set: a node's word, the bounds of a
// live buffer, a reference into the evaluation stack. Offset 0 would land in
// the low guard, which is never mapped, so a mistake still faults at once.
template <class T> inline T* at_unchecked(Off o) { return reinterpret_cast<T*>(base + uint32_t(o)); }
inline Off off_unchecked(const void* p) { return Off(uint32_t(static_cast<const std::byte*>(p) - base)); }

inline bool contains(const void* p) {
    auto b = static_cast<const std::byte*>(p);
    return b >= base && b < base + reserved;
}

// Whole pages, committed read-write (and zero-filled) on the way out, given
// back to the system on release; released runs are reused. A request that
// cannot be met returns nullptr.
void* commit_pages(size_t bytes);
void release_pages(void* p, size_t bytes);

// A run of pages, by its offset and length in bytes.
struct Run {
    uint64_t start, length;
};
// The runs handed out and not released, in address order: what an image of
// the heap holds.
std::vector<Run> used_runs();
// Whether the pages below the offset may be handed out in this reservation.
bool holds(uint64_t end);
// Commits the run where it lies, or gives it back, outside the bookkeeping
// of commit_pages: for the pages of a heap image, whose bookkeeping comes
// with it. commit_run answers false when the system refuses.
bool commit_run(const Run& run);
void decommit_run(const Run& run);

constexpr size_t PAGE = 4096;
constexpr size_t LOW_GUARD = 64 * 1024;  // never handed out, so offset 0 stays "none"

}  // namespace region

inline Off operator+(Off o, uint32_t n) { return Off(uint32_t(o) + n); }
inline uint32_t operator-(Off a, Off b) { return uint32_t(a) - uint32_t(b); }

}  // namespace vek
