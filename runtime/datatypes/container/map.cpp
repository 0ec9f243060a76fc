// map!: constructors, the key lookups behind paths, put, select, find and
// remove/key, copying, comparing, reflecting, form and mold.
//
// Code here keeps the entry block's node and an entry's index across calls
// that may allocate, and re-reads the buffer after them: appending to the
// block, normalising a key and molding a key or a value may all move it.
#include "runtime/datatypes/container/map.h"

#include <algorithm>

#include "runtime/actions/dispatch.h"
#include "runtime/core/fixed_words.h"
#include "runtime/core/raise.h"
#include "runtime/core/registry.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/block/array.h"
#include "runtime/datatypes/block/edit.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/word/context.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/memory/manager.h"
#include "runtime/memory/series.h"
#include "runtime/tables/cycles.h"
#include "runtime/tables/hash_table.h"

namespace vek::map {

namespace {

bool series_key(uint32_t type) { return is_any_string(type) || type == TYPE_BINARY; }

Cell* entry_cells(Node entries) { return node_buffer(entries)->cells(); }
uint32_t entry_cell_count(Node entries) { return node_buffer(entries)->length(); }
// A removed entry keeps its key; its value header is 0.
bool live(const Cell* pair) { return pair[1].header != 0; }

// The keys a caller may look up are compared as the table compares them.
int lookup_op(bool case_sensitive, bool same) {
    if (same) return COMP_SAME;
    return case_sensitive ? COMP_STRICT_EQUAL : COMP_EQUAL;
}

// The index of the key's entry in the entry block, live or removed, or -1.
int64_t entry_index(const Cell* map, const Cell* key, int op) {
    Cell* pair = hash_table::find(table(map), key, 0, 1, op, false, false);
    if (pair == nullptr) return -1;
    return pair - entry_cells(series_node(map));
}

// The index of the key's live entry, or -1.
int64_t live_entry_index(const Cell* map, const Cell* key, int op) {
    int64_t index = entry_index(map, key, op);
    if (index < 0 || !live(entry_cells(series_node(map)) + index)) return -1;
    return index;
}

// A stored key as it is given back: a set-word key is a word!.
Cell given_key(const Cell* stored) {
    Cell key = *stored;
    if (cell_type(&key) == TYPE_SET_WORD) set_type(&key, TYPE_WORD);
    return key;
}

// Sets the key's value, adding an entry for a key not present (strictly
// equal under case_sensitive, else equal). named is what an invalid key's
// error names: the path, or none.
void set_entry(const Cell* map, const Cell* key_value, const Cell* value_value, bool case_sensitive,
               const Cell* named) {
    Cell key = *key_value;  // both may lie in a buffer that moves
    Cell value = *value_value;
    clear_new_line(&key.header);
    clear_new_line(&value.header);
    Node entries = series_node(map);
    Node index = table(map);
    int64_t found = entry_index(map, &key, lookup_op(case_sensitive, false));
    if (found >= 0) {
        Cell* pair = entry_cells(entries) + found;
        if (!live(pair)) hash_table::record(index)->size++;
        pair[1] = value;
        return;
    }
    normalize_key(&key, named);
    uint32_t position = entry_cell_count(entries);
    series::alloc_tail_cell(node_buffer(entries));
    series::alloc_tail_cell(node_buffer(entries));
    Cell* pair = entry_cells(entries) + position;
    pair[0] = key;
    make_unset(pair + 1);
    hash_table::put(index, pair);
    entry_cells(entries)[position + 1] = value;
}

// Grows the entry block, when needed, so that count more cells fit.
void make_room(Node entries, uint32_t count) {
    SeriesBuffer* buffer = node_buffer(entries);
    uint64_t needed = uint64_t(buffer->used_bytes()) + uint64_t(count) * sizeof(Cell);
    if (needed > UINT32_MAX) fire(err::internal::no_memory);
    if (buffer->first() + needed <= buffer->area_end()) return;
    memory::expand_series(entries, buffer, uint32_t(needed));
}

// Writes the live entries as key, space, value, molded at the sink's level.
// With mold each entry is on a line of its own at that level's indentation
// (unless flat); form separates the entries by line breaks alone. Answers
// whether anything was written.
bool write_entries(const Cell* map, text::Sink& out, bool mold, bool only) {
    Node block = series_node(map);
    if (entry_count(map) == 0) return false;
    bool indenting = mold && !out.flat;
    const char* separator = out.flat ? " " : "\n";
    if (mold && !out.flat && !only) out.append("\n");
    cycles::Scope guard(block);
    uint32_t cells = entry_cell_count(block);
    uint32_t last = cells;
    for (uint32_t i = 0; i + 1 < cells; i += 2)
        if (live(entry_cells(block) + i)) last = i;
    for (uint32_t i = 0; i + 1 < entry_cell_count(block) && !out.used_up(); i += 2) {
        const Cell* pair = entry_cells(block) + i;
        if (!live(pair)) continue;
        Cell key = pair[0], value = pair[1];
        if (indenting) out.indentation(out.indent);
        actions::mold(&key, out, only);
        out.append(" ");
        actions::mold(&value, out, only);
        if (i != last || indenting) out.append(separator);
    }
    return true;
}

}  // namespace

bool valid_key_type(uint32_t type) { return is_scalar(type) || is_all_word(type) || series_key(type); }

void normalize_key(Cell* key, const Cell* named) {
    uint32_t type = cell_type(key);
    if (is_any_word(type)) {
        key->header = TYPE_SET_WORD;
        return;
    }
    if (series_key(type)) {
        Node node = series_node(key);
        uint32_t length = node_buffer(node)->length();
        uint32_t head = std::min(series_index(key), length);
        Node copy = series::copy_part(node, head, length - head);
        set_series_index(key, 0);
        set_series_node(key, copy);
        set_series_extra(key, 0);
        return;
    }
    if (valid_key_type(type)) return;
    Cell datatype = datatype::cell(type);
    fire(err::script::invalid_path, named, &datatype);
}

Cell* make_at(Cell* cell, const Cell* block, uint32_t size) {
    if (!block) {
        block::make_at(cell, int32_t(std::min<uint32_t>(size, INT32_MAX)));
    } else if (block != cell) {
        for (int n = 1; n <= 2; n++) set_payload_word(cell, n, payload_word(block, n));
    }
    set_type(cell, TYPE_MAP);
    set_table(cell, Node::none);
    Node table = hash_table::make(size, cell, hash_table::KIND_MAP, 1);
    set_table(cell, table);
    return cell;
}

Cell* push(const Cell* value) { return stack::push(value); }

int32_t entry_count(const Cell* map) { return hash_table::record(table(map))->size; }

void extend(const Cell* map, const Cell* spec_value, bool case_sensitive) {
    Node source = series_node(spec_value);
    bool from_map = cell_type(spec_value) == TYPE_MAP;
    uint32_t length = node_buffer(source)->length();
    uint32_t head = from_map ? 0 : std::min(series_index(spec_value), length);
    if ((length - head) % 2 != 0) fire(err::script::invalid_arg, spec_value);
    make_room(series_node(map), length - head);
    for (uint32_t i = head; i + 1 < node_buffer(source)->length(); i += 2) {
        const Cell* pair = node_buffer(source)->cells() + i;
        if (from_map && !live(pair)) continue;
        set_entry(map, pair, pair + 1, case_sensitive, &none::constant);
    }
}

bool foreach_next(Cell* map, const Cell* words, uint32_t count) {
    Node entries = series_node(map);
    uint32_t position = series_index(map);
    bool set_any = false;
    for (uint32_t i = 0; i < count; i++) {
        Cell word = series_buffer(words)->cells()[series_index(words) + i];
        if (!is_any_word(cell_type(&word))) fire(err::script::invalid_arg, &word);
        // A removed entry is skipped whole, at a key's position only.
        while (position % 2 == 0 && position + 1 < entry_cell_count(entries) &&
               !live(entry_cells(entries) + position))
            position += 2;
        Cell value = none::constant;
        if (position < entry_cell_count(entries)) {
            const Cell* cell = entry_cells(entries) + position;
            value = position % 2 == 0 ? given_key(cell) : *cell;
            position++;
            set_any = true;
        }
        context::set(&word, &value);
    }
    set_series_index(map, position);
    return set_any;
}

namespace {

// ---------------------------------------------------------------- make and to

[[noreturn]] void bad_to_arg(const Cell* spec_value) {
    Cell datatype = datatype::cell(TYPE_MAP);
    fire(err::script::bad_to_arg, &datatype, spec_value);
}

Cell* copy(Cell* value, Cell* result, const Cell* part, bool deep, const Cell* types);

// An empty map with room for size entries.
Cell* make_sized(Cell* result, const Cell* spec_value) {
    int32_t size = integer::from_number_arg(spec_value);
    if (size < 0) fire(err::script::out_of_range, spec_value);
    uint32_t capacity = std::max(uint32_t(size) * 2, 2u);
    return make_at(make_unset(result), nullptr, capacity);
}

// A map over a shallow copy of the block's pairs from its head.
Cell* make_from_pairs(Cell* result, const Cell* spec_value) {
    uint32_t count = block::length_from_head(spec_value);
    if (count % 2 != 0) fire(err::script::invalid_arg, spec_value);
    Cell* pairs = block::clone(spec_value, false, false);
    set_type(pairs, TYPE_BLOCK);
    SeriesBuffer* buffer = series_buffer(pairs);
    for (uint32_t i = 0; i < buffer->length(); i++) clear_new_line(&buffer->cells()[i].header);
    make_at(pairs, pairs, count / 2);
    *result = *pairs;
    stack::pop(1);
    return result;
}

Cell* build(Cell* result, const Cell* spec_value, bool to) {
    switch (cell_type(spec_value)) {
    case TYPE_INTEGER:
    case TYPE_FLOAT:
        if (to) bad_to_arg(spec_value);
        return make_sized(result, spec_value);
    case TYPE_BLOCK:
    case TYPE_PAREN:
    case TYPE_HASH: return make_from_pairs(result, spec_value);
    case TYPE_MAP: {
        Cell source = *spec_value;
        return copy(&source, result, nullptr, false, nullptr);
    }
    default: bad_to_arg(spec_value);
    }
}

Cell* make(Cell* result, const Cell* spec_value, uint32_t) { return build(result, spec_value, false); }
Cell* to(Cell* result, const Cell* spec_value, uint32_t) { return build(result, spec_value, true); }

// ---------------------------------------------------------------- reflect

bool names(uint32_t field, fixed_words::Sym name) {
    return symbol::resolve(field) == symbol::resolve(fixed_words::symbol(name));
}

enum class Part { keys, values, pairs };

// A new block of the live keys, values or both, in entry order, replacing
// the map in its cell.
void entries_block(Cell* map, Part part) {
    Node entries = series_node(map);
    uint32_t per_entry = part == Part::pairs ? 2 : 1;
    Cell* block = block::push_only_star(int32_t(uint32_t(entry_count(map)) * per_entry));
    for (uint32_t i = 0; i + 1 < entry_cell_count(entries); i += 2) {
        const Cell* pair = entry_cells(entries) + i;
        if (!live(pair)) continue;
        Cell key = part == Part::keys ? given_key(pair) : pair[0];
        Cell value = pair[1];
        if (part == Part::pairs) key.header |= CELL_NEW_LINE;
        if (part != Part::values) block::rs_append(block, &key);
        if (part != Part::keys) block::rs_append(block, &value);
    }
    *map = *block;
    stack::pop(1);
}

void reflect(Cell* map, uint32_t field) {
    using fixed_words::Sym;
    if (names(field, Sym::words)) entries_block(map, Part::keys);
    else if (names(field, Sym::values)) entries_block(map, Part::values);
    else if (names(field, Sym::body)) entries_block(map, Part::pairs);
    else fire(err::internal::not_done);
}

// ---------------------------------------------------------------- form and mold

void form(const Cell* value, text::Sink& out) {
    if (cycles::detect(value, out, false)) return;
    // The keys and values are molded plainly, whatever the text around asks.
    text::Layout plain(out, false, false, 0);
    write_entries(value, out, false, false);
}

void mold(const Cell* value, text::Sink& out, bool only) {
    if (cycles::detect(value, out, true)) return;
    if (!only) out.append("#[");
    bool written;
    {
        text::Layout entries(out, out.indent + 1);
        written = write_entries(value, out, true, only);
    }
    if (only) return;
    // The closing bracket lines up with the map's own line, when there are lines.
    if (written && out.indent > 0 && !out.flat) out.indentation(out.indent);
    out.append("]");
}

// ---------------------------------------------------------------- paths and keyed actions

// m/key reads the key's value, none when it is missing; m/key: value sets it.
Cell* eval_path(Cell* parent, const Cell* element, const actions::PathArgs& args) {
    if (args.value) {
        set_entry(parent, element, args.value, args.case_sensitive, args.path ? args.path : &none::constant);
        return const_cast<Cell*>(args.value);
    }
    int64_t index = live_entry_index(parent, element, lookup_op(args.case_sensitive, false));
    if (index < 0) return &none::constant;
    return entry_cells(series_node(parent)) + index + 1;
}

Cell* put(Cell* map, const Cell* key, Cell* value, bool case_sensitive) {
    set_entry(map, key, value, case_sensitive, &none::constant);
    return value;
}

Cell* select(Cell* map, const Cell* key, const actions::SelectArgs& args) {
    int64_t index = live_entry_index(map, key, lookup_op(args.case_sensitive, args.same));
    if (index < 0) return &none::constant;
    return copy_cell(entry_cells(series_node(map)) + index + 1, map);
}

Cell* find(Cell* map, const Cell* key, const actions::FindArgs& args) {
    int64_t index = live_entry_index(map, key, lookup_op(args.case_sensitive, args.same));
    if (index < 0) return &none::constant;
    *map = given_key(entry_cells(series_node(map)) + index);
    return map;
}

// Only remove/key applies to a map; the key is matched as written.
void remove(Cell* map, const Cell*, const Cell* key) {
    if (key == nullptr) fire(err::script::missing_arg);
    int64_t index = live_entry_index(map, key, COMP_STRICT_EQUAL);
    if (index >= 0) hash_table::remove_cell(table(map), entry_cells(series_node(map)) + index);
}

void clear(Cell* map) { hash_table::clear(table(map)); }

int32_t length_q(const Cell* map) { return entry_count(map); }

// ---------------------------------------------------------------- copy

bool copied_deeply(uint32_t type) { return is_series(type) || type == TYPE_MAP; }

// Replaces the live values that are series or maps by their deep copies.
void copy_values_deeply(Node entries) {
    for (uint32_t i = 1; i < entry_cell_count(entries); i += 2) {
        Cell original = entry_cells(entries)[i];
        if (original.header == 0 || !copied_deeply(cell_type(&original))) continue;
        Cell* fresh = make_unset(stack::push_cell());
        Cell copied = *actions::copy(&original, fresh, nullptr, true, nullptr);
        stack::pop(1);
        Cell* cell = entry_cells(entries) + i;
        *cell = copied;
    }
}

// A new map over a copy of the entry block, holes and all, and a copy of the
// table. /part means nothing to maps. With deep the values that are series
// or maps are copied deeply; with types only the values of those types, and
// deeply under deep. A deep copy of a map that holds itself raises internal
// no-cycle.
Cell* copy(Cell* value, Cell* result, const Cell*, bool deep, const Cell* types) {
    Cell source = *value;  // the source may be the result cell itself
    Node from = series_node(&source);
    cycles::Scope guard;
    if (deep) cycles::enter_copy(from);
    Node entries = series::copy_part(from, 0, entry_cell_count(from));
    *result = series_cell(TYPE_BLOCK, entries);
    Node index = hash_table::copy(table(&source), entries);
    set_type(result, TYPE_MAP);
    set_table(result, index);
    if (types) block::copy_values_of_types(entries, 1, entry_cell_count(entries), 2, deep, types);
    else if (deep) copy_values_deeply(entries);
    return result;
}

// ---------------------------------------------------------------- compare

// Whether some live entry of the other map whose key equals the key (any
// letter case) holds a value equal to the value.
bool has_equal_entry(const Cell* other, const Cell* key, const Cell* value) {
    Node index = table(other);
    int32_t bucket = -1;
    uint32_t step = 0;
    while (Cell* pair = hash_table::find_next(index, key, &bucket, &step)) {
        Cell other_value = pair[1];
        if (other_value.header != 0 && actions::compare_values(value, &other_value, actions::COMP_EQUAL) == 0)
            return true;
    }
    return false;
}

bool has_strictly_equal_entry(const Cell* other, const Cell* key, const Cell* value) {
    int64_t index = live_entry_index(other, key, COMP_STRICT_EQUAL);
    if (index < 0) return false;
    Cell other_value = entry_cells(series_node(other))[index + 1];
    return actions::compare_values(value, &other_value, actions::COMP_STRICT_EQUAL) == 0;
}

// 0 when every live entry of map1 finds its match in map2, else 1.
int32_t compare_entries(const Cell* map1, const Cell* map2, int32_t op) {
    Node entries = series_node(map1);
    cycles::Scope guard(entries);
    cycles::push(series_node(map2));
    for (uint32_t i = 0; i + 1 < entry_cell_count(entries); i += 2) {
        Cell key = entry_cells(entries)[i];
        Cell value = entry_cells(entries)[i + 1];
        if (value.header == 0) continue;
        bool matched = op == actions::COMP_STRICT_EQUAL ? has_strictly_equal_entry(map2, &key, &value)
                                                        : has_equal_entry(map2, &key, &value);
        if (!matched) return 1;
    }
    return 0;
}

// Maps are equal when they hold equal pairs, in any order. They have no
// order of their own: the sorting codes order them by entry block, so that
// a sort stays consistent, and the ordering comparisons are refused.
int32_t compare(const Cell* map1, const Cell* map2, int32_t op) {
    if (cell_type(map2) != TYPE_MAP) return -2;
    Node node1 = series_node(map1);
    Node node2 = series_node(map2);
    if (op == actions::COMP_SORT || op == actions::COMP_CASE_SORT)
        return node1 < node2 ? -1 : node1 > node2 ? 1 : 0;
    if (!is_equality(op)) return -2;
    if (node1 == node2) return 0;
    if (op == actions::COMP_SAME) return 1;
    if (cycles::find(node1)) return cycles::find(node2) ? 0 : 1;
    if (entry_count(map1) != entry_count(map2)) return 1;
    if (entry_count(map1) == 0) return 0;
    return compare_entries(map1, map2, op);
}

}  // namespace

void init() {
    using namespace registry;
    register_type(TYPE_MAP, Row()
        .set<SLOT_MAKE>(make)
        .set<SLOT_REFLECT>(reflect)
        .set<SLOT_TO>(to)
        .set<SLOT_FORM>(form)
        .set<SLOT_MOLD>(mold)
        .set<SLOT_EVAL_PATH>(eval_path)
        .set<SLOT_COMPARE>(compare)
        .set<SLOT_CLEAR>(clear)
        .set<SLOT_COPY>(copy)
        .set<SLOT_FIND>(find)
        .set<SLOT_LENGTH_Q>(length_q)
        .set<SLOT_PUT>(put)
        .set<SLOT_REMOVE>(remove)
        .set<SLOT_SELECT>(select));
}

}  // namespace vek::map
