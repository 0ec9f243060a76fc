#include "runtime/datatypes/block/block.h"

#include <algorithm>

#include "runtime/actions/dispatch.h"
#include "runtime/core/fixed_words.h"
#include "runtime/core/raise.h"
#include "runtime/core/registry.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/block/internal.h"
#include "runtime/datatypes/container/vector.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/string/buffer.h"
#include "runtime/datatypes/typeset.h"
#include "runtime/lexer/lexer.h"
#include "runtime/tables/cycles.h"

namespace vek::block {

namespace {

[[noreturn]] void bad_make_arg(uint32_t type, const Cell* spec_value) {
    Cell datatype = datatype::cell(type);
    fire(err::script::bad_make_arg, &datatype, spec_value);
}

// The block of set-words and values that reflect gives as an object's or a
// map's body: a new block, so the result shares nothing with the value.
Cell* body_of(Cell* result, const Cell* spec_value, uint32_t type) {
    *result = *spec_value;
    actions::reflect(result, fixed_words::symbol(fixed_words::Sym::body));
    return set_type(result, type);
}

// Whether the text written so far ends a line or a column, so that the next
// formed value needs no space before it.
bool ends_in_break(const Cell* buffer) {
    uint32_t length = string::buffer_length(buffer);
    if (length == 0) return false;
    uint32_t last = string::rs_abs_at(buffer, length - 1);
    return last == '\t' || last == '\n' || last == '\r';
}

int32_t order(int64_t a, int64_t b) { return a < b ? -1 : a > b ? 1 : 0; }

}  // namespace

// ---------------------------------------------------------------- make and to

namespace {

// make: a block, paren, hash or path spec gives a shallow copy of its cells
// from the head; an integer! or float! (truncated; out of 32 bits: script
// out-of-range) an empty block of that capacity, below 1 giving 1; an
// object! or map! its body; anything else raises script bad-make-arg. make
// and to write the new value into the result cell, with the type asked for,
// and return it.
Cell* make(Cell* result, const Cell* spec_value, uint32_t type) {
    uint32_t spec_type = cell_type(spec_value);
    if (is_any_block(spec_type) || spec_type == TYPE_VECTOR || spec_type == TYPE_OBJECT || spec_type == TYPE_MAP)
        return convert(result, spec_value, type);
    if (spec_type == TYPE_INTEGER || spec_type == TYPE_FLOAT) {
        int32_t capacity = integer::from_number_arg(spec_value);
        return set_type(make_at(make_unset(result), capacity), type);
    }
    bad_make_arg(type, spec_value);
}

}  // namespace

Cell* convert(Cell* result, const Cell* spec_value, uint32_t type) {
    uint32_t spec_type = cell_type(spec_value);
    if (spec_type == TYPE_OBJECT || spec_type == TYPE_MAP) return body_of(result, spec_value, type);
    if (spec_type == TYPE_STRING) {
        lexer::scan_string(result, spec_value, -1, {.wrap = true}, nullptr, nullptr);
        return set_type(result, type);
    }
    if (spec_type == TYPE_TYPESET) return set_type(typeset::to_block(spec_value, result), type);
    if (spec_type == TYPE_VECTOR) return set_type(vector::to_block(spec_value, result), type);
    if (is_any_block(spec_type)) return pop_into(result, clone(spec_value, false, false), type);
    return holding(result, spec_value, type);
}

Cell* holding(Cell* result, const Cell* value, uint32_t type) {
    Cell copy = *value;
    clear_new_line(&copy.header);
    make_at(make_unset(result), 1);
    rs_append(result, &copy);
    return set_type(result, type);
}

Cell* pop_into(Cell* result, const Cell* pushed, uint32_t type) {
    *result = *pushed;
    stack::pop(1);
    return set_type(result, type);
}

// ---------------------------------------------------------------- form and mold

namespace {

// The formed cells from the head, separated by one space unless the text so
// far ends in a tab or a line break; a block being formed already gives
// "...".
void form(const Cell* value, text::Sink& out) {
    if (cycles::detect(value, out, false)) return;
    Node node = series_node(value);
    cycles::Scope guard(node);
    for (uint32_t i = series_index(value); i < node_buffer(node)->length(); i++) {
        if (out.used_up()) break;
        Cell cell = node_buffer(node)->cells()[i];
        actions::form(&cell, out);
        if (i + 1 < node_buffer(node)->length() && !ends_in_break(out.buffer)) out.append(" ");
    }
}

// "[" and "]" around mold_each unless only; a block being molded already
// gives the cycle marker.
void mold(const Cell* value, text::Sink& out, bool only) {
    if (cycles::detect(value, out, true)) return;
    if (!only) out.append("[");
    mold_each(value, out, only);
    if (!only) out.append("]");
}

}  // namespace

void mold_each(const Cell* value, text::Sink& out, bool only) {
    Node node = series_node(value);
    uint32_t head = series_index(value);
    int32_t level = out.indent;
    bool closing_break = false;
    {
        cycles::Scope guard(node);
        for (uint32_t i = head; i < node_buffer(node)->length(); i++) {
            if (out.used_up()) break;
            Cell cell = node_buffer(node)->cells()[i];
            bool first = i == head;
            if (!out.flat && (cell.header & CELL_NEW_LINE)) {
                if (first && !only) {
                    level++;
                    closing_break = true;
                }
                if (!(first && only)) out.append("\n");
                out.indentation(level);
            } else if (!first) {
                out.append(" ");
            }
            text::Layout nested(out, level);
            actions::mold(&cell, out, false);
        }
    }
    if (closing_break) out.new_line(level - 1);
}

// ---------------------------------------------------------------- compare

namespace {

// Values of different types are not comparable (-2), except a path! and a
// lit-path! under the equality modes of hash tables (COMP_SYMBOL_EQUAL and
// COMP_NAME_EQUAL).
int32_t compare(const Cell* value1, const Cell* value2, int32_t op) {
    uint32_t type1 = cell_type(value1);
    uint32_t type2 = cell_type(value2);
    bool paths = (type1 == TYPE_PATH || type1 == TYPE_LIT_PATH) && (type2 == TYPE_PATH || type2 == TYPE_LIT_PATH);
    if (type1 != type2 && !((op == COMP_SYMBOL_EQUAL || op == COMP_NAME_EQUAL) && paths)) return -2;
    return compare_each(value1, value2, op);
}

}  // namespace

int32_t compare_each(const Cell* value1, const Cell* value2, int32_t op) {
    Node node1 = series_node(value1);
    Node node2 = series_node(value2);
    uint32_t head1 = series_index(value1);
    uint32_t head2 = series_index(value2);
    bool same = node1 == node2 && head1 == head2;
    if (op == actions::COMP_SAME) return same ? 0 : -1;
    if (same) return 0;
    if (cycles::find(node1)) return cycles::find(node2) ? 0 : -1;
    uint32_t length1 = length_from_head(value1);
    uint32_t length2 = length_from_head(value2);
    if (length1 != length2 && is_equality(op)) return 1;

    cycles::Scope guard(node1);
    cycles::push(node2);
    uint32_t shorter = std::min(length1, length2);
    for (uint32_t i = 0; i < shorter; i++) {
        Cell cell1 = node_buffer(node1)->cells()[head1 + i];
        Cell cell2 = node_buffer(node2)->cells()[head2 + i];
        uint32_t type1 = cell_type(&cell1);
        uint32_t type2 = cell_type(&cell2);
        bool alike = type1 == type2 || (is_all_word(type1) && is_all_word(type2)) ||
                     (is_number(type1) && is_number(type2));
        if (!alike) return order(type1, type2);
        int32_t result = actions::compare_values(&cell1, &cell2, op);
        if (result != 0) return result;
    }
    return order(length1, length2);
}

// ---------------------------------------------------------------- registration

void init() {
    using namespace registry;
    init_scratch();
    register_type(TYPE_BLOCK, Row()
        .set<SLOT_MAKE>(make)
        .inherit<SLOT_RANDOM>()
        .inherit<SLOT_REFLECT>()
        .set<SLOT_TO>(convert)
        .set<SLOT_FORM>(form)
        .set<SLOT_MOLD>(mold)
        .set<SLOT_EVAL_PATH>(eval_path)
        .set<SLOT_COMPARE>(compare)
        .set<SLOT_APPEND>(append)
        .inherit_range<SLOT_AT, SLOT_BACK>()
        .set<SLOT_CHANGE>(change)
        .inherit<SLOT_CLEAR>()
        .set<SLOT_COPY>(copy)
        .set<SLOT_FIND>(find)
        .inherit_range<SLOT_HEAD, SLOT_INDEX_Q>()
        .set<SLOT_INSERT>(append)
        .inherit_range<SLOT_LENGTH_Q, SLOT_POKE>()
        .set<SLOT_PUT>(put)
        .inherit_range<SLOT_REMOVE, SLOT_REVERSE>()
        .set<SLOT_SELECT>(select)
        .set<SLOT_SORT>(sort)
        .inherit<SLOT_SKIP>()
        .set<SLOT_SWAP>(swap)
        .inherit_range<SLOT_TAIL, SLOT_TAIL_Q>()
        .set<SLOT_TAKE>(take)
        .set<SLOT_TRIM>(trim)
        .inherit<SLOT_MODIFY>());
}

}  // namespace vek::block
