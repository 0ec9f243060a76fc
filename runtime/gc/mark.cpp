// Marking. Newly marked buffers go on a work list that is drained in a loop,
// so that the depth of a nested structure never becomes the depth of the C++
// stack. What a cell refers to depends on its datatype; what a buffer holds
// depends on its kind (cells, a hash-table record, or raw bytes).
#include <vector>

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

bool set_mark(SeriesBuffer* b) {
    if (b->flags & BUF_MARK) return false;
    b->flags |= BUF_MARK;
    if (b->flags & BUF_HEAP) marked_heap_buffers.push_back(b);
    return true;
}

void mark_word(uint32_t word) {
    if (SeriesBuffer* b = buffer_of_node(word)) mark_buffer(b);
}

void mark_payload(const Cell* c) {
    uint32_t type = cell_type(c);
    switch (type) {
    case TYPE_BLOCK: case TYPE_PAREN: case TYPE_PATH: case TYPE_LIT_PATH: case TYPE_SET_PATH:
    case TYPE_GET_PATH: case TYPE_BITSET: case TYPE_VECTOR: case TYPE_BINARY: case TYPE_IMAGE:
        mark_word(c->data2);
        break;
    case TYPE_STRING: case TYPE_FILE: case TYPE_URL: case TYPE_TAG: case TYPE_EMAIL: case TYPE_REF:
    case TYPE_SYMBOL: case TYPE_NATIVE: case TYPE_ACTION: case TYPE_HASH: case TYPE_MAP:
        mark_word(c->data2);
        mark_word(c->data3);
        break;
    case TYPE_CONTEXT:
        mark_word(c->data1);
        // A stack context's word 2 is an address in the argument stack.
        if (!context::on_stack(c)) mark_word(c->data2);
        break;
    case TYPE_WORD: case TYPE_SET_WORD: case TYPE_LIT_WORD: case TYPE_GET_WORD: case TYPE_REFINEMENT:
        mark_word(c->data1);
        break;
    case TYPE_OP: {
        uint32_t source = (c->header >> op::SOURCE_SHIFT) & TYPE_MASK;
        if (source == TYPE_FUNCTION || source == TYPE_ROUTINE) mark_word(c->data1);
        mark_word(c->data2);
        mark_word(c->data3);
        break;
    }
    case TYPE_FUNCTION: case TYPE_ROUTINE:
        mark_word(c->data1);
        mark_word(c->data2);
        mark_word(c->data3);
        break;
    case TYPE_OBJECT: case TYPE_ERROR: case TYPE_PORT:
        mark_word(c->data1);
        mark_word(c->data3);
        break;
    case TYPE_HANDLE:
        if (int32_t(c->data3) >= 0) externals::mark(c->data3, nullptr);
        break;
    case TYPE_EVENT:
        if (c->header & EVENT_HOLDS_SERIES) mark_word(c->data2);
        break;
    default:
        break;
    }
}

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

void mark_buffer(SeriesBuffer* b) {
    if (set_mark(b) && (b->flags & (BUF_KIND_CELLS | BUF_KIND_HASH))) work.push_back(b);
}

void mark_buffer_only(SeriesBuffer* b) { set_mark(b); }

void drain() {
    while (!work.empty()) {
        SeriesBuffer* b = work.back();
        work.pop_back();
        if (b->flags & BUF_KIND_HASH) mark_table(b);
        else mark_cells(b->cells(), b->cells_tail());
    }
}

void clear_heap_marks() {
    for (SeriesBuffer* b : marked_heap_buffers) b->flags &= ~BUF_MARK;
    marked_heap_buffers.clear();
}

}  // namespace detail

void mark_node(Node node) { detail::mark_word(uint32_t(node)); }

void mark_cells(const Cell* first, const Cell* last) {
    for (const Cell* c = first; c < last; c++) detail::mark_payload(c);
}

bool is_marked(Node node) {
    SeriesBuffer* b = detail::buffer_of_node(uint32_t(node));
    return b && (b->flags & BUF_MARK);
}

}  // namespace vek::gc
