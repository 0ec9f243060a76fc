// Hash tables over value blocks: making, indexing, lookup, removal and
// copying. Keys are positions of cells in the block; a hash! keeps equal
// keys in one bucket, whose key is then -c for chain c of its chain list.
//
// Anything that allocates may move a buffer: the code keeps the table's node
// and positions across such calls and re-reads the record after them.
#include "runtime/tables/hash_table.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "runtime/actions/compare.h"
#include "runtime/core/raise.h"
#include "runtime/datatypes/container/map.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/word/context.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/memory/manager.h"
#include "runtime/tables/hash_table_layout.h"
#include "runtime/tables/murmur.h"
#include "runtime/text/unicode.h"

namespace vek::hash_table {

using namespace layout;

namespace {

bool same_code_points(uint32_t a, uint32_t b, bool fold) {
    return a == b || (fold && unicode::to_upper(a) == unicode::to_upper(b));
}

bool same_text(const Cell* a, const Cell* b, bool fold) {
    SeriesBuffer* x = series_buffer(a);
    SeriesBuffer* y = series_buffer(b);
    uint32_t x_head = std::min(series_index(a), x->length());
    uint32_t y_head = std::min(series_index(b), y->length());
    uint32_t count = x->length() - x_head;
    if (count != y->length() - y_head) return false;
    for (uint32_t i = 0; i < count; i++) {
        uint32_t cx = murmur::code_point_at(x->at(x_head + i), x->unit());
        uint32_t cy = murmur::code_point_at(y->at(y_head + i), y->unit());
        if (!same_code_points(cx, cy, fold)) return false;
    }
    return true;
}

bool same_name(const Cell* a, const Cell* b, bool fold) {
    SeriesBuffer* x = node_buffer(symbol::name_bytes(a));
    SeriesBuffer* y = node_buffer(symbol::name_bytes(b));
    uint32_t length = x->used_bytes();
    return length == y->used_bytes() && same_name_bytes(x->first(), y->first(), length, fold);
}

Node new_record(int32_t kind) {
    Node table = memory::alloc_bytes(sizeof(Record));
    memory::set_series_flags(table, BUF_KIND_HASH);
    SeriesBuffer* b = node_buffer(table);
    b->tail = b->offset + sizeof(Record);
    *record(table) = Record{};
    record(table)->kind = kind;
    return table;
}

// Fresh, empty flag and key arrays for n buckets.
void set_buckets(Node table, uint32_t n) {
    Node flags = filled_array(flag_bytes(n), 1, ALL_EMPTY);
    record(table)->flags = flags;
    Node keys = filled_array(n, sizeof(int32_t), 0);
    Record* r = record(table);
    r->keys = keys;
    r->bucket_count = n;
    r->upper_bound = int32_t(LOAD * n);
}

// A hash! grows by rebuilding from its block. When deleted buckets fill it
// (fewer than half the buckets live) it keeps its bucket count, so that
// insertions and removals that balance out never grow it.
uint32_t rebuild_request(const Record* r) {
    uint32_t n = r->bucket_count;
    return uint64_t(r->size) * 2 < n ? n * 2 / 3 : n + 1;
}

// Records the bucket (1-based) that indexes the cell at pos.
void note_position(Node table, uint32_t pos, uint32_t bucket) {
    Node positions_node = positions(record(table));
    if (pos >= array::length(positions_node)) extend_array(positions_node, 2 * (pos + 1), NO_POSITION);
    position_slots(record(table))[pos] = int32_t(bucket + 1);
}

// Adds the cell at pos to the group of equal keys in the bucket, turning a
// single key into a chain first.
void join_group(Node table, uint32_t bucket, uint32_t pos) {
    int32_t key = key_slots(record(table))[bucket];
    Node chain;
    if (key >= 0) {
        chain = array::make(4, sizeof(uint32_t));
        array::append_ptr(chain, uint32_t(key));
        array::append_ptr(record(table)->chains, uint32_t(chain));
        Record* r = record(table);
        key_slots(r)[bucket] = -int32_t(array::length(r->chains));
    } else {
        chain = chain_of(record(table), key);
    }
    array::append_ptr(chain, pos);
    note_position(table, pos, bucket);
}

bool starts_group(const Record* r, int32_t bucket_key, const Cell* key) {
    const Cell* first = cells(r) + first_position(r, bucket_key);
    return cell_type(first) == cell_type(key) && actions::compare_for_tables(first, key, COMP_EQUAL);
}

int put_position(Node table, uint32_t pos) {
    Record* r = record(table);
    if (r->occupied >= r->upper_bound) {
        if (r->kind == KIND_VALUES) {
            reset(table, rebuild_request(r));
            return PUT_REBUILT;
        }
        resize(table, growth_request(r));
        r = record(table);
    }
    const Cell* key = cells(r) + pos;
    uint32_t* flags = flag_words(r);
    int32_t* keys = key_slots(r);
    uint32_t deleted = NOT_FOUND;
    // The growth above leaves an empty bucket, which every probe reaches.
    uint32_t empty = NOT_FOUND;
    Probe probe(murmur::value(key, false), r->bucket_count);
    do {
        uint32_t b = probe.bucket;
        uint32_t f = flag(flags, b);
        if (f == FLAG_EMPTY) {
            empty = b;
            break;
        }
        if (f == FLAG_DELETED) {
            deleted = b;
        } else if (r->kind == KIND_VALUES) {
            if (starts_group(r, keys[b], key)) {
                join_group(table, b, pos);
                return 0;
            }
        } else if (actions::compare_for_tables(cells(r) + keys[b], key, COMP_STRICT_EQUAL)) {
            return 0;
        }
    } while (probe.advance());
    uint32_t bucket = deleted != NOT_FOUND ? deleted : empty;
    if (deleted == NOT_FOUND) r->occupied++;
    r->size++;
    set_flag(flags, bucket, FLAG_LIVE);
    keys[bucket] = int32_t(pos);
    if (r->kind == KIND_VALUES) note_position(table, pos, bucket);
    return 0;
}

struct Lookup {
    const Cell* key;
    int64_t head, skip;
    int op;
    bool last, reverse;
};

// Among the positions of a hash! bucket whose first cell equals the key, the
// one the lookup asks for, or nullptr.
Cell* pick_in_group(const Record* r, int32_t bucket_key, const Lookup& q) {
    Cell* block = cells(r);
    if (!actions::compare_for_tables(block + first_position(r, bucket_key), q.key, COMP_EQUAL)) return nullptr;
    int64_t best = -1;
    auto consider = [&](int64_t p) {
        if (q.reverse ? p >= q.head : p < q.head) return;
        int64_t distance = q.reverse ? q.head - 1 - p : p - q.head;
        if (distance % q.skip != 0 || !actions::compare_for_tables(block + p, q.key, q.op)) return;
        if (best < 0 || (q.last ? p > best : p < best)) best = p;
    };
    if (bucket_key >= 0) {
        consider(bucket_key);
    } else {
        Node chain = chain_of(r, bucket_key);
        for (uint32_t i = 1, n = array::length(chain); i <= n; i++) consider(array::pick_ptr(chain, i));
    }
    return best < 0 ? nullptr : block + best;
}

// Every bucket empty, no position indexed; the block is left as it is.
void empty_index(Node table) {
    Record* r = record(table);
    r->size = 0;
    r->occupied = 0;
    fill_array(r->flags, ALL_EMPTY);
    if (r->kind == KIND_VALUES) {
        fill_array(positions(r), NO_POSITION);
        array::clear(r->chains);
    }
}

// A map! pair whose key is already present gives that entry its value and
// leaves the block; the cells after it are not indexed yet, so no key moves.
void take_pair(Node table, Cell* entry, uint32_t pos) {
    Record* r = record(table);
    Cell* block = cells(r);
    if (entry[1].header == 0) r->size++;  // a removed entry comes back
    entry[1] = block[pos + 1];
    SeriesBuffer* b = node_buffer(r->block);
    std::memmove(block + pos, block + pos + 2, (b->length() - pos - 2) * sizeof(Cell));
    b->tail = Off(uint32_t(b->tail) - 2 * sizeof(Cell));
}

void reindex_pairs(Node table, uint32_t start) {
    uint32_t pos = start;
    while (pos + 1 < block_length(record(table))) {
        Cell* entry = find(table, cells(record(table)) + pos, 0, 1, COMP_STRICT_EQUAL, false, false);
        if (entry) {
            take_pair(table, entry, pos);
            continue;
        }
        put_position(table, pos);
        Cell* key = cells(record(table)) + pos;
        map::normalize_key(key, key);
        pos += 2;
    }
}

}  // namespace

namespace layout {

void remove_position(Node table, uint32_t pos) {
    Record* r = record(table);
    if (r->kind == KIND_MAP) {
        Cell* value = cells(r) + pos + 1;
        if (value->header == 0) return;
        value->header = 0;
        r->size--;
        return;
    }
    if (pos >= array::length(positions(r))) return;
    int32_t* slots = position_slots(r);
    if (slots[pos] < 1) return;
    uint32_t bucket = uint32_t(slots[pos] - 1);
    slots[pos] = -1;
    int32_t key = key_slots(r)[bucket];
    if (key < 0) {
        Node chain = chain_of(r, key);
        array::remove_ptr(chain, pos);
        if (array::length(chain) > 0) return;
        array::poke_ptr(r->chains, uint32_t(-key), uint32_t(Node::none));
    }
    set_flag(flag_words(r), bucket, FLAG_DELETED);
    r->size--;
}

}  // namespace layout

bool default_compare(const Cell* a, const Cell* b, int op) {
    uint32_t type = cell_type(a);
    if (type != cell_type(b)) return false;
    if (op == COMP_SAME) return same_payload(a, b);
    bool strict = op == COMP_STRICT_EQUAL;
    if (is_any_string(type)) return same_text(a, b, !strict);
    if (is_all_word(type))
        return strict ? word::symbol(a) == word::symbol(b)
                      : symbol::resolve(word::symbol(a)) == symbol::resolve(word::symbol(b));
    switch (type) {
        case TYPE_SYMBOL: return same_name(a, b, !strict);
        case TYPE_INTEGER: case TYPE_CHAR: return integer::get(a) == integer::get(b);
        default: return same_payload(a, b);
    }
}

Node make(uint32_t size, const Cell* block, int32_t kind, uint32_t width) {
    if (kind == KIND_WORDS && width == 2 && block && cell_type(block) == TYPE_CONTEXT)
        return clone(context::table_of(block));
    bool shared = block && kind < KIND_RECORDS;
    uint32_t head = shared ? series_index(block) : 0;
    Node shared_block = shared ? series_node(block) : Node::none;
    uint64_t request = std::max<uint32_t>(size, 4);
    if (kind == KIND_WORDS && request >= 4000) request *= 2;

    Node table = new_record(kind);
    set_buckets(table, power_of_two_at_least(uint64_t(double(request) / LOAD)));
    if (kind == KIND_VALUES) {
        Node positions_node = filled_array(size, sizeof(int32_t), NO_POSITION);
        record(table)->positions_or_width = uint32_t(positions_node);
        Node chains = array::make(0, sizeof(uint32_t));
        record(table)->chains = chains;
    }
    if (kind >= KIND_RECORDS) {
        uint64_t record_bytes = (uint64_t(width) + 1) * sizeof(Cell);
        if (record_bytes > INT32_MAX) fire(err::internal::no_memory);
        record(table)->positions_or_width = uint32_t(record_bytes);
    }
    if (!shared) {
        Node own_block = memory::alloc_cells(uint32_t(request));
        record(table)->block = own_block;
        return table;
    }
    record(table)->block = shared_block;
    reindex(table, head, kind == KIND_MAP ? 2 : 1);
    return table;
}

Cell* put_star(Node table, Cell* cell, int* result) {
    auto pos = uint32_t(cell - cells(record(table)));
    *result = put_position(table, pos);
    return cells(record(table)) + pos;
}

Cell* put(Node table, Cell* cell) {
    int result;
    return put_star(table, cell, &result);
}

Cell* find(Node table, const Cell* key, int32_t head, int32_t skip, int op, bool last, bool reverse) {
    Cell wanted = *key;
    Record* r = record(table);
    // A map! stores its word keys as set-words.
    if (r->kind == KIND_MAP && is_any_word(cell_type(key))) set_type(&wanted, TYPE_SET_WORD);
    Lookup q{&wanted, head, std::max<int64_t>(std::abs(int64_t(skip)), 1), op, last || reverse, reverse};
    const uint32_t* flags = flag_words(r);
    const int32_t* keys = key_slots(r);
    Probe probe(murmur::value(&wanted, false), r->bucket_count);
    do {
        uint32_t f = flag(flags, probe.bucket);
        if (f == FLAG_EMPTY) return nullptr;
        if (f == FLAG_DELETED) continue;
        int32_t bucket_key = keys[probe.bucket];
        if (r->kind == KIND_VALUES) {
            if (Cell* hit = pick_in_group(r, bucket_key, q)) return hit;
            continue;
        }
        Cell* candidate = cells(r) + bucket_key;
        if (cell_type(candidate) == cell_type(&wanted) && actions::compare_for_tables(candidate, &wanted, op))
            return candidate;
    } while (probe.advance());
    return nullptr;
}

Cell* find_next(Node table, const Cell* key, int32_t* bucket, uint32_t* step) {
    Record* r = record(table);
    Probe probe(murmur::value(key, false), r->bucket_count);
    if (*bucket != -1) {
        probe.bucket = uint32_t(*bucket);
        probe.step = *step;
        if (!probe.advance()) return nullptr;
    }
    const uint32_t* flags = flag_words(r);
    const int32_t* keys = key_slots(r);
    do {
        uint32_t f = flag(flags, probe.bucket);
        if (f == FLAG_EMPTY) return nullptr;
        if (f == FLAG_DELETED) continue;
        Cell* first = cells(r) + first_position(r, keys[probe.bucket]);
        if (cell_type(first) == cell_type(key) && actions::compare_for_tables(first, key, COMP_EQUAL)) {
            *bucket = int32_t(probe.bucket);
            *step = probe.step;
            return first;
        }
    } while (probe.advance());
    return nullptr;
}

void remove_cell(Node table, Cell* cell) { remove_position(table, uint32_t(cell - cells(record(table)))); }

void remove_range(Node table, uint32_t index, uint32_t count) {
    uint32_t length = block_length(record(table));
    if (index >= length) return;
    count = std::min(count, length - index);
    if (count == length) {
        empty_index(table);
        return;
    }
    for (uint32_t pos = index; pos < index + count; pos++) remove_position(table, pos);
}

void clear(Node table) {
    empty_index(table);
    SeriesBuffer* b = node_buffer(record(table)->block);
    b->tail = b->offset;
}

Node copy(Node table, Node block) {
    Node twin = memory::copy_series(node_buffer(table));
    record(twin)->block = block;
    Node flags = array::copy(record(table)->flags);
    record(twin)->flags = flags;
    Node keys = array::copy(record(table)->keys);
    record(twin)->keys = keys;
    if (record(table)->kind != KIND_VALUES) return twin;

    Node positions_node = array::copy(positions(record(table)));
    record(twin)->positions_or_width = uint32_t(positions_node);
    Node chains = array::copy(record(table)->chains);
    record(twin)->chains = chains;
    // Chains of its own: removing a cell from one table must not touch the other.
    for (uint32_t i = 1, n = array::length(chains); i <= n; i++) {
        auto chain = Node(array::pick_ptr(chains, i));
        if (chain == Node::none) continue;
        Node own = array::copy(chain);
        array::poke_ptr(chains, i, uint32_t(own));
    }
    return twin;
}

Node clone(Node table) {
    Node block = memory::copy_series(node_buffer(record(table)->block));
    return copy(table, block);
}

void reset(Node table, uint32_t request) {
    set_buckets(table, std::max<uint32_t>(power_of_two_at_least(uint64_t(request) * 3 / 2), 4));
    Record* r = record(table);
    r->size = 0;
    r->occupied = 0;
    r->stamp = 0;
    array::clear(r->chains);
    fill_array(positions(r), NO_POSITION);
    reindex(table, 0, 1);
}

void reindex(Node table, uint32_t start, uint32_t step) {
    if (record(table)->kind == KIND_MAP) {
        reindex_pairs(table, start);
        return;
    }
    for (uint32_t pos = start; pos < block_length(record(table)); pos += step)
        if (put_position(table, pos) == PUT_REBUILT) return;
}

void for_each_owned_node(Node table, void (*visit)(Node node, void* context), void* context) {
    Record* r = record(table);
    Node owned[] = {r->flags, r->keys, r->block,
                    r->kind == KIND_VALUES ? positions(r) : Node::none,
                    r->kind == KIND_VALUES ? r->chains : Node::none};
    for (Node node : owned)
        if (node != Node::none) visit(node, context);
    if (r->kind != KIND_VALUES || r->chains == Node::none) return;
    for (uint32_t i = 1, n = array::length(r->chains); i <= n; i++) {
        auto chain = Node(array::pick_ptr(r->chains, i));
        if (chain != Node::none) visit(chain, context);
    }
}

}  // namespace vek::hash_table
