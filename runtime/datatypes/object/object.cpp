#include "runtime/datatypes/object/object.h"

#include "runtime/actions/dispatch.h"
#include "runtime/core/fixed_words.h"
#include "runtime/core/registry.h"
#include "runtime/core/sockets.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/object/internal.h"
#include "runtime/datatypes/string/buffer.h"
#include "runtime/datatypes/word/context.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/memory/image_state.h"
#include "runtime/tables/cycles.h"

namespace vek::object {

namespace {

// The last class id handed out; the first new class is 1,000,001.
uint32_t last_class_id = 1000000;

uint32_t resolved_symbol(fixed_words::Word w) { return symbol::resolve(word::symbol(fixed_words::word(w))); }

bool is_handler_field(uint32_t symbol) {
    uint32_t s = symbol::resolve(symbol);
    return s == resolved_symbol(fixed_words::Word::on_change) ||
           s == resolved_symbol(fixed_words::Word::on_deep_change);
}

// Values of these type pairs meet in the value comparison; any other pair of
// different types is ordered by type id.
bool comparable_types(uint32_t t1, uint32_t t2) {
    bool words = (is_any_word(t1) || t1 == TYPE_REFINEMENT) && (is_any_word(t2) || t2 == TYPE_REFINEMENT);
    return t1 == t2 || words || (is_number(t1) && is_number(t2));
}

// Appends the symbol's name as it is spelt; the name string is read through
// a copy of the symbol cell, so a growing buffer cannot leave it stale.
void append_name(text::Sink& out, uint32_t symbol_id) {
    Cell name = *symbol::get(symbol_id);
    Cell target = *out.buffer;
    uint32_t before = series_buffer(&target)->length();
    string::concatenate(&target, &name, -1, 0, false, string::Mode::append);
    out.limit -= int32_t(series_buffer(&target)->length() - before);
}

void serialize_field(text::Sink& out, uint32_t symbol_id, const Cell* value) {
    append_name(out, symbol_id);
    out.append(": ");
    switch (cell_type(value)) {
    case 0:
        out.append("unset!");
        return;
    case TYPE_WORD:
        out.append("'");
        break;
    default:
        break;
    }
    actions::mold(value, out, false);
}

// Forming: the fields, one per line, not indented; an object being formed
// already gives "...".
void form(const Cell* value, text::Sink& out) {
    if (cycles::detect(value, out, false)) return;
    cycles::Scope guard(context_node(value));
    serialize_fields(value, out, false);
}

void mold(const Cell* value, text::Sink& out, bool only) { mold_as("make object! [", value, out, only); }

int32_t compare(const Cell* value1, const Cell* value2, int32_t op) { return compare_fields(value1, value2, op); }

// The owner table walks an object's fields through this.
void for_each_field(const Cell* object, sockets::FieldVisitor visit, void* context) {
    Cell held = *object;
    Node node = context_node(&held);
    for (uint32_t i = 0; i < field_count(&held); i++) {
        Cell word = *word_at(node, i);
        visit(get_values(&held) + i, &word, context);
    }
}

}  // namespace

void init() {
    // Objects made after start-up take class ids that no object of the image has.
    image_state::keep("last class id", last_class_id);
    using namespace registry;
    register_type(TYPE_OBJECT, Row()
        .set<SLOT_MAKE>(make)
        .set<SLOT_REFLECT>(reflect)
        .set<SLOT_FORM>(form)
        .set<SLOT_MOLD>(mold)
        .set<SLOT_EVAL_PATH>(eval_path)
        .set<SLOT_COMPARE>(compare)
        .set<SLOT_COPY>(copy)
        .set<SLOT_PUT>(put)
        .set<SLOT_SELECT>(select)
        .set<SLOT_MODIFY>(modify));
    install_sockets();
}

void install_sockets() { sockets::for_each_field = for_each_field; }

// ---------------------------------------------------------------- classes and fields

uint32_t new_class_id() { return ++last_class_id; }

Cell* make_at(Cell* cell, uint32_t words) {
    Node node = context::create(words, false, false, nullptr, context::KIND_OBJECT);
    *cell = object::cell(TYPE_OBJECT, node, 0);
    *context::owner_of(node) = *cell;
    return cell;
}

Cell* word_at(Node context, uint32_t index) { return context::word_at(context::cell_of(context), index); }

Cell* get_values(const Cell* object) {
    return node_buffer(context::values_node(context::cell_of(context_node(object))))->cells();
}

uint32_t field_count(const Cell* object) { return context::word_count(context::cell_of(context_node(object))); }

Cell* find_field(const Cell* object, uint32_t symbol) {
    int32_t index = context::find_word(context::cell_of(context_node(object)), symbol, true);
    return index < 0 ? nullptr : get_values(object) + index;
}

const Cell* get_field_value(const Cell* object, const Cell* word) {
    const Cell* value = find_field(object, word::symbol(word));
    return value ? value : &none::constant;
}

void clear_changed_marks(Node context) {
    SeriesBuffer* words = context::words_buffer(context::cell_of(context));
    for (Cell* entry = words->cells(); entry < words->cells_tail(); entry++) entry->header &= ~context::WORD_ASSIGNED;
}

void clear_new_lines(Node block) {
    SeriesBuffer* b = node_buffer(block);
    for (Cell* cell = b->cells(); cell < b->cells_tail(); cell++) cell->header &= ~CELL_NEW_LINE;
}

bool copied_deeply(uint32_t type) {
    return is_any_block(type) || is_any_string(type) || type == TYPE_BINARY || type == TYPE_VECTOR ||
           type == TYPE_IMAGE;
}

// ---------------------------------------------------------------- form, mold, compare

void serialize_fields(const Cell* object, text::Sink& out, bool mold) {
    Node context = context_node(object);
    uint32_t count = field_count(object);
    bool first = true;
    for (uint32_t i = 0; i < count; i++) {
        if (out.limit <= 0) break;
        uint32_t symbol_id = word::symbol(word_at(context, i));
        if (!out.all && is_handler_field(symbol_id)) continue;
        if (!first && (out.flat || !mold)) out.append(out.flat ? " " : "\n");
        if (mold && !out.flat) out.indentation(out.indent);
        // A copy: molding the value may move the values block.
        Cell value = get_values(object)[i];
        serialize_field(out, symbol_id, &value);
        if (mold && !out.flat) out.append("\n");
        first = false;
    }
}

void mold_as(const char* opening, const Cell* object, text::Sink& out, bool only) {
    if (cycles::detect(object, out, true)) return;
    cycles::Scope guard(context_node(object));
    if (!only) {
        out.append(opening);
        if (!out.flat) out.append("\n");
    }
    {
        text::Layout fields(out, out.indent + 1);
        serialize_fields(object, out, true);
    }
    if (!out.flat) out.indentation(out.indent);
    if (!only) out.append("]");
}

int32_t compare_fields(const Cell* value1, const Cell* value2, int32_t op) {
    if (cell_type(value1) != cell_type(value2)) return -2;
    Node context1 = context_node(value1);
    Node context2 = context_node(value2);
    if (context1 == context2) return 0;
    if (op == actions::COMP_SAME) return -1;
    if (cycles::find(context1)) return cycles::find(context2) ? 0 : -1;
    uint32_t count1 = field_count(value1);
    uint32_t count2 = field_count(value2);
    if (count1 != count2) return count1 >= count2 ? 1 : -1;
    cycles::Scope guard(context1);
    cycles::push(context2);
    for (uint32_t i = 0; i < count1; i++) {
        uint32_t symbol1 = symbol::resolve(word::symbol(word_at(context1, i)));
        uint32_t symbol2 = symbol::resolve(word::symbol(word_at(context2, i)));
        if (symbol1 != symbol2) return symbol1 < symbol2 ? -1 : 1;
        // Copies: a field's comparison may run code that moves the blocks.
        Cell field1 = get_values(value1)[i];
        Cell field2 = get_values(value2)[i];
        uint32_t t1 = cell_type(&field1);
        uint32_t t2 = cell_type(&field2);
        if (!comparable_types(t1, t2)) return t1 < t2 ? -1 : 1;
        int32_t answer = actions::compare_values(&field1, &field2, op);
        if (answer != 0) return answer;
    }
    return 0;
}

}  // namespace vek::object
