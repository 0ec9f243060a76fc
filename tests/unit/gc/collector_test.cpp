#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>
#include <vector>

#include "runtime/datatypes/callable/op.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/object/object.h"
#include "runtime/datatypes/word/context.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/gc/collector.h"
#include "runtime/memory/manager.h"
#include "runtime/memory/series.h"
#include "runtime/tables/hash_table.h"
#include "runtime/tables/ownership.h"
#include "tests/unit/support/manual_collection.h"
#include "tests/unit/support/value_cells.h"

namespace vek {
namespace {

using Collector = test::ManualCollectionTest;
using test::block_cell;
using test::collect_clean;
using test::string_node;
using test::text_of;

[[gnu::noinline]] void make_garbage(uint32_t buffers) {
    for (uint32_t i = 0; i < buffers; i++) memory::alloc_bytes(200);
}

Cell* append(Node block) { return series::alloc_tail_cell(node_buffer(block)); }

uint64_t bytes_in_frames() {
    uint64_t n = 0;
    for (SeriesFrame* f = mem.series_first; f; f = region::at<SeriesFrame>(f->next))
        n += f->free - region::off(f->area());
    return n;
}

uint64_t nodes_in_use() {
    uint64_t n = 0;
    for (NodeFrame* f = mem.node_first; f; f = region::at<NodeFrame>(f->next)) n += f->used;
    return n;
}

bool has_big_buffer_at(uint32_t offset) {
    for (BigFrame* f = mem.big_first; f; f = region::at<BigFrame>(f->next))
        if (uint32_t(region::off(f->buffer())) == offset) return true;
    return false;
}

// A pointer to a buffer's header, into its area, or one past its area keeps
// it in place; a buffer reached by its node alone slides over dead space.
TEST_F(Collector, PointerOnTheStackPinsItsBufferWhileNodesLetBuffersMove) {
    std::array<Node, 3> pinned_nodes;
    std::array<std::byte*, 3> pointers;
    for (uint32_t i = 0; i < pointers.size(); i++) {
        make_garbage(20);
        pinned_nodes[i] = string_node("held by a pointer");
        SeriesBuffer* b = node_buffer(pinned_nodes[i]);
        pointers[i] = i == 0 ? reinterpret_cast<std::byte*>(b) : i == 1 ? b->first() + 5 : b->area_end();
    }
    make_garbage(20);
    Node moved = string_node("held by a node");
    auto moved_at = uint32_t(region::off(node_buffer(moved)));
    std::array<uint32_t, 3> places;
    for (uint32_t i = 0; i < places.size(); i++) places[i] = uint32_t(region::off(node_buffer(pinned_nodes[i])));
    collect_clean();

    for (uint32_t i = 0; i < pointers.size(); i++) {
        SCOPED_TRACE(i);
        SeriesBuffer* b = node_buffer(pinned_nodes[i]);
        EXPECT_EQ(uint32_t(region::off(b)), places[i]);
        EXPECT_TRUE(pointers[i] >= reinterpret_cast<std::byte*>(b) && pointers[i] <= b->area_end());
        EXPECT_EQ(text_of(pinned_nodes[i]), "held by a pointer");
        EXPECT_FALSE(b->flags & (BUF_MARK | gc::BUF_PINNED));
    }
    EXPECT_EQ(pointers[1][0], std::byte{'b'});
    EXPECT_NE(uint32_t(region::off(node_buffer(moved))), moved_at);
    EXPECT_EQ(text_of(moved), "held by a node");
}

// Strings, integers and a nested block, all reached from one block cell held
// in a local, with dead buffers before each of them.
TEST_F(Collector, CompactionMovesLiveBuffersAndValuesReadTheSame) {
    constexpr uint32_t ITEMS = 40;
    make_garbage(10);
    Cell outer = block_cell(memory::alloc_cells(4));
    std::vector<uint32_t> places;  // on the C++ heap, where the scan does not look
    for (uint32_t i = 0; i < ITEMS; i++) {
        make_garbage(3);
        std::string text = "item " + std::to_string(i);
        Node s = string_node(text.c_str());
        places.push_back(uint32_t(region::off(node_buffer(s))));
        *append(series_node(&outer)) = Cell{TYPE_STRING, 0, uint32_t(s), 0};
        *append(series_node(&outer)) = Cell{TYPE_INTEGER, 0, i * 7, 0};
    }
    Node inner = memory::alloc_cells(1);
    *append(inner) = Cell{TYPE_INTEGER, 0, 12345, 0};
    *append(series_node(&outer)) = block_cell(inner);
    inner = Node::none;
    collect_clean();

    SeriesBuffer* b = series_buffer(&outer);
    ASSERT_EQ(b->length(), 2 * ITEMS + 1);
    uint32_t moved = 0;
    for (uint32_t i = 0; i < ITEMS; i++) {
        const Cell* s = b->cells() + 2 * i;
        ASSERT_EQ(cell_type(s), uint32_t(TYPE_STRING));
        EXPECT_EQ(text_of(series_node(s)), "item " + std::to_string(i));
        EXPECT_EQ(node_buffer(series_node(s))->node, series_node(s));
        EXPECT_EQ(uint32_t(integer::get(&b->cells()[2 * i + 1])), i * 7);
        if (uint32_t(region::off(series_buffer(s))) != places[i]) moved++;
    }
    EXPECT_GT(moved, 0u);
    const Cell* nested = b->cells() + 2 * ITEMS;
    ASSERT_EQ(series_buffer(nested)->length(), 1u);
    EXPECT_EQ(integer::get(&series_buffer(nested)->cells()[0]), 12345);
}

[[gnu::noinline]] Node grow_and_abandon() {
    Node node = string_node("grown");
    memory::expand_series(node, node_buffer(node), 64);
    return node;
}

TEST_F(Collector, BufferAbandonedByGrowthGoesWithoutFreeingANode) {
    collect_clean();
    uint64_t bytes = bytes_in_frames();
    uint64_t nodes = nodes_in_use();
    Node node = grow_and_abandon();
    collect_clean();

    EXPECT_EQ(text_of(node), "grown");
    EXPECT_EQ(nodes_in_use(), nodes + 1);
    EXPECT_EQ(bytes_in_frames(), bytes + sizeof(SeriesBuffer) + 64 + BUF_GAP);
}

[[gnu::noinline]] uint32_t make_unreachable_big() {
    return uint32_t(region::off(node_buffer(memory::alloc_bytes(3u << 20))));
}

TEST_F(Collector, BigBufferIsReleasedOnceUnreachable) {
    Cell kept = Cell{TYPE_BINARY, 0, uint32_t(memory::alloc_bytes(3u << 20)), 0};
    uint32_t dropped = make_unreachable_big();
    uint64_t total = mem.total;
    ASSERT_TRUE(has_big_buffer_at(dropped));
    collect_clean();

    EXPECT_FALSE(has_big_buffer_at(dropped));
    EXPECT_LE(mem.total, total - (3u << 20));
    EXPECT_TRUE(has_big_buffer_at(uint32_t(region::off(series_buffer(&kept)))));
    EXPECT_TRUE(series_buffer(&kept)->flags & BUF_BIG);
}

// Far deeper than a marking that recursed once per level could go.
TEST_F(Collector, DeeplyNestedBlockSurvives) {
    constexpr uint32_t DEPTH = 100000;
    Cell top = block_cell(memory::alloc_cells(1));
    Node level = series_node(&top);
    for (uint32_t i = 0; i < DEPTH; i++) {
        *append(level) = Cell{TYPE_INTEGER, 0, i, 0};
        Node deeper = memory::alloc_cells(2);
        *append(level) = block_cell(deeper);
        level = deeper;
    }
    level = Node::none;
    collect_clean();

    const Cell* at = &top;
    for (uint32_t i = 0; i < DEPTH; i++) {
        SeriesBuffer* b = series_buffer(at);
        ASSERT_EQ(b->length(), 2u) << i;
        ASSERT_EQ(uint32_t(integer::get(&b->cells()[0])), i);
        at = b->cells() + 1;
    }
}

Node hooked = Node::none;
void mark_hooked() { gc::mark_node(hooked); }

bool listed(const std::vector<const char*>& names, std::string_view name) {
    return std::any_of(names.begin(), names.end(), [name](const char* n) { return n == name; });
}

[[gnu::noinline]] void hook_a_string() {
    hooked = string_node("rooted by a hook");
    gc::add_root("collector test string", mark_hooked);
}

TEST_F(Collector, MarkHooksKeepTheirRoots) {
    hook_a_string();
    collect_clean();
    EXPECT_EQ(text_of(hooked), "rooted by a hook");

    uint64_t nodes = nodes_in_use();
    gc::remove_root(mark_hooked);
    collect_clean();
    EXPECT_EQ(nodes_in_use(), nodes - 1);
    hooked = Node::none;
}

void mark_nothing() {}

TEST(CollectorRoots, AreListedUnderTheirNames) {
    gc::Registered registered = gc::registered();
    for (const char* root : {"root block", "global context", "symbol table", "lexer output", "owner table"})
        EXPECT_TRUE(listed(registered.roots, root)) << root;
    EXPECT_TRUE(listed(registered.sweeps, "owner table"));

    gc::add_root("collector test root", mark_nothing);
    EXPECT_TRUE(listed(gc::registered().roots, "collector test root"));
    gc::remove_root(mark_nothing);
    EXPECT_FALSE(listed(gc::registered().roots, "collector test root"));
}

[[gnu::noinline]] void own_a_dropped_block(const Cell* owner, const Cell* field) {
    Cell block = block_cell(memory::alloc_cells(1));
    ownership::set_owner(&block, owner, field);
}

// The owner and the block kept by the test below, reached through a mark
// hook: its collection sees the precise roots only, so that no stale copy of
// the dropped block on the C++ stack keeps it alive.
Cell owner_test_cells[2];
void mark_owner_test_cells() { gc::mark_cells(owner_test_cells, owner_test_cells + 2); }

// The owner table does not keep what it names: the record of a series that
// died goes, the record of one still reachable stays with its cells intact.
TEST_F(Collector, OwnerRecordsDieWithTheirSeries) {
    Cell& owner = owner_test_cells[0];
    owner = Cell{TYPE_OBJECT, uint32_t(context::create(1, false, false, nullptr, context::KIND_OBJECT)), 0, 0};
    Cell field{};
    word::make_at(symbol::make("field"), &field);
    Cell& kept = owner_test_cells[1];
    kept = block_cell(memory::alloc_cells(1));
    gc::add_root("owner record test cells", mark_owner_test_cells);
    ownership::set_owner(&kept, &owner, &field);
    collect_clean();
    int32_t records = hash_table::record(ownership::table)->size;

    own_a_dropped_block(&owner, &field);
    EXPECT_EQ(hash_table::record(ownership::table)->size, records + 1);
    test::collect_precisely();
    gc::remove_root(mark_owner_test_cells);

    EXPECT_EQ(hash_table::record(ownership::table)->size, records);
    const Cell* record = ownership::owner_of(series_node(&kept));
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(object::context_node(&record[0]), object::context_node(&owner));
    EXPECT_EQ(word::symbol(&record[1]), word::symbol(&field));
}

// The probe's payload words each name a byte buffer of their own. A mark
// hook marks the probe as the cells of a live block are marked, then notes
// which of the three buffers that reached.
Cell probe;
uint32_t probe_marked;  // NodeWords bits

void mark_probe() {
    gc::mark_cell(&probe);
    probe_marked = 0;
    for (int n = 1; n <= 3; n++)
        if (gc::is_marked(Node(payload_word(&probe, n)))) probe_marked |= 1u << n;
}

// The words of a cell with this header that a collection follows; the
// buffers they name must come through it intact.
[[gnu::noinline]] uint32_t words_followed(uint32_t header) {
    probe = Cell{header, uint32_t(string_node("one")), uint32_t(string_node("two")), uint32_t(string_node("three"))};
    gc::add_root("test probe", mark_probe);
    test::collect_precisely();
    gc::remove_root(mark_probe);
    const char* texts[] = {"one", "two", "three"};
    for (int n = 1; n <= 3; n++) {
        if (!(probe_marked & (1u << n))) continue;
        EXPECT_EQ(text_of(Node(payload_word(&probe, n))), texts[n - 1]) << n;
    }
    return probe_marked;
}

bool layout_depends_on_state(uint32_t type) {
    return type == TYPE_CONTEXT || type == TYPE_OP || type == TYPE_HANDLE || type == TYPE_EVENT;
}

TEST_F(Collector, EachTypeKeepsWhatTheNodeWordsOfTheTypeListName) {
    for (uint32_t type = 1; type < TYPE_COUNT; type++) {
        if (layout_depends_on_state(type)) continue;
        EXPECT_EQ(words_followed(type), types::node_words(type)) << type;
    }
}

TEST_F(Collector, LayoutsThatDependOnTheCellsState) {
    using types::W1, types::W2, types::W3;
    struct Case {
        const char* what;
        uint32_t header;
        uint32_t followed;
    } cases[] = {
        {"context with a values block", TYPE_CONTEXT, W1 | W2},
        {"context with its values on the stack", TYPE_CONTEXT | context::ON_STACK, W1},
        {"op! from a native!", TYPE_OP | (TYPE_NATIVE << op::SOURCE_SHIFT), W2 | W3},
        {"op! from an action!", TYPE_OP | (TYPE_ACTION << op::SOURCE_SHIFT), W2 | W3},
        {"op! from a function!", TYPE_OP | (TYPE_FUNCTION << op::SOURCE_SHIFT), W1 | W2 | W3},
        {"op! from a routine!", TYPE_OP | (TYPE_ROUTINE << op::SOURCE_SHIFT), W1 | W2 | W3},
        {"event! made by script", TYPE_EVENT | EVENT_MADE, W2},
        {"event! made by the backend", TYPE_EVENT, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(words_followed(c.header), c.followed) << c.what;
}

}  // namespace
}  // namespace vek
