#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/memory/manager.h"
#include "runtime/tables/hash_table.h"
#include "runtime/tables/hash_table_layout.h"
#include "runtime/tables/murmur.h"
#include "runtime/tables/random.h"
#include "runtime/text/unicode.h"
#include "tests/unit/support/string_cells.h"
#include "tests/unit/support/value_cells.h"

namespace vek::hash_table {
namespace {

// ---------------------------------------------------------------- cells

using test::block_cell;
using test::integer_cell;
using test::text_cell;

Cell word(uint32_t symbol, uint32_t type = TYPE_WORD) { return Cell{type, 0, symbol, 0}; }

// ---------------------------------------------------------------- blocks

Node block_of(std::initializer_list<Cell> cells) {
    Node block = memory::alloc_cells(uint32_t(cells.size()));
    for (const Cell& c : cells) *series::alloc_tail_cell(node_buffer(block)) = c;
    return block;
}

Cell* at(Node block, uint32_t pos) { return node_buffer(block)->cells() + pos; }
uint32_t length_of(Node block) { return node_buffer(block)->length(); }

Cell* append(Node block, Cell c) {
    Cell* cell = series::alloc_tail_cell(node_buffer(block));
    *cell = c;
    return cell;
}

// Opens a cell at pos, as an insertion into a hash! block does.
void insert_at(Node block, uint32_t pos, Cell c) {
    append(block, c);
    Cell* cells = at(block, 0);
    std::memmove(cells + pos + 1, cells + pos, (length_of(block) - 1 - pos) * sizeof(Cell));
    cells[pos] = c;
}

void remove_at(Node block, uint32_t pos) {
    SeriesBuffer* b = node_buffer(block);
    Cell* cells = b->cells();
    std::memmove(cells + pos, cells + pos + 1, (b->length() - pos - 1) * sizeof(Cell));
    b->tail = Off(uint32_t(b->tail) - sizeof(Cell));
}

// ---------------------------------------------------------------- lookups

struct Query {
    int32_t head = 0, skip = 1;
    int op = COMP_EQUAL;
    bool last = false, reverse = false;
};

// Position of the cell found, or -1.
int64_t where(Node table, const Cell& key, Query q = {}) {
    Cell* hit = find(table, &key, q.head, q.skip, q.op, q.last, q.reverse);
    return hit ? hit - node_buffer(record(table)->block)->cells() : -1;
}

uint32_t buckets_in(Node table) { return record(table)->bucket_count; }

bool all_buckets_empty(Node table) {
    const uint32_t* flags = layout::flag_words(record(table));
    for (uint32_t b = 0; b < buckets_in(table); b++)
        if (layout::flag(flags, b) != layout::FLAG_EMPTY) return false;
    return true;
}

// Symbols of the runtime's table, "table-word-<n>", and a case variant of
// the same name.
uint32_t numbered_symbol(uint32_t n) { return symbol::make(("table-word-" + std::to_string(n)).c_str()); }
uint32_t shouted_symbol(uint32_t n) { return symbol::make(("TABLE-WORD-" + std::to_string(n)).c_str()); }

// Each live bucket's slot holds the hash that placed its key: the key's
// hash_of (kinds 0-2), or its node's mix (kinds 3-4). Answers the live
// buckets seen.
uint32_t expect_slots_hold_their_hashes(Node table) {
    const Record* r = record(table);
    const uint32_t* flags = layout::flag_words(r);
    uint32_t live = 0;
    for (uint32_t b = 0; b < r->bucket_count; b++) {
        if (layout::flag(flags, b) != layout::FLAG_LIVE) continue;
        live++;
        const layout::Slot& slot = layout::slots(r)[b];
        uint32_t expected = r->kind >= KIND_RECORDS
                                ? murmur::mix(layout::record_key(layout::record_at(r, slot.key)))
                                : hash_of(layout::cells(r) + layout::first_position(r, slot.key));
        EXPECT_EQ(slot.hash, expected) << "kind " << r->kind << " bucket " << b;
    }
    return live;
}

// ---------------------------------------------------------------- hashing

TEST(Hash, Murmur3MatchesTheReferenceVectors) {
    uint32_t saved = hash_seed;
    struct Case {
        uint32_t seed;
        std::string_view bytes;
        uint32_t hash;
    } cases[] = {
        {0, "", 0},
        {1, "", 0x514E28B7u},
        {0, "hello", 0x248BFA47u},
        {0, "The quick brown fox jumps over the lazy dog", 0x2E4FF723u},
        {random::HASH_SEED, "hello", 0xB7D9BED1u},
    };
    for (const Case& c : cases) {
        hash_seed = c.seed;
        EXPECT_EQ(murmur::murmur3(c.bytes.data(), c.bytes.size()), c.hash) << c.bytes << " seed " << c.seed;
    }
    hash_seed = saved;
    EXPECT_EQ(murmur::mix(0), 0u);
    EXPECT_EQ(murmur::mix(1), 0x514E28B7u) << "the finaliser alone, as murmur3 of nothing with seed 1";
}

TEST(Hash, StringsHashTheirCodePointsAsWordsFoldedToUpperCase) {
    const uint32_t upper[] = {U'A', U'B', 0x00C9};  // "ABÉ"
    uint32_t expected = murmur::murmur3(upper, sizeof upper);
    for (uint32_t unit : {1u, 2u, 4u}) {
        Cell lower = text_cell(U"ab\u00E9", unit);
        EXPECT_EQ(murmur::value(&lower, false), expected) << "unit " << unit;
        EXPECT_NE(murmur::value(&lower, true), expected) << "case-sensitive keeps the case";
    }
    Cell tail = text_cell(U"xAB\u00C9");
    set_series_index(&tail, 1);  // hashed from the head
    EXPECT_EQ(murmur::value(&tail, false), expected);
}

// Byte strings are folded four bytes at a time while they are ASCII: every
// length, head, letter boundary and non-ASCII byte still hashes its code
// points one by one in upper case.
TEST(Hash, ByteStringsFoldLikeCodePointByCodePoint) {
    const std::u32string texts[] = {U"",         U"a",        U"`az{",        U"@AZ[",          U"hello world",
                                    U"1234567",  U"MiXeD cAsE zz", U"abc\u00E9defgh", U"\u00FFabcdefg", U"abcdefg\u00B5"};
    for (const std::u32string& text : texts)
        for (uint32_t head : {0u, 1u, 3u}) {
            std::vector<uint32_t> upper;
            for (size_t i = head; i < text.size(); i++) upper.push_back(unicode::to_upper(uint32_t(text[i])));
            Cell cell = text_cell(text, 1, TYPE_STRING, head);
            EXPECT_EQ(murmur::value(&cell, false), murmur::murmur3(upper.data(), upper.size() * sizeof(uint32_t)))
                << "text of " << text.size() << " at " << head;
        }
}

TEST(Hash, FixedRulesForUnsetNoneMoneyAndSymbols) {
    Cell unset{TYPE_UNSET, 7, 7, 7}, none{TYPE_NONE, 7, 7, 7};
    EXPECT_EQ(murmur::value(&unset, false), uint32_t(-2));
    EXPECT_EQ(murmur::value(&none, false), uint32_t(-1));
    Cell i = integer_cell(42);
    EXPECT_EQ(murmur::value(&i, false), murmur::mix(42));

    constexpr uint32_t SIGN = 1u << 14;
    Cell money{TYPE_MONEY, 1, 2, 3}, flagged{TYPE_MONEY | 0x00A00000u, 1, 2, 3}, negative{TYPE_MONEY | SIGN, 1, 2, 3};
    EXPECT_EQ(murmur::value(&money, false), murmur::value(&flagged, false));
    EXPECT_NE(murmur::value(&money, false), murmur::value(&negative, false));

    // Only ASCII letters fold in symbol names.
    EXPECT_EQ(murmur::symbol_name("Hello", 5), murmur::murmur3("hello", 5));
    EXPECT_NE(murmur::symbol_name("\xC3\x89", 2), murmur::symbol_name("\xC3\xA9", 2));
    // Whole blocks fold four bytes at once: every byte, in every lane, beside
    // the neighbours of the letter range, hashes as its folded copy does.
    for (uint32_t b = 0; b < 256; b++) {
        for (uint32_t lane = 0; lane < 4; lane++) {
            char name[5] = "@Z[a";
            name[lane] = char(b);
            char folded[5];
            for (uint32_t i = 0; i < 5; i++) folded[i] = char(murmur::fold_ascii(uint8_t(name[i])));
            ASSERT_EQ(murmur::symbol_name(name, 4), murmur::murmur3(folded, 4)) << b << " in lane " << lane;
        }
    }
}

TEST(Tables, WordCaseVariantsHashAlike) {
    Cell lower = word(numbered_symbol(5)), upper = word(shouted_symbol(5), TYPE_SET_WORD);
    EXPECT_EQ(murmur::value(&lower, false), murmur::value(&upper, false));
}

// ---------------------------------------------------------------- sizing

TEST(Tables, SizingFollowsTheLoadFactor) {
    struct Case {
        uint32_t size;
        int32_t kind;
        uint32_t buckets;
        int32_t upper;
    } cases[] = {
        {0, KIND_VALUES, 8, 6},     {3, KIND_MAP, 8, 6},        {4, KIND_RECORDS, 8, 6},
        {10, KIND_MAP, 16, 12},     {1000, KIND_VALUES, 2048, 1576},
        {4000, KIND_WORDS, 16384, 12615},  // a large word table is doubled first
    };
    for (const Case& c : cases) {
        Node t = make(c.size, nullptr, c.kind, 0);
        EXPECT_EQ(buckets_in(t), c.buckets) << c.size;
        EXPECT_EQ(record(t)->upper_bound, c.upper) << c.size;
        EXPECT_EQ(record(t)->size, 0);
        EXPECT_TRUE(all_buckets_empty(t));
        EXPECT_NE(node_buffer(t)->flags & BUF_KIND_HASH, 0u);
        EXPECT_EQ(node_buffer(t)->used_bytes(), sizeof(Record));
    }
}

// ---------------------------------------------------------------- hash! (kind 0)

TEST(Tables, ValuesIndexGrowsAndKeepsEveryCell) {
    Node block = block_of({});
    Cell value = block_cell(block);
    Node t = make(0, &value, KIND_VALUES, 0);
    bool rebuilt = false;
    for (int32_t i = 0; i < 2000; i++) {
        int result;
        put_star(t, append(block, integer_cell(i % 700)), &result);
        rebuilt |= result == PUT_REBUILT;
    }
    EXPECT_TRUE(rebuilt);
    EXPECT_GE(buckets_in(t), 1024u);
    EXPECT_EQ(record(t)->size, 700) << "equal keys count once";
    for (int32_t v = 0; v < 700; v++) {
        ASSERT_EQ(where(t, integer_cell(v)), v);
        ASSERT_EQ(where(t, integer_cell(v), {.last = true}), v < 600 ? v + 1400 : v + 700);
        ASSERT_EQ(where(t, integer_cell(v), {.head = v + 1}), v + 700);
    }
    EXPECT_EQ(where(t, integer_cell(700)), -1);
}

TEST(Tables, MakeIndexesFromTheHeadOfTheValue) {
    Node block = block_of({integer_cell(1), integer_cell(2), integer_cell(3)});
    Cell value = block_cell(block, 1);
    Node t = make(3, &value, KIND_VALUES, 0);
    EXPECT_EQ(where(t, integer_cell(1)), -1);
    EXPECT_EQ(where(t, integer_cell(3)), 2);
}

TEST(Tables, EqualKeysShareOneChain) {
    Node block = block_of({text_cell(U"abc"), text_cell(U"x"), text_cell(U"ABC"), text_cell(U"abc"), text_cell(U"Abc")});
    Cell value = block_cell(block);
    Node t = make(5, &value, KIND_VALUES, 0);
    EXPECT_EQ(record(t)->size, 2);
    Cell abc = text_cell(U"abc"), caps = text_cell(U"ABC");
    struct Case {
        const Cell& key;
        Query query;
        int64_t found;
    } cases[] = {
        {abc, {}, 0},
        {abc, {.head = 1}, 2},
        {caps, {.op = COMP_STRICT_EQUAL}, 2},
        {abc, {.head = 1, .op = COMP_STRICT_EQUAL}, 3},
        {abc, {.last = true}, 4},
        {abc, {.head = 4, .reverse = true}, 3},
        {abc, {.head = 2, .reverse = true}, 0},
        {abc, {.head = 1, .skip = 2}, 3},
        {abc, {.head = 5}, -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(where(t, c.key, c.query), c.found)
            << "head " << c.query.head << " skip " << c.query.skip << " op " << c.query.op;

    remove_cell(t, at(block, 0));
    EXPECT_EQ(where(t, abc), 2);
    EXPECT_EQ(record(t)->size, 2) << "the chain keeps members";
    for (uint32_t pos : {2u, 3u, 4u}) remove_cell(t, at(block, pos));
    EXPECT_EQ(where(t, abc), -1);
    EXPECT_EQ(record(t)->size, 1);
    EXPECT_EQ(where(t, text_cell(U"X")), 1);

    put(t, at(block, 3));
    EXPECT_EQ(where(t, caps), 3) << "re-inserted after removal";
    EXPECT_EQ(record(t)->size, 2);
}

TEST(Tables, InsertionAndRemovalShiftStoredPositions) {
    Node block = block_of({integer_cell(10), integer_cell(20), integer_cell(30), integer_cell(20), integer_cell(40)});
    Cell value = block_cell(block);
    Node t = make(5, &value, KIND_VALUES, 0);

    insert_at(block, 1, integer_cell(99));
    ASSERT_EQ(shift_indexes(t, 1, 1, 4, true), 0);
    put(t, at(block, 1));
    struct Case {
        int32_t key, head;
        int64_t found;
    };
    for (Case c : {Case{10, 0, 0}, {99, 0, 1}, {20, 0, 2}, {20, 3, 4}, {30, 0, 3}, {40, 0, 5}})
        EXPECT_EQ(where(t, integer_cell(c.key), {.head = c.head}), c.found) << c.key << " after insertion";

    remove_at(block, 3);  // 30
    ASSERT_EQ(shift_indexes(t, -1, 4, 2, true), 0);
    for (Case c : {Case{30, 0, -1}, {20, 0, 2}, {20, 3, 3}, {40, 0, 4}, {10, 0, 0}})
        EXPECT_EQ(where(t, integer_cell(c.key), {.head = c.head}), c.found) << c.key << " after removal";
    EXPECT_EQ(record(t)->size, 4);

    remove_at(block, 2);  // the first 20: its chain keeps the other
    ASSERT_EQ(shift_indexes(t, -1, 3, 2, true), 0);
    EXPECT_EQ(where(t, integer_cell(20)), 2);
    EXPECT_EQ(where(t, integer_cell(40)), 3);
    EXPECT_EQ(where(t, integer_cell(20), {.head = 3}), -1);

    EXPECT_EQ(shift_indexes(t, 1, 0, SHIFT_LIMIT + 1, true), 1) << "the caller rebuilds instead";
    EXPECT_EQ(where(t, integer_cell(40)), 3);
}

TEST(Tables, ChurnDoesNotGrowTheValuesIndex) {
    Node block = block_of({});
    Cell value = block_cell(block);
    Node t = make(8, &value, KIND_VALUES, 0);
    for (int32_t i = 0; i < 8; i++) put(t, append(block, integer_cell(i)));
    for (int32_t i = 8; i < 5000; i++) {
        ASSERT_EQ(shift_indexes(t, -1, 1, length_of(block) - 1, true), 0);
        remove_at(block, 0);
        put(t, append(block, integer_cell(i)));
    }
    EXPECT_LE(buckets_in(t), 32u);
    for (int32_t i = 4992; i < 5000; i++) EXPECT_EQ(where(t, integer_cell(i)), i - 4992);
    EXPECT_EQ(where(t, integer_cell(4991)), -1);
}

TEST(Tables, MovedRunsKeepTheirKeys) {
    // Equal values, so that chains take part in the move.
    Node block = block_of({integer_cell(7), integer_cell(8), integer_cell(7), integer_cell(9), integer_cell(7), integer_cell(8)});
    Cell value = block_cell(block);
    Node t = make(6, &value, KIND_VALUES, 0);
    auto positions_of = [&](int32_t v) {
        std::string found;
        for (int64_t p = where(t, integer_cell(v)); p >= 0; p = where(t, integer_cell(v), {.head = int32_t(p + 1)}))
            found += std::to_string(p);
        return found;
    };
    auto rearrange = [&](std::initializer_list<int32_t> values) {
        Cell* cells = at(block, 0);
        int i = 0;
        for (int32_t v : values) cells[i++] = integer_cell(v);
    };

    // The run at 1-2 (8 7) moves forward to end at 4: 7 9 7 8 7 8.
    move_indexes(t, 4, 1, 2);
    rearrange({7, 9, 7, 8, 7, 8});
    EXPECT_EQ(positions_of(7), "024");
    EXPECT_EQ(positions_of(8), "35");
    EXPECT_EQ(positions_of(9), "1");

    // The run at 3-5 (8 7 8) moves back to start at 0: 8 7 8 7 9 7.
    move_indexes(t, 0, 3, 3);
    rearrange({8, 7, 8, 7, 9, 7});
    EXPECT_EQ(positions_of(7), "135");
    EXPECT_EQ(positions_of(8), "02");
    EXPECT_EQ(positions_of(9), "4");

    move_indexes(t, 1, 0, 3);  // inside the run: nothing happens
    EXPECT_EQ(positions_of(8), "02");
}

TEST(Tables, RemovingTheWholeRangeEmptiesTheIndex) {
    Node block = block_of({integer_cell(1), integer_cell(2), integer_cell(2), integer_cell(3)});
    Cell value = block_cell(block);
    Node t = make(4, &value, KIND_VALUES, 0);
    remove_range(t, 1, 2);
    EXPECT_EQ(where(t, integer_cell(2)), -1);
    EXPECT_EQ(where(t, integer_cell(3)), 3);
    remove_range(t, 0, 100);
    EXPECT_EQ(record(t)->size, 0);
    EXPECT_EQ(record(t)->occupied, 0);
    EXPECT_TRUE(all_buckets_empty(t));
    put(t, at(block, 3));
    EXPECT_EQ(where(t, integer_cell(3)), 3);
    EXPECT_EQ(where(t, integer_cell(1)), -1);
}

TEST(Tables, CopiesHaveChainsOfTheirOwn) {
    Node block = block_of({integer_cell(5), integer_cell(5), integer_cell(6)});
    Cell value = block_cell(block);
    Node t = make(3, &value, KIND_VALUES, 0);
    Node twin_block = memory::copy_series(node_buffer(block));
    Node twin = copy(t, twin_block);
    EXPECT_EQ(record(twin)->block, twin_block);
    remove_cell(twin, at(twin_block, 0));
    EXPECT_EQ(where(twin, integer_cell(5)), 1);
    EXPECT_EQ(where(t, integer_cell(5)), 0) << "the original keeps its chain";
    remove_cell(t, at(block, 2));
    EXPECT_EQ(where(twin, integer_cell(6)), 2);
}

TEST(Tables, ClearEmptiesTableAndBlock) {
    Node block = block_of({integer_cell(1), integer_cell(1)});
    Cell value = block_cell(block);
    Node t = make(2, &value, KIND_VALUES, 0);
    clear(t);
    EXPECT_EQ(length_of(block), 0u);
    EXPECT_TRUE(all_buckets_empty(t));
    put(t, append(block, integer_cell(4)));
    EXPECT_EQ(where(t, integer_cell(4)), 0);
    EXPECT_EQ(record(t)->size, 1);
}

// ---------------------------------------------------------------- map! (kind 1)

TEST(Tables, MapPairsLaterValueWins) {
    Node block = block_of({integer_cell(1), integer_cell(100), integer_cell(2), integer_cell(200), integer_cell(1), integer_cell(300)});
    Cell value = block_cell(block);
    Node t = make(6, &value, KIND_MAP, 0);
    EXPECT_EQ(length_of(block), 4u);
    EXPECT_EQ(record(t)->size, 2);
    EXPECT_EQ(where(t, integer_cell(1)), 0);
    EXPECT_EQ(integer::get(at(block, 1)), 300);

    remove_cell(t, at(block, 0));
    EXPECT_EQ(at(block, 1)->header, 0u);
    EXPECT_EQ(record(t)->size, 1);
    EXPECT_EQ(where(t, integer_cell(1)), 0) << "a removed entry is still found";

    append(block, integer_cell(1));
    append(block, integer_cell(400));
    reindex(t, 4, 2);
    EXPECT_EQ(length_of(block), 4u);
    EXPECT_EQ(integer::get(at(block, 1)), 400);
    EXPECT_EQ(record(t)->size, 2) << "the entry came back";
}

TEST(Tables, MapFindsWordKeysAsSetWords) {
    uint32_t one = numbered_symbol(1), two = numbered_symbol(2), variant = shouted_symbol(1);
    Node block = block_of({word(one), integer_cell(10), word(two, TYPE_SET_WORD), integer_cell(20)});
    Cell value = block_cell(block);
    Node t = make(4, &value, KIND_MAP, 0);
    EXPECT_EQ(cell_type(at(block, 0)), TYPE_SET_WORD);
    EXPECT_EQ(where(t, word(one, TYPE_GET_WORD)), 0);
    EXPECT_EQ(where(t, word(two, TYPE_LIT_WORD)), 2);
    EXPECT_EQ(where(t, word(variant)), 0) << "a case variant";
    EXPECT_EQ(where(t, word(variant), {.op = COMP_STRICT_EQUAL}), -1);
    EXPECT_EQ(where(t, word(one, TYPE_REFINEMENT)), -1) << "another datatype";
}

TEST(Tables, MapGrowsAndKeepsItsPairs) {
    Node block = block_of({});
    for (int32_t i = 0; i < 1000; i++) {
        append(block, integer_cell(i * 7));
        append(block, integer_cell(i));
    }
    Cell value = block_cell(block);
    Node t = make(4, &value, KIND_MAP, 0);  // too small: grows while indexing
    EXPECT_GE(buckets_in(t), 2048u);
    EXPECT_EQ(record(t)->size, 1000);
    for (int32_t i = 0; i < 1000; i++) {
        int64_t p = where(t, integer_cell(i * 7));
        ASSERT_EQ(p, 2 * i);
        ASSERT_EQ(integer::get(at(block, uint32_t(p) + 1)), i);
    }
}

// Growth re-places keys by their stored hashes, and probes pass keys by
// them: every kind keeps its hashes and finds its keys after growing.
TEST(Tables, SlotsKeepTheirHashesThroughGrowth) {
    Node pairs = block_of({});
    Cell map_value = block_cell(pairs);
    Node map = make(4, &map_value, KIND_MAP, 0);
    for (int32_t i = 0; i < 3000; i++) {
        // Text of every unit width, some of it hashed from a head past its first unit.
        std::string digits = std::to_string(i);
        std::u32string text = i % 2 ? U"Key-" : U"#";
        text.append(digits.begin(), digits.end());
        append(pairs, text_cell(text, 1u << (i % 3)));
        append(pairs, integer_cell(i));
        Cell* key = at(pairs, length_of(pairs) - 2);
        if (i % 2 == 0) set_series_index(key, 1);
        put(map, key);
    }
    EXPECT_GE(buckets_in(map), 1024u);
    EXPECT_EQ(expect_slots_hold_their_hashes(map), uint32_t(record(map)->size));
    for (uint32_t p = 0; p < length_of(pairs); p += 2) ASSERT_NE(where(map, *at(pairs, p)), -1) << p;

    Node symbols = block_of({});
    Cell symbols_value = block_cell(symbols);
    Node interned = make(4, &symbols_value, KIND_WORDS, 0);
    for (int i = 0; i < 500; i++) {
        std::string name = "Name-" + std::to_string(i);
        find_symbol(interned, name.c_str(), uint32_t(name.size()), false);
    }
    EXPECT_EQ(expect_slots_hold_their_hashes(interned), 500u);
    EXPECT_EQ(find_symbol(interned, "name-499", 8, true), 500u);

    Node words = make(0, nullptr, KIND_WORDS, 2);
    int32_t index = 0;
    for (uint32_t s = 0; s < 500; s++) find_or_add_word(words, numbered_symbol(s), false, Node(0x12340), &index);
    EXPECT_EQ(expect_slots_hold_their_hashes(words), 500u);
    EXPECT_EQ(find_or_add_word(words, shouted_symbol(250), true, Node::none, nullptr), 250);

    Node records = make(4, nullptr, KIND_RECORDS, 1);
    for (uint32_t i = 0; i < 1000; i++) add_record(records, Node(0x40000 + 4 * i));
    EXPECT_EQ(expect_slots_hold_their_hashes(records), 1000u);
    EXPECT_NE(find_record(records, Node(0x40000 + 4 * 999)), nullptr);
}

TEST(Tables, FindNextWalksEqualEntriesOfAProbe) {
    Node block = block_of({integer_cell(3), integer_cell(3), integer_cell(4)});
    Cell value = block_cell(block);
    Node t = make(3, &value, KIND_VALUES, 0);
    int32_t bucket = -1;
    uint32_t step = 0;
    Cell three = integer_cell(3);
    EXPECT_EQ(find_next(t, &three, &bucket, &step), at(block, 0));
    EXPECT_EQ(find_next(t, &three, &bucket, &step), nullptr) << "one bucket holds both";
}

// ---------------------------------------------------------------- kind 2

TEST(Tables, SymbolsInternWithCaseVariants) {
    Node symbols = block_of({});
    Cell value = block_cell(symbols);
    Node t = make(4, &value, KIND_WORDS, 0);
    uint32_t hello = find_symbol(t, "hello", 5, false);
    EXPECT_EQ(hello, 1u);
    EXPECT_EQ(find_symbol(t, "hello", 5, false), hello);
    EXPECT_EQ(length_of(symbols), 1u);
    Cell* cell = at(symbols, 0);
    EXPECT_EQ(cell_type(cell), uint32_t(TYPE_SYMBOL));
    EXPECT_EQ(uint32_t(symbol::alias(cell)), UINT32_MAX) << "canonical";
    SeriesBuffer* name = node_buffer(symbol::name_bytes(cell));
    EXPECT_EQ(name->used_bytes(), 5u);
    EXPECT_EQ(std::memcmp(name->first(), "hello\0", 6), 0);

    uint32_t capital = find_symbol(t, "Hello", 5, false);
    EXPECT_EQ(capital, 2u);
    EXPECT_EQ(uint32_t(symbol::alias(at(symbols, 1))), hello);
    uint32_t shout = find_symbol(t, "HELLO", 5, false);
    EXPECT_EQ(uint32_t(symbol::alias(at(symbols, shout - 1))), hello) << "the alias is always the canonical symbol";
    EXPECT_EQ(find_symbol(t, "hELLo", 5, true), hello);
    EXPECT_NE(find_symbol(t, "\xC3\x89t\xC3\xA9", 5, false), find_symbol(t, "\xC3\xA9t\xC3\xA9", 5, true))
        << "only ASCII folds";

    uint32_t before = buckets_in(t);
    char name_text[16];
    for (int i = 0; i < 300; i++) {
        int n = std::snprintf(name_text, sizeof name_text, "sym%d", i);
        ASSERT_EQ(find_symbol(t, name_text, uint32_t(n), false), uint32_t(i + 6));
    }
    EXPECT_GE(buckets_in(t), before * 16) << "symbol tables grow sixteen-fold";
    for (int i = 0; i < 300; i++) {
        int n = std::snprintf(name_text, sizeof name_text, "SYM%d", i);
        ASSERT_EQ(find_symbol(t, name_text, uint32_t(n), true), uint32_t(i + 6));
    }
    EXPECT_EQ(find_symbol(t, "hello", 5, false), hello);
}

TEST(Tables, WordTablesFindOrAddWords) {
    Node t = make(0, nullptr, KIND_WORDS, 2);
    const auto context = Node(0x12340);
    const uint32_t seven = numbered_symbol(7), variant = shouted_symbol(7);
    int32_t index = -5;
    EXPECT_EQ(find_or_add_word(t, seven, false, context, &index), -1);
    EXPECT_EQ(index, 0);
    Cell* entry = at(record(t)->block, 0);
    EXPECT_EQ(cell_type(entry), uint32_t(TYPE_WORD));
    EXPECT_EQ(word::context(entry), context);
    EXPECT_EQ(word::symbol(entry), seven);
    EXPECT_EQ(word::index(entry), 0u);

    index = -5;
    EXPECT_EQ(find_or_add_word(t, seven, false, context, &index), 0);
    EXPECT_EQ(index, 0);
    EXPECT_EQ(find_or_add_word(t, variant, true, Node::none, nullptr), 0) << "a case variant";
    EXPECT_EQ(find_or_add_word(t, variant, false, Node::none, nullptr), -1);

    for (uint32_t s = 100; s < 600; s++) find_or_add_word(t, numbered_symbol(s), false, context, &index);
    EXPECT_EQ(index, 500);
    for (uint32_t s = 100; s < 600; s++)
        ASSERT_EQ(find_or_add_word(t, numbered_symbol(s), true, Node::none, nullptr), int32_t(s - 99));
    EXPECT_EQ(record(t)->size, 501);

    // A word table made from a context! prototype is a copy with a block of its own.
    Cell prototype{TYPE_CONTEXT, uint32_t(t), 0, 0};
    Node twin = make(0, &prototype, KIND_WORDS, 2);
    EXPECT_NE(record(twin)->block, record(t)->block);
    EXPECT_EQ(find_or_add_word(twin, numbered_symbol(300), false, Node::none, nullptr), 201);
    find_or_add_word(twin, numbered_symbol(9999), false, context, &index);
    EXPECT_EQ(find_or_add_word(t, numbered_symbol(9999), false, Node::none, nullptr), -1);
}

// ---------------------------------------------------------------- kinds 3-4

TEST(Tables, RecordTablesAddFindAndRemoveByNode) {
    for (int32_t kind : {KIND_RECORDS, KIND_OWNERS}) {
        Node t = make(4, nullptr, kind, 2);
        auto key = [](uint32_t i) { return Node(0x20000 + 4 * i); };
        for (uint32_t i = 0; i < 1000; i++) {
            Cell* data = add_record(t, key(i));
            ASSERT_EQ(cell_type(data), uint32_t(TYPE_UNSET));
            ASSERT_EQ(cell_type(data + 1), uint32_t(TYPE_UNSET));
            data[0] = integer_cell(int32_t(i));
        }
        EXPECT_GE(buckets_in(t), 1024u) << kind;
        for (uint32_t i = 0; i < 1000; i++) {
            Cell* data = find_record(t, key(i));
            ASSERT_NE(data, nullptr) << i;
            ASSERT_EQ(uint32_t(integer::get(data)), i);
            ASSERT_EQ(layout::record_key(data - 1), uint32_t(key(i))) << "the header holds the key";
        }
        for (uint32_t i = 0; i < 1000; i += 2) ASSERT_NE(remove_record(t, key(i)), nullptr);
        EXPECT_EQ(remove_record(t, key(0)), nullptr);
        EXPECT_EQ(record(t)->size, 500);
        EXPECT_EQ(find_record(t, key(0)), nullptr);
        EXPECT_EQ(integer::get(find_record(t, key(1))), 1);

        Cell* again = add_record(t, key(0));
        EXPECT_EQ(cell_type(again), uint32_t(TYPE_UNSET)) << "a new record starts unset";
        Cell* existing = add_record(t, key(1));
        EXPECT_EQ(cell_type(existing), uint32_t(TYPE_UNSET)) << "so does one found";
        EXPECT_EQ(record(t)->size, 501);

        auto swept = [](Node k) { return (uint32_t(k) / 4) % 3 == 0; };
        sweep_records(t, [](Node k, const Cell*) { return (uint32_t(k) / 4) % 3 == 0; });
        int32_t live = 0;
        for (uint32_t i = 0; i < 1000; i++) {
            bool kept = (i % 2 == 1 || i == 0) && !swept(key(i));
            ASSERT_EQ(find_record(t, key(i)) != nullptr, kept) << i;
            live += kept;
        }
        EXPECT_EQ(record(t)->size, live);
    }
}

}  // namespace
}  // namespace vek::hash_table
