// map!: constructors, form and mold.
//
// The writers read the entry block by node and index and mold copies of its
// cells: molding a key or a value may move the block's buffer.
#include "runtime/datatypes/container/map.h"

#include <algorithm>

#include "runtime/actions/dispatch.h"
#include "runtime/core/datatype.h"
#include "runtime/core/raise.h"
#include "runtime/datatypes/block/array.h"
#include "runtime/datatypes/none.h"
#include "runtime/eval/stack.h"
#include "runtime/memory/series.h"
#include "runtime/tables/cycles.h"
#include "runtime/tables/hash_table.h"

namespace vek::map {

namespace {

bool series_key(uint32_t type) { return is_any_string(type) || type == TYPE_BINARY; }

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
    uint32_t cells = node_buffer(block)->length();
    uint32_t last = cells;
    for (uint32_t i = 0; i + 1 < cells; i += 2)
        if (reinterpret_cast<Cell*>(node_buffer(block)->first())[i + 1].header != 0) last = i;
    for (uint32_t i = 0; i + 1 < cells && !out.used_up(); i += 2) {
        const Cell* pair = reinterpret_cast<Cell*>(node_buffer(block)->first()) + i;
        if (pair[1].header == 0) continue;
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
    Cell datatype{TYPE_DATATYPE, type, 0, 0};
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

namespace {

// Sets one pair in the map. The key and value are the caller's copies: the
// entry block moves when it grows, and so may the spec's.
void set_pair(const Cell* map, Cell* key, const Cell* value, bool case_sensitive) {
    Node entries = series_node(map);
    Node index = table(map);
    int op = case_sensitive ? hash_table::OP_STRICT_EQUAL : hash_table::OP_EQUAL;
    if (Cell* entry = hash_table::find(index, key, 0, 1, op, false, false)) {
        if (entry[1].header == 0) hash_table::record(index)->size++;
        entry[1] = *value;
        return;
    }
    normalize_key(key, &none::constant);
    uint32_t position = node_buffer(entries)->length();
    series::alloc_tail_cell(node_buffer(entries));
    series::alloc_tail_cell(node_buffer(entries));
    Cell* pair = node_buffer(entries)->cells() + position;
    pair[0] = *key;
    pair[1] = *value;
    hash_table::put(index, pair);
}

}  // namespace

void extend(const Cell* map, const Cell* spec, bool case_sensitive) {
    Node source = series_node(spec);
    bool from_map = cell_type(spec) == TYPE_MAP;
    uint32_t length = node_buffer(source)->length();
    uint32_t head = from_map ? 0 : std::min(series_index(spec), length);
    if ((length - head) % 2 != 0) fire(err::script::invalid_arg, spec);
    for (uint32_t i = head; i + 1 < node_buffer(source)->length(); i += 2) {
        Cell key = node_buffer(source)->cells()[i];
        Cell value = node_buffer(source)->cells()[i + 1];
        if (value.header == 0) continue;  // a removed entry of a map
        clear_new_line(&key.header);
        clear_new_line(&value.header);
        set_pair(map, &key, &value, case_sensitive);
    }
}

namespace {

// "#[", each live entry as a molded key, a space and a molded value, one a
// line, "]". form writes the entries alone, without brackets.
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
    if (written && out.indent > 0) out.indentation(out.indent);
    out.append("]");
}

}  // namespace

void init() {
    using namespace datatype;
    register_type(TYPE_MAP, Row()
        .set<SLOT_FORM>(form)
        .set<SLOT_MOLD>(mold));
}

}  // namespace vek::map
