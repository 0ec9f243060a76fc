#include "runtime/datatypes/object/error.h"

#include <array>
#include <cstring>
#include <unordered_map>

#include "runtime/actions/dispatch.h"
#include "runtime/core/error_catalog.h"
#include "runtime/core/fixed_words.h"
#include "runtime/core/registry.h"
#include "runtime/core/root.h"
#include "runtime/core/stack.h"
#include "runtime/core/system.h"
#include "runtime/datatypes/callable/callable.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/object/object.h"
#include "runtime/datatypes/string/buffer.h"
#include "runtime/datatypes/word/context.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/eval/evaluator.h"
#include "runtime/gc/collector.h"
#include "runtime/memory/image_state.h"
#include "runtime/memory/manager.h"
#include "runtime/memory/series.h"
#include "runtime/output/print_hooks.h"

namespace vek::error {

namespace {

constexpr std::array<const char*, FIELD_COUNT> FIELD_NAMES{
    "code", "type", "id", "arg1", "arg2", "arg3", "near", "where", "stack", "files",
};

constexpr int32_t ARGUMENT_TEXT_LIMIT = 80;  // units of one formed message argument
constexpr int32_t NEAR_TEXT_LIMIT = 40;      // units of the Near and Files lines
constexpr uint32_t CAPTURED_STACK_CAPACITY = 20;
// What an error whose type or id the catalog lacks becomes.
constexpr err::AnyId INVALID_ERROR = err::internal::invalid_error;

// The prototype system/standard/error, in the root block.
Cell* prototype_cell = nullptr;

// The traces of raised errors, by their context nodes, each with the stack
// position it was taken at: what the Stack line and a capture name once the
// frames are gone. An entry goes with its error.
struct KeptTrace {
    int32_t position;
    stack::Trace trace;
};
std::unordered_map<uint32_t, KeptTrace> kept_traces;

void drop_dead_traces() {
    std::erase_if(kept_traces, [](const auto& entry) { return !gc::is_marked(Node(entry.first)); });
}

// The trace kept for the error when its stack field still holds the position
// it was taken at; else the frames up to that position as they stand now.
stack::Trace trace_of(const Cell* error, int32_t position) {
    auto kept = kept_traces.find(uint32_t(object::context_node(error)));
    if (kept != kept_traces.end() && kept->second.position == position) return kept->second.trace;
    return stack::take_trace(stack::frames_bottom + std::min(uint32_t(position), stack::FRAME_COUNT));
}

void set_field(const Cell* error, Field f, const Cell* value) {
    Cell copy = *value;  // the value may lie in the block being written
    *field(error, f) = copy;
}

uint32_t field_symbol(const Cell* error, Field f) {
    const Cell* word = field(error, f);
    uint32_t type = cell_type(word);
    return is_any_word(type) || type == TYPE_REFINEMENT ? word::symbol(word) : 0;
}

// The type and id words for a category index and an id position.
void set_words(const Cell* error, uint32_t category, uint32_t position) {
    Cell type = word::unbound(TYPE_WORD, catalog::category_symbol(category));
    Cell id = word::unbound(TYPE_WORD, catalog::id_name(category, position));
    set_field(error, FIELD_TYPE, &type);
    set_field(error, FIELD_ID, &id);
}

// The code, type and id fields.
void set_kind(const Cell* error, uint32_t category, uint32_t position) {
    set_words(error, category, position);
    Cell code = integer::cell(int32_t(category * 100 + position - 2));
    set_field(error, FIELD_CODE, &code);
}

// A copy of the prototype into the cell, stamped as an error!.
void copy_prototype(Cell* error) {
    object::copy_into(prototype_cell, error);
    *error = object::cell(TYPE_ERROR, object::context_node(error), CLASS_ID);
    *context::owner_of(object::context_node(error)) = *error;
}

// The code under evaluation, at the start of the expression that failed.
void set_near(const Cell* error) {
    Cell position = eval::current_position();
    if (cell_type(&position) == TYPE_BLOCK || cell_type(&position) == TYPE_PAREN)
        *field(error, FIELD_NEAR) = position;
}

// A copy of the prototype on the stack, stamped as an error!.
Cell* push_new() {
    Cell* error = stack::push_cell();
    make_unset(error);
    copy_prototype(error);
    set_near(error);
    return error;
}

// A reserved error, made at start-up into its root cell.
void make_reserved(Cell* cell, err::AnyId id) {
    copy_prototype(cell);
    set_kind(cell, uint32_t(id.category), id.position);
}

int32_t category_of_symbol(uint32_t symbol_id) {
    return symbol_id == 0 ? -1 : catalog::find_category(symbol_id);
}

[[noreturn]] void raise_spec_field(fixed_words::Word name) {
    fire(err::script::invalid_spec_field, fixed_words::word(name));
}

bool names_an_id(int32_t code) {
    uint32_t category = uint32_t(code / 100);
    return code >= 0 && category < catalog::CATEGORY_COUNT &&
           uint32_t(code % 100) < catalog::id_count(category);
}

void make_from_code(const Cell* error, const Cell* spec_value) {
    int32_t code = integer::get(spec_value);
    if (!names_an_id(code)) fire(err::script::out_of_range, spec_value);
    set_kind(error, uint32_t(code / 100), uint32_t(code % 100) + 2);
}

void make_from_words(const Cell* error, const Cell* spec_value) {
    SeriesBuffer* b = series_buffer(spec_value);
    uint32_t head = series_index(spec_value);
    uint32_t length = b->length();
    Cell type = b->cells()[head];
    int32_t category = catalog::find_category(word::symbol(&type));
    if (category < 0) raise_spec_field(fixed_words::Word::type);
    if (head + 1 >= length) raise_spec_field(fixed_words::Word::id);
    Cell id = series_buffer(spec_value)->cells()[head + 1];
    if (cell_type(&id) != TYPE_WORD) fire(err::script::invalid_arg, &id);
    int32_t position = catalog::find_id(uint32_t(category), word::symbol(&id));
    if (position < 0) raise_spec_field(fixed_words::Word::id);
    Cell code = integer::cell(category * 100 + position - 2);
    set_field(error, FIELD_CODE, &code);
    set_field(error, FIELD_TYPE, &type);
    set_field(error, FIELD_ID, &id);
}

// An object-style block (type: 'math id: 'zero-divide ...) evaluated in the
// new error; its type and id must then name a category and one of its ids.
void make_from_set_words(const Cell* error, const Cell* spec_value) {
    Cell code = *spec_value;
    context::bind(&code, context::cell_of(object::context_node(error)), true);
    Cell* saved_top = stack::top;
    eval::raise_pending(eval::eval_block(&code));
    stack::top = saved_top;
    Cell type = *field(error, FIELD_TYPE);
    int32_t category = cell_type(&type) == TYPE_WORD ? catalog::find_category(word::symbol(&type)) : -1;
    if (category < 0) raise_spec_field(fixed_words::Word::type);
    Cell id = *field(error, FIELD_ID);
    int32_t position = cell_type(&id) == TYPE_WORD ? catalog::find_id(uint32_t(category), word::symbol(&id)) : -1;
    if (position < 0) raise_spec_field(fixed_words::Word::id);
    Cell number = integer::cell(category * 100 + position - 2);
    set_field(error, FIELD_CODE, &number);
}

void make_from_block(const Cell* error, const Cell* spec_value) {
    SeriesBuffer* b = series_buffer(spec_value);
    uint32_t head = series_index(spec_value);
    uint32_t first = head < b->length() ? cell_type(b->cells() + head) : 0;
    if (first == TYPE_SET_WORD) return make_from_set_words(error, spec_value);
    if (first != TYPE_WORD) fire(err::internal::invalid_error);
    make_from_words(error, spec_value);
}

// ---------------------------------------------------------------- forming

uint32_t text_length(const Cell* buffer) { return series_buffer(buffer)->length(); }

void append_text(const Cell* buffer, const char* text) { string::append_c_string(buffer, text); }

// Appends a string or a symbol's name (a symbol! source reads its name).
void append_series(const Cell* buffer, const Cell* source) {
    Cell target = *buffer;
    Cell from = *source;
    string::concatenate(&target, &from, -1, 0, false, string::Mode::append);
}

void append_symbol(const Cell* buffer, uint32_t symbol_id) {
    Cell name = *symbol::get(symbol_id);
    append_series(buffer, &name);
}

// Molds (or forms) the value with a /part limit and cuts what overran it.
void append_value_cut(const Cell* buffer, const Cell* value, bool formed, bool only, int32_t cut) {
    Cell* saved_top = stack::top;
    Cell copy = *value;
    uint32_t before = text_length(buffer);
    text::Sink out{.buffer = buffer, .limited = true, .limit = cut};
    if (formed) {
        actions::form(&copy, out);
    } else {
        out.flat = true;
        actions::mold(&copy, out, only);
    }
    string::limit_buffer(series_buffer(buffer), before + uint32_t(cut));
    stack::top = saved_top;
}

// A message argument: the field's value, formed for a syntax error (whose
// arguments are source text) and molded otherwise. The frame keeps the
// molding out of stack traces.
void append_argument(const Cell* error, const Cell* buffer, uint32_t symbol_id, bool syntax) {
    const Cell* found = object::find_field(error, symbol_id);
    Cell value = found ? *found : none::constant;
    // Popping the only frame would empty the whole stack: the pointers are
    // put back by hand.
    Cell* saved_top = stack::top;
    Cell* saved_arguments = stack::arguments;
    stack::mark_native(fixed_words::word(fixed_words::Word::body_tag));
    append_value_cut(buffer, &value, syntax, false, ARGUMENT_TEXT_LIMIT);
    stack::set_frames_top(stack::frames_top - 1);
    stack::top = saved_top;
    stack::arguments = saved_arguments;
}

bool is_syntax(const Cell* error) {
    return category_of_symbol(type_symbol(error)) == int32_t(Category::syntax);
}

void form_pieces(const Cell* error, const Cell* buffer, const catalog::ErrorId& message) {
    bool syntax = is_syntax(error);
    for (uint32_t i = 0; i < message.piece_count; i++) {
        if (i > 0) append_text(buffer, " ");
        const catalog::TemplatePiece& piece = message.pieces[i];
        if (piece.kind == catalog::Piece::text)
            append_text(buffer, piece.text);
        else
            append_argument(error, buffer, symbol::make(piece.text), syntax);
    }
}

// Replaces an unknown type or id by internal invalid-error, keeping the
// unknown word in arg1.
void mark_invalid(const Cell* error, Field unknown) {
    set_field(error, FIELD_ARG1, field(error, unknown));
    set_words(error, uint32_t(INVALID_ERROR.category), INVALID_ERROR.position);
}

struct Message {
    uint32_t category;
    uint32_t id;  // the id's symbol
};

Message find_message(const Cell* error) {
    int32_t category = category_of_symbol(type_symbol(error));
    if (category < 0) {
        mark_invalid(error, FIELD_TYPE);
        category = int32_t(Category::internal);
    }
    uint32_t id = id_symbol(error);
    int32_t position = id == 0 ? -1 : catalog::find_id(uint32_t(category), id);
    if (position < 0) {
        mark_invalid(error, FIELD_ID);
        uint32_t invalid = catalog::id_symbol(uint32_t(INVALID_ERROR.category), INVALID_ERROR.position);
        return Message{uint32_t(INVALID_ERROR.category), invalid};
    }
    return Message{uint32_t(category), id};
}

// A message held in a field (user errors carry theirs in arg1): a string is
// printed whole, a block is a template; anything else prints nothing and
// leaves the error marked invalid.
void form_field_message(const Cell* error, const Cell* buffer, uint32_t name) {
    const Cell* found = object::find_field(error, name);
    Cell message = found ? *found : none::constant;
    switch (cell_type(&message)) {
    case TYPE_STRING:
        append_series(buffer, &message);
        break;
    case TYPE_BLOCK: {
        text::Sink out{.buffer = buffer};
        form_template(error, out, &message);
        break;
    }
    default:
        mark_invalid(error, FIELD_TYPE);
        break;
    }
}

// A template of the catalog object: a string! printed whole, a word! naming
// the field that holds the message, a block! of pieces.
void form_object_template(const Cell* error, const Cell* buffer, const Cell* message) {
    switch (cell_type(message)) {
    case TYPE_STRING:
        append_series(buffer, message);
        break;
    case TYPE_WORD:
        form_field_message(error, buffer, word::symbol(message));
        break;
    default: {
        text::Sink out{.buffer = buffer};
        form_template(error, out, message);
        break;
    }
    }
}

void form_table_template(const Cell* error, const Cell* buffer, const catalog::ErrorId& message) {
    switch (message.form) {
    case catalog::Form::string:
        append_text(buffer, message.pieces[0].text);
        break;
    case catalog::Form::word:
        form_field_message(error, buffer, symbol::make(message.pieces[0].text));
        break;
    case catalog::Form::block:
        form_pieces(error, buffer, message);
        break;
    }
}

// The title and the message, from the catalog object where it holds them,
// else from the table; an id that only a damaged object named prints its
// title alone.
void form_message(const Cell* error, const Cell* buffer) {
    Message m = find_message(error);
    const catalog::ErrorCategory& category = catalog::category(m.category);
    Cell text{};
    if (catalog::object_title(m.category, &text))
        append_series(buffer, &text);
    else
        append_text(buffer, category.title);
    append_text(buffer, ": ");
    if (catalog::object_template(m.category, m.id, &text)) return form_object_template(error, buffer, &text);
    int32_t position = catalog::find_table_id(m.category, m.id);
    if (position >= 0) form_table_template(error, buffer, category.ids[position - 2]);
}

void form_where(const Cell* error, const Cell* buffer) {
    append_text(buffer, "\n*** Where: ");
    Cell where = *field(error, FIELD_WHERE);
    if (is_any_word(cell_type(&where)) || cell_type(&where) == TYPE_REFINEMENT)
        append_symbol(buffer, word::symbol(&where));
    else if (cell_type(&where) == TYPE_STRING)
        append_series(buffer, &where);
    else
        append_text(buffer, "???");
}

void form_stack(const Cell* error, const Cell* buffer, const Cell* stack_trace, int32_t limit) {
    if (cell_type(stack_trace) != TYPE_INTEGER || integer::get(stack_trace) <= 0) return;
    Cell stack = *field(error, FIELD_STACK);
    text::Sink out{.buffer = buffer, .limit = limit - 12};
    if (cell_type(&stack) == TYPE_INTEGER) {
        append_text(buffer, "\n*** Stack: ");
        stack::trace_text(uint32_t(integer::get(stack_trace)), trace_of(error, integer::get(&stack)), out);
    } else if (cell_type(&stack) == TYPE_BLOCK) {
        append_text(buffer, "\n*** Stack: ");
        actions::form(&stack, out);
    }
}

// The actions, defined with their kin below.
Cell* make(Cell*, const Cell* spec_value, uint32_t);
void form(const Cell* value, text::Sink& out);
void mold(const Cell* value, text::Sink& out, bool only);
int32_t compare(const Cell* value1, const Cell* value2, int32_t op);

}  // namespace

// ---------------------------------------------------------------- set-up

void init() {
    using namespace registry;
    kept_traces.clear();
    gc::add_sweep("traces of raised errors", drop_dead_traces);
    image_state::keep_pointer("error prototype", prototype_cell);
    // Path access, reflect, copy, find and select are the object's own.
    register_type(TYPE_ERROR, Row()
        .set<SLOT_MAKE>(make)
        .inherit<SLOT_REFLECT>()
        .set<SLOT_FORM>(form)
        .set<SLOT_MOLD>(mold)
        .inherit<SLOT_EVAL_PATH>()
        .set<SLOT_COMPARE>(compare)
        .inherit<SLOT_COPY>()
        .inherit<SLOT_FIND>()
        .inherit<SLOT_SELECT>());
}

void init_prototype() {
    catalog::init();
    Node node = context::create(FIELD_COUNT, false, false, nullptr, context::KIND_OBJECT);
    for (const char* name : FIELD_NAMES) {
        Cell word = word::unbound(TYPE_WORD, symbol::make(name));
        context::add_word(context::cell_of(node), &word);
    }
    Cell* values = node_buffer(context::values_node(context::cell_of(node)))->cells();
    for (uint32_t i = 0; i < FIELD_COUNT; i++) values[i] = none::constant;
    Cell* cell = root::append();
    *cell = object::cell(TYPE_OBJECT, node, 0);
    *context::owner_of(node) = *cell;
    prototype_cell = cell;
    make_reserved(root::no_memory_error(), err::internal::no_memory);
    make_reserved(root::stack_overflow_error(), err::internal::stack_overflow);
}

bool ready() { return prototype_cell != nullptr; }

const Cell* prototype() { return prototype_cell; }

Cell* field(const Cell* error, Field f) { return object::get_values(error) + f; }

Cell* reserved(uint32_t code) {
    if (!ready()) return nullptr;
    if (code == error_code(err::internal::no_memory)) return root::no_memory_error();
    if (code == error_code(err::internal::stack_overflow)) return root::stack_overflow_error();
    return nullptr;
}

// Whatever a catcher or the script did to the value before is undone: it may
// have been caught and changed at an earlier raise.
void renew(const Cell* error, uint32_t code) {
    for (uint32_t f = 0; f < FIELD_COUNT; f++) *field(error, Field(f)) = none::constant;
    set_kind(error, code / 100, code % 100 + 2);
    set_near(error);
    if (uint32_t symbol_id = stack::current_function_symbol()) {
        Cell where = word::unbound(TYPE_WORD, symbol_id);
        set_field(error, FIELD_WHERE, &where);
    }
    Cell position = integer::cell(int32_t(stack::frames_top - stack::frames_bottom));
    set_field(error, FIELD_STACK, &position);
    keep_trace(error);
}

void keep_trace(const Cell* error) {
    const Cell* position = field(error, FIELD_STACK);
    if (cell_type(position) != TYPE_INTEGER) return;
    int32_t at = integer::get(position);
    uint32_t end = std::min(uint32_t(at), stack::FRAME_COUNT);
    kept_traces[uint32_t(object::context_node(error))] = {at, stack::take_trace(stack::frames_bottom + end)};
}

void resolve_bare_code(Cell* thrown) {
    if (cell_type(thrown) != TYPE_INTEGER || !ready() || !names_an_id(integer::get(thrown))) return;
    uint32_t code = uint32_t(integer::get(thrown));
    if (Cell* kept = reserved(code)) {
        renew(kept, code);
        *thrown = *kept;
        return;
    }
    Cell* made = push_new();
    make_from_code(made, thrown);
    *thrown = *made;
    stack::pop(1);
}

// ---------------------------------------------------------------- making

Cell* create(err::AnyId id, const Cell* arg1, const Cell* arg2, const Cell* arg3) {
    Cell* error = push_new();
    set_kind(error, uint32_t(id.category), id.position);
    const Cell* arguments[] = {arg1, arg2, arg3};
    for (uint32_t i = 0; i < 3; i++)
        if (arguments[i]) set_field(error, Field(FIELD_ARG1 + i), arguments[i]);
    return error;
}

namespace {

// What make takes: an integer! code, a block! [category id] of words, a block of
// set-words evaluated in the new error, or a string! (a user message). A new error! is pushed and returned; the prototype
// argument is not read.
Cell* make(Cell*, const Cell* spec_value, uint32_t) {
    switch (cell_type(spec_value)) {
    case TYPE_INTEGER: {
        Cell* error = push_new();
        make_from_code(error, spec_value);
        return error;
    }
    case TYPE_BLOCK: {
        Cell* error = push_new();
        make_from_block(error, spec_value);
        return error;
    }
    case TYPE_STRING:
        return create(err::user::message, spec_value);
    default: {
        Cell type = datatype::cell(TYPE_ERROR);
        raise_bad_make_arg(&type, spec_value);
    }
    }
}

}  // namespace

void raise_bad_make_arg(const Cell* type, const Cell* spec_value) {
    fire(err::script::bad_make_arg, type, spec_value);
}

void raise_expect_arg(uint32_t type, uint32_t position) {
    // Copied at once: making the error allocates and may move the buffers
    // the function word and the argument word live in.
    Cell function = *stack::current_function_word();
    Cell argument = *get_arg_word(position);
    Cell datatype = datatype::cell(type);
    fire(err::script::expect_arg, &function, &datatype, &argument);
}

// ---------------------------------------------------------------- forming and molding

namespace {

// The text the console prints for the error, "*** " title ": " message, then
// the Where, Near, Stack (while the state/stack-trace setting is a positive
// integer!) and Files lines.
void form(const Cell* value, text::Sink& out) { form_traced(value, out, system_fields::stack_trace()); }

}  // namespace

void form_traced(const Cell* value, text::Sink& out, const Cell* stack_trace) {
    const Cell* buffer = out.buffer;
    uint32_t start = text_length(buffer);
    auto remaining = [&] { return out.limit - int32_t(text_length(buffer) - start); };
    append_text(buffer, "*** ");
    form_message(value, buffer);
    form_where(value, buffer);
    append_text(buffer, "\n*** Near : ");
    append_value_cut(buffer, field(value, FIELD_NEAR), false, true, NEAR_TEXT_LIMIT);
    form_stack(value, buffer, stack_trace, remaining());
    Cell files = *field(value, FIELD_FILES);
    if (cell_type(&files) == TYPE_BLOCK) {
        append_text(buffer, "\n*** Files: ");
        append_value_cut(buffer, &files, false, true, NEAR_TEXT_LIMIT);
    }
    out.limit = remaining();
}

void form_template(const Cell* error, text::Sink& out, const Cell* block) {
    const Cell* buffer = out.buffer;
    uint32_t start = text_length(buffer);
    bool syntax = is_syntax(error);
    Cell source = *block;
    for (uint32_t i = series_index(&source); i < series_buffer(&source)->length(); i++) {
        if (i > series_index(&source)) append_text(buffer, " ");
        Cell element = series_buffer(&source)->cells()[i];
        switch (cell_type(&element)) {
        case TYPE_STRING:
            append_series(buffer, &element);
            break;
        case TYPE_WORD:
        case TYPE_GET_WORD:
            append_argument(error, buffer, word::symbol(&element), syntax);
            break;
        default:
            break;
        }
    }
    out.limit -= int32_t(text_length(buffer) - start);
}

namespace {

// "make error! [" with the fields molded as an object's.
void mold(const Cell* value, text::Sink& out, bool only) {
    object::mold_as("make error! [", value, out, only);
}

// -2 unless value2 is an error!, else as objects compare.
int32_t compare(const Cell* value1, const Cell* value2, int32_t op) {
    if (cell_type(value2) != TYPE_ERROR) return -2;
    return object::compare_fields(value1, value2, op);
}

}  // namespace

// ---------------------------------------------------------------- fields

void fill_where(const Cell* error, const Cell* value) {
    if (cell_type(field(error, FIELD_WHERE)) == TYPE_NONE) set_field(error, FIELD_WHERE, value);
}

uint32_t type_symbol(const Cell* error) { return field_symbol(error, FIELD_TYPE); }
uint32_t id_symbol(const Cell* error) { return field_symbol(error, FIELD_ID); }

namespace {

// The callable value named by the innermost named call frame, or nullptr.
// Only a word bound where its value can be read without raising counts: this
// runs while an error is being made.
const Cell* current_callable() {
    const Cell* name = stack::current_function_word();
    if (!is_all_word(cell_type(name)) || word::context(name) == Node::none ||
        word::index(name) == WORD_UNRESOLVED)
        return nullptr;
    if (context::on_stack(context::cell_of(word::context(name)))) return nullptr;
    const Cell* value = context::get(name);
    return is_any_function(cell_type(value)) ? value : nullptr;
}

}  // namespace

const Cell* get_arg_word(uint32_t n) {
    const Cell* anon = fixed_words::word(fixed_words::Word::anon_tag);
    const Cell* function = current_callable();
    if (!function) return anon;
    SeriesBuffer* spec_value = node_buffer(callable::spec_node(function));
    for (const Cell* cell = spec_value->cells(); cell < spec_value->cells_tail(); cell++)
        if (callable::is_spec_word(cell_type(cell)) && n-- == 0) return cell;
    return anon;
}

void capture_stack(const Cell* error) {
    Cell position = *field(error, FIELD_STACK);
    if (cell_type(&position) != TYPE_INTEGER) return;
    const Cell* setting = system_fields::stack_trace();
    bool positive = cell_type(setting) == TYPE_INTEGER && integer::get(setting) > 0;
    uint32_t depth = positive ? uint32_t(integer::get(setting)) : 1;
    Cell words = series_cell(TYPE_BLOCK, memory::alloc_cells(CAPTURED_STACK_CAPACITY));
    stack::trace_words(depth, &words, trace_of(error, integer::get(&position)));
    set_field(error, FIELD_STACK, &words);
    Cell files = *system_fields::source_files();
    if (cell_type(&files) != TYPE_BLOCK) return;
    uint32_t length = series_buffer(&files)->length();
    uint32_t head = series_index(&files);
    if (head >= length) return;
    Cell copy = series_cell(TYPE_BLOCK, series::copy_part(series_node(&files), head, length - head));
    set_field(error, FIELD_FILES, &copy);
}

// ---------------------------------------------------------------- printing

void print(const Cell* error) {
    Cell* saved_top = stack::top;
    Cell value = *error;
    Cell* formed = stack::push_cell();
    string::rs_make_at(formed, 0);
    text::Sink out{.buffer = formed};
    form(&value, out);
    print_hooks::call_all(formed, true);
    stack::top = saved_top;
}

}  // namespace vek::error
