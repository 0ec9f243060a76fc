#include "runtime/tables/sort.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "runtime/core/raise.h"
#include "runtime/core/stack.h"
#include "runtime/memory/manager.h"
#include "runtime/memory/series.h"

namespace vek::sort {

namespace {

constexpr uint32_t MIN_RUN = 24;           // shorter natural runs are extended by insertion
constexpr uint32_t INSERTION_LIMIT = 7;    // ranges this small skip partitioning
constexpr uint32_t SCORE_STRIDE = 97;      // one adjacent pair in this many feeds the order score
constexpr uint32_t DISORDER_DIVISOR = 512; // |score| up to count / this: no clear order
constexpr uint32_t REPAIR_STEP = 10;       // items per step of the repair walk
constexpr uint32_t FAR_RANGE = 512;        // ranges this long take their median from the first items
constexpr uint32_t NEAR_SPAN = 63;         // ... from this many of them
constexpr uint32_t WIDEN_DIVISOR = 256;    // a sample of at most count / this is widened
constexpr uint32_t WIDEN_FACTOR = 16;      // ... to this many times its size, less one
constexpr uint32_t LOPSIDED_DIVISOR = 16;  // a part below range / this makes a lopsided split

int compare(const Context& c, const std::byte* a, const std::byte* b) {
    return c.cmp(a, b, c.mode, c.extra);
}

void exchange(const Context& c, std::byte* a, std::byte* b) { swap(a, b, c.width, c.bytewise); }

std::byte* item_at(const Context& c, std::byte* base, uint32_t index) {
    return base + size_t(index) * c.width;
}

uint32_t items_between(const Context& c, const std::byte* first, const std::byte* last) {
    return uint32_t(size_t(last - first) / c.width);
}

// Compares with the operands exchanged, for walking toward a descending order
// with the ascending helpers; extra is the forward context.
int compare_reversed(const void* a, const void* b, int mode, void* extra) {
    const auto* forward = static_cast<const Context*>(extra);
    return forward->cmp(b, a, mode, forward->extra);
}

Context reversed(const Context& c) {
    return Context{c.width, c.bytewise, c.mode, const_cast<Context*>(&c), compare_reversed};
}

void reverse(const Context& c, std::byte* first, std::byte* last) {
    while (last - first >= 2 * ptrdiff_t(c.width)) {
        last -= c.width;
        exchange(c, first, last);
        first += c.width;
    }
}

void exchange_ranges(const Context& c, std::byte* a, std::byte* b, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i, a += c.width, b += c.width) exchange(c, a, b);
}

// Puts the items of [mid, last) first, in their order; those of [first, mid)
// follow in no particular order.
void move_block_front(const Context& c, std::byte* first, std::byte* mid, std::byte* last) {
    uint32_t before = items_between(c, first, mid), moved = items_between(c, mid, last);
    if (before >= moved) {
        exchange_ranges(c, first, mid, moved);
    } else {
        reverse(c, mid, last);
        reverse(c, first, last);
    }
}

// Puts the items of [first, mid) last, in their order; those of [mid, last)
// go before them in no particular order.
void move_block_back(const Context& c, std::byte* first, std::byte* mid, std::byte* last) {
    uint32_t moved = items_between(c, first, mid), after = items_between(c, mid, last);
    if (after >= moved) {
        exchange_ranges(c, first, last - size_t(moved) * c.width, moved);
    } else {
        reverse(c, first, mid);
        reverse(c, first, last);
    }
}

// Moves the item left by adjacent exchanges while its left neighbour sorts
// after it, never past first. Only exchanges: every item is in the array
// whenever the comparison runs, so an error raised there loses none.
void insert_left(const Context& c, std::byte* first, std::byte* item) {
    while (item > first) {
        std::byte* left = item - c.width;
        if (compare(c, left, item) <= 0) return;
        exchange(c, left, item);
        item = left;
    }
}

// [first, sorted_end) is sorted; the items up to end join it.
void insertion_sort(const Context& c, std::byte* first, std::byte* sorted_end, std::byte* end) {
    for (std::byte* item = std::max(sorted_end, first + c.width); item < end; item += c.width)
        insert_left(c, first, item);
}

// ---- merge sort ----

uint32_t merge_buffer_bytes(uint32_t count, uint32_t width) {
    uint64_t bytes = uint64_t(count / 2) * width;
    if (bytes > UINT32_MAX) fire(err::script::too_long);
    return uint32_t(bytes);
}

// A natural run from start, extended to MIN_RUN items (or to n) by insertion.
// Returns its end index.
uint32_t extend_run(const Context& c, std::byte* base, uint32_t start, uint32_t n) {
    std::byte* first = item_at(c, base, start);
    std::byte* run_end = find_run(first, item_at(c, base, n), c);
    uint32_t length = items_between(c, first, run_end);
    uint32_t wanted = std::min(MIN_RUN, n - start);
    if (length >= wanted) return start + length;
    insertion_sort(c, first, run_end, item_at(c, base, start + wanted));
    return start + wanted;
}

// The depth in the implicit merge tree of the boundary between the runs
// [s1, e1) and [e1, e2): one more than the number of leading binary digits
// that the two runs' midpoints, as fractions of n, have in common.
uint32_t node_power(uint64_t s1, uint64_t e1, uint64_t e2, uint64_t n) {
    uint64_t a = s1 + e1, b = e1 + e2;
    uint32_t p = 0;
    while ((a >= n) == (b >= n)) {
        ++p;
        if (a >= n) {
            a -= n;
            b -= n;
        }
        a <<= 1;
        b <<= 1;
    }
    return p + 1;
}

void merge_runs(const Context& c, std::byte* base, uint32_t n, std::byte* buffer) {
    struct Entry {
        uint32_t start;
        uint32_t power;
    };
    // Powers rise strictly up the stack and never exceed the bit length of n,
    // so a 32-bit count needs at most 33 entries.
    std::array<Entry, 33> runs{};
    uint32_t depth = 0;
    uint32_t s1 = 0, e1 = extend_run(c, base, 0, n);
    while (e1 < n) {
        uint32_t e2 = extend_run(c, base, e1, n);
        uint32_t power = node_power(s1, e1, e2, n);
        while (depth > 0 && runs[depth - 1].power > power) {
            --depth;
            merge(item_at(c, base, runs[depth].start), item_at(c, base, s1), item_at(c, base, e1), buffer, c);
            s1 = runs[depth].start;
        }
        runs[depth++] = {s1, power};
        s1 = e1;
        e1 = e2;
    }
    while (depth > 0) {
        --depth;
        merge(item_at(c, base, runs[depth].start), item_at(c, base, s1), item_at(c, base, n), buffer, c);
        s1 = runs[depth].start;
    }
}

// The left run is in the buffer. While merging, the gap in the array between
// the output and the right run's next item is exactly as long as what the
// buffer still holds, so a comparison that raises is answered by filling it.
void merge_from_front(const Context& c, std::byte* left, std::byte* middle, std::byte* end, std::byte* buffer) {
    size_t held = size_t(middle - left);
    std::memcpy(buffer, left, held);
    std::byte* from = buffer;
    std::byte* const buffer_end = buffer + held;
    std::byte* right = middle;
    std::byte* out = left;
    try {
        while (from < buffer_end && right < end) {
            if (compare(c, from, right) <= 0) {
                std::memcpy(out, from, c.width);
                from += c.width;
            } else {
                std::memcpy(out, right, c.width);
                right += c.width;
            }
            out += c.width;
        }
    } catch (...) {
        std::memcpy(out, from, size_t(buffer_end - from));
        throw;
    }
    std::memcpy(out, from, size_t(buffer_end - from));
}

// The right run is in the buffer and the merge fills the array from the back;
// the gap then lies between the left run's next item and the output.
void merge_from_back(const Context& c, std::byte* left, std::byte* middle, std::byte* end, std::byte* buffer) {
    size_t held = size_t(end - middle);
    std::memcpy(buffer, middle, held);
    std::byte* from = buffer + held;  // one past the buffer's next item
    std::byte* l = middle;            // one past the left run's next item
    std::byte* out = end;
    try {
        while (from > buffer && l > left) {
            bool left_goes = compare(c, l - c.width, from - c.width) > 0;
            out -= c.width;
            if (left_goes) {
                l -= c.width;
                std::memcpy(out, l, c.width);
            } else {
                from -= c.width;
                std::memcpy(out, from, c.width);
            }
        }
    } catch (...) {
        std::memcpy(l, buffer, size_t(from - buffer));
        throw;
    }
    std::memcpy(l, buffer, size_t(from - buffer));
}

// ---- quicksort ----

struct Order {
    uint32_t prefix;  // items from the base that keep one direction
    int direction;    // of the prefix: 1 ascending, -1 descending, 0 all equal
    int64_t score;
};

int sign_of_order(int comparison) { return (comparison < 0) - (comparison > 0); }

Order measure_order(const Context& c, std::byte* base, uint32_t n) {
    Order order{1, 0, 0};
    for (; order.prefix < n; ++order.prefix) {
        int step = sign_of_order(compare(c, item_at(c, base, order.prefix - 1), item_at(c, base, order.prefix)));
        if (order.direction == 0) {
            order.direction = step;
        } else if (step == -order.direction) {
            break;
        }
    }
    order.score = int64_t(order.prefix) * order.direction;
    for (uint64_t pair = uint64_t(order.prefix) - 1 + SCORE_STRIDE; pair + 1 < n; pair += SCORE_STRIDE)
        order.score += sign_of_order(compare(c, item_at(c, base, uint32_t(pair)), item_at(c, base, uint32_t(pair + 1))));
    return order;
}

// The stretch at the start of a repair step that runs against the order is
// reversed.
void reverse_stretch(const Context& c, std::byte* base, uint32_t start, uint32_t step_end) {
    uint32_t end = start + 1;
    while (end < step_end && compare(c, item_at(c, base, end - 1), item_at(c, base, end)) > 0) ++end;
    if (end - start >= 2) reverse(c, item_at(c, base, start), item_at(c, base, end));
}

// Joins the item at index x to the sorted run before it when it belongs at
// most REPAIR_STEP places back; false, with nothing moved, when it belongs
// further back.
bool join_run(const Context& c, std::byte* base, uint32_t x) {
    std::byte* item = item_at(c, base, x);
    std::byte* left = item - c.width;
    if (compare(c, left, item) <= 0) return true;
    if (x > REPAIR_STEP && compare(c, item_at(c, base, x - REPAIR_STEP - 1), item) > 0) return false;
    exchange(c, left, item);
    insert_left(c, base, left);
    return true;
}

// Extends the sorted run [0, run) through the array in steps, mending small
// disorder on the way; returns where the run ends.
uint32_t repair_walk(const Context& c, std::byte* base, uint32_t n, uint32_t run) {
    while (run < n) {
        uint32_t step_end = run + std::min(REPAIR_STEP, n - run);
        reverse_stretch(c, base, run, step_end);
        for (; run < step_end; ++run)
            if (!join_run(c, base, run)) return run;
    }
    return n;
}

// The array is clearly ordered one way: walks that way from the base, then
// turns the run found ascending. Returns its length.
uint32_t repair(const Context& c, std::byte* base, uint32_t n, const Order& order) {
    int direction = order.score > 0 ? 1 : -1;
    uint32_t run = order.direction == direction || order.direction == 0 ? order.prefix : 1;
    if (direction > 0) return repair_walk(c, base, n, run);
    run = repair_walk(reversed(c), base, n, run);
    reverse(c, base, item_at(c, base, run));
    return run;
}

// The parts a partition leaves to sort: [0, left_count) and [right_start, n),
// each starting with a sorted run of the given length.
struct Split {
    uint32_t left_count, left_ordered;
    uint32_t right_start, right_ordered;
};

// Three-way partition of [0, n) around the pivot at p. [0, p) holds a sorted
// run of items that do not sort after the pivot, [h, n) a sorted run of items
// that do not sort before it; the rest is unknown. Items equal to the pivot
// end up together between the parts, which start with what remains of those
// runs.
Split partition(const Context& c, std::byte* base, uint32_t p, uint32_t h, uint32_t n) {
    std::byte* pivot = item_at(c, base, p);
    auto at = [&](uint32_t i) { return item_at(c, base, i); };
    uint32_t equal_end = p + 1;  // equal items gather right after the pivot
    uint32_t i = p + 1, j = h;   // [i, j) is still unknown
    for (;;) {
        while (i < j) {
            int r = compare(c, at(i), pivot);
            if (r > 0) break;
            if (r == 0) exchange(c, at(i), at(equal_end++));
            ++i;
        }
        if (i == j) break;
        int r = 1;  // at(i) sorts after the pivot: look for a partner from the right
        while (j - 1 > i) {
            r = compare(c, at(j - 1), pivot);
            if (r <= 0) break;
            --j;
        }
        if (j - 1 == i) {
            j = i;
            break;
        }
        exchange(c, at(i), at(--j));
        if (r == 0) exchange(c, at(i), at(equal_end++));
        ++i;
    }
    // Now: [lo | pivot, equals | less | greater | hi], the less-greater boundary at i.
    uint32_t lo_end = p;
    while (lo_end > 0 && compare(c, at(lo_end - 1), pivot) == 0) --lo_end;
    uint32_t hi_start = h;
    while (hi_start < n && compare(c, at(hi_start), pivot) == 0) ++hi_start;

    uint32_t less = i - equal_end;
    exchange_ranges(c, at(lo_end), at(i - std::min(equal_end - lo_end, less)), std::min(equal_end - lo_end, less));
    uint32_t greater = h - i, hi_equal = hi_start - h;
    exchange_ranges(c, at(i), at(hi_start - std::min(greater, hi_equal)), std::min(greater, hi_equal));

    Split split{lo_end + less, lo_end, i + hi_equal, 0};
    if (n - hi_start >= 3) {
        move_block_front(c, at(split.right_start), at(hi_start), at(n));
        split.right_ordered = n - hi_start;
    }
    return split;
}

void exchange_in(const Context& c, std::byte* a, std::byte* b) {
    if (compare(c, a, b) > 0) exchange(c, a, b);
}

// Pivot: the median of the first item, the middle one and the last one,
// sorted into positions 0, 1 and n - 1, which then need no partitioning.
// Long ranges take the middle and last of their first NEAR_SPAN items unless
// the whole range is to be spanned.
Split split_by_median(const Context& c, std::byte* base, uint32_t n, bool whole_range) {
    uint32_t span = n >= FAR_RANGE && !whole_range ? NEAR_SPAN : n;
    std::byte* first = base;
    std::byte* second = item_at(c, base, 1);
    std::byte* last = item_at(c, base, n - 1);
    exchange(c, second, item_at(c, base, span / 2));
    if (span < n) exchange(c, item_at(c, base, span - 1), last);
    exchange_in(c, first, second);
    if (compare(c, second, last) > 0) {
        exchange(c, second, last);
        exchange_in(c, first, second);
    }
    return partition(c, base, 1, n - 1, n);
}

void quick_sort_range(const Context& c, std::byte* base, uint32_t ordered, uint32_t n, bool lopsided = false);

// Brings sample - ordered items, spread evenly over the rest of the range,
// next to the ordered ones.
void gather_sample(const Context& c, std::byte* base, uint32_t ordered, uint32_t sample, uint32_t n) {
    uint32_t wanted = sample - ordered;
    uint32_t stride = (n - ordered) / wanted;
    for (uint32_t t = 1; t < wanted; ++t)
        exchange(c, item_at(c, base, ordered + t), item_at(c, base, ordered + t * stride));
}

// Pivot: the middle item of the sorted sample at the start (widened first
// when small for the range); the sample's halves stay sorted as the leading
// items of the two parts.
Split split_by_sample(const Context& c, std::byte* base, uint32_t ordered, uint32_t n) {
    uint32_t sample = ordered;
    if (ordered <= n / WIDEN_DIVISOR) {
        sample = WIDEN_FACTOR * ordered - 1;
        gather_sample(c, base, ordered, sample, n);
        quick_sort_range(c, base, ordered, sample);
    }
    uint32_t middle = sample / 2;
    uint32_t upper = sample - middle - 1;
    move_block_back(c, item_at(c, base, middle + 1), item_at(c, base, sample), item_at(c, base, n));
    return partition(c, base, middle, n - upper, n);
}

// Sorts [0, n), whose first `ordered` items are already sorted. Recursion
// takes the smaller part, so the depth stays logarithmic.
//
// Pivots drawn from the front of a range (a sorted leading run, or the first
// NEAR_SPAN items) are poor when the range is itself largely in order: each
// split would then peel off a sliver, and the sort turn quadratic. So after a
// lopsided split the larger part takes its pivot from its first, middle and
// last items instead, which splits an ordered range evenly.
void quick_sort_range(const Context& c, std::byte* base, uint32_t ordered, uint32_t n, bool lopsided) {
    while (ordered < n) {
        if (n <= INSERTION_LIMIT) {
            insertion_sort(c, base, item_at(c, base, ordered), item_at(c, base, n));
            return;
        }
        Split split = lopsided       ? split_by_median(c, base, n, true)
                      : ordered >= 3 ? split_by_sample(c, base, ordered, n)
                                     : split_by_median(c, base, n, false);
        std::byte* right = item_at(c, base, split.right_start);
        uint32_t right_count = n - split.right_start;
        lopsided = std::min(split.left_count, right_count) < n / LOPSIDED_DIVISOR;
        if (split.left_count < right_count) {
            quick_sort_range(c, base, split.left_ordered, split.left_count);
            base = right;
            n = right_count;
            ordered = split.right_ordered;
        } else {
            quick_sort_range(c, right, split.right_ordered, right_count);
            n = split.left_count;
            ordered = split.left_ordered;
        }
    }
}

}  // namespace

Context make_context(uint32_t width, int mode, void* extra, Compare cmp) {
    return Context{width, width % 4 != 0, mode, extra, cmp};
}

void swap(void* a, void* b, uint32_t width, bool bytewise) {
    auto* p = static_cast<std::byte*>(a);
    auto* q = static_cast<std::byte*>(b);
    if (bytewise) {
        for (uint32_t i = 0; i < width; ++i) std::swap(p[i], q[i]);
        return;
    }
    for (uint32_t i = 0; i < width; i += 4) {
        uint32_t x, y;
        std::memcpy(&x, p + i, 4);
        std::memcpy(&y, q + i, 4);
        std::memcpy(p + i, &y, 4);
        std::memcpy(q + i, &x, 4);
    }
}

std::byte* find_run(std::byte* start, std::byte* end, const Context& ctx) {
    std::byte* last = start + ctx.width;  // the run's last item so far
    if (last >= end) return end;
    bool descending = compare(ctx, start, last) > 0;
    for (; last + ctx.width < end; last += ctx.width) {
        bool after = compare(ctx, last, last + ctx.width) > 0;
        if (after != descending) break;
    }
    std::byte* run_end = last + ctx.width;
    if (descending) reverse(ctx, start, run_end);
    return run_end;
}

void merge(std::byte* left, std::byte* middle, std::byte* end, std::byte* buffer, const Context& ctx) {
    if (end - middle < middle - left)
        merge_from_back(ctx, left, middle, end, buffer);
    else
        merge_from_front(ctx, left, middle, end, buffer);
}

void merge_sort(void* base, uint32_t count, uint32_t width, int mode, void* extra, Compare cmp) {
    if (count < 2) return;
    uint32_t bytes = merge_buffer_bytes(count, width);
    std::unique_ptr<std::byte, decltype(&std::free)> buffer(static_cast<std::byte*>(std::malloc(bytes)), &std::free);
    if (!buffer) fire(err::internal::no_memory);
    merge_runs(make_context(width, mode, extra, cmp), static_cast<std::byte*>(base), count, buffer.get());
}

void merge_sort_cells(Cell* base, uint32_t count, int mode, void* extra, Compare cmp, uint32_t record_cells) {
    if (count < 2) return;
    uint32_t width = record_cells * uint32_t(sizeof(Cell));
    uint32_t held = merge_buffer_bytes(count, width) / uint32_t(sizeof(Cell));
    Node node = memory::alloc_unset_cells(held);
    *stack::push_cell() = series_cell(TYPE_BLOCK, node);
    // A pointer to the buffer in this frame pins it: the collector neither
    // frees nor moves it while a comparison runs, so the merge may keep raw
    // addresses into it. Mid-merge some cells live only in the buffer: the
    // tail covers them all, so the collector marks what they refer to.
    SeriesBuffer* volatile pinned = node_buffer(node);
    pinned->tail = pinned->offset + held * uint32_t(sizeof(Cell));
    merge_runs(make_context(width, mode, extra, cmp), reinterpret_cast<std::byte*>(base), count, pinned->first());
    stack::pop(1);
}

void quick_sort(void* base, uint32_t count, uint32_t width, int mode, void* extra, Compare cmp) {
    if (count < 2) return;
    Context c = make_context(width, mode, extra, cmp);
    auto* items = static_cast<std::byte*>(base);
    Order order = measure_order(c, items, count);
    uint32_t ordered;
    if (uint64_t(order.score < 0 ? -order.score : order.score) <= count / DISORDER_DIVISOR) {
        if (order.direction < 0) reverse(c, items, item_at(c, items, order.prefix));
        ordered = order.prefix;
    } else {
        ordered = repair(c, items, count, order);
    }
    quick_sort_range(c, items, ordered, count);
}

}  // namespace vek::sort
