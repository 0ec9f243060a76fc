// char!: construction, text forms, comparison and arithmetic.
#include "runtime/datatypes/char.h"

#include "runtime/actions/dispatch.h"
#include "runtime/core/raise.h"
#include "runtime/core/registry.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/container/vector.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/number/float.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/string/buffer.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/memory/series.h"
#include "runtime/text/unicode.h"

namespace vek::char_ {

namespace {

bool in_range(int32_t value) { return value >= 0 && value <= MAX_CODE_POINT; }

[[noreturn]] void bad_to_arg(const Cell* spec_value) {
    Cell target = datatype::cell(TYPE_CHAR);
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
    uint32_t head = series_index(spec_value);
    if (int32_t(head) < 0 || head >= length) bad_to_arg(spec_value);
    uint32_t available = length - head;
    const auto* bytes = reinterpret_cast<const uint8_t*>(buffer->at(head));
    int32_t code_point = unicode::decode_utf8_char_checked(bytes, &available);
    if (code_point < 0) fire(err::access::invalid_utf8, spec_value);
    return uint32_t(code_point);
}

// The right operand as an integer.
int32_t operand(const Cell* value) {
    switch (cell_type(value)) {
    case TYPE_CHAR: case TYPE_INTEGER: return integer::get(value);
    case TYPE_FLOAT: return integer::truncate(float_::get(value));
    default: {
        Cell type = datatype::cell(cell_type(value));
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
    *cell = Cell{cell->header, 0, code_point, 0};
    return cell;
}

Cell* push(uint32_t code_point) { return make_at(fresh(stack::push_cell()), code_point); }

Cell* box(uint32_t code_point) { return make_at(stack::arguments, code_point); }

Cell* make_in_block(const Cell* block, uint32_t code_point) {
    return make_at(fresh(block::alloc_tail(block)), code_point);
}

// ---------------------------------------------------------------- make and to

namespace {

Cell* to(Cell* result, const Cell* spec_value, uint32_t);

// make and to are one conversion: the code point at a string's head, an
// integer's or char's value, a float's or percent's value truncated toward
// zero (each checked against the code point range: script out-of-range), the
// UTF-8 sequence at a binary's head. Anything else, and an empty string or
// binary, raises script bad-to-arg.
Cell* make(Cell* result, const Cell* spec_value, uint32_t type) { return to(result, spec_value, type); }

Cell* to(Cell* result, const Cell* spec_value, uint32_t) {
    uint32_t code_point;
    switch (cell_type(spec_value)) {
    case TYPE_CHAR: case TYPE_INTEGER: code_point = checked(integer::get(spec_value), spec_value); break;
    case TYPE_FLOAT: case TYPE_PERCENT: code_point = checked(integer::truncate(float_::get(spec_value)), spec_value); break;
    case TYPE_BINARY: code_point = from_binary(spec_value); break;
    default:
        if (!is_any_string(cell_type(spec_value))) bad_to_arg(spec_value);
        code_point = from_string(spec_value);
    }
    return make_at(result, code_point);
}

// ---------------------------------------------------------------- form and mold

void form(const Cell* value, text::Sink& out) { out.append_char(get(value)); }

// #"c" with the code point escaped as in a molded string; the limit is
// lowered by 4 however long the escape.
void mold(const Cell* value, text::Sink& out, bool) {
    string::append_c_string(out.buffer, "#\"");
    string::mold_char(out.buffer, get(value), out.all);
    string::append_char(series_buffer(out.buffer), '"');
    out.limit -= 4;
}

// ---------------------------------------------------------------- compare

// Code points compared as integers; an integer! compares by its value except
// under strict-equal and search equality, where only a char! can be equal.
int32_t compare(const Cell* value1, const Cell* value2, int32_t op) {
    uint32_t other = cell_type(value2);
    if ((op == actions::COMP_STRICT_EQUAL || op == actions::COMP_FIND) && other != TYPE_CHAR) return 1;
    if (other != TYPE_CHAR && other != TYPE_INTEGER) return -2;
    auto a = integer::get(value1);
    auto b = integer::get(value2);
    return (a > b) - (a < b);
}

}  // namespace

// ---------------------------------------------------------------- arithmetic

Cell* do_math(Cell* value1, const Cell* value2, int32_t op) {
    if (cell_type(value2) == TYPE_VECTOR) return vector::scalar_on_left(value1, value2, op);
    int32_t right = operand(value2);
    // An add, subtract or multiply that leaves 32 bits turns the scratch cell
    // into a float!; a divide is given none so that it truncates.
    Cell scratch;
    make_unset(&scratch);
    Cell* promoted = op == integer::OP_DIVIDE ? nullptr : &scratch;
    int32_t result = integer::do_math(integer::get(value1), right, op, promoted);
    if (cell_type(&scratch) == TYPE_FLOAT || !in_range(result)) fire(err::math::overflow);
    set(value1, uint32_t(result));
    return value1;
}

namespace {

Cell* add(Cell* value1, Cell* value2) { return do_math(value1, value2, integer::OP_ADD); }
Cell* subtract(Cell* value1, Cell* value2) { return do_math(value1, value2, integer::OP_SUBTRACT); }
Cell* multiply(Cell* value1, Cell* value2) { return do_math(value1, value2, integer::OP_MULTIPLY); }
Cell* divide(Cell* value1, Cell* value2) { return do_math(value1, value2, integer::OP_DIVIDE); }
Cell* remainder(Cell* value1, Cell* value2) { return do_math(value1, value2, integer::OP_REMAINDER); }
Cell* and_(Cell* value1, Cell* value2) { return do_math(value1, value2, integer::OP_AND); }
Cell* or_(Cell* value1, Cell* value2) { return do_math(value1, value2, integer::OP_OR); }
Cell* xor_(Cell* value1, Cell* value2) { return do_math(value1, value2, integer::OP_XOR); }

}  // namespace

// ---------------------------------------------------------------- registration

void init() {
    using namespace registry;
    register_type(TYPE_CHAR, Row()
        .set<SLOT_MAKE>(make)
        .inherit<SLOT_RANDOM>()
        .set<SLOT_TO>(to)
        .set<SLOT_FORM>(form)
        .set<SLOT_MOLD>(mold)
        .set<SLOT_COMPARE>(compare)
        .inherit<SLOT_ABSOLUTE>()
        .set<SLOT_ADD>(add)
        .set<SLOT_DIVIDE>(divide)
        .set<SLOT_MULTIPLY>(multiply)
        .set<SLOT_REMAINDER>(remainder)
        .set<SLOT_SUBTRACT>(subtract)
        .inherit<SLOT_EVEN>()
        .inherit<SLOT_ODD>()
        .set<SLOT_AND>(and_)
        .set<SLOT_OR>(or_)
        .set<SLOT_XOR>(xor_));
}

}  // namespace vek::char_
