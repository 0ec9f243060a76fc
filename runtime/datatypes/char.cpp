// char!: construction, text forms, comparison and arithmetic.
#include "runtime/datatypes/char.h"

#include "runtime/actions/dispatch.h"
#include "runtime/core/datatype.h"
#include "runtime/core/raise.h"
#include "runtime/datatypes/number/float.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/string/buffer.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/eval/stack.h"
#include "runtime/memory/series.h"
#include "runtime/text/unicode.h"

namespace vek::char_ {

namespace {

bool in_range(int32_t value) { return value >= 0 && value <= MAX_CODE_POINT; }

[[noreturn]] void bad_to_arg(const Cell* spec_value) {
    Cell target{TYPE_DATATYPE, TYPE_CHAR, 0, 0};
    fire(err::script::bad_to_arg, &target, spec_value);
}

uint32_t checked(int32_t value, const Cell* spec_value) {
    if (!in_range(value)) fire(err::script::out_of_range, spec_value);
    return uint32_t(value);
}

uint32_t from_string(const Cell* spec_value) {
    Cell head = *spec_value;
    if (string::rs_at_tail(&head)) bad_to_arg(spec_value);
    return string::get_char(string::rs_head(&head), series_buffer(&head)->unit());
}

// The UTF-8 sequence at the head; one cut short is as malformed as a bad one.
uint32_t from_binary(const Cell* spec_value) {
    SeriesBuffer* buffer = series_buffer(spec_value);
    uint32_t length = buffer->length();
    if (int32_t(spec_value->data1) < 0 || spec_value->data1 >= length) bad_to_arg(spec_value);
    uint32_t available = length - spec_value->data1;
    const auto* bytes = reinterpret_cast<const uint8_t*>(buffer->at(spec_value->data1));
    int32_t code_point = unicode::decode_utf8_char_checked(bytes, &available);
    if (code_point < 0) fire(err::access::invalid_utf8, spec_value);
    return uint32_t(code_point);
}

// The right operand as an integer.
int32_t operand(const Cell* value) {
    switch (cell_type(value)) {
    case TYPE_CHAR: case TYPE_INTEGER: return int32_t(value->data2);
    case TYPE_FLOAT: return integer::truncate(float_::get(value));
    // The vector's scalar arithmetic comes with vector!.
    case TYPE_VECTOR: fire(err::internal::not_done);
    default: {
        Cell type{TYPE_DATATYPE, cell_type(value), 0, 0};
        fire(err::script::invalid_type, &type);
    }
    }
}

Cell* fresh(Cell* cell) {
    cell->header = TYPE_CHAR;
    return cell;
}

}  // namespace

// ---------------------------------------------------------------- cells

Cell* make_at(Cell* cell, uint32_t code_point) {
    set_type(cell, TYPE_CHAR);
    cell->data1 = 0;
    cell->data2 = code_point;
    cell->data3 = 0;
    return cell;
}

Cell* push(uint32_t code_point) { return make_at(fresh(stack::push_cell()), code_point); }

Cell* box(uint32_t code_point) { return make_at(stack::arguments, code_point); }

Cell* make_in_block(const Cell* block, uint32_t code_point) {
    return make_at(fresh(block::alloc_tail(block)), code_point);
}

// ---------------------------------------------------------------- make and to

Cell* make(Cell* result, const Cell* spec_value, uint32_t type) { return to(result, spec_value, type); }

Cell* to(Cell* result, const Cell* spec_value, uint32_t) {
    uint32_t code_point;
    switch (cell_type(spec_value)) {
    case TYPE_CHAR: case TYPE_INTEGER: code_point = checked(int32_t(spec_value->data2), spec_value); break;
    case TYPE_FLOAT: case TYPE_PERCENT: code_point = checked(integer::truncate(float_::get(spec_value)), spec_value); break;
    case TYPE_BINARY: code_point = from_binary(spec_value); break;
    default:
        if (!is_any_string(cell_type(spec_value))) bad_to_arg(spec_value);
        code_point = from_string(spec_value);
    }
    return make_at(result, code_point);
}

// ---------------------------------------------------------------- form and mold

int32_t form(const Cell* value, const Cell* buffer, const Cell*, int32_t limit) {
    string::append_char(series_buffer(buffer), get(value));
    return limit - 1;
}

int32_t mold(const Cell* value, const Cell* buffer, bool, bool all, bool, const Cell*, int32_t limit, int32_t) {
    string::append_c_string(buffer, "#\"");
    string::mold_char(buffer, get(value), all);
    string::append_char(series_buffer(buffer), '"');
    return limit - 4;
}

// ---------------------------------------------------------------- compare

int32_t compare(const Cell* value1, const Cell* value2, int32_t op) {
    uint32_t other = cell_type(value2);
    if ((op == actions::COMP_STRICT_EQUAL || op == actions::COMP_FIND) && other != TYPE_CHAR) return 1;
    if (other != TYPE_CHAR && other != TYPE_INTEGER) return -2;
    auto a = int32_t(value1->data2);
    auto b = int32_t(value2->data2);
    return (a > b) - (a < b);
}

// ---------------------------------------------------------------- arithmetic

Cell* do_math(Cell* value1, const Cell* value2, int32_t op) {
    int32_t right = operand(value2);
    // An add, subtract or multiply that leaves 32 bits turns the scratch cell
    // into a float!; a divide is given none so that it truncates.
    Cell scratch;
    make_unset(&scratch);
    Cell* promoted = op == integer::OP_DIVIDE ? nullptr : &scratch;
    int32_t result = integer::do_math(int32_t(value1->data2), right, op, promoted);
    if (cell_type(&scratch) == TYPE_FLOAT || !in_range(result)) fire(err::math::overflow);
    value1->data2 = uint32_t(result);
    return value1;
}

Cell* add(Cell* value1, Cell* value2) { return do_math(value1, value2, integer::OP_ADD); }
Cell* subtract(Cell* value1, Cell* value2) { return do_math(value1, value2, integer::OP_SUBTRACT); }
Cell* multiply(Cell* value1, Cell* value2) { return do_math(value1, value2, integer::OP_MULTIPLY); }
Cell* divide(Cell* value1, Cell* value2) { return do_math(value1, value2, integer::OP_DIVIDE); }
Cell* remainder(Cell* value1, Cell* value2) { return do_math(value1, value2, integer::OP_REMAINDER); }
Cell* and_(Cell* value1, Cell* value2) { return do_math(value1, value2, integer::OP_AND); }
Cell* or_(Cell* value1, Cell* value2) { return do_math(value1, value2, integer::OP_OR); }
Cell* xor_(Cell* value1, Cell* value2) { return do_math(value1, value2, integer::OP_XOR); }

// ---------------------------------------------------------------- registration

void init() {
    using datatype::as_action;
    datatype::DatatypeRecord record{TYPE_CHAR, TYPE_INTEGER, "char!", {}};
    auto set = [&record](uint32_t slot, datatype::ActionFn entry) { record.actions[slot - 1] = entry; };
    set(datatype::SLOT_MAKE, as_action(make));
    set(datatype::SLOT_TO, as_action(to));
    set(datatype::SLOT_FORM, as_action(static_cast<actions::FormFn>(form)));
    set(datatype::SLOT_MOLD, as_action(static_cast<actions::MoldFn>(mold)));
    set(datatype::SLOT_COMPARE, as_action(static_cast<actions::CompareFn>(compare)));
    set(datatype::SLOT_ADD, as_action(add));
    set(datatype::SLOT_DIVIDE, as_action(divide));
    set(datatype::SLOT_MULTIPLY, as_action(multiply));
    set(datatype::SLOT_REMAINDER, as_action(remainder));
    set(datatype::SLOT_SUBTRACT, as_action(subtract));
    set(datatype::SLOT_AND, as_action(and_));
    set(datatype::SLOT_OR, as_action(or_));
    set(datatype::SLOT_XOR, as_action(xor_));
    for (uint32_t slot : {uint32_t(datatype::SLOT_RANDOM), uint32_t(datatype::SLOT_ABSOLUTE), uint32_t(datatype::SLOT_EVEN), uint32_t(datatype::SLOT_ODD)})
        set(slot, datatype::INHERIT);
    datatype::register_type(record);
}

}  // namespace vek::char_
