// The Vek heap's pages: fresh space comes from a bump pointer, released runs
// go to a list kept in address order and coalesced, and are reused first-fit
// so that the low end of the region fills up first.
#include "runtime/memory/region.h"

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "platform/address_space.h"
#include "platform/os.h"
#include "runtime/core/quit.h"
#include "runtime/memory/image_state.h"
#include "runtime/memory/poison.h"

namespace vek::region {

std::byte* base = nullptr;
uint64_t reserved = 0;

namespace {

constexpr uint64_t LARGEST_RESERVATION = uint64_t(4) << 30;
constexpr uint64_t SMALLEST_RESERVATION = uint64_t(256) << 20;
uint64_t fresh = 0;  // offset of the first page never handed out
uint64_t limit = 0;  // the last page is never handed out
std::vector<Run> released;  // in address order, disjoint, never adjacent

uint64_t whole_pages(uint64_t bytes) { return (bytes + PAGE - 1) & ~uint64_t(PAGE - 1); }

// First fit: the lowest released run long enough, cut from its front.
bool take_released(uint64_t bytes, uint64_t& start) {
    for (auto it = released.begin(); it != released.end(); ++it) {
        if (it->length < bytes) continue;
        start = it->start;
        it->start += bytes;
        it->length -= bytes;
        if (it->length == 0) released.erase(it);
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
    auto next = std::lower_bound(released.begin(), released.end(), start,
                                 [](const Run& run, uint64_t at) { return run.start < at; });
    if (next != released.end() && next->start == start + bytes) {
        bytes += next->length;
        next = released.erase(next);
    }
    if (next != released.begin()) {
        auto previous = std::prev(next);
        if (previous->start + previous->length == start) {
            start = previous->start;
            bytes += previous->length;
            next = released.erase(previous);
        }
    }
    if (start + bytes == fresh) {
        fresh = start;
        return;
    }
    released.insert(next, Run{start, bytes});
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
    image_state::keep("region fresh space", fresh);
    image_state::keep_vector("region released runs", released);
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

std::vector<Run> used_runs() {
    std::vector<Run> used;
    uint64_t at = LOW_GUARD;
    for (const Run& run : released) {
        if (run.start > at) used.push_back({at, run.start - at});
        at = run.start + run.length;
    }
    if (fresh > at) used.push_back({at, fresh - at});
    return used;
}

bool holds(uint64_t end) { return end <= limit; }

bool commit_run(const Run& run) { return platform::commit_range(base + run.start, run.length); }

void decommit_run(const Run& run) { platform::decommit_range(base + run.start, run.length); }

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
