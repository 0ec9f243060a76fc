// Making and copying objects: make object!, construct, copy and the cloning
// of the functions an object holds.
#include "runtime/actions/dispatch.h"
#include "runtime/core/fixed_words.h"
#include "runtime/core/raise.h"
#include "runtime/core/registry.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/block/array.h"
#include "runtime/datatypes/callable/function.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/object/events.h"
#include "runtime/datatypes/object/internal.h"
#include "runtime/datatypes/object/object.h"
#include "runtime/datatypes/typeset.h"
#include "runtime/datatypes/word/context.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/eval/evaluator.h"
#include "runtime/tables/cycles.h"

namespace vek::object {

namespace {

// The words an object made from the datatype has room for at first.
constexpr uint32_t FIRST_WORDS = 4;

Cell* context_cell(const Cell* object) { return context::cell_of(context_node(object)); }

// The object cell changed: its context's owner cell follows.
void store_owner(const Cell* object) { *context::owner_of(context_node(object)) = *object; }

bool matches_types(const Cell* types, uint32_t type) {
    if (cell_type(types) == TYPE_TYPESET) return typeset::contains(types, type);
    return datatype::id(types) == type;
}

// A new context with the object's words and a byte copy of its values,
// written into result with the object's header, class id and event record.
void duplicate(const Cell* object, Cell* result) {
    Cell source = *object;
    Node node = context::create(field_count(&source), false, false, context_cell(&source), context::KIND_OBJECT);
    Cell copy{source.header, uint32_t(node), class_id(&source), uint32_t(event_record(&source))};
    Cell* from = get_values(&source);
    Cell* to = get_values(&copy);
    for (uint32_t i = 0, n = field_count(&source); i < n; i++) to[i] = from[i];
    *context::owner_of(node) = copy;
    *result = copy;
}

// The value at the index replaced by its copy, deep or not.
void replace_by_copy(const Cell* object, uint32_t index, bool deep, const Cell* types) {
    Cell value = get_values(object)[index];
    Cell fresh;
    make_unset(&fresh);
    if (is_any_object(cell_type(&value)))
        copy_into(&value, &fresh, {.deep = deep, .types = types});
    else
        actions::copy(&value, &fresh, nullptr, deep, types);
    get_values(object)[index] = fresh;
}

// Whether copy_into gives a value of the type a copy of its own.
bool gets_copy(uint32_t type, const CopyFlags& flags) {
    if (!flags.types) return flags.deep && copied_deeply(type);
    return matches_types(flags.types, type) && (copied_deeply(type) || is_any_object(type));
}

// What copy_into does to each value of the copy.
void copy_values(const Cell* object, const CopyFlags& flags) {
    for (uint32_t i = 0; i < field_count(object); i++) {
        uint32_t type = cell_type(get_values(object) + i);
        if (type == TYPE_FUNCTION)
            clone_function(object, i);
        else if (gets_copy(type, flags))
            replace_by_copy(object, i, flags.deep, flags.types);
    }
}

// The block values of the object's first count fields bound to its context.
void rebind_blocks(const Cell* object, uint32_t count) {
    const Cell* context = context_cell(object);
    for (uint32_t i = 0; i < count; i++) {
        Cell value = get_values(object)[i];
        if (is_any_block(cell_type(&value))) context::bind(&value, context, true);
    }
}

// The block's set-words become fields, the block and the block values copied
// from the prototype's first fields are bound to the object, and the block is
// evaluated; answers whether words were added.
bool run_block_spec(const Cell* made, const Cell* spec_value, uint32_t inherited) {
    Cell code = *spec_value;
    bool added = context::collect_set_words(context_cell(made), &code);
    context::bind(&code, context_cell(made), true);
    rebind_blocks(made, inherited);
    Cell* saved_top = stack::top;
    eval::raise_pending(eval::eval_block(&code));
    stack::top = saved_top;
    return added;
}

// Each field of the source object set in the made one, added when missing;
// answers whether words were added.
bool set_fields_from(const Cell* made, const Cell* source_object) {
    Cell source = *source_object;
    uint32_t before = field_count(made);
    for (uint32_t i = 0; i < field_count(&source); i++) {
        Cell word = *word_at(context_node(&source), i);
        Cell value = get_values(&source)[i];
        context::set_word_value(context_cell(made), &word, &value);
    }
    return field_count(made) > before;
}

// A copy of the prototype without its event record: the block's stores must
// not reach the prototype's handlers before the copy has its own record.
void start_from_prototype(const Cell* prototype, Cell* made, CopyFlags flags) {
    duplicate(prototype, made);
    set_event_record(made, Node::none);
    store_owner(made);
    copy_values(made, flags);
}

void finish(Cell* made, uint32_t class_id) {
    set_class_id(made, class_id);
    init_events(made);
}

[[noreturn]] void raise_malconstruct(const Cell* spec_value) {
    Cell type = datatype::cell(TYPE_OBJECT);
    fire(err::syntax::malconstruct, &type, spec_value);
}

// construct's logic words, unless /only.
Cell constructed_value(const Cell* value, bool only) {
    if (only || cell_type(value) != TYPE_WORD) return *value;
    uint32_t symbol_id = symbol::resolve(word::symbol(value));
    auto is = [symbol_id](fixed_words::Sym s) { return symbol_id == symbol::resolve(fixed_words::symbol(s)); };
    using fixed_words::Sym;
    if (is(Sym::true_) || is(Sym::yes) || is(Sym::on)) return *logic::constant(true);
    if (is(Sym::false_) || is(Sym::no) || is(Sym::off)) return *logic::constant(false);
    if (is(Sym::none)) return none::constant;
    return *value;
}

// Each run of set-words of the block takes the next value that is no
// set-word, unevaluated.
void assign_constructed(const Cell* made, const Cell* spec_value, bool only) {
    Cell code = *spec_value;
    Node node = series_node(&code);
    uint32_t run_start = series_index(&code);
    for (uint32_t i = run_start; i <= node_buffer(node)->length(); i++) {
        bool at_end = i == node_buffer(node)->length();
        Cell item = at_end ? none::constant : node_buffer(node)->cells()[i];
        if (!at_end && cell_type(&item) == TYPE_SET_WORD) continue;
        Cell value = constructed_value(&item, only);
        for (uint32_t k = run_start; k < i; k++) {
            Cell word = node_buffer(node)->cells()[k];
            context::set_word_value(context_cell(made), &word, &value);
        }
        run_start = i + 1;
    }
}

}  // namespace

// ---------------------------------------------------------------- copying

void copy_into(const Cell* object, Cell* result, CopyFlags flags) {
    Cell source = *object;
    cycles::Scope guard;
    if (flags.types) cycles::enter_copy(context_node(&source));
    Cell copy;
    duplicate(&source, &copy);
    copy_values(&copy, flags);
    if (flags.rebuild_events) init_events(&copy);
    *result = copy;
}

void clone_function(const Cell* object, uint32_t index) {
    Cell holder = *object;
    Cell original = get_values(&holder)[index];
    Cell* internal = function::internal(&original);
    if (cell_type(internal + function::INTERNAL_BODY) == TYPE_NONE) {
        Cell spec_value = series_cell(TYPE_BLOCK, function::spec_node(&original));
        fire(err::script::bad_func_def, &spec_value);
    }
    Cell body = internal[function::INTERNAL_BODY];
    Cell extra = internal[function::INTERNAL_EXTRA];
    const Cell* source_context = context::cell_of(function::context_node(&original));
    Node context = context::create(context::word_count(source_context), true,
                                   (source_context->header & context::FLAG24) != 0, source_context,
                                   context::KIND_FUNCTION);
    Cell spec_value = series_cell(TYPE_BLOCK, function::spec_node(&original));
    uint32_t flags = original.header & (function::FLAG_TRACE | function::FLAG_NO_TRACE);
    int32_t maker = cell_type(&extra) == TYPE_INTEGER ? integer::get(&extra) : 0;
    function::make_value(&spec_value, &body, context, 0, maker, flags);
    Cell clone = stack::top[-1];
    stack::pop(1);
    Cell copied_body = *function::body(&clone);
    context::bind(&copied_body, context_cell(&holder), true);
    context::bind(&copied_body, context::cell_of(context), false);
    get_values(&holder)[index] = clone;
}

Cell* copy(Cell* value, Cell* result, const Cell* part, bool deep, const Cell* types) {
    if (part) fire(err::script::invalid_refine_arg, fixed_words::refinement(fixed_words::Ref::part), part);
    copy_into(value, result, {.deep = deep, .types = types});
    return result;
}

// ---------------------------------------------------------------- making

Cell* make(Cell* result, const Cell* spec_value, uint32_t) {
    Cell prototype = *result;
    Cell given = *spec_value;
    bool from_object = is_any_object(cell_type(&prototype));
    uint32_t spec_type = cell_type(&given);
    if (spec_type != TYPE_BLOCK && spec_type != TYPE_OBJECT) raise_malconstruct(&given);
    // On the stack while the block runs; the stack never moves.
    Cell* saved_top = stack::top;
    Cell* made = make_unset(stack::push_cell());
    if (from_object)
        start_from_prototype(&prototype, made, {.deep = true});
    else
        make_at(made, FIRST_WORDS);
    bool added;
    if (spec_type == TYPE_BLOCK) {
        added = run_block_spec(made, &given, from_object ? field_count(made) : 0);
        clear_changed_marks(context_node(made));
        clear_new_lines(context::words_node(context_cell(made)));
    } else {
        added = set_fields_from(made, &given);
        copy_values(made, {.deep = true});
    }
    bool keeps_class = from_object && !added;
    finish(made, keeps_class ? class_id(&prototype) : new_class_id());
    *result = *made;
    stack::top = saved_top;
    return result;
}

Cell* construct(Cell* result, const Cell* spec_value, const Cell* prototype, bool only) {
    Cell given = *spec_value;
    Cell* saved_top = stack::top;
    Cell* made = make_unset(stack::push_cell());
    if (prototype) {
        copy_into(prototype, made, {.deep = true, .rebuild_events = true});
    } else {
        make_at(made, FIRST_WORDS);
        set_class_id(made, new_class_id());
        store_owner(made);
    }
    assign_constructed(made, &given, only);
    *result = *made;
    stack::top = saved_top;
    return result;
}

}  // namespace vek::object
