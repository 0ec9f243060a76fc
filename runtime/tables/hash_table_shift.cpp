// Keeping a hash! index in step with its block when cells are inserted,
// removed or moved inside it: the stored positions change, and the position
// array (cell -> bucket) follows the cells.
#include <algorithm>
#include <cstring>
#include <vector>

#include "runtime/tables/hash_table.h"
#include "runtime/tables/hash_table_layout.h"

namespace vek::hash_table {

using namespace layout;

namespace {

// Removes the |delta| cells before index from the index, or opens -1 entries
// for delta new cells at index, and moves the entries of the count cells
// from index by delta.
void move_position_entries(Node table, int32_t delta, uint32_t index, uint32_t count) {
    if (delta < 0) {
        uint32_t gone = uint32_t(-int64_t(delta));
        for (uint32_t pos = index - gone; pos < index; pos++) remove_position(table, pos);
    } else {
        extend_array(positions(record(table)), uint32_t(uint64_t(index) + uint32_t(delta) + count), NO_POSITION);
    }
    Record* r = record(table);
    int32_t* positioned = position_slots(r);
    uint32_t indexed = array::length(positions(r));
    uint32_t moving = index < indexed ? std::min(count, indexed - index) : 0;
    std::memmove(positioned + index + delta, positioned + index, size_t(moving) * sizeof(int32_t));
    if (delta > 0) {
        std::fill(positioned + index, positioned + index + delta, -1);
    } else {
        uint32_t vacated = std::max<uint32_t>(index + delta + moving, index);
        std::fill(positioned + vacated, positioned + index + moving, -1);
    }
}

// A change of stored position, worked out before any is made: positions in a
// chain may meet midway through.
struct KeyChange {
    int32_t* slot;
    int32_t value;
};

void plan_change(const Record* r, uint32_t pos, int64_t shift, std::vector<KeyChange>& plan) {
    int32_t bucket = position_slots(r)[pos];
    if (bucket < 1) return;
    int32_t* key = &slots(r)[bucket - 1].key;
    auto value = int32_t(pos + shift);
    if (*key >= 0) {
        plan.push_back({key, value});
        return;
    }
    Node chain = chain_of(r, *key);
    auto member = reinterpret_cast<int32_t*>(array::data(chain)) + array::find_ptr(chain, pos) / 4;
    plan.push_back({member, value});
}

}  // namespace

int shift_indexes(Node table, int32_t delta, uint32_t index, uint32_t count, bool move_positions) {
    if (count > SHIFT_LIMIT) return 1;
    Record* r = record(table);
    uint32_t indexed = array::length(positions(r));
    uint32_t end = uint32_t(std::min<uint64_t>(uint64_t(index) + count, indexed));
    const int32_t* positioned = position_slots(r);
    Slot* keys = slots(r);
    std::vector<uint32_t> chains;
    for (uint32_t pos = index; pos < end; pos++) {
        if (positioned[pos] < 1) continue;
        int32_t& key = keys[positioned[pos] - 1].key;
        if (key >= 0) key += delta;
        else chains.push_back(uint32_t(-key));
    }
    // A chain moves once, whichever of its cells lie in the range.
    std::sort(chains.begin(), chains.end());
    chains.erase(std::unique(chains.begin(), chains.end()), chains.end());
    for (uint32_t number : chains) {
        Node chain = Node(array::pick_ptr(r->chains, number));
        for (uint32_t i = 1, n = array::length(chain); i <= n; i++) {
            uint32_t member = array::pick_ptr(chain, i);
            if (member >= index) array::poke_ptr(chain, i, member + delta);
        }
    }
    if (move_positions) move_position_entries(table, delta, index, count);
    return 0;
}

void move_indexes(Node table, uint32_t to, uint32_t from, uint32_t count) {
    uint64_t run_end = uint64_t(from) + count;
    if (to >= from && to < run_end) return;
    bool forward = to > from;
    // The cells jumped over, and how far they and the run go.
    uint64_t jumped_first = forward ? run_end : to;
    uint64_t jumped_end = forward ? uint64_t(to) + 1 : from;
    int64_t jumped_shift = forward ? -int64_t(count) : int64_t(count);
    int64_t run_shift = forward ? int64_t(jumped_end - jumped_first) : int64_t(to) - from;

    extend_array(positions(record(table)), uint32_t(std::max(run_end, jumped_end)), NO_POSITION);
    Record* r = record(table);
    std::vector<KeyChange> plan;
    for (uint64_t pos = from; pos < run_end; pos++) plan_change(r, uint32_t(pos), run_shift, plan);
    for (uint64_t pos = jumped_first; pos < jumped_end; pos++) plan_change(r, uint32_t(pos), jumped_shift, plan);
    for (const KeyChange& change : plan) *change.slot = change.value;

    int32_t* positioned = position_slots(r);
    std::vector<int32_t> run(positioned + from, positioned + run_end);
    std::memmove(positioned + jumped_first + jumped_shift, positioned + jumped_first,
                 size_t(jumped_end - jumped_first) * sizeof(int32_t));
    std::copy(run.begin(), run.end(), positioned + from + run_shift);
}

}  // namespace vek::hash_table
