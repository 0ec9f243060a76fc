#include "runtime/datatypes/logic.h"

#include "runtime/actions/dispatch.h"
#include "runtime/core/raise.h"
#include "runtime/core/registry.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/object/error.h"
#include "runtime/memory/series.h"
#include "runtime/tables/random.h"

namespace vek::logic {

namespace {

// A draw of 31 bits is true in its upper half.
constexpr int32_t HALF_DRAW = 0x3FFFFFFF;

Cell* make_at(Cell* cell, bool flag) {
    *cell = logic::cell(flag);
    return cell;
}

// The bitwise actions take only logic! on their right; the error names the
// running function and its second argument, as a failed type check would.
Cell* checked_operand(Cell* value) {
    if (cell_type(value) == TYPE_LOGIC) return value;
    error::raise_expect_arg(cell_type(value), 1);
}

}  // namespace

Cell true_constant;
Cell false_constant;

Cell* box(bool flag) { return make_at(stack::arguments, flag); }

Cell* make_in(const Cell* block, bool flag) { return make_at(block::alloc_tail(block), flag); }

Cell* push(bool flag) { return make_at(stack::push_cell(), flag); }

// ---------------------------------------------------------------- truth tests

bool value_true(const Cell* value, bool check, const Cell* argument) {
    if (check && cell_type(value) == TYPE_UNSET) fire(err::script::no_value, argument);
    return !is_false(value);
}

bool top_true() {
    const Cell* last = stack::top > stack::arguments ? stack::top - 1 : stack::arguments;
    return !is_false(last);
}

void raise_no_return() { fire(err::script::no_return); }

// ---------------------------------------------------------------- actions

bool comparable_op(int32_t op) {
    switch (op) {
        case COMP_EQUAL: case COMP_NOT_EQUAL: case COMP_STRICT_EQUAL: case COMP_SORT: case COMP_CASE_SORT:
        case COMP_SAME: case COMP_FIND: return true;
        default: return false;
    }
}

namespace {

Cell* to(Cell* result, const Cell* spec_value, uint32_t);

// make: a number is true when it is not zero (a NaN is true); any other spec
// converts as by to. make and to write the result cell and return it.
Cell* make(Cell* result, const Cell* spec_value, uint32_t type) {
    uint32_t spec_type = cell_type(spec_value);
    if (spec_type == TYPE_INTEGER) return make_at(result, integer::get(spec_value) != 0);
    // A NaN differs from 0.0, so it is true.
    if (spec_type == TYPE_FLOAT || spec_type == TYPE_PERCENT)
        return make_at(result, cell_get_f64(spec_value) != 0.0);
    return to(result, spec_value, type);
}

// to: a logic! unchanged, none! false, anything else true.
Cell* to(Cell* result, const Cell* spec_value, uint32_t) {
    if (cell_type(spec_value) == TYPE_LOGIC) return copy_cell(spec_value, result);
    return make_at(result, cell_type(spec_value) != TYPE_NONE);
}

// With seed, seeds the generator with the value's 0 or 1 and turns the value
// into unset!; otherwise a fair draw overwrites it. Returns the value.
Cell* random(Cell* value, bool seed, bool secure, bool) {
    if (seed) {
        random::seed(int32_t(get(value)));
        return set_type(value, TYPE_UNSET);
    }
    int32_t draw = secure ? random::next_secure() : random::next();
    return make_at(value, draw > HALF_DRAW);
}

void form(const Cell* value, text::Sink& out) { out.append(get(value) ? "true" : "false"); }

void mold(const Cell* value, text::Sink& out, bool) {
    if (!out.all)
        form(value, out);
    else
        out.append(get(value) ? "#(true)" : "#(false)");
}

// Same type only; false orders before true.
int32_t compare(const Cell* value1, const Cell* value2, int32_t op) {
    if (cell_type(value2) != TYPE_LOGIC || !comparable_op(op)) return -2;
    return int32_t(get(value1)) - int32_t(get(value2));
}

Cell* complement(Cell* value) { return make_at(value, !get(value)); }

// The result replaces value1, the call's result cell. A value2 that is not
// logic! raises script expect-arg naming the running function, the value's
// datatype and the function's second argument.
Cell* and_(Cell* value1, Cell* value2) {
    bool other = get(checked_operand(value2));
    set(value1, get(value1) && other);
    return value1;
}

Cell* or_(Cell* value1, Cell* value2) {
    bool other = get(checked_operand(value2));
    set(value1, get(value1) || other);
    return value1;
}

Cell* xor_(Cell* value1, Cell* value2) {
    bool other = get(checked_operand(value2));
    set(value1, get(value1) != other);
    return value1;
}

}  // namespace

void init() {
    make_at(&true_constant, true);
    make_at(&false_constant, false);
    using namespace registry;
    register_type(TYPE_LOGIC, Row()
        .set<SLOT_MAKE>(make)
        .set<SLOT_RANDOM>(random)
        .set<SLOT_TO>(to)
        .set<SLOT_FORM>(form)
        .set<SLOT_MOLD>(mold)
        .set<SLOT_COMPARE>(compare)
        .set<SLOT_AND>(and_)
        .set<SLOT_COMPLEMENT>(complement)
        .set<SLOT_OR>(or_)
        .set<SLOT_XOR>(xor_));
}

}  // namespace vek::logic
