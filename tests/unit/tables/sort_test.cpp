#include "runtime/tables/sort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "runtime/core/raise.h"
#include "runtime/core/stack.h"
#include "runtime/core/unwind.h"
#include "runtime/memory/series.h"
#include "tests/unit/support/support.h"

namespace vek {
namespace {

constexpr int MODE = 5;  // any value: the sorts must hand it through

// Where an item keeps its sort key (big-endian, so memcmp orders it) and the
// sequence number that tells equal keys apart.
struct Layout {
    const char* name;
    uint32_t width, key_offset, key_bytes, seq_offset;
};
constexpr Layout WIDTH4{"width 4", 4, 0, 2, 2};
constexpr Layout WIDTH3{"width 3", 3, 0, 2, 2};        // exchanged byte by byte
constexpr Layout CELLS{"cells", 16, 4, 4, 12};         // integer! cells: key in word 1
constexpr Layout RECORDS{"records", 32, 4, 4, 28};     // two integer! cells: key first, sequence last
constexpr Layout LAYOUTS[] = {WIDTH4, WIDTH3, CELLS, RECORDS};

struct Probe {
    const Layout* layout;
    uint64_t calls = 0;
    uint64_t throw_at = UINT64_MAX;
    bool foreign_mode = false;
    void (*inspect)(Probe&) = nullptr;
};

int by_key(const void* a, const void* b, int mode, void* extra) {
    auto* probe = static_cast<Probe*>(extra);
    if (mode != MODE) probe->foreign_mode = true;
    if (probe->inspect) probe->inspect(*probe);
    if (probe->calls++ == probe->throw_at) throw VekThrow{CODE_THROW};
    const Layout& l = *probe->layout;
    return std::memcmp(static_cast<const std::byte*>(a) + l.key_offset,
                       static_cast<const std::byte*>(b) + l.key_offset, l.key_bytes);
}

// Items in 16-byte aligned storage, so that cell layouts can be sorted as cells.
class Items {
public:
    Items(const Layout& layout, const std::vector<uint32_t>& keys)
        : layout_(layout), count_(uint32_t(keys.size())), storage_((keys.size() * layout.width + 15) / 16 + 1) {
        for (uint32_t i = 0; i < count_; ++i) fill(item(i), keys[i], i);
    }
    std::byte* bytes() { return reinterpret_cast<std::byte*>(storage_.data()); }
    std::byte* item(uint32_t i) { return bytes() + size_t(i) * layout_.width; }
    uint32_t count() const { return count_; }
    uint32_t key(uint32_t i) { return read(layout_.key_offset, layout_.key_bytes, i, true); }
    uint32_t seq(uint32_t i) { return read(layout_.seq_offset, layout_.width - layout_.seq_offset, i, false); }
    std::string image(uint32_t i) { return std::string(reinterpret_cast<char*>(item(i)), layout_.width); }

    // The items as a sorted list of their byte images: equal for two arrays
    // that hold the same items, whatever their order.
    std::vector<std::string> multiset() {
        std::vector<std::string> all;
        for (uint32_t i = 0; i < count_; ++i) all.push_back(image(i));
        std::sort(all.begin(), all.end());
        return all;
    }
    // What std::stable_sort makes of the same items, byte for byte.
    std::vector<std::string> stably_sorted() {
        std::vector<std::string> all;
        for (uint32_t i = 0; i < count_; ++i) all.push_back(image(i));
        std::stable_sort(all.begin(), all.end(), [&](const std::string& a, const std::string& b) {
            return std::memcmp(a.data() + layout_.key_offset, b.data() + layout_.key_offset, layout_.key_bytes) < 0;
        });
        return all;
    }
    std::vector<std::string> images() {
        std::vector<std::string> all;
        for (uint32_t i = 0; i < count_; ++i) all.push_back(image(i));
        return all;
    }

private:
    void fill(std::byte* p, uint32_t key, uint32_t seq) {
        std::memset(p, 0, layout_.width);
        for (uint32_t c = 0; layout_.width % sizeof(Cell) == 0 && c < layout_.width; c += sizeof(Cell))
            p[c] = std::byte(TYPE_INTEGER);
        for (uint32_t b = 0; b < layout_.key_bytes; ++b)
            p[layout_.key_offset + b] = std::byte(key >> (8 * (layout_.key_bytes - 1 - b)));
        for (uint32_t b = layout_.seq_offset; b < layout_.width; ++b)
            p[b] = std::byte(seq >> (8 * (b - layout_.seq_offset)));
    }
    uint32_t read(uint32_t offset, uint32_t n, uint32_t i, bool big_endian) {
        uint32_t v = 0;
        for (uint32_t b = 0; b < n; ++b) {
            uint32_t byte = uint32_t(item(i)[offset + b]);
            v = big_endian ? (v << 8) | byte : v | (byte << (8 * b));
        }
        return v;
    }

    const Layout& layout_;
    uint32_t count_;
    std::vector<Cell> storage_;
};

struct Sorter {
    const char* name;
    void (*run)(std::byte* base, uint32_t count, uint32_t width, Probe& probe);
    bool stable;
    bool cells_only;  // items of whole cells
};

const Sorter SORTERS[] = {
    {"merge_sort",
     [](std::byte* base, uint32_t n, uint32_t width, Probe& p) { sort::merge_sort(base, n, width, MODE, &p, by_key); },
     true, false},
    {"merge_sort_cells",
     [](std::byte* base, uint32_t n, uint32_t width, Probe& p) {
         sort::merge_sort_cells(reinterpret_cast<Cell*>(base), n, MODE, &p, by_key, width / uint32_t(sizeof(Cell)));
     },
     true, true},
    {"quick_sort",
     [](std::byte* base, uint32_t n, uint32_t width, Probe& p) { sort::quick_sort(base, n, width, MODE, &p, by_key); },
     false, false},
};

bool applies(const Sorter& s, const Layout& l) { return !s.cells_only || l.width % sizeof(Cell) == 0; }

// Sorts the keys with the sorter and checks the result: the stable sorts must
// match std::stable_sort byte for byte, the quicksort must hold the same items
// in key order. Returns the comparison count.
uint64_t sort_and_check(const Sorter& s, const Layout& l, const std::vector<uint32_t>& keys, const std::string& what) {
    SCOPED_TRACE(std::string(s.name) + ", " + l.name + ", " + what + ", " + std::to_string(keys.size()) + " items");
    Items items(l, keys);
    auto expected = items.stably_sorted();
    auto original = items.multiset();
    Probe probe{&l};
    Cell* top = stack::top;
    s.run(items.bytes(), items.count(), l.width, probe);
    EXPECT_EQ(stack::top, top);
    EXPECT_FALSE(probe.foreign_mode);
    if (s.stable) {
        EXPECT_EQ(items.images(), expected);
    } else {
        EXPECT_EQ(items.multiset(), original);
        for (uint32_t i = 1; i < items.count(); ++i)
            if (items.key(i - 1) > items.key(i)) {
                ADD_FAILURE() << "out of order at " << i;
                break;
            }
    }
    return probe.calls;
}

std::vector<uint32_t> random_keys(uint32_t n, uint32_t range, std::mt19937& rng) {
    std::vector<uint32_t> keys(n);
    for (auto& k : keys) k = rng() % range;
    return keys;
}

std::vector<uint32_t> ascending(uint32_t n) {
    std::vector<uint32_t> keys(n);
    std::iota(keys.begin(), keys.end(), 0u);
    return keys;
}

std::vector<uint32_t> descending(uint32_t n) {
    auto keys = ascending(n);
    std::reverse(keys.begin(), keys.end());
    return keys;
}

// Each item displaced by five places at most.
std::vector<uint32_t> locally_shuffled(std::vector<uint32_t> keys, std::mt19937& rng) {
    for (size_t i = 0; i + 6 < keys.size(); i += 6 + rng() % 40) std::swap(keys[i], keys[i + 1 + rng() % 5]);
    return keys;
}

TEST(Sort, FewerThanTwoItemsAreLeftAloneUncompared) {
    for (const Sorter& s : SORTERS) {
        for (uint32_t n : {0u, 1u}) {
            SCOPED_TRACE(std::string(s.name) + " of " + std::to_string(n));
            Items items(CELLS, std::vector<uint32_t>(n, 9));
            std::vector<std::string> before = items.images();
            Probe probe{&CELLS};
            s.run(items.bytes(), n, CELLS.width, probe);
            EXPECT_EQ(probe.calls, 0u);
            EXPECT_EQ(items.images(), before);
        }
    }
}

TEST(Sort, StrictlyDescendingArrayIsReversedByRunDetectionAlone) {
    for (const Sorter& s : SORTERS)
        for (uint32_t n : {2u, 30u, 5000u}) EXPECT_EQ(sort_and_check(s, CELLS, descending(n), "descending"), n - 1);
}

TEST(Sort, SortsRandomArraysOfEverySize) {
    std::mt19937 rng(12345);
    const uint32_t sizes[] = {2, 3, 6, 7, 8, 23, 24, 25, 48, 62, 63, 64, 100, 511, 512, 513, 1000, 5000};
    for (const Layout& l : LAYOUTS)
        for (uint32_t n : sizes)
            for (uint32_t range : {60000u, 4u}) {
                auto keys = random_keys(n, range, rng);
                for (const Sorter& s : SORTERS)
                    if (applies(s, l)) sort_and_check(s, l, keys, "random below " + std::to_string(range));
            }
}

TEST(Sort, SortsPresortedPatterns) {
    std::mt19937 rng(777);
    for (uint32_t n : {1000u, 8000u}) {
        std::vector<std::pair<std::string, std::vector<uint32_t>>> patterns;
        patterns.emplace_back("ascending", ascending(n));
        patterns.emplace_back("nearly ascending", locally_shuffled(ascending(n), rng));
        patterns.emplace_back("nearly descending", locally_shuffled(descending(n), rng));
        auto tail = ascending(n);
        for (uint32_t i = n - n / 10; i < n; ++i) tail[i] = rng() % n;
        patterns.emplace_back("ascending, random tail", tail);
        auto head = descending(n);
        for (uint32_t i = 0; i < n / 10; ++i) head[i] = rng() % n;
        patterns.emplace_back("random head, descending", head);
        std::vector<uint32_t> pipe(n);
        for (uint32_t i = 0; i < n; ++i) pipe[i] = std::min(i, n - 1 - i);
        patterns.emplace_back("organ pipe", pipe);
        std::vector<uint32_t> saw(n);
        for (uint32_t i = 0; i < n; ++i) saw[i] = (i % 2 ? i % 300 : 300 - i % 300) / 2;
        patterns.emplace_back("zigzag sawtooth", saw);
        for (const Layout& l : {WIDTH4, CELLS})
            for (const Sorter& s : SORTERS)
                if (applies(s, l))
                    for (auto& [name, keys] : patterns) sort_and_check(s, l, keys, name);
    }
}

TEST(Sort, QuickSortCostsALinearPassOnNearlySortedInput) {
    std::mt19937 rng(99);
    const uint32_t n = 20000;
    for (auto& keys : {ascending(n), descending(n), locally_shuffled(ascending(n), rng),
                       locally_shuffled(descending(n), rng)})
        EXPECT_LE(sort_and_check(SORTERS[2], WIDTH4, keys, "nearly sorted"), 4u * n);
}

// Half ascending, half descending, with no clear order overall: the pivots
// drawn from the front of the ascending stretches are the smallest items, and
// must not make the sort quadratic.
TEST(Sort, QuickSortStaysFastOnOrderedStretches) {
    const uint32_t n = 20000;
    std::vector<uint32_t> keys(n);
    for (uint32_t i = 0; i < n; ++i) keys[i] = i < n / 2 ? i : 3 * n - i;
    std::swap(keys[0], keys[1]);
    EXPECT_LE(sort_and_check(SORTERS[2], WIDTH4, keys, "rising then falling"), 3 * 15u * n);  // 3 n log2 n
}

// Items equal to the pivot are set aside at each partition, so a few distinct
// keys cost a few passes.
TEST(Sort, QuickSortDoesNotSortEqualKeysAgain) {
    std::mt19937 rng(31);
    const uint32_t n = 20000;
    EXPECT_LE(sort_and_check(SORTERS[2], WIDTH4, random_keys(n, 3, rng), "three keys"), 4u * n);
}

TEST(Sort, MergeSortKeepsEqualItemsInTheirOrder) {
    std::mt19937 rng(4242);
    const uint32_t n = 3000;
    std::vector<uint32_t> runs(n), falling(n);
    for (uint32_t i = 0; i < n; ++i) {
        runs[i] = (i % 200) / 4;               // long ascending runs, keys repeated within and across
        falling[i] = 50 - (i % 100) / 2;       // long descending runs made of equal pairs
    }
    const std::pair<std::string, std::vector<uint32_t>> patterns[] = {
        {"three keys", random_keys(n, 3, rng)},
        {"all equal", std::vector<uint32_t>(n, 7)},
        {"long runs", runs},
        {"falling runs of pairs", falling},
    };
    for (const Layout& l : {WIDTH4, CELLS, RECORDS})
        for (const Sorter& s : SORTERS)
            if (s.stable && applies(s, l))
                for (auto& [name, keys] : patterns) {
                    SCOPED_TRACE(std::string(s.name) + ", " + l.name + ", " + name);
                    Items items(l, keys);
                    Probe probe{&l};
                    s.run(items.bytes(), n, l.width, probe);
                    for (uint32_t i = 1; i < n; ++i) {
                        bool in_order = items.key(i - 1) < items.key(i) ||
                                        (items.key(i - 1) == items.key(i) && items.seq(i - 1) < items.seq(i));
                        if (!in_order) {
                            ADD_FAILURE() << "at " << i;
                            break;
                        }
                    }
                }
}

TEST(Sort, ComparisonErrorPassesThroughAndLosesNoItem) {
    std::mt19937 rng(2024);
    const uint32_t n = 3000;
    std::vector<uint32_t> runs(n);
    for (uint32_t i = 0; i < n; ++i) runs[i] = (i / 40) % 2 ? 1000 - i % 40 : rng() % 1000;
    for (const Layout& l : {CELLS, RECORDS})
        for (const Sorter& s : SORTERS)
            for (const auto& keys : {random_keys(n, 60000, rng), runs}) {
                Items dry(l, keys);
                Probe counter{&l};
                s.run(dry.bytes(), n, l.width, counter);
                const uint64_t total = counter.calls;
                for (uint64_t throw_at : {uint64_t(0), uint64_t(7), total / 3, total / 2, total - 1}) {
                    SCOPED_TRACE(std::string(s.name) + ", " + l.name + ", error at comparison " +
                                 std::to_string(throw_at));
                    Items items(l, keys);
                    auto original = items.multiset();
                    Probe probe{&l};
                    probe.throw_at = throw_at;
                    Cell* top = stack::top;
                    try {
                        s.run(items.bytes(), n, l.width, probe);
                        ADD_FAILURE() << "the error did not pass through";
                    } catch (VekThrow& t) {
                        EXPECT_EQ(t.code, CODE_THROW);
                    }
                    stack::top = top;
                    EXPECT_EQ(probe.calls, throw_at + 1);
                    EXPECT_EQ(items.multiset(), original);
                }
            }
}

// While a comparison runs, the cell merge buffer must be reachable by the
// collector: a block! on top of the evaluation stack whose tail covers the
// cells it can hold, half the records of as many cells as a record has.
TEST(Sort, CellMergeBufferIsHeldOnTheEvaluationStack) {
    static uint32_t count;
    static uint32_t record_cells;
    count = 999;
    std::mt19937 rng(5);
    for (const Layout& l : {CELLS, RECORDS}) {
        SCOPED_TRACE(l.name);
        record_cells = l.width / uint32_t(sizeof(Cell));
        Items items(l, random_keys(count, 1000, rng));
        Probe probe{&l};
        probe.inspect = [](Probe& p) {
            Cell* held = stack::top - 1;
            SeriesBuffer* buffer = series_buffer(held);
            if (p.calls == 0) {
                EXPECT_EQ(cell_type(held), TYPE_BLOCK);
                EXPECT_EQ(buffer->flags & BUF_KIND_MASK, BUF_KIND_CELLS);
                EXPECT_EQ(buffer->length(), count / 2 * record_cells);
            }
        };
        Cell* top = stack::top;
        sort::merge_sort_cells(reinterpret_cast<Cell*>(items.bytes()), count, MODE, &probe, by_key, record_cells);
        EXPECT_GT(probe.calls, 0u);
        EXPECT_EQ(stack::top, top);
    }
}

TEST(Sort, MergeBufferBeyond32BitsRaisesTooLong) {
    struct Row {
        const char* name;
        void (*run)();
    };
    const Row rows[] = {
        {"merge_sort", [] { sort::merge_sort(nullptr, 0x80000000u, 4, MODE, nullptr, by_key); }},
        {"merge_sort_cells", [] { sort::merge_sort_cells(nullptr, 0x20000000u, MODE, nullptr, by_key); }},
        {"merge_sort_cells of records", [] { sort::merge_sort_cells(nullptr, 0x10000000u, MODE, nullptr, by_key, 2); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Cell* top = stack::top;
        Cell* arguments = stack::arguments;
        stack::CallFrame* frames = stack::frames_top;
        const Cell word{TYPE_WORD, 0, 1, 0};
        stack::mark_try(&word);
        uint32_t code = 0;
        try {
            row.run();
        } catch (VekThrow& t) {
            code = t.code;
        }
        EXPECT_EQ(code, CODE_ERROR);
        EXPECT_EQ(cell_type(stack::top - 1), TYPE_ERROR);
        EXPECT_EQ(test::code_of(stack::top - 1), error_code(err::script::too_long));
        EXPECT_EQ(error_code(err::script::too_long), 359u);
        stack::frames_top = frames;
        stack::top = top;
        stack::arguments = arguments;
    }
}

}  // namespace
}  // namespace vek
