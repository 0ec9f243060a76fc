#include "runtime/parse/stacks.h"

#include "runtime/core/raise.h"
#include "runtime/datatypes/block/array.h"
#include "runtime/datatypes/compound/pair.h"
#include "runtime/datatypes/compound/triple.h"
#include "runtime/gc/collector.h"
#include "runtime/memory/image_state.h"

namespace vek::parse {

namespace detail {
Node rule_node = Node::none;
}  // namespace detail

namespace {

// The stacks as block! values at head 0; the rule stack's node is kept in
// detail::rule_node as well, for the inline frame reads.
struct Stacks {
    Node inputs = Node::none;  // the input stack's buffer
    Cell rule_value{};         // the rule stack, as the callback sees it
    Cell input_value{};        // the input stack
};
Stacks stacks;

void mark_stacks() {
    gc::mark_node(detail::rule_node);
    gc::mark_node(stacks.inputs);
}

void check_room(uint32_t length, uint32_t count) {
    if (length + count > STACK_LIMIT) fire(err::script::parse_stack);
}

}  // namespace

// The stack itself is named by a copy: the parse's marks cut it back before
// the error is shown.
void broken_stack(const Cell* found) {
    Cell culprit = found ? *found : *block::clone(&stacks.rule_value, false, false);
    fire(err::script::parse_rule, &culprit);
}

const Cell* rule_stack() { return &stacks.rule_value; }

uint32_t input_length() { return node_buffer(stacks.inputs)->length(); }

uint32_t push_rule_cells(uint32_t count) {
    uint32_t first = rule_length();
    check_room(first, count);
    auto* cells = reinterpret_cast<Cell*>(series::reserve_tail(node_buffer(detail::rule_node), count * sizeof(Cell)));
    for (uint32_t i = 0; i < count; i++) make_unset(cells + i);
    return first;
}

void cut_rule(uint32_t length) {
    if (length < rule_length()) block::truncate_at(&stacks.rule_value, length);
}

void push_input(const Cell* series) {
    check_room(input_length(), 1);
    *series::alloc_tail_cell(node_buffer(stacks.inputs)) = *series;
}

void pop_input(Cell* series, uint32_t floor) {
    uint32_t length = input_length();
    if (length <= floor) broken_stack();
    Cell* last = node_buffer(stacks.inputs)->cells() + length - 1;
    uint32_t type = cell_type(last);
    if (!is_series(type) || type == TYPE_VECTOR || type == TYPE_IMAGE) broken_stack(last);
    *series = *last;
    cut_input(length - 1);
}

void cut_input(uint32_t length) {
    if (length < input_length()) block::truncate_at(&stacks.input_value, length);
}

void set_triple(uint32_t index, int32_t a, int32_t b, int32_t c) { triple::make_at(rule_cell(index), a, b, c); }
void set_pair(uint32_t index, int32_t x, int32_t y) { pair::make_at(rule_cell(index), x, y); }
void set_cell(uint32_t index, const Cell* value) {
    Cell copy = *value;
    *rule_cell(index) = copy;
}

Marks::Marks() : rule_mark_(rule_length()), input_mark_(input_length()) {
    uint32_t mark = push_rule_cells(1);
    set_triple(mark, int32_t(rule_mark_), int32_t(input_mark_), 0);
}

Marks::~Marks() {
    cut_rule(rule_mark_);
    cut_input(input_mark_);
}

void init_stacks() {
    block::make_at_star(&stacks.rule_value, 100, false);
    block::make_at_star(&stacks.input_value, 8, false);
    detail::rule_node = series_node(&stacks.rule_value);
    stacks.inputs = series_node(&stacks.input_value);
}

void init_hooks() {
    gc::add_root("parse stacks", mark_stacks);
    image_state::keep("parse rule stack", detail::rule_node);
    image_state::keep("parse input stack", stacks.inputs);
    image_state::keep("parse rule value", stacks.rule_value);
    image_state::keep("parse input value", stacks.input_value);
}

}  // namespace vek::parse
