#include "runtime/datatypes/typeset.h"

#include <algorithm>

#include "runtime/actions/dispatch.h"
#include "runtime/core/raise.h"
#include "runtime/core/registry.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/string/buffer.h"
#include "runtime/datatypes/word/context.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/memory/manager.h"
#include "runtime/memory/series.h"

namespace vek::typeset {

namespace {

constexpr uint32_t TO_BLOCK_CAPACITY = 4;
constexpr const char* MOLD_PREFIX = "make typeset! [";

// Byte t >> 3 of the little-endian payload is byte (t >> 3) & 3 of word
// t >> 5; within it the lowest id takes the highest bit.
uint32_t mask_of(uint32_t type) { return 1u << (((type >> 3) & 3) * 8 + 7 - (type & 7)); }

// The payload word (1 to 3) holding the type's bit.
int word_of(uint32_t type) { return int(std::min<uint32_t>(type >> 5, 2)) + 1; }

void merge(Cell* typeset, const Cell* other) {
    for (int n = 1; n <= 3; n++) set_bits(typeset, n, bits(typeset, n) | bits(other, n));
}

// A word's value, as getting the word would give it: unset! is no value.
const Cell* value_of_word(const Cell* word) {
    const Cell* value = context::get(word);
    if (cell_type(value) == TYPE_UNSET) fire(err::script::no_value, word);
    return value;
}

const Cell* dereferenced(const Cell* value) {
    return cell_type(value) == TYPE_WORD ? value_of_word(value) : value;
}

// A nested block in a block of types is skipped.
void add_spec_entry(Cell* typeset, const Cell* entry) {
    const Cell* value = dereferenced(entry);
    switch (cell_type(value)) {
        case TYPE_DATATYPE: set(typeset, datatype::id(value)); break;
        case TYPE_TYPESET: merge(typeset, value); break;
        // A word naming a word stands for an object's class.
        case TYPE_WORD: set(typeset, TYPE_OBJECT); break;
        case TYPE_BLOCK: break;
        default: fire(err::script::invalid_type_spec, value);
    }
}

// The cells of a block from its head to its tail.
struct Cells {
    const Cell* begin;
    const Cell* end;
};
Cells cells_of(const Cell* block) {
    SeriesBuffer* buffer = series_buffer(block);
    const Cell* head = buffer->cells() + series_index(block);
    const Cell* tail = buffer->cells_tail();
    return {head < tail ? head : tail, tail};
}

// The second operand of the set arithmetic, as a typeset.
Cell operand_set(const Cell* value) {
    switch (cell_type(value)) {
        case TYPE_TYPESET: return *value;
        case TYPE_DATATYPE: {
            Cell one = cell(0, 0, 0);
            set(&one, datatype::id(value));
            return one;
        }
        default: fire(err::script::invalid_arg, value);
    }
}

uint32_t combine(uint32_t a, uint32_t b, int32_t op) {
    switch (op) {
        case OP_OR: case OP_UNION: return a | b;
        case OP_AND: case OP_INTERSECT: return a & b;
        case OP_XOR: case OP_DIFFERENCE: return a ^ b;
        default: return a & ~b;  // OP_EXCLUDE
    }
}

Cell* set_op(Cell* value1, const Cell* value2, int32_t op) {
    if (op == OP_UNIQUE) return value1;
    Cell other = operand_set(value2);
    *value1 = cell(combine(bits(value1, 1), bits(&other, 1), op),
                        combine(bits(value1, 2), bits(&other, 2), op),
                        combine(bits(value1, 3), bits(&other, 3), op));
    return value1;
}

// The members that have a registered datatype, in id order, are the ones
// that are listed by name.
bool listed(const Cell* typeset, uint32_t type) {
    return contains(typeset, type) && registry::name_table[type].name != nullptr;
}

bool sort_op(int32_t op) { return op == COMP_SORT || op == COMP_CASE_SORT; }

void drop_last_char(const Cell* buffer) {
    SeriesBuffer* b = series_buffer(buffer);
    string::limit_buffer(b, b->length() - 1);
}

}  // namespace

// ---------------------------------------------------------------- bits

void clear(Cell* typeset) {
    for (int n = 1; n <= 3; n++) set_bits(typeset, n, 0);
}

bool contains(const Cell* typeset, uint32_t type) { return (bits(typeset, word_of(type)) & mask_of(type)) != 0; }

void set(Cell* typeset, uint32_t type) {
    int n = word_of(type);
    set_bits(typeset, n, bits(typeset, n) | mask_of(type));
}

uint32_t count(const Cell* typeset) {
    uint32_t n = 0;
    for (uint32_t type = 1; type <= registry::highest_id; type++) n += contains(typeset, type);
    return n;
}

void add(Cell* typeset, const Cell* value) {
    const Cell* member = dereferenced(value);
    switch (cell_type(member)) {
        case TYPE_DATATYPE: set(typeset, datatype::id(member)); break;
        case TYPE_TYPESET: merge(typeset, member); break;
        default: fire(err::script::invalid_arg, member);
    }
}

// ---------------------------------------------------------------- making

Cell* make_in_block(const Cell* block, uint32_t word1, uint32_t word2, uint32_t word3) {
    Cell typeset = cell(word1, word2, word3);
    return copy_cell(&typeset, block::alloc_tail(block));
}

Cell* make_any_in_block(const Cell* block) {
    Cell any = cell(~mask_of(TYPE_UNSET), ~0u, ~0u);
    return copy_cell(&any, block::alloc_tail(block));
}

Cell* make_from_spec_in_block(const Cell* block, const Cell* spec_value) {
    // Built aside and appended whole: appending may move the spec's buffer.
    Cell built = cell(0, 0, 0);
    for (auto [entry, end] = cells_of(spec_value); entry < end; entry++) add_spec_entry(&built, entry);
    return copy_cell(&built, block::alloc_tail(block));
}

Cell* to_block(const Cell* typeset, Cell* result) {
    Cell members = *typeset;
    *result = series_cell(TYPE_BLOCK, memory::alloc_cells(TO_BLOCK_CAPACITY));
    for (uint32_t type = 1; type <= registry::highest_id; type++) {
        if (listed(&members, type)) word::make_in(result, registry::name_table[type].word);
    }
    return result;
}

Cell* push(const Cell* typeset) { return stack::push(typeset); }

Cell* do_set_op(int32_t op) { return set_op(stack::arguments, stack::arguments + 1, op); }

// ---------------------------------------------------------------- actions

namespace {

// make and to: a typeset spec as it is; a block whose values are added as by
// add; anything else raises script bad-to-arg.
Cell* make(Cell* result, const Cell* spec_value, uint32_t) {
    switch (cell_type(spec_value)) {
        case TYPE_TYPESET: return copy_cell(spec_value, result);
        case TYPE_BLOCK: {
            Cell built = cell(0, 0, 0);
            for (auto [value, end] = cells_of(spec_value); value < end; value++) add(&built, value);
            return copy_cell(&built, result);
        }
        default: {
            Cell target = datatype::cell(TYPE_TYPESET);
            fire(err::script::bad_to_arg, &target, spec_value);
        }
    }
}

void mold(const Cell* value, text::Sink& out, bool only);

// Both list the members' datatype names inside "make typeset! [...]"; with
// only, just the names separated by spaces.
void form(const Cell* value, text::Sink& out) { mold(value, out, false); }

void mold(const Cell* value, text::Sink& out, bool only) {
    Cell members = *value;
    if (!only) out.append(MOLD_PREFIX);
    bool wrote = false;
    for (uint32_t type = 1; type <= registry::highest_id; type++) {
        if (!listed(&members, type)) continue;
        if (out.limited && out.limit < 0) return;
        out.append(registry::name_table[type].name);
        out.append(" ");
        wrote = true;
    }
    if (wrote) {
        drop_last_char(out.buffer);
        out.limit++;
    }
    if (!only) out.append("]");
}

// Equality kinds: 0 when all 96 bits agree, else 1. Sorting: by member count.
int32_t compare(const Cell* value1, const Cell* value2, int32_t op) {
    if (cell_type(value2) != TYPE_TYPESET) return -2;
    if (is_equality(op)) {
        bool same = bits(value1, 1) == bits(value2, 1) && bits(value1, 2) == bits(value2, 2) &&
                    bits(value1, 3) == bits(value2, 3);
        return same ? 0 : 1;
    }
    if (sort_op(op)) {
        uint32_t n1 = count(value1), n2 = count(value2);
        return (n1 > n2) - (n1 < n2);
    }
    return -2;
}

// The result replaces value1, the call's result cell.
Cell* and_(Cell* value1, Cell* value2) { return set_op(value1, value2, OP_AND); }
Cell* or_(Cell* value1, Cell* value2) { return set_op(value1, value2, OP_OR); }
Cell* xor_(Cell* value1, Cell* value2) { return set_op(value1, value2, OP_XOR); }

// All 96 bits inverted, the unused ones included.
Cell* complement(Cell* value) {
    *value = cell(~bits(value, 1), ~bits(value, 2), ~bits(value, 3));
    return value;
}

// The true or false constant: whether the datatype (no other value: script
// invalid-arg) is a member. find's refinements change nothing.
Cell* find(Cell* series, const Cell* value, const actions::FindArgs&) {
    if (cell_type(value) != TYPE_DATATYPE) fire(err::script::invalid_arg, value);
    return logic::constant(contains(series, datatype::id(value)));
}

}  // namespace

void init() {
    using namespace registry;
    register_type(TYPE_TYPESET, Row()
        .set<SLOT_MAKE>(make)
        .set<SLOT_TO>(make)
        .set<SLOT_FORM>(form)
        .set<SLOT_MOLD>(mold)
        .set<SLOT_COMPARE>(compare)
        .set<SLOT_AND>(and_)
        .set<SLOT_COMPLEMENT>(complement)
        .set<SLOT_OR>(or_)
        .set<SLOT_XOR>(xor_)
        .set<SLOT_FIND>(find));
}

}  // namespace vek::typeset
