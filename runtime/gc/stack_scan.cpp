// The conservative scan of the runtime thread's C++ stack. No compiler tells
// us which slots hold references, so every word is judged by what it points
// at: a 32-bit word that passes the node test marks its buffer; a 64-bit
// word pointing into a buffer marks it and pins it, so that the C++ code
// holding the pointer finds the buffer where it left it.
#include <algorithm>
#include <vector>

#include "platform/runtime_thread.h"
#include "runtime/gc/collector.h"
#include "runtime/gc/internal.h"

namespace vek::gc::detail {

namespace {

// Offsets of candidate interior pointers, resolved once all are gathered.
std::vector<uint32_t> interior;

VEK_UNCHECKED_READ void consider_node(uint32_t word) {
    if (SeriesBuffer* b = buffer_of_node(word)) mark_buffer(b);
}

VEK_UNCHECKED_READ void consider_pointer(uint64_t value) {
    auto base = reinterpret_cast<uint64_t>(region::base);
    if (value < base || value - base >= region::reserved) return;
    auto offset = uint32_t(value - base);
    if (in_node_area(offset)) consider_node(offset);
    else if (span_of(offset)) interior.push_back(offset);
}

VEK_UNCHECKED_READ void gather(uintptr_t low, uintptr_t high) {
    for (uintptr_t a = (low + 3) & ~uintptr_t(3); a + sizeof(uint32_t) <= high; a += sizeof(uint32_t)) {
        auto slot = reinterpret_cast<const void*>(a);
        consider_node(read32(slot));
        if (a % sizeof(uint64_t) == 0 && a + sizeof(uint64_t) <= high) consider_pointer(read64(slot));
    }
}

// A buffer in use is marked with its contents. Any other (abandoned by
// growth, or a filler) is only kept where it is: its contents are stale.
void pin(SeriesBuffer* b) {
    b->flags |= BUF_PINNED;
    if (b->flags & BUF_USED) mark_buffer(b);
    else mark_buffer_only(b);
}

// Candidates are sorted, so each frame is walked once, buffer by buffer,
// while the candidates that fall into it are used up.
void resolve() {
    std::sort(interior.begin(), interior.end());
    auto candidate = interior.begin();
    for (const BufferSpan* s = spans_begin(); s != spans_end() && candidate != interior.end(); s++) {
        while (candidate != interior.end() && *candidate < s->start) ++candidate;
        if (candidate == interior.end() || *candidate >= s->end) continue;
        uint32_t at = s->start;
        while (at < s->end && candidate != interior.end() && *candidate < s->end) {
            auto b = region::at<SeriesBuffer>(Off(at));
            uint32_t next = at + carve_size(b);
            if (*candidate < next) pin(b);
            while (candidate != interior.end() && *candidate < next) ++candidate;
            at = next;
        }
    }
    interior.clear();
}

[[gnu::noinline]] void scan_below_caller() {
    auto low = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
    uintptr_t high = platform::stack_base();
    if (high == 0 || low >= high) return;  // not on the runtime thread
    gather(low, high);
    resolve();
}

}  // namespace

// The callee-saved registers are spilled into this frame, which the scan
// covers since it starts in the callee's; the asm keeps the call from
// becoming a jump that would drop this frame first.
[[gnu::noinline]] void scan_machine_stack() {
    __builtin_unwind_init();
    scan_below_caller();
    asm volatile("" ::: "memory");
}

}  // namespace vek::gc::detail
