// The kind-2 lookups: interning symbol names in the symbol table and finding
// words in context word tables. Both grow sixteen-fold at a time, since such
// tables only ever gain entries.
#include <cstring>

#include "runtime/datatypes/word/symbol.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/memory/manager.h"
#include "runtime/tables/hash_table.h"
#include "runtime/tables/hash_table_layout.h"
#include "runtime/tables/murmur.h"

namespace vek::hash_table {

using namespace layout;

namespace {

constexpr uint32_t CANONICAL = UINT32_MAX;  // the alias of a symbol that is no case variant
constexpr uint32_t GROWTH_FACTOR = 16;

void grow_if_full(Node table) {
    Record* r = record(table);
    if (r->occupied < r->upper_bound) return;
    uint64_t n = r->bucket_count;
    uint64_t step = uint64_t(r->size) * 2 < n ? n - 1 : n + 1;
    resize(table, GROWTH_FACTOR * step);
}

bool same_name(const Cell* symbol, const char* name, uint32_t length, bool fold) {
    SeriesBuffer* text = node_buffer(symbol::name_bytes(symbol));
    return text->used_bytes() == length && same_name_bytes(text->first(), name, length, fold);
}

// Probes for the name until an empty bucket: the matching symbol's position,
// or NOT_FOUND with the empty bucket in *empty.
uint32_t probe_name(const Record* r, uint32_t hash, const char* name, uint32_t length, bool fold,
                    uint32_t* empty) {
    const uint32_t* flags = flag_words(r);
    const int32_t* keys = key_slots(r);
    const Cell* symbols = cells(r);
    Probe probe(hash, r->bucket_count);
    do {
        uint32_t f = flag(flags, probe.bucket);
        if (f == FLAG_EMPTY) {
            *empty = probe.bucket;
            return NOT_FOUND;
        }
        int32_t pos = keys[probe.bucket];
        if (f == FLAG_LIVE && same_name(symbols + pos, name, length, fold)) return uint32_t(pos);
    } while (probe.advance());
    return NOT_FOUND;
}

// A NUL-terminated byte series whose length is the name's.
Node new_name(const char* name, uint32_t length) {
    Node node = memory::alloc_bytes(length + 1);
    SeriesBuffer* b = node_buffer(node);
    std::memcpy(b->first(), name, length);
    b->first()[length] = std::byte{0};
    b->tail = b->offset + length;
    return node;
}

// Takes an empty bucket for the cell just appended at the block's tail.
void index_appended(Node table, uint32_t bucket) {
    Record* r = record(table);
    set_flag(flag_words(r), bucket, FLAG_LIVE);
    key_slots(r)[bucket] = int32_t(block_length(r) - 1);
    r->size++;
    r->occupied++;
}

}  // namespace

uint32_t find_symbol(Node table, const char* name, uint32_t length, bool fold) {
    grow_if_full(table);
    Record* r = record(table);
    uint32_t hash = murmur::symbol_name(name, length);
    uint32_t empty = NOT_FOUND;
    uint32_t pos = probe_name(r, hash, name, length, fold, &empty);
    if (pos != NOT_FOUND) return pos + 1;
    uint32_t alias = CANONICAL;
    uint32_t unused;
    if (!fold) {
        uint32_t variant = probe_name(r, hash, name, length, true, &unused);
        // Always the canonical symbol, whichever spelling the probe met first.
        if (variant != NOT_FOUND) {
            auto variant_alias = uint32_t(symbol::alias(cells(r) + variant));
            alias = variant_alias != CANONICAL ? variant_alias : variant + 1;
        }
    }
    Node name_node = new_name(name, length);
    Cell* symbol = series::alloc_tail_cell(node_buffer(record(table)->block));
    *symbol = symbol::cell(int32_t(alias), name_node);
    index_appended(table, empty);
    return block_length(record(table));
}

int32_t find_or_add_word(Node table, uint32_t symbol, bool case_insensitive, Node context,
                         int32_t* index) {
    bool adding = context != Node::none;
    if (adding) grow_if_full(table);
    Record* r = record(table);
    uint32_t wanted = symbol::resolve(symbol);
    const uint32_t* flags = flag_words(r);
    const int32_t* keys = key_slots(r);
    const Cell* words = cells(r);
    uint32_t empty = NOT_FOUND;
    Probe probe(murmur::mix(wanted), r->bucket_count);
    do {
        uint32_t f = flag(flags, probe.bucket);
        if (f == FLAG_EMPTY) {
            empty = probe.bucket;
            break;
        }
        if (f != FLAG_LIVE) continue;
        int32_t pos = keys[probe.bucket];
        uint32_t entry = word::symbol(words + pos);
        if (entry == symbol || (case_insensitive && symbol::resolve(entry) == wanted)) {
            if (adding) *index = pos;
            return pos;
        }
    } while (probe.advance());
    if (!adding) return -1;
    uint32_t pos = block_length(r);
    Cell* word = series::alloc_tail_cell(node_buffer(r->block));
    *word = word::cell(TYPE_WORD, context, symbol, pos);
    index_appended(table, empty);
    *index = int32_t(pos);
    return -1;
}

}  // namespace vek::hash_table
