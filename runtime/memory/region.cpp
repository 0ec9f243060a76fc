// The Vek heap's pages: fresh space comes from a bump pointer, released runs
// go to a list kept in address order and coalesced, and are reused first-fit
// so that the low end of the region fills up first.
#include "runtime/memory/region.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>

#include "platform/address_space.h"
#include "platform/os.h"
#include "runtime/core/quit.h"
#include "runtime/memory/poison.h"

namespace vek::region {

std::byte* base = nullptr;
uint64_t reserved = 0;

namespace {

constexpr uint64_t LARGEST_RESERVATION = uint64_t(4) << 30;
constexpr uint64_t SMALLEST_RESERVATION = uint64_t(256) << 20;
uint64_t fresh = 0;  // offset of the first page never handed out
uint64_t limit = 0;  // the last page is never handed out
std::map<uint64_t, uint64_t> released;  // offset -> length, disjoint, never adjacent

uint64_t whole_pages(uint64_t bytes) { return (bytes + PAGE - 1) & ~uint64_t(PAGE - 1); }

// First fit: the lowest released run long enough, cut from its front.
bool take_released(uint64_t bytes, uint64_t& start) {
    for (auto it = released.begin(); it != released.end(); ++it) {
        if (it->second < bytes) continue;
        start = it->first;
        uint64_t rest = it->second - bytes;
        released.erase(it);
        if (rest) released.emplace(start + bytes, rest);
        return true;
    }
    return false;
}

bool take_fresh(uint64_t bytes, uint64_t& start) {
    if (bytes > limit - fresh) return false;
    start = fresh;
    fresh += bytes;
    return true;
}

// Merges the run with its neighbours; a run that ends at the fresh space
// goes back to it instead.
void add_released(uint64_t start, uint64_t bytes) {
    auto next = released.lower_bound(start);
    if (next != released.end() && next->first == start + bytes) {
        bytes += next->second;
        next = released.erase(next);
    }
    if (next != released.begin()) {
        auto previous = std::prev(next);
        if (previous->first + previous->second == start) {
            start = previous->first;
            bytes += previous->second;
            released.erase(previous);
        }
    }
    if (start + bytes == fresh) {
        fresh = start;
        return;
    }
    released.emplace(start, bytes);
}

// The size tried first. Tests cap it with VEK_HEAP_MB (megabytes) so that
// exhausting the heap is quick; a cap below the smallest size is tried alone.
uint64_t first_reservation() {
    std::optional<std::string> text = platform::get_env("VEK_HEAP_MB");
    uint64_t megabytes = text ? std::strtoull(text->c_str(), nullptr, 10) : 0;
    return megabytes > 0 && megabytes < (LARGEST_RESERVATION >> 20) ? megabytes << 20 : LARGEST_RESERVATION;
}

}  // namespace

// A second call keeps the first reservation, so tests may bring memory up
// whether or not the runtime already did.
void init() {
    if (base) return;
    uint64_t first = first_reservation();
    for (uint64_t size = first; size >= std::min(first, SMALLEST_RESERVATION); size /= 2) {
        if (void* p = platform::reserve_address_space(size)) {
            base = static_cast<std::byte*>(p);
            reserved = size;
            fresh = LOW_GUARD;
            limit = size - PAGE;
            return;
        }
    }
    quit_with_status(ERROR_OUT_OF_MEMORY, uintptr_t(__builtin_return_address(0)));
}

void* commit_pages(size_t bytes) {
    if (bytes == 0) return nullptr;
    uint64_t length = whole_pages(bytes);
    uint64_t start = 0;
    if (!take_released(length, start) && !take_fresh(length, start)) return nullptr;
    std::byte* p = base + start;
    if (!platform::commit_range(p, length)) {
        add_released(start, length);
        return nullptr;
    }
    // Pages handed out again may still carry poison from their last use.
    poison::allow(p, length);
    return p;
}

void release_pages(void* p, size_t bytes) {
    uint64_t length = whole_pages(bytes);
    uint64_t start = uint64_t(static_cast<std::byte*>(p) - base);
    // Pages the system would not take back may still hold data; they are never
    // handed out again, since a fresh commit promises zeros.
    if (!platform::decommit_range(p, length)) return;
    add_released(start, length);
}

}  // namespace vek::region
