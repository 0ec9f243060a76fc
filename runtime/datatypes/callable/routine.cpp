#include "runtime/datatypes/callable/routine.h"

#include <array>

#include "runtime/actions/dispatch.h"
#include "runtime/core/fixed_words.h"
#include "runtime/core/raise.h"
#include "runtime/core/registry.h"
#include "runtime/core/stack.h"
#include "runtime/core/system.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/callable/function.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/number/float.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/typeset.h"
#include "runtime/datatypes/word/context.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/memory/image_state.h"

namespace vek::routine {

namespace {

struct Entry {
    std::string_view name;
    Fn fn;
    std::string_view spec;
};

// Entry i holds index i + 1. Plain C++ data: nothing here for the collector.
constexpr uint32_t CAPACITY = 256;
std::array<Entry, CAPACITY> entries;
uint32_t registered = 0;

constexpr uint32_t MAX_ARITY = ARITY_MASK >> ARITY_SHIFT;

[[noreturn]] void bad_name(const Cell* name) {
    Cell datatype = datatype::cell(TYPE_ROUTINE);
    fire(err::script::bad_make_arg, &datatype, name);
}

// Routine arguments travel by their declared type: the value of the first
// word of their type block.
// The declared datatype of a routine argument after checking the argument
// against it; 0 when any type goes (passed as its cell).
uint32_t routine_arg_type(const Cell* types, const Cell* argument, const Cell* word) {
    SeriesBuffer* buffer = series_buffer(types);
    if (series_index(types) >= buffer->length()) return 0;
    Cell first = buffer->cells()[series_index(types)];
    if (cell_type(&first) != TYPE_WORD) fire(err::script::invalid_type_spec, &first);
    if (symbol::any_type_word(&first)) return 0;
    const Cell* declared = context::get(&first);
    bool fits = cell_type(declared) == TYPE_TYPESET ? typeset::contains(declared, cell_type(argument))
                                                    : cell_type(declared) == TYPE_DATATYPE &&
                                                          datatype::id(declared) == cell_type(argument);
    if (!fits) {
        Cell datatype = datatype::cell(cell_type(argument));
        Cell name = *word;
        name.header = TYPE_WORD;
        fire(err::script::expect_arg, stack::current_function_word(), &datatype, &name);
    }
    return cell_type(declared) == TYPE_DATATYPE ? datatype::id(declared) : 0;
}

Arg routine_arg(uint32_t declared, Cell* argument) {
    Arg arg;
    switch (declared) {
        case TYPE_LOGIC: arg.integer = logic::get(argument) ? 1 : 0; break;
        case TYPE_INTEGER: arg.integer = integer::get(argument); break;
        case TYPE_FLOAT: arg.number = cell_get_f64(argument); break;
        default: arg.cell = argument; break;
    }
    return arg;
}

// The arguments of a routine that takes typed values, checked and converted
// in spec order.
void routine_args(const Cell* routine, uint32_t arity, Arg* args) {
    Cell spec = series_cell(TYPE_BLOCK, callable::spec_node(routine));
    uint32_t found = 0;
    for (uint32_t i = 0; found < arity && i < series_buffer(&spec)->length(); i++) {
        const Cell* entry = series_buffer(&spec)->cells() + i;
        uint32_t type = cell_type(entry);
        if (type == TYPE_REFINEMENT || type == TYPE_SET_WORD) break;
        if (!callable::is_argument_word(type)) continue;
        Cell* argument = stack::arguments + found;
        uint32_t declared = 0;
        if (i + 1 < series_buffer(&spec)->length() && cell_type(entry + 1) == TYPE_BLOCK) {
            Cell types = entry[1];
            Cell word = *entry;
            declared = routine_arg_type(&types, argument, &word);
        }
        args[found++] = routine_arg(declared, argument);
    }
}

void store_routine_result(const Cell* routine, Arg answer) {
    const Cell* extra = function::internal(routine) + function::INTERNAL_EXTRA;
    int32_t returns_type = cell_type(extra) == TYPE_INTEGER ? integer::get(extra) : 0;
    switch (returns_type) {
        case TYPE_LOGIC: *stack::arguments = *logic::constant(answer.integer != 0); break;
        case TYPE_INTEGER: integer::make_at(stack::arguments, answer.integer); break;
        case TYPE_FLOAT: float_::make_at(stack::arguments, answer.number); break;
        default: break;  // the result cell stays as it is
    }
}

}  // namespace

void call(const Cell* called) {
    Cell routine = *called;
    Fn fn = at(index(&routine));
    uint32_t count = arity(&routine);
    Arg args[MAX_ARITY]{};  // cleared whole: the collector's stack scan reads the unused entries too
    if (!takes_cells(&routine)) {
        routine_args(&routine, count, args);
        store_routine_result(&routine, fn(args));
        return;
    }
    Cell* base = stack::arguments;
    for (uint32_t i = 0; i < count; i++) args[i].cell = base + i;
    stack::push_frame(fixed_words::word(fixed_words::Word::body_tag), stack::MARK_NATIVE_INTERP);
    Cell result = *fn(args).cell;
    stack::pop_frame_drop();
    *base = result;
}

uint32_t register_fn(std::string_view name, Fn fn, std::string_view spec) {
    if (uint32_t index = find(name)) {
        entries[index - 1].fn = fn;
        entries[index - 1].spec = spec;
        return index;
    }
    if (registered == CAPACITY) fire(err::internal::limit_hit);
    entries[registered] = Entry{name, fn, spec};
    return ++registered;
}

uint32_t find(std::string_view name) {
    for (uint32_t i = 0; i < registered; i++)
        if (entries[i].name == name) return i + 1;
    return 0;
}

uint32_t named(const Cell* name) {
    if (!is_word_kind(cell_type(name))) bad_name(name);
    uint32_t code = find(symbol::get_c_string(word::symbol(name)));
    if (code == 0) bad_name(name);
    return code;
}

Fn at(uint32_t index) { return entries[index - 1].fn; }

std::string_view spec_text(uint32_t index) { return entries[index - 1].spec; }

uint32_t index(const Cell* routine) {
    return uint32_t(integer::get(function::internal(routine) + function::INTERNAL_CODE));
}

uint32_t count_arity(const Cell* spec_value) {
    Cell head = *spec_value;
    uint32_t length = block::length_from_head(&head);
    const Cell* cells = block::rs_head(&head);
    uint32_t count = 0;
    for (uint32_t i = 0; i < length; i++) {
        uint32_t type = cell_type(cells + i);
        if (type == TYPE_REFINEMENT || type == TYPE_SET_WORD) break;
        if (callable::is_argument_word(type)) count++;
    }
    return count;
}

Cell* make_value(const Cell* spec_in, const Cell* body_in, uint32_t code, int32_t extra, bool cells) {
    Cell spec_value = *spec_in;
    uint32_t arity = count_arity(&spec_value);
    if (arity > MAX_ARITY) fire(err::script::bad_func_def, spec_in);
    Node context = context::make_from_spec(&spec_value, true, false, context::KIND_FUNCTION);
    Cell internal;
    block::make_at(&internal, function::INTERNAL_SIZE);
    uint32_t header = TYPE_ROUTINE | (cells ? FLAG_CELLS : 0) | (arity << ARITY_SHIFT);
    Cell routine{header, uint32_t(context), uint32_t(series_node(&spec_value)), uint32_t(series_node(&internal))};
    Cell* pushed = stack::push(&routine);
    *context::owner_of(context) = routine;
    Cell value = body_in ? *body_in : none::constant;
    block::rs_append(&internal, &value);
    block::rs_append(&internal, make_unset(&value));
    block::rs_append(&internal, integer::make_at(&value, int32_t(code)));
    block::rs_append(&internal, make_unset(&value));
    block::rs_append(&internal, integer::make_at(&value, extra));
    return pushed;
}

Cell* declare(const Cell* spec_value, const Cell* name, int32_t return_type, bool cells) {
    if (!boot_phase) fire(err::internal::routines);
    uint32_t code = named(name);
    function::validate_spec(spec_value);
    return make_value(spec_value, nullptr, code, return_type, cells);
}

namespace {

// form: "?routine?". mold: "routine ", the spec molded, then the body block
// molded or a space and the molded body value. reflect and compare are
// function!'s.
void form(const Cell*, text::Sink& out) { out.append("?routine?"); }

void mold(const Cell* value, text::Sink& out, bool) {
    out.append("routine ");
    Cell spec_value;
    callable::spec_block(value, &spec_value);
    actions::mold(&spec_value, out, false);
    Cell body = *function::body(value);
    if (cell_type(&body) != TYPE_BLOCK) out.append(" ");
    actions::mold(&body, out, false);
}

}  // namespace

void init() {
    using namespace registry;
    image_state::keep("registered routines", registered);
    register_type(TYPE_ROUTINE, Row()
        .inherit<SLOT_REFLECT>()
        .set<SLOT_FORM>(form)
        .set<SLOT_MOLD>(mold)
        .inherit<SLOT_COMPARE>());
}

}  // namespace vek::routine
