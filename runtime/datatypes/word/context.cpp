// Contexts: word tables, value storage and binding.
#include "runtime/datatypes/word/context.h"

#include <algorithm>

#include "runtime/core/raise.h"
#include "runtime/core/registry.h"
#include "runtime/core/root.h"
#include "runtime/core/sockets.h"
#include "runtime/core/stack.h"
#include "runtime/core/system.h"
#include "runtime/datatypes/callable/callable.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/object/object.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/gc/collector.h"
#include "runtime/memory/image_state.h"
#include "runtime/memory/manager.h"
#include "runtime/tables/hash_table.h"
#include "runtime/tables/ownership.h"

namespace vek::context {

Node global = Node::none;
Node global_values = Node::none;

namespace {

constexpr uint32_t CONTEXT_CELLS = 2;

// Interned on first use; a symbol id never changes.
uint32_t self_id = 0;

uint32_t self_symbol() {
    if (self_id == 0) self_id = symbol::make("self");
    return self_id;
}

bool is_self(const Cell* word) { return symbol::resolve(word::symbol(word)) == symbol::resolve(self_symbol()); }

void append_value(const Cell* context) {
    make_unset(series::alloc_tail_cell(node_buffer(values_node(context))));
}

// Where the value of the entry at a position lives: its own index, except a
// global case variant, which shares the first spelling's.
uint32_t value_index(const Cell* context, int32_t position) {
    return word::index(word_at(context, uint32_t(position)));
}

Cell* context_of_word(const Cell* word, err::Id<Category::script> error_id) {
    if (word::context(word) == Node::none) fire(error_id, word);
    return cell_of(word::context(word));
}

// The series on the current descent, innermost first, kept on the C++ stack.
struct Visit {
    Node series;
    const Visit* outer;
};

bool visiting(const Visit* visit, Node series) {
    for (; visit; visit = visit->outer)
        if (visit->series == series) return true;
    return false;
}

// Binding never allocates, so the buffer stays where it is during the walk.
void bind_series(Node series, uint32_t head, const Cell* context, bool self, const Visit* outer) {
    if (visiting(outer, series)) return;
    Visit here{series, outer};
    SeriesBuffer* buffer = node_buffer(series);
    for (uint32_t i = head; i < buffer->length(); i++) {
        Cell* item = buffer->cells() + i;
        uint32_t type = cell_type(item);
        if (self && type == TYPE_WORD && is_self(item)) {
            word::set_context(item, node_of(context));
            word::set_index(item, uint32_t(-1));
        } else if (is_any_word(type) || type == TYPE_REFINEMENT) {
            bind_word(context, item);
        } else if (is_any_block(type)) {
            bind_series(series_node(item), series_index(item), context, self, &here);
        }
    }
}

Node new_context_series() {
    Node node = memory::alloc_cells(CONTEXT_CELLS);
    SeriesBuffer* b = node_buffer(node);
    make_unset(b->cells());
    make_unset(b->cells() + 1);
    b->tail = b->offset + CONTEXT_CELLS * sizeof(Cell);
    return node;
}

void repoint_entries(Node context) {
    SeriesBuffer* words = words_buffer(cell_of(context));
    for (uint32_t i = 0; i < words->length(); i++) word::set_context(words->cells() + i, context);
}

Cell* stored(Cell* slot, const Cell& value) {
    *slot = value;
    return slot;
}

}  // namespace

void init_global() {
    global = create(GLOBAL_SIZE, false, false, nullptr, KIND_GLOBAL);
    global_values = values_node(cell_of(global));
}

void init() {
    registry::register_type(TYPE_CONTEXT, registry::Row());
    gc::add_root("global context", [] { gc::mark_node(global); });
    image_state::keep("global context", global);
    image_state::keep("global values", global_values);
    image_state::keep("self symbol of contexts", self_id);
}

// ---------------------------------------------------------------- access

Node words_node(const Cell* context) { return hash_table::record(table_of(context))->block; }
SeriesBuffer* words_buffer(const Cell* context) { return node_buffer(words_node(context)); }
Cell* word_at(const Cell* context, uint32_t index) { return words_buffer(context)->cells() + index; }
uint32_t word_count(const Cell* context) { return words_buffer(context)->length(); }

// ---------------------------------------------------------------- lookup and insertion

int32_t find_word(const Cell* context, uint32_t symbol, bool case_insensitive) {
    return hash_table::find_or_add_word(table_of(context), symbol, case_insensitive, Node::none, nullptr);
}

int32_t find_or_add_word(Cell* context, uint32_t symbol, bool case_insensitive, int32_t* index) {
    return hash_table::find_or_add_word(table_of(context), symbol, case_insensitive, node_of(context), index);
}

int32_t add_word(Cell* context, const Cell* word) {
    int32_t position;
    bool added = find_or_add_word(context, word::symbol(word), true, &position) < 0;
    if (added && !on_stack(context)) append_value(context);
    return position;
}

void add_word_with_value(Cell* context, const Cell* word, const Cell* value) {
    Cell copy = *value;
    int32_t position;
    if (find_or_add_word(context, word::symbol(word), true, &position) >= 0 || on_stack(context)) return;
    append_value(context);
    values_base(context)[position] = copy;
}

void set_word_value(Cell* context, const Cell* word, const Cell* value) {
    Cell copy = *value;
    Cell name = *word;
    int32_t position;
    bool added = find_or_add_word(context, word::symbol(&name), true, &position) < 0;
    if (on_stack(context) && added) fire(err::script::not_defined, &name);
    if (added) append_value(context);
    Cell* values = values_base(context);
    if (!values) fire(err::script::not_defined, &name);
    values[value_index(context, position)] = copy;
}

Cell* add_global(uint32_t symbol, bool case_insensitive, bool keep_spelling) {
    Cell* g = global_cell();
    int32_t position;
    if (find_or_add_word(g, symbol, case_insensitive, &position) < 0) {
        append_value(g);
        if (symbol::alias_of(symbol) > 0) {
            // The first spelling in probe order, this one at worst, already
            // holds the value index that every spelling shares.
            int32_t first = find_word(g, symbol, true);
            word::set_index(word_at(g, uint32_t(position)), value_index(g, first));
        }
        return word_at(g, uint32_t(position));
    }
    Cell* entry = word_at(g, uint32_t(position));
    if (!keep_spelling || word::symbol(entry) == symbol) return entry;
    Cell copy = *entry;
    word::set_symbol(&copy, symbol);
    return stored(root::append(), copy);
}

Cell* add_global_word(uint32_t symbol) {
    Cell* entry = add_global(symbol, false, true);
    if (!booting) return entry;
    Cell copy = *entry;
    return stored(root::append(), copy);
}

void set_global(uint32_t symbol, const Cell* value) {
    Cell copy = *value;
    uint32_t index = word::index(add_global(symbol, false, false));
    values_base(global_cell())[index] = copy;
}

Cell* get_global_cell(uint32_t symbol) {
    const Cell* g = global_cell();
    return values_base(g) + value_index(g, find_word(g, symbol, true));
}

Cell* get_value_cell(uint32_t symbol, Node context) {
    const Cell* c = cell_of(context);
    if (on_stack(c)) return get_global_cell(symbol);
    return values_base(c) + value_index(c, find_word(c, symbol, true));
}

void set_integer(Cell* word, int32_t value) {
    Cell* context = context_of_word(word, err::script::not_defined);
    if (int32_t(word::index(word)) < 0) {
        int32_t position = find_word(context, word::symbol(word), false);
        if (position < 0) fire(err::script::not_defined, word);
        word::set_index(word, value_index(context, position));
    }
    Cell* values = values_base(context);
    if (!values) fire(err::script::not_defined, word);
    values[word::index(word)] = integer::cell(value);
}

// ---------------------------------------------------------------- bound words

Cell* get(const Cell* word) { return get_in(word, context_of_word(word, err::script::no_value)); }

Cell* get_in(const Cell* word, const Cell* context) {
    auto index = int32_t(word::index(word));
    if (index < 0) {
        if (is_self(word)) return const_cast<Cell*>(context) + 1;
        fire(err::script::no_value, word);
    }
    Cell* values = values_base(context);
    if (!values) fire(err::script::not_in_context, word);
    return values + index;
}

Cell* set_in(Cell* word, const Cell* value, Cell* context, bool notify) {
    Cell copy = *value;
    if (int32_t(word::index(word)) < 0) {
        int32_t position = find_word(context, word::symbol(word), false);
        // A stack context's values are its call's argument slots: a word it
        // lacks has no slot to write.
        if (position < 0 && on_stack(context)) fire(err::script::not_defined, word);
        if (position < 0) position = add_word(context, word);
        word::set_index(word, value_index(context, position));
    }
    uint32_t index = word::index(word);
    Cell* values = values_base(context);
    if (!values) fire(err::script::not_defined, word);
    if (on_stack(context) || kind_of(context) != KIND_OBJECT) return stored(values + index, copy);

    word_at(context, index)->header |= WORD_ASSIGNED;
    const Cell* owner = context + 1;
    // An owner still unset! has no handlers.
    bool handled = is_any_object(cell_type(owner)) && object::event_record(owner) != Node::none;
    Cell* saved_top = stack::top;
    Cell* old_value = stack::push(values + index);
    values[index] = copy;
    ownership::field_set(owner, word_at(context, index), old_value, values + index);
    if (notify && handled) sockets::on_change(owner, word, old_value, &copy);
    stack::top = saved_top;
    // The handler may have grown the values block.
    return values_base(context) + index;
}

Cell* set(Cell* word, const Cell* value) {
    return set_in(word, value, context_of_word(word, err::script::not_defined), true);
}

Off stack_values_pointer(Node context) { return stack_values(cell_of(context)); }
void set_stack_values_pointer(Node context, Off values) { set_stack_values(cell_of(context), values); }

// ---------------------------------------------------------------- making and binding

Node create(uint32_t size, bool on_stack, bool flag24, const Cell* prototype, uint32_t kind) {
    size = std::max<uint32_t>(size, 1);
    Node node = new_context_series();
    Node words = hash_table::make(size, prototype, hash_table::KIND_WORDS, 2);
    uint32_t header = TYPE_CONTEXT | (kind << KIND_SHIFT) | (on_stack ? ON_STACK : 0) | (flag24 ? FLAG24 : 0);
    *cell_of(node) = Cell{header, uint32_t(words), 0, 0};
    if (!on_stack) {
        uint32_t count = word_count(cell_of(node));
        Node values = memory::alloc_unset_cells(std::max(size, count));
        SeriesBuffer* b = node_buffer(values);
        b->tail = b->offset + count * uint32_t(sizeof(Cell));
        set_values_node(cell_of(node), values);
    }
    repoint_entries(node);
    return node;
}

Node make_from_spec(const Cell* words, bool on_stack, bool flag24, uint32_t kind) {
    Node words_node = series_node(words);
    uint32_t head = series_index(words);
    uint32_t length = node_buffer(words_node)->length();
    Node node = create(length > head ? length - head : 0, on_stack, flag24, nullptr, kind);
    for (uint32_t i = head; i < node_buffer(words_node)->length(); i++) {
        Cell item = node_buffer(words_node)->cells()[i];
        if (callable::is_spec_word(cell_type(&item))) add_word(cell_of(node), &item);
    }
    return node;
}

Node clone(Cell* value, uint32_t kind) {
    const Cell* source = cell_of(object::context_node(value));
    Node node = create(word_count(source), on_stack(source), (source->header & FLAG24) != 0, source, kind);
    object::set_context_node(value, node);
    return node;
}

int32_t bind_word(const Cell* context, Cell* word) {
    int32_t position = find_word(context, word::symbol(word), true);
    if (position < 0) return -1;
    word::set_context(word, node_of(context));
    word::set_index(word, value_index(context, position));
    return int32_t(word::index(word));
}

void bind(const Cell* block, const Cell* context, bool self) {
    if (self) self_symbol();  // interning allocates: never during the walk
    bind_series(series_node(block), series_index(block), context, self, nullptr);
}

bool collect_set_words(Cell* context, Cell* block) {
    Node node = series_node(block);
    set_series_index(block, std::min(series_index(block), node_buffer(node)->length()));
    uint32_t before = word_count(context);
    for (uint32_t i = series_index(block); i < node_buffer(node)->length(); i++) {
        Cell item = node_buffer(node)->cells()[i];
        if (cell_type(&item) == TYPE_SET_WORD) add_word(context, &item);
    }
    return word_count(context) > before;
}

}  // namespace vek::context
