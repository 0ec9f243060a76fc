#include "runtime/tables/ownership.h"

#include "runtime/core/sockets.h"
#include "runtime/datatypes/object/object.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/gc/collector.h"
#include "runtime/memory/image_state.h"
#include "runtime/tables/cycles.h"
#include "runtime/tables/hash_table.h"

namespace vek::ownership {

Node table = Node::none;

namespace {

constexpr uint32_t TABLE_SIZE = 1000;
constexpr uint32_t RECORD_CELLS = 3;
constexpr uint32_t ALL = 0xFFFFFFFFu;  // cells to the tail

// The values an object can own: every series, and bitset!. An image! keeps
// its owned flag on the cell, the others in their buffer's flags.
bool ownable(uint32_t type) { return is_series(type) || type == TYPE_BITSET; }

Cell* context_cell(const Cell* object) { return node_buffer(object::context_node(object))->cells(); }

bool owned(const Cell* value) {
    if (cell_type(value) == TYPE_IMAGE) return (value->header & IMAGE_OWNED) != 0;
    return (series_buffer(value)->flags & BUF_OWNED) != 0;
}

void set_owned(Cell* value, bool on) {
    if (cell_type(value) == TYPE_IMAGE) {
        value->header = on ? value->header | IMAGE_OWNED : value->header & ~IMAGE_OWNED;
        return;
    }
    SeriesBuffer* buffer = series_buffer(value);
    buffer->flags = on ? buffer->flags | BUF_OWNED : buffer->flags & ~BUF_OWNED;
}

// The walks below re-read each cell of a block by node and index after any
// call that may allocate: the block's buffer may move meanwhile.
template <class Visit>
void for_each_cell(const Cell* block, uint32_t from, uint32_t count, Visit visit) {
    Node node = series_node(block);
    for (uint32_t i = from; i - from < count && i < node_buffer(node)->length(); i++) {
        visit(node_buffer(node)->cells() + i);
    }
}

struct Owning {
    Cell owner;
    Cell word;
};

void record(Cell* value, const Owning& owning);

void record_field(Cell* value, const Cell* field_word, void* context) {
    const Owning& outer = *static_cast<const Owning*>(context);
    if (cell_type(value) == TYPE_OBJECT && object::context_node(value) == object::context_node(&outer.owner)) return;
    record(value, Owning{outer.owner, *field_word});
}

void add_owner_record(const Cell& value, const Owning& owning) {
    Cell* data = hash_table::add_record(table, series_node(&value));
    data[0] = value;
    data[1] = owning.owner;
    data[2] = owning.word;
}

void record_series(Cell* value, const Owning& owning) {
    bool first = !owned(value);
    if (first) set_owned(value, true);
    // Copied after the flag is set, so that an image's record carries it.
    Cell held = *value;
    if (first) add_owner_record(held, owning);
    if (!is_any_block(cell_type(&held))) return;
    Node node = series_node(&held);
    if (cycles::find(node)) return;
    cycles::Scope visiting(node);
    for_each_cell(&held, series_index(&held), ALL, [&](Cell* cell) { record(cell, owning); });
}

bool skips_object(const Cell* object) {
    return (context_cell(object)->header & CONTEXT_IS_OWNER) || cycles::find(object::context_node(object));
}

void record_object(const Cell* object, const Owning& owning) {
    if (skips_object(object)) return;
    Cell held = *object;
    Owning passed = owning;
    cycles::Scope visiting(object::context_node(&held));
    sockets::for_each_field(&held, record_field, &passed);
}

void record(Cell* value, const Owning& owning) {
    uint32_t type = cell_type(value);
    if (ownable(type)) record_series(value, owning);
    else if (type == TYPE_OBJECT) record_object(value, owning);
}

void unbind_field(Cell* value, const Cell*, void*) { unbind(value); }

void unbind_object(const Cell* object) {
    if (skips_object(object)) return;
    Cell held = *object;
    cycles::Scope visiting(object::context_node(&held));
    sockets::for_each_field(&held, unbind_field, nullptr);
}

}  // namespace

void init() {
    Cell none = blank_cell(TYPE_NONE);
    table = hash_table::make(TABLE_SIZE, &none, hash_table::KIND_OWNERS, RECORD_CELLS);
}

void init_hooks() {
    image_state::keep("owner table", table);
    // The table keeps its records without keeping what they name: they die
    // with their series or their owner, and what the survivors hold is kept.
    gc::add_root("owner table", [] { gc::mark_node(table); });
    gc::add_sweep("owner table", [] {
        sweep();
        hash_table::sweep_records(table, [](Node, const Cell* data) {
            gc::mark_cells(data, data + RECORD_CELLS);
            return false;
        });
    });
}

void set_owner(Cell* value, const Cell* owner, const Cell* field_word) {
    Owning owning{*owner, *field_word};
    record(value, owning);
    context_cell(&owning.owner)->header |= CONTEXT_IS_OWNER;
}

void unbind(Cell* value) {
    uint32_t type = cell_type(value);
    if (type == TYPE_OBJECT) {
        unbind_object(value);
        return;
    }
    if (!ownable(type)) return;
    set_owned(value, false);
    Cell held = *value;
    Cell* data = hash_table::remove_record(table, series_node(&held));
    if (!data) return;
    for (uint32_t i = 0; i < RECORD_CELLS; i++) make_unset(data + i);
    // A block is walked only while it still had a record: one that holds
    // itself is met again with the record gone, which ends the walk.
    if (is_any_block(type)) for_each_cell(&held, series_index(&held), ALL, [](Cell* cell) { unbind(cell); });
}

void unbind_range(const Cell* block, uint32_t index, uint32_t count) {
    Cell held = *block;
    for_each_cell(&held, index, count, [](Cell* cell) { unbind(cell); });
}

namespace {

bool owned_by(const Cell* value, const Cell* owner, const Cell* field_word) {
    if (!ownable(cell_type(value)) || !owned(value)) return false;
    const Cell* data = hash_table::find_record(table, series_node(value));
    return data && object::context_node(data + 1) == object::context_node(owner) &&
           word::symbol(data + 2) == word::symbol(field_word);
}

}  // namespace

void field_set(const Cell* owner, const Cell* field_word, const Cell* old_value, Cell* slot) {
    if (!is_any_object(cell_type(owner)) || !(context_cell(owner)->header & CONTEXT_IS_OWNER)) return;
    Cell held_owner = *owner;
    Cell word = *field_word;
    Cell old = *old_value;
    if (owned_by(&old, &held_owner, &word)) unbind(&old);
    set_owner(slot, &held_owner, &word);
}

Cell* owner_of(Node series) {
    Cell* data = hash_table::find_record(table, series);
    return data ? data + 1 : nullptr;
}

void sweep() {
    hash_table::sweep_records(table, [](Node key, const Cell* data) {
        return !gc::is_marked(key) || !gc::is_marked(object::context_node(data + 1));
    });
}

bool check(const Cell* value, const Cell* action, const Cell* new_value, int32_t index, int32_t part) {
    uint32_t type = cell_type(value);
    bool is_object = type == TYPE_OBJECT;
    bool can_be_owned = ownable(type);
    if (!is_object && !(can_be_owned && owned(value))) return false;
    Node key = is_object ? object::context_node(value) : series_node(value);
    Cell* data = hash_table::find_record(table, key);
    if (!data) return false;
    // The handler runs Vek code: it gets copies, not addresses into the table.
    Cell owner = data[1];
    Cell word = data[2];
    return sockets::notify_owner(&owner, &word, value, action, new_value, index, part);
}

}  // namespace vek::ownership
