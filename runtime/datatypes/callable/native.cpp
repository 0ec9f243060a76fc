// native! and the behaviour that action! and op! share with it.
#include "runtime/datatypes/callable/native.h"

#include "runtime/actions/dispatch.h"
#include "runtime/core/fixed_words.h"
#include "runtime/core/raise.h"
#include "runtime/core/registry.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/callable/action.h"
#include "runtime/datatypes/callable/function.h"
#include "runtime/datatypes/callable/op.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/word/context.h"
#include "runtime/datatypes/word/symbol.h"

namespace vek::native {

namespace {

[[noreturn]] void bad_make_arg(uint32_t type, const Cell* spec) {
    Cell datatype = datatype::cell(type);
    fire(err::script::bad_make_arg, &datatype, spec);
}

bool valid_code(uint32_t type, int64_t code) {
    if (type == TYPE_ACTION) return action::valid_slot(code);
    return code >= 1 && code <= MAX_POSITION;
}

}  // namespace

// The refinements named in a call path are looked up among the interface
// block's words, so the internal context holds them (values on the stack,
// like a function's).
Cell* push_made(uint32_t type, const Cell* interface, uint32_t code) {
    if (!valid_code(type, code)) {
        Cell position{};
        integer::make_at(&position, int32_t(code));
        bad_make_arg(type, &position);
    }
    Cell whole = series_cell(TYPE_BLOCK, series_node(interface));
    Node context = context::make_from_spec(&whole, true, false, context::KIND_FUNCTION);
    Cell internal;
    block::make_at(&internal, INTERNAL_SIZE);
    Cell context_ref = context::function_reference(context);
    block::rs_append(&internal, &context_ref);
    Cell cache;
    block::rs_append(&internal, make_unset(&cache));
    Cell value{type, code, uint32_t(series_node(&whole)), uint32_t(series_node(&internal))};
    return stack::push(&value);
}

namespace {

bool is_field(uint32_t field, fixed_words::Sym name) {
    return symbol::resolve(field) == symbol::resolve(fixed_words::symbol(name));
}

bool comparing_op(int32_t op) {
    return (op >= actions::COMP_EQUAL && op <= actions::COMP_STRICT_EQUAL) ||
           (op >= actions::COMP_SORT && op <= actions::COMP_SAME) || op == actions::COMP_FIND;
}

}  // namespace

Cell* push(const Cell* spec, uint32_t position) { return push_made(TYPE_NATIVE, spec, position); }

namespace {

// Slot 1 of native! and action! (type tells which): the spec is a block of
// exactly the spec block and an integer! position, native positions 1-107,
// action slots 1-6 and 10-62; anything else raises script bad-make-arg with
// the prototype and the spec.
Cell* make(Cell* result, const Cell* spec, uint32_t type) {
    Cell given = *spec;
    bool well_formed = cell_type(&given) == TYPE_BLOCK && block::rs_length(&given) == 2;
    const Cell* head = well_formed ? block::rs_head(&given) : nullptr;
    if (!well_formed || cell_type(head) != TYPE_BLOCK || cell_type(head + 1) != TYPE_INTEGER)
        bad_make_arg(type, spec);
    Cell spec_block = head[0];
    int32_t code = integer::get(head + 1);
    if (!valid_code(type, code)) bad_make_arg(type, spec);
    Cell* made = push_made(type, &spec_block, uint32_t(code));
    *result = *made;
    stack::pop(1);
    return result;
}

// Slot 3 of native!, action! and op!: spec gives the spec block; body the
// position in the natives table (a native, an op! of a native) or the
// actions table (an action, an op! of an action), or for an op! of a
// function! or routine! its body; any other field raises internal not-done.
void reflect(Cell* value, uint32_t field) {
    if (is_field(field, fixed_words::Sym::spec)) {
        callable::spec_block(value, value);
        return;
    }
    if (!is_field(field, fixed_words::Sym::body)) fire(err::internal::not_done);
    uint32_t source = cell_type(value) == TYPE_OP ? op::source_type(value) : cell_type(value);
    if (source == TYPE_FUNCTION || source == TYPE_ROUTINE) {
        *value = *function::body(value);
        return;
    }
    // The value keeps the position it was made from; several positions may
    // share one entry, so searching the table for the entry could answer
    // another position.
    integer::make_at(value, int32_t(position(value)));
}

// form: "?native?". mold: "make native! [", the spec block molded, "]".
// compare: -2 unless the other is a native!; equality and sorting codes
// (0-2, 7-9, 12) order by table position; other codes -2.
void form(const Cell*, text::Sink& out) { out.append("?native?"); }

void mold(const Cell* value, text::Sink& out, bool only) { mold_made("make native! [", value, out, only); }

}  // namespace

void mold_made(const char* prefix, const Cell* value, text::Sink& out, bool only) {
    out.append(prefix);
    Cell spec;
    callable::spec_block(value, &spec);
    actions::mold(&spec, out, only);
    out.append("]");
}

int32_t compare_positions(const Cell* value1, const Cell* value2, int32_t op) {
    if (cell_type(value1) != cell_type(value2) || !comparing_op(op)) return -2;
    return (position(value1) > position(value2)) - (position(value1) < position(value2));
}

namespace {

int32_t compare(const Cell* value1, const Cell* value2, int32_t op) {
    return compare_positions(value1, value2, op);
}

}  // namespace

void init() {
    using namespace registry;
    register_type(TYPE_NATIVE, Row()
        .set<SLOT_MAKE>(make)
        .set<SLOT_REFLECT>(reflect)
        .set<SLOT_FORM>(form)
        .set<SLOT_MOLD>(mold)
        .set<SLOT_COMPARE>(compare));
}

}  // namespace vek::native
