// Marking. Newly marked buffers go on a work list that is drained in a loop,
// so that the depth of a nested structure never becomes the depth of the C++
// stack. What a cell refers to depends on its datatype; what a buffer holds
// depends on its kind (cells, a hash-table record, or raw bytes).
#include <array>
#include <vector>

#include "runtime/datatypes/callable/op.h"
#include "runtime/datatypes/word/context.h"
#include "runtime/gc/collector.h"
#include "runtime/gc/internal.h"
#include "runtime/memory/externals.h"
#include "runtime/tables/hash_table.h"

namespace vek::gc {

namespace detail {

namespace {

std::vector<SeriesBuffer*> work;
std::vector<SeriesBuffer*> marked_heap_buffers;

// Inline in every caller: it runs once per buffer marked.
[[gnu::always_inline]] inline bool set_mark(SeriesBuffer* b) {
    if (b->flags & BUF_MARK) return false;
    b->flags |= BUF_MARK;
    if (b->flags & BUF_HEAP) marked_heap_buffers.push_back(b);
    return true;
}

// The parse keyword cache of a block's cells lives as long as they do; it
// holds no node.
void mark_rule_keywords(const SeriesBuffer* b) {
    if (b->rule_keywords == Node::none) return;
    if (SeriesBuffer* cache = buffer_of_node(uint32_t(b->rule_keywords))) set_mark(cache);
}

// mark_buffer, inline where cells are walked.
[[gnu::always_inline]] inline void mark_and_queue(SeriesBuffer* b) {
    if (set_mark(b) && (b->flags & (BUF_KIND_CELLS | BUF_KIND_HASH))) work.push_back(b);
}

// A payload word that may hold a node is most often 0 when it holds none.
[[gnu::always_inline]] inline void mark_word(uint32_t word) {
    if (word == 0) return;
    if (SeriesBuffer* b = buffer_of_node(word)) mark_and_queue(b);
}

// Marks the payload words that the type list says hold a node, one function
// per set of words: big blocks of series values are most of what a
// collection walks.
template <uint32_t NodeWords>
void mark_words_of(const Cell* c) {
    if constexpr ((NodeWords & types::W1) != 0) mark_word(payload_word(c, 1));
    if constexpr ((NodeWords & types::W2) != 0) mark_word(payload_word(c, 2));
    if constexpr ((NodeWords & types::W3) != 0) mark_word(payload_word(c, 3));
}

using Marker = void (*)(const Cell*);

// The nodes a cell of a layout the type list describes holds, by its set of
// node words.
constexpr Marker listed_marker(uint32_t node_words) {
    constexpr uint32_t W1 = types::W1, W2 = types::W2, W3 = types::W3;
    switch (node_words & (W1 | W2 | W3)) {
        case W1: return mark_words_of<W1>;
        case W2: return mark_words_of<W2>;
        case W3: return mark_words_of<W3>;
        case W1 | W2: return mark_words_of<W1 | W2>;
        case W1 | W3: return mark_words_of<W1 | W3>;
        case W2 | W3: return mark_words_of<W2 | W3>;
        case W1 | W2 | W3: return mark_words_of<W1 | W2 | W3>;
        default: return nullptr;
    }
}

// The layouts whose nodes depend on the cell's state, which the type list
// leaves to the collector.

// Word 1 is the word table; word 2 the values block, or, while the values
// live on the evaluation stack, an address in that stack.
void mark_context(const Cell* c) {
    mark_word(payload_word(c, 1));
    if (!context::on_stack(c)) mark_word(payload_word(c, 2));
}

// An operator is its source's cell retyped, so it holds what its source type
// holds: a function!'s or routine!'s context too, a native!'s not.
void mark_op(const Cell* c) {
    if (Marker mark = listed_marker(types::node_words(op::source_type(c)))) mark(c);
}

// Word 3 is the handle's slot in the externals table; negative for none.
void mark_handle(const Cell* c) {
    uint32_t slot = payload_word(c, 3);
    if (int32_t(slot) >= 0) externals::mark(slot, nullptr);
}

// Word 2 of a made event holds its block (0 for none); a backend event's
// word 2 is the backend's message id.
void mark_event(const Cell* c) {
    if (c->header & EVENT_MADE) mark_word(payload_word(c, 2));
}

// How to mark a cell, by its datatype; nullptr for a datatype that holds no
// node (a type id past the list holds nothing either), so that the walk of a
// big block's cells skips its scalars with one load.
constexpr std::array<Marker, TYPE_MASK + 1> MARKERS = [] {
    std::array<Marker, TYPE_MASK + 1> table{};
    for (uint32_t type = 0; type <= TYPE_MASK; type++)
        table[type] = listed_marker(types::node_words(type));
    table[TYPE_CONTEXT] = mark_context;
    table[TYPE_OP] = mark_op;
    table[TYPE_HANDLE] = mark_handle;
    table[TYPE_EVENT] = mark_event;
    return table;
}();

struct TableVisit {
    Node weak_block;  // none unless the table's records are weak
};

void visit_owned(Node node, void* context) {
    SeriesBuffer* b = buffer_of_node(uint32_t(node));
    if (!b) return;
    if (node == static_cast<TableVisit*>(context)->weak_block) mark_buffer_only(b);
    else mark_buffer(b);
}

// Record tables are keyed by nodes and hold weak records: their owner sweeps
// the records whose keys died, so the record block is kept but not walked.
void mark_table(SeriesBuffer* b) {
    if (b->used_bytes() < sizeof(hash_table::Record)) return;
    auto r = reinterpret_cast<const hash_table::Record*>(b->first());
    bool weak = r->kind == hash_table::KIND_RECORDS || r->kind == hash_table::KIND_OWNERS;
    TableVisit visit{weak ? r->block : Node::none};
    hash_table::for_each_owned_node(b->node, visit_owned, &visit);
}

}  // namespace

void mark_buffer(SeriesBuffer* b) { mark_and_queue(b); }

// Cells kept but not walked are never read as rules again: their keyword
// cache goes.
void mark_buffer_only(SeriesBuffer* b) {
    b->rule_keywords = Node::none;
    set_mark(b);
}

void drain() {
    while (!work.empty()) {
        SeriesBuffer* b = work.back();
        work.pop_back();
        if (b->flags & BUF_KIND_HASH) {
            mark_table(b);
        } else {
            mark_rule_keywords(b);
            mark_cells(b->cells(), b->cells_tail());
        }
    }
}

void clear_heap_marks() {
    for (SeriesBuffer* b : marked_heap_buffers) b->flags &= ~(BUF_MARK | BUF_PINNED);
    marked_heap_buffers.clear();
}

void forget_marks() {
    constexpr uint32_t bits = BUF_MARK | BUF_PINNED;
    work.clear();
    for (SeriesFrame* f = mem.series_first; f; f = region::at<SeriesFrame>(f->next)) {
        std::byte* end = region::at<std::byte>(f->free);
        for (std::byte* p = f->area(); p < end; p += carve_size(reinterpret_cast<SeriesBuffer*>(p)))
            reinterpret_cast<SeriesBuffer*>(p)->flags &= ~bits;
    }
    memory::sweep_big_frames([](SeriesBuffer* b) {
        b->flags &= ~bits;
        return true;
    });
    clear_heap_marks();
}

}  // namespace detail

void mark_node(Node node) { detail::mark_word(uint32_t(node)); }

void mark_cells(const Cell* first, const Cell* last) {
    for (const Cell* c = first; c < last; c++)
        if (detail::Marker mark = detail::MARKERS[cell_type(c)]) mark(c);
}

bool is_marked(Node node) {
    SeriesBuffer* b = detail::buffer_of_node(uint32_t(node));
    return b && (b->flags & BUF_MARK);
}

}  // namespace vek::gc
