#include "runtime/datatypes/block/internal.h"

#include <algorithm>

#include "runtime/actions/dispatch.h"
#include "runtime/core/registry.h"
#include "runtime/datatypes/block/array.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/series/actions.h"
#include "runtime/datatypes/series/ranges.h"
#include "runtime/datatypes/typeset.h"
#include "runtime/tables/hash_table.h"

namespace vek::block {

namespace {

enum class Kind { single, datatype, typeset, sequence };

// What is searched for and how a cell is tested against it.
struct Pattern {
    const Cell* value;
    Kind kind;
    int32_t op;
    uint32_t length;  // cells a match covers: a sequence's length, else 1
};

// Where a search ended: the matching position, or -1, and how far past it
// a /tail result lands.
struct Hit {
    int64_t index;
    uint32_t past;
};

constexpr Hit MISS{-1, 0};

int32_t compare_op(bool case_sensitive, bool same) {
    if (same) return actions::COMP_SAME;
    return case_sensitive ? actions::COMP_STRICT_EQUAL : actions::COMP_FIND;
}

Pattern pattern_of(const Cell* value, const actions::FindArgs& o) {
    int32_t op = compare_op(o.case_sensitive, o.same);
    uint32_t type = cell_type(value);
    if (!o.only) {
        if (type == TYPE_DATATYPE) return {value, Kind::datatype, op, 1};
        if (type == TYPE_TYPESET) return {value, Kind::typeset, op, 1};
        if (is_any_block(type)) return {value, Kind::sequence, op, length_from_head(value)};
    }
    return {value, Kind::single, op, 1};
}

// Cells are copied out before comparing: a compare action may allocate, and
// the buffer is re-read through its node every time.
bool equal_at(Node node, uint32_t index, const Cell* wanted, int32_t op) {
    Cell cell = node_buffer(node)->cells()[index];
    return actions::compare(&cell, wanted, op);
}

bool matches_at(Node node, uint32_t index, const Pattern& p) {
    uint32_t type = cell_type(node_buffer(node)->cells() + index);
    switch (p.kind) {
    case Kind::datatype: return type == datatype::id(p.value);
    case Kind::typeset: return typeset::contains(p.value, type);
    case Kind::single: return equal_at(node, index, p.value, p.op);
    case Kind::sequence:
        for (uint32_t i = 0; i < p.length; i++) {
            Cell wanted = series_buffer(p.value)->cells()[series_index(p.value) + i];
            if (!equal_at(node, index + i, &wanted, p.op)) return false;
        }
        return true;
    }
    return false;
}

// A hash! answers from its index every search for a single value except
// those that test a datatype, a typeset or an object's fields, and /match.
bool indexed(const Cell* series, const Cell* value, const actions::FindArgs& o) {
    if (cell_type(series) != TYPE_HASH || o.match) return false;
    uint32_t type = cell_type(value);
    if (type == TYPE_DATATYPE || type == TYPE_TYPESET) return o.only;
    if (type == TYPE_OBJECT) return o.same;
    if (is_any_block(type)) return o.same && o.only;
    return true;
}

Hit search(const Cell* series, const Cell* value, const actions::FindArgs& o) {
    Node node = series_node(series);
    int64_t length = node_buffer(node)->length();
    int64_t head = std::min<int64_t>(series_index(series), length);
    bool backward = o.last || o.reverse;
    if (length == 0 || (!o.reverse && head >= length)) return MISS;
    uint32_t step = series::search_step(o.skip);
    int64_t end = o.reverse ? head : length;  // just past the last cell a match may cover
    if (o.part != nullptr) {
        int64_t count = series::part_count(series, o.part);
        if (count < 1) return MISS;
        end = std::min(head + count, length);
    }
    Pattern p = pattern_of(value, o);
    uint32_t past = p.kind == Kind::sequence ? p.length : backward ? 1 : step;

    if (indexed(series, value, o)) {
        Cell* cell = hash_table::find(hash_table_of(series), value, int32_t(head), int32_t(step), p.op, o.last,
                                      o.reverse);
        if (cell == nullptr) return MISS;
        int64_t index = cell - node_buffer(node)->cells();
        return index < end ? Hit{index, past} : MISS;
    }

    // An empty sequence still needs a cell to stand on.
    uint32_t need = std::max<uint32_t>(p.length, 1);
    int64_t low = o.last ? head : 0;
    int64_t start = backward ? series::backward_start(head, end, need, step) : head;
    int64_t delta = backward ? -int64_t(step) : int64_t(step);
    for (int64_t at = start; at >= low && at + need <= end; at += delta) {
        if (matches_at(node, uint32_t(at), p)) return {at, past};
        if (o.match) break;
    }
    return MISS;
}

}  // namespace

Cell* find(Cell* series, const Cell* value, const actions::FindArgs& args) {
    Hit hit = search(series, value, args);
    if (hit.index < 0) return &none::constant;
    int64_t length = series_buffer(series)->length();
    set_series_index(series, uint32_t(args.tail ? std::min<int64_t>(hit.index + hit.past, length) : hit.index));
    return series;
}

Cell* select(Cell* series, const Cell* value, const actions::SelectArgs& args) {
    actions::FindArgs o = actions::as_find_args(args);
    Hit hit = search(series, value, o);
    if (hit.index < 0) return &none::constant;
    Pattern p = pattern_of(value, o);
    int64_t next = hit.index + (p.kind == Kind::sequence ? p.length : 1);
    SeriesBuffer* buffer = series_buffer(series);
    if (next >= buffer->length()) return &none::constant;
    return copy_cell(buffer->cells() + next, series);
}

namespace {

// Writes the value over the cell at index, keeping a hash! index in step.
void overwrite(const Cell* series, uint32_t index, const Cell* value) {
    Cell copy = *value;
    Cell* cell = series_buffer(series)->cells() + index;
    bool hashed = cell_type(series) == TYPE_HASH;
    if (hashed) hash_table::remove_cell(hash_table_of(series), cell);
    *cell = copy;
    if (hashed) hash_table::put(hash_table_of(series), cell);
}

// Sets the cell at index (the buffer's length: a new last cell) unless it
// already holds this very value.
void store(const Cell* series, uint32_t index, const Cell* value) {
    SeriesBuffer* buffer = series_buffer(series);
    if (index >= buffer->length()) {
        rs_append(series, value);
        return;
    }
    Cell current = buffer->cells()[index];
    if (!actions::compare(&current, value, actions::COMP_SAME)) overwrite(series, index, value);
}

}  // namespace

Cell* put(Cell* series, const Cell* key, Cell* value, bool case_sensitive) {
    // The key goes in as one value, so it is looked up as one.
    actions::FindArgs o{.only = true, .case_sensitive = case_sensitive};
    Hit hit = search(series, key, o);
    using series::Edit;
    if (hit.index < 0) {
        int32_t index = int32_t(series_buffer(series)->length());
        bool told = series::notify_before(series, Edit::put, value, index, 1);
        rs_append(series, key);
        rs_append(series, value);
        if (told) series::notify_after(series, Edit::put, value, index, 1);
        return value;
    }
    auto index = uint32_t(hit.index + 1);
    bool told = series::notify_before(series, Edit::put, value, int32_t(index), 1);
    store(series, std::min(index, series_buffer(series)->length()), value);
    if (told) series::notify_after(series, Edit::put, value, int32_t(index), 1);
    return value;
}

}  // namespace vek::block
