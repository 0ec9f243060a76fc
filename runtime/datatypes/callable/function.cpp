// function! values: spec checking, the locals of the function native,
// construction, and the actions.
#include "runtime/datatypes/callable/function.h"

#include "runtime/actions/dispatch.h"
#include "runtime/core/fixed_words.h"
#include "runtime/core/raise.h"
#include "runtime/core/registry.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/word/context.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/tables/cycles.h"

namespace vek::function {

namespace {

uint32_t canonical(const Cell* word) { return symbol::resolve(word::symbol(word)); }

bool is_symbol(const Cell* word, fixed_words::Sym name) {
    return canonical(word) == symbol::resolve(fixed_words::symbol(name));
}

bool is_field(uint32_t field, fixed_words::Sym name) {
    return symbol::resolve(field) == symbol::resolve(fixed_words::symbol(name));
}

bool is_refinement(const Cell* value, fixed_words::Ref name) {
    return cell_type(value) == TYPE_REFINEMENT &&
           canonical(value) == symbol::resolve(word::symbol(fixed_words::refinement(name)));
}

// A copy of the block value whose head lies at or before its tail.
Cell clamped(const Cell* block) {
    Cell copy = *block;
    int32_t length = block::rs_length(&copy);
    if (length < 0) set_series_index(&copy, uint32_t(int32_t(series_index(&copy)) + length));
    return copy;
}

// The spec's cells from the head. Validation allocates nothing, so the
// pointers stay good while it runs (raising ends it).
struct Range {
    const Cell* first;
    const Cell* last;
    uint32_t size() const { return uint32_t(last - first); }
};

Range range_of(const Cell* block) {
    Cell spec_value = clamped(block);
    return {block::rs_head(&spec_value), block::rs_tail(&spec_value)};
}

[[noreturn]] void bad_spec(const Cell* spec_value) { fire(err::script::bad_func_def, spec_value); }

void validate_type_block(const Cell* types) {
    Range r = range_of(types);
    for (const Cell* value = r.first; value < r.last; value++) {
        const Cell* meaning = value;
        if (cell_type(value) == TYPE_WORD) {
            meaning = context::get(value);
            if (cell_type(meaning) == TYPE_UNSET) fire(err::script::no_value, value);
        }
        uint32_t type = cell_type(meaning);
        if (type != TYPE_DATATYPE && type != TYPE_TYPESET && type != TYPE_WORD)
            fire(err::script::invalid_type_spec, value);
    }
}

uint32_t attribute_flags(const Cell* spec_value, const Cell* attributes) {
    uint32_t flags = 0;
    Range r = range_of(attributes);
    for (const Cell* value = r.first; value < r.last; value++) {
        if (cell_type(value) != TYPE_WORD) bad_spec(spec_value);
        if (is_symbol(value, fixed_words::Sym::trace)) flags |= FLAG_TRACE;
        else if (is_symbol(value, fixed_words::Sym::no_trace)) flags |= FLAG_NO_TRACE;
    }
    return flags;
}

void check_duplicates(Range r) {
    for (const Cell* a = r.first; a < r.last; a++) {
        if (!callable::is_spec_word(cell_type(a))) continue;
        for (const Cell* b = a + 1; b < r.last; b++) {
            if (callable::is_spec_word(cell_type(b)) && canonical(a) == canonical(b))
                fire(err::script::dup_vars, b);
        }
    }
}

// ---------------------------------------------------------------- collecting locals

// The words met so far (as word! values) and the new locals. Both blocks are
// held by cells in this C++ frame, where the collector's stack scan sees them.
struct Collector {
    Cell ignore;
    Cell found;

    bool ignored(const Cell* word) {
        Range r = range_of(&ignore);
        for (const Cell* value = r.first; value < r.last; value++)
            if (cell_type(value) == TYPE_WORD && canonical(value) == canonical(word)) return true;
        return false;
    }

    void collect(const Cell* word) {
        Cell plain = *word;
        set_type(&plain, TYPE_WORD);
        clear_new_line(&plain.header);
        if (ignored(&plain)) return;
        block::rs_append(&found, &plain);
        block::rs_append(&ignore, &plain);
    }

    void collect_words_of(const Cell* block) {
        uint32_t length = block::length_from_head(block);
        for (uint32_t i = 0; i < length; i++) {
            Cell value = *(block::rs_head(const_cast<Cell*>(block)) + i);
            if (callable::is_argument_word(cell_type(&value))) collect(&value);
        }
    }

    // Indexes, not pointers: collecting appends, which may move any buffer.
    void walk(const Cell* body) {
        if (cycles::find(series_node(body))) return;
        cycles::Scope scope(series_node(body));
        Cell block = clamped(body);
        for (uint32_t i = 0; i < block::length_from_head(&block); i++) {
            Cell value = *(block::rs_head(&block) + i);
            switch (cell_type(&value)) {
            case TYPE_SET_WORD:
                collect(&value);
                break;
            case TYPE_WORD:
                if (i + 1 < block::length_from_head(&block)) follow(&value, *(block::rs_head(&block) + i + 1));
                break;
            case TYPE_BLOCK:
            case TYPE_PAREN:
                walk(&value);
                break;
            default:
                break;
            }
        }
    }

    // The loop words of foreach, remove-each and repeat.
    void follow(const Cell* word, Cell next) {
        bool each = is_symbol(word, fixed_words::Sym::foreach) || is_symbol(word, fixed_words::Sym::remove_each);
        bool repeat = is_symbol(word, fixed_words::Sym::repeat);
        if (!each && !repeat) return;
        uint32_t type = cell_type(&next);
        if (type == TYPE_WORD || type == TYPE_SET_WORD) collect(&next);
        else if (each && type == TYPE_BLOCK) collect_words_of(&next);
    }
};

// Cuts the spec at /extern; the words after a /local that follows the
// /extern words become locals again.
bool cut_extern(Cell* spec_value, Collector* c) {
    Cell head = clamped(spec_value);
    uint32_t length = block::length_from_head(&head);
    const Cell* cells = block::rs_head(&head);
    uint32_t at = 0;
    while (at < length && !is_refinement(cells + at, fixed_words::Ref::extern_)) at++;
    if (at == length) return false;
    uint32_t next = at + 1;
    while (next < length && cell_type(cells + next) == TYPE_WORD) next++;
    if (next < length && is_refinement(cells + next, fixed_words::Ref::local)) {
        for (uint32_t i = next + 1; i < length; i++) {
            Cell value = *(block::rs_head(&head) + i);
            if (cell_type(&value) != TYPE_WORD) break;
            block::rs_append(&c->found, &value);
        }
    }
    block::truncate_at(spec_value, series_index(&head) + at);
    return true;
}

void plain_ignore_list(Collector* c, bool checked) {
    Range r = range_of(&c->ignore);
    for (Cell* value = const_cast<Cell*>(r.first); value < r.last; value++) {
        uint32_t type = cell_type(value);
        if (is_any_word(type) || type == TYPE_REFINEMENT) set_type(value, TYPE_WORD);
        else if (checked && type != TYPE_BLOCK && type != TYPE_STRING)
            fire(err::script::bad_func_extern, value);
    }
}

bool has_local(const Cell* spec_value) {
    Range r = range_of(spec_value);
    for (const Cell* value = r.first; value < r.last; value++)
        if (is_refinement(value, fixed_words::Ref::local)) return true;
    return false;
}

void drop_word_local(Cell* found) {
    Range r = range_of(found);
    uint32_t local = symbol::resolve(word::symbol(fixed_words::refinement(fixed_words::Ref::local)));
    for (const Cell* value = r.first; value < r.last; value++) {
        if (canonical(value) == local) {
            Cell word = *value;
            block::remove_value(found, &word, false);
            return;
        }
    }
}

bool comparing_op(int32_t op) {
    return (op >= actions::COMP_EQUAL && op <= actions::COMP_STRICT_EQUAL) ||
           (op >= actions::COMP_SORT && op <= actions::COMP_SAME) || op == actions::COMP_FIND;
}

Cell* append_integer_or_unset(Cell* internal, int32_t value) {
    Cell cell{};
    if (value != 0) integer::make_at(&cell, value);
    else make_unset(&cell);
    return block::rs_append(internal, &cell);
}

}  // namespace

// ---------------------------------------------------------------- spec checking

uint32_t validate_spec(const Cell* spec_value) {
    Range r = range_of(spec_value);
    const Cell* value = r.first;
    uint32_t flags = 0;
    if (value < r.last && cell_type(value) == TYPE_BLOCK) flags = attribute_flags(spec_value, value++);
    Range arguments{value, r.last};
    bool local_seen = false, return_seen = false;
    while (value < r.last) {
        uint32_t type = cell_type(value);
        const Cell* next = value + 1 < r.last ? value + 1 : nullptr;
        switch (type) {
        case TYPE_WORD:
        case TYPE_LIT_WORD:
        case TYPE_GET_WORD:
            if (type != TYPE_WORD && local_seen) bad_spec(spec_value);
            if (return_seen && !local_seen) bad_spec(spec_value);
            if (next && cell_type(next) == TYPE_STRING && next + 1 < r.last && cell_type(next + 1) == TYPE_BLOCK)
                bad_spec(spec_value);
            value++;
            if (next && cell_type(next) == TYPE_BLOCK) validate_type_block(value++);
            break;
        case TYPE_SET_WORD: {
            if (!is_symbol(value, fixed_words::Sym::return_) || return_seen || local_seen) bad_spec(spec_value);
            if (!next || cell_type(next) != TYPE_BLOCK) bad_spec(spec_value);
            const Cell* after = next + 1 < r.last ? next + 1 : nullptr;
            if (after && cell_type(after) != TYPE_REFINEMENT && cell_type(after) != TYPE_STRING) bad_spec(spec_value);
            return_seen = true;
            value += 2;
            break;
        }
        case TYPE_REFINEMENT:
            if (is_refinement(value, fixed_words::Ref::local)) local_seen = true;
            else if (local_seen || return_seen) bad_spec(spec_value);
            if (next && !is_any_word(cell_type(next)) && cell_type(next) != TYPE_REFINEMENT &&
                cell_type(next) != TYPE_STRING)
                bad_spec(spec_value);
            value++;
            break;
        case TYPE_STRING:
            value++;
            break;
        default:
            bad_spec(spec_value);
        }
    }
    check_duplicates(arguments);
    return flags;
}

void collect_locals(Cell* spec_value, const Cell* body) {
    Collector c;
    block::make_at(&c.found, 8);
    Cell whole = clamped(spec_value);
    c.ignore = *block::clone(&whole, false, false);
    stack::pop(1);
    bool had_extern = cut_extern(spec_value, &c);
    plain_ignore_list(&c, had_extern);
    c.walk(body);
    drop_word_local(&c.found);
    if (block::length_from_head(&c.found) == 0) return;
    if (!has_local(spec_value)) block::rs_append(spec_value, fixed_words::refinement(fixed_words::Ref::local));
    block::append_cells_of(spec_value, &c.found);
}

int32_t count_locals(const Cell* spec_value, uint32_t start, bool require) {
    Range r = range_of(spec_value);
    const Cell* value = r.first + start;
    while (value < r.last && !is_refinement(value, fixed_words::Ref::local)) value++;
    if (value >= r.last) return require ? -1 : 0;
    int32_t count = 1;
    for (value++; value < r.last && cell_type(value) != TYPE_SET_WORD; value++)
        if (cell_type(value) == TYPE_WORD) count++;
    return count;
}

void init_locals(int32_t n) {
    if (n <= 0) return;
    stack::push(&logic::false_constant);
    for (int32_t i = 1; i < n; i++) stack::push(&none::constant);
}

// ---------------------------------------------------------------- construction

Node make_value(const Cell* spec_in, const Cell* body_in, Node context, uint32_t code, int32_t extra,
                uint32_t flags) {
    Cell spec_value = clamped(spec_in);
    if (series_index(&spec_value) > 0) {
        spec_value = *block::clone(&spec_value, false, false);
        stack::pop(1);
    }
    bool has_body = body_in != nullptr && cell_type(body_in) != TYPE_NONE;
    Cell body = has_body ? clamped(body_in) : none::constant;
    Cell internal;
    block::make_at(&internal, INTERNAL_SIZE);
    bool made_here = context == Node::none;
    if (made_here) context = context::make_from_spec(&spec_value, true, false, context::KIND_FUNCTION);
    Cell function = cell(TYPE_FUNCTION | flags, context, series_node(&spec_value), series_node(&internal));
    stack::push(&function);
    *context::owner_of(context) = function;
    if (has_body) {
        body = *block::clone(&body, true, true);
        stack::pop(1);
    }
    block::rs_append(&internal, &body);
    Cell unset;
    block::rs_append(&internal, make_unset(&unset));
    append_integer_or_unset(&internal, int32_t(code));
    block::rs_append(&internal, &unset);
    append_integer_or_unset(&internal, extra);
    if (made_here && has_body) context::bind(&body, context::cell_of(context), false);
    return context;
}

// ---------------------------------------------------------------- actions

namespace {

// make function! [spec body]: a block of at least two values, both blocks,
// the spec valid; else script bad-func-def with the spec.
Cell* make(Cell* result, const Cell* spec_value, uint32_t) {
    Cell given = *spec_value;
    bool well_formed = cell_type(&given) == TYPE_BLOCK && block::rs_length(&given) >= 2;
    Cell parts[2];
    if (well_formed) {
        parts[0] = block::rs_head(&given)[0];
        parts[1] = block::rs_head(&given)[1];
    }
    if (!well_formed || cell_type(&parts[0]) != TYPE_BLOCK || cell_type(&parts[1]) != TYPE_BLOCK)
        fire(err::script::bad_func_def, spec_value);
    uint32_t flags = validate_spec(&parts[0]);
    make_value(&parts[0], &parts[1], Node::none, 0, 0, flags);
    *result = stack::top[-1];
    stack::pop(1);
    return result;
}

// Slot 3 of function! and routine!: spec, body, words (a new block of the
// context's words, bound to it); any other field internal not-done.
void reflect(Cell* value, uint32_t field) {
    if (is_field(field, fixed_words::Sym::spec)) {
        callable::spec_block(value, value);
    } else if (is_field(field, fixed_words::Sym::body)) {
        *value = *body(value);
    } else if (is_field(field, fixed_words::Sym::words)) {
        Node context = context_node(value);
        uint32_t count = context::word_count(context::cell_of(context));
        Cell words;
        block::make_at(&words, int32_t(count));
        for (uint32_t i = 0; i < count; i++) {
            Cell word = *context::word_at(context::cell_of(context), i);
            word::set_context(&word, context);
            block::rs_append(&words, &word);
        }
        *value = words;
    } else {
        fire(err::internal::not_done);
    }
}

// form: "?function?". mold: "func ", the spec molded, then the body molded
// or " none".
void form(const Cell*, text::Sink& out) { out.append("?function?"); }

void mold(const Cell* value, text::Sink& out, bool) {
    out.append("func ");
    Cell spec_value;
    callable::spec_block(value, &spec_value);
    actions::mold(&spec_value, out, false);
    Cell code = *body(value);
    if (cell_type(&code) == TYPE_NONE)
        out.append(" none");
    else
        actions::mold(&code, out, false);
}

// -2 unless the other value has the same type; equality and sorting codes
// (0-2, 7-9, 12) order by the identity of the internal block; others -2.
// routine! inherits it.
int32_t compare(const Cell* value1, const Cell* value2, int32_t op) {
    if (cell_type(value1) != cell_type(value2) || !comparing_op(op)) return -2;
    Node internal1 = callable::internal_node(value1), internal2 = callable::internal_node(value2);
    return (internal1 > internal2) - (internal1 < internal2);
}

}  // namespace

void init() {
    using namespace registry;
    register_type(TYPE_FUNCTION, Row()
        .set<SLOT_MAKE>(make)
        .set<SLOT_REFLECT>(reflect)
        .set<SLOT_FORM>(form)
        .set<SLOT_MOLD>(mold)
        .set<SLOT_COMPARE>(compare));
}

}  // namespace vek::function
