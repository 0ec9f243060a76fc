#include "runtime/datatypes/block/hash.h"

#include <algorithm>

#include "runtime/actions/dispatch.h"
#include "runtime/core/registry.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/block/internal.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/tables/cycles.h"
#include "runtime/tables/hash_table.h"

namespace vek::hash {

namespace {

// The block in the cell becomes a hash! over a new index of its cells from
// its head, sized for at least one value.
Cell* index_block(Cell* cell) {
    Node table = hash_table::make(std::max(block::length_from_head(cell), 1u), cell, hash_table::KIND_VALUES, 0);
    set_type(cell, TYPE_HASH);
    block::set_hash_table(cell, table);
    return cell;
}

// Every cell of the buffer indexed afresh, after an action that moved or
// dropped cells behind the index's back.
void reindex(const Cell* hash) {
    hash_table::reset(block::hash_table_of(hash), series_buffer(hash)->length());
}

// copy: the block's copy of the values. A whole copy of a hash at its first
// cell takes a copy of the index; anything else is indexed anew.
Cell* copy(Cell* value, Cell* result, const Cell* part, bool deep, const Cell* types) {
    Cell source = *value;  // the source may be the result cell itself
    block::copy(&source, result, part, deep, types);
    set_type(result, TYPE_BLOCK);
    set_series_extra(result, 0);
    if (series_index(&source) != 0 || part || deep || types) return index_block(result);
    Node table = hash_table::copy(block::hash_table_of(&source), series_node(result));
    set_type(result, TYPE_HASH);
    block::set_hash_table(result, table);
    return result;
}

// to: a hash! is copied; any other value becomes the block that to block!
// makes of it, indexed in place.
Cell* to(Cell* result, const Cell* spec_value, uint32_t) {
    if (cell_type(spec_value) == TYPE_HASH) {
        Cell source = *spec_value;
        return copy(&source, result, nullptr, false, nullptr);
    }
    block::convert(result, spec_value, TYPE_BLOCK);
    return index_block(result);
}

// make: a number is the room for that many values (at least one); any other
// value is taken as by to.
Cell* make(Cell* result, const Cell* spec_value, uint32_t type) {
    if (cell_type(spec_value) != TYPE_INTEGER && cell_type(spec_value) != TYPE_FLOAT) return to(result, spec_value, type);
    int32_t size = std::max(integer::from_number_arg(spec_value), 1);
    block::make_at(make_unset(result), size);
    Node table = hash_table::make(uint32_t(size), result, hash_table::KIND_VALUES, 0);
    set_type(result, TYPE_HASH);
    block::set_hash_table(result, table);
    return result;
}

// "make hash! " and the values molded as a block's, unless only.
void mold(const Cell* value, text::Sink& out, bool only) {
    if (cycles::detect(value, out, true)) return;
    if (!only) out.append("make hash! [");
    block::mold_each(value, out, only);
    if (!only) out.append("]");
}

Cell* sort(Cell* series, const actions::SortArgs& args) {
    Cell hash = *series;
    block::sort(series, args);
    reindex(&hash);
    return series;
}

void trim(Cell* series, const actions::TrimArgs& args) {
    block::trim(series, args);
    reindex(series);
}

}  // namespace

// A random order would leave the index behind: hash! has no random.
void init() {
    using namespace registry;
    register_type(TYPE_HASH, Row::inheriting()
        .set<SLOT_MAKE>(make)
        .omit<SLOT_RANDOM>()
        .set<SLOT_TO>(to)
        .set<SLOT_MOLD>(mold)
        .set<SLOT_COPY>(copy)
        .set<SLOT_SORT>(sort)
        .set<SLOT_TRIM>(trim));
}

}  // namespace vek::hash
