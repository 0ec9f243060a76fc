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
#include "runtime/datatypes/string/buffer.h"
#include "runtime/eval/stack.h"
#include "runtime/memory/series.h"
#include "runtime/tables/cycles.h"
#include "runtime/tables/hash_table.h"
#include "runtime/text/mold.h"

namespace vek::map {

namespace {

bool series_key(uint32_t type) { return is_any_string(type) || type == TYPE_BINARY; }

// Writes the live entries as key, space, value. With mold each entry is on a
// line of its own at the level's indentation (unless flat); form separates
// the entries by line breaks alone. Answers whether anything was written.
bool write_entries(const Cell* map, const Cell* output, bool mold, bool only, bool all, bool flat,
                   const Cell* part, int32_t* limit, int32_t level) {
    Node block = series_node(map);
    if (entry_count(map) == 0) return false;
    bool indenting = mold && !flat;
    const char* separator = flat ? " " : "\n";
    if (mold && !flat && !only) {
        string::append_c_string(output, "\n");
        (*limit)--;
    }
    cycles::Scope guard(block);
    uint32_t cells = node_buffer(block)->length();
    uint32_t last = cells;
    for (uint32_t i = 0; i + 1 < cells; i += 2)
        if (reinterpret_cast<Cell*>(node_buffer(block)->first())[i + 1].header != 0) last = i;
    for (uint32_t i = 0; i + 1 < cells && !(part && *limit <= 0); i += 2) {
        const Cell* pair = reinterpret_cast<Cell*>(node_buffer(block)->first()) + i;
        if (pair[1].header == 0) continue;
        Cell key = pair[0], value = pair[1];
        if (indenting) *limit = mold::indent(output, level, *limit);
        *limit = actions::mold(&key, output, only, all, flat, part, *limit, level);
        string::append_c_string(output, " ");
        (*limit)--;
        *limit = actions::mold(&value, output, only, all, flat, part, *limit, level);
        if (i != last || indenting) {
            string::append_c_string(output, separator);
            (*limit)--;
        }
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

// "#[", each live entry as a molded key, a space and a molded value, one a
// line, "]". form writes the entries alone, without brackets.
int32_t form(const Cell* value, const Cell* buffer, const Cell* part, int32_t limit) {
    if (cycles::detect(value, buffer, &limit, false)) return limit;
    write_entries(value, buffer, false, false, false, false, part, &limit, 0);
    return limit;
}

int32_t mold(const Cell* value, const Cell* buffer, bool only, bool all, bool flat, const Cell* part, int32_t limit,
             int32_t indent) {
    if (cycles::detect(value, buffer, &limit, true)) return limit;
    if (!only) {
        string::append_c_string(buffer, "#[");
        limit -= 2;
    }
    bool written = write_entries(value, buffer, true, only, all, flat, part, &limit, indent + 1);
    if (only) return limit;
    if (written && indent > 0) limit = mold::indent(buffer, indent, limit);
    string::append_c_string(buffer, "]");
    return limit - 1;
}

}  // namespace

void init() {
    using namespace datatype;
    register_type(TYPE_MAP, Row()
        .set<SLOT_FORM>(form)
        .set<SLOT_MOLD>(mold));
}

}  // namespace vek::map
