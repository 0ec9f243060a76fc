// vector!: elements as values, construction, text forms, comparison,
// element-wise arithmetic and the edits that store values as elements.
//
// Code that may allocate (growing a buffer, molding) holds the vector and
// the source block by their cells, never by addresses into their buffers.
#include "runtime/datatypes/container/vector.h"

#include <algorithm>
#include <cstring>

#include "runtime/actions/dispatch.h"
#include "runtime/core/raise.h"
#include "runtime/core/registry.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/block/array.h"
#include "runtime/datatypes/char.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/number/float.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/number/percent.h"
#include "runtime/datatypes/series/actions.h"
#include "runtime/datatypes/series/ranges.h"
#include "runtime/datatypes/string/buffer.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/memory/manager.h"
#include "runtime/text/float_text.h"

namespace vek::vector {

namespace {

SeriesBuffer* buffer_of(const Cell* vector) { return series_buffer(vector); }
uint32_t unit_of(const Cell* vector) { return buffer_of(vector)->unit(); }
bool holds_floats(uint32_t type) { return type == TYPE_FLOAT || type == TYPE_PERCENT; }

// Elements from the head to the tail, 0 when the head lies beyond the tail.
uint32_t length_from_head(const Cell* vector) {
    uint32_t total = buffer_of(vector)->length();
    return series_index(vector) < total ? total - series_index(vector) : 0;
}

// count x unit bytes, raising no-memory past what a buffer can hold.
uint32_t checked_bytes(uint64_t count, uint32_t unit) {
    uint64_t bytes = count * unit;
    if (bytes > uint64_t(INT32_MAX)) no_memory();
    return uint32_t(bytes);
}

// ---------------------------------------------------------------- raw elements

// An integer or char element: integers sign-extended from the unit, chars
// zero-extended (a code point is never negative).
int32_t read_integer(const std::byte* at, uint32_t unit, bool is_char) {
    switch (unit) {
    case 1: {
        uint8_t byte;
        std::memcpy(&byte, at, 1);
        return is_char ? int32_t(byte) : int32_t(int8_t(byte));
    }
    case 2: {
        uint16_t half;
        std::memcpy(&half, at, 2);
        return is_char ? int32_t(half) : int32_t(int16_t(half));
    }
    default: {
        int32_t word;
        std::memcpy(&word, at, 4);
        return word;
    }
    }
}

// The low unit bytes of the value (the platform is little-endian).
void write_integer(std::byte* at, uint32_t unit, int32_t value) {
    auto bits = uint32_t(value);
    std::memcpy(at, &bits, unit);
}

double read_float(const std::byte* at, uint32_t unit) {
    if (unit == 4) {
        float narrow;
        std::memcpy(&narrow, at, 4);
        return narrow;
    }
    double wide;
    std::memcpy(&wide, at, 8);
    return wide;
}

void write_float(std::byte* at, uint32_t unit, double value) {
    if (unit == 4) {
        auto narrow = float(value);
        std::memcpy(at, &narrow, 4);
        return;
    }
    std::memcpy(at, &value, 8);
}

int32_t integer_at(const Cell* vector, uint32_t index) {
    SeriesBuffer* buffer = buffer_of(vector);
    return read_integer(buffer->at(index), buffer->unit(), element_type(vector) == TYPE_CHAR);
}

double float_at(const Cell* vector, uint32_t index) {
    SeriesBuffer* buffer = buffer_of(vector);
    return read_float(buffer->at(index), buffer->unit());
}

// Zeroes the elements from the tail up to count and moves the tail there.
void fill_zeros(const Cell* vector, uint32_t count) {
    uint32_t length = buffer_of(vector)->length();
    if (count <= length) return;
    uint32_t bytes = (count - length) * unit_of(vector);
    std::byte* start = series::reserve_tail(buffer_of(vector), bytes);
    std::memset(start, 0, bytes);
}

// Opens room for count elements at index (from the buffer start), moving
// the elements from there up; the tail moves with them.
void open_gap(const Cell* vector, uint32_t index, uint32_t count) {
    uint32_t length = buffer_of(vector)->length();
    uint32_t unit = unit_of(vector);
    series::reserve_tail(buffer_of(vector), checked_bytes(count, unit));
    SeriesBuffer* buffer = buffer_of(vector);
    std::memmove(buffer->at(index + count), buffer->at(index), size_t(length - index) * unit);
}

}  // namespace

// ---------------------------------------------------------------- constructors and elements

Cell* make_at(Cell* cell, uint32_t count, uint32_t type, uint32_t unit) {
    checked_bytes(count, unit);
    Node node = memory::alloc_series(std::max(count, 1u), unit, 0);
    *cell = vector::cell(node, type);
    return cell;
}

Cell* push(const Cell* value) { return stack::push(value); }

Cell* get_element(const Cell* vector, uint32_t index, Cell* out) {
    switch (element_type(vector)) {
    case TYPE_CHAR: return char_::make_at(out, uint32_t(integer_at(vector, index)));
    case TYPE_INTEGER: return integer::make_at(out, integer_at(vector, index));
    case TYPE_FLOAT: return float_::make_at(out, float_at(vector, index));
    default: return percent::make_at(out, float_at(vector, index));
    }
}

void check_value(const Cell* vector, const Cell* value) {
    if (cell_type(value) != element_type(vector)) fire(err::script::invalid_arg, value);
}

void store(const Cell* vector, uint32_t index, const Cell* value) {
    SeriesBuffer* buffer = buffer_of(vector);
    if (holds_floats(cell_type(value)))
        write_float(buffer->at(index), buffer->unit(), float_::get(value));
    else
        write_integer(buffer->at(index), buffer->unit(), integer::get(value));
}

void append_value(const Cell* vector, const Cell* value) {
    check_value(vector, value);
    Cell held = *value;  // the value may lie in a buffer that growing moves
    series::reserve_tail(buffer_of(vector), unit_of(vector));
    store(vector, buffer_of(vector)->length() - 1, &held);
}

void poke_value(const Cell* vector, uint32_t index, const Cell* value) {
    check_value(vector, value);
    uint32_t length = buffer_of(vector)->length();
    if (index > length) {
        Cell shown{};
        integer::make_at(&shown, int32_t(std::min<uint32_t>(index, INT32_MAX)));
        fire(err::script::out_of_range, &shown);
    }
    if (index < length) return store(vector, index, value);
    append_value(vector, value);
}

void insert_value(const Cell* vector, uint32_t index, const Cell* value) {
    check_value(vector, value);
    Cell held = *value;
    open_gap(vector, std::min(index, buffer_of(vector)->length()), 1);
    store(vector, std::min(index, buffer_of(vector)->length() - 1), &held);
}

void append_block(const Cell* vector, const Cell* block) {
    uint32_t head = series_index(block);
    uint32_t count = block::length_from_head(block);
    for (uint32_t i = 0; i < count; i++) check_value(vector, &series_buffer(block)->cells()[head + i]);
    for (uint32_t i = 0; i < count; i++) {
        Cell value = series_buffer(block)->cells()[head + i];
        append_value(vector, &value);
    }
}

Cell* to_block(const Cell* vector, Cell* cell) {
    Cell source = *vector;  // the cell may be the vector itself
    uint32_t count = length_from_head(&source);
    block::make_at(cell, int32_t(std::max(count, 1u)));
    for (uint32_t i = 0; i < count; i++) {
        Cell element{};
        get_element(&source, series_index(&source) + i, &element);
        block::rs_append(cell, &element);
    }
    return cell;
}

// ---------------------------------------------------------------- make

namespace {

[[noreturn]] void bad_make_arg(const Cell* spec_value) {
    Cell type = integer::datatype_value(TYPE_VECTOR);
    fire(err::script::bad_make_arg, &type, spec_value);
}

[[noreturn]] void invalid_spec_field(const Cell* spec_value) { fire(err::script::invalid_spec_field, spec_value); }

// The element type a type word names, 0 for any other word.
uint32_t named_element_type(const Cell* word) {
    uint32_t symbol = symbol::resolve(word::symbol(word));
    for (uint32_t type : {TYPE_CHAR, TYPE_INTEGER, TYPE_FLOAT, TYPE_PERCENT})
        if (symbol == symbol::resolve(registry::name_table[type].word)) return type;
    return 0;
}

// What a make block asks for: the element type and unit, the element count, and
// the block of values (its cell, or none).
struct Plan {
    uint32_t type = TYPE_INTEGER;
    uint32_t unit = 4;
    int64_t count = 0;
    bool counted = false;  // the make block gave a count
    Cell values = {TYPE_NONE, 0, 0, 0};
};

bool has_values(const Plan& plan) { return cell_type(&plan.values) == TYPE_BLOCK; }

// The unit of a bit size given for the element type; any other size raises
// bad-make-arg.
uint32_t unit_for_bits(uint32_t type, const Cell* bits, const Cell* spec_value) {
    int32_t n = integer::get(bits);
    bool fits = type == TYPE_PERCENT ? n == 64
              : type == TYPE_FLOAT   ? n == 32 || n == 64
                                     : n == 8 || n == 16 || n == 32;
    if (!fits) bad_make_arg(spec_value);
    return uint32_t(n) / 8;
}

// [type bits count], [type bits [values]], [type bits count [values]];
// percent! may leave the bits out.
Plan plan_typed(const Cell* spec_value, const Cell* items, uint32_t length) {
    if (length < 2) bad_make_arg(spec_value);
    Plan plan;
    plan.type = named_element_type(&items[0]);
    if (plan.type == 0) bad_make_arg(spec_value);
    uint32_t next = 1;
    if (cell_type(&items[1]) == TYPE_INTEGER) {
        plan.unit = unit_for_bits(plan.type, &items[1], spec_value);
        next = 2;
    } else if (plan.type == TYPE_PERCENT) {
        plan.unit = 8;
    } else {
        invalid_spec_field(spec_value);
    }
    if (next < length && cell_type(&items[next]) == TYPE_INTEGER) {
        plan.count = integer::get(&items[next]);
        plan.counted = true;
        next++;
    }
    if (next < length && cell_type(&items[next]) == TYPE_BLOCK) plan.values = items[next++];
    if (next != length || (!plan.counted && !has_values(plan))) invalid_spec_field(spec_value);
    return plan;
}

// A block of values alone: the first one's type, at its default unit.
Plan plan_untyped(const Cell* spec_value, const Cell* items, uint32_t length) {
    Plan plan;
    if (length == 0) return plan;
    plan.type = cell_type(&items[0]);
    if (plan.type != TYPE_CHAR && plan.type != TYPE_INTEGER && !holds_floats(plan.type))
        integer::raise_invalid_type(plan.type);
    plan.unit = default_unit(plan.type);
    plan.values = *spec_value;
    return plan;
}

Plan plan_from_block(const Cell* spec_value) {
    uint32_t length = block::length_from_head(spec_value);
    const Cell* items = series_buffer(spec_value)->cells() + series_index(spec_value);
    if (length > 0 && cell_type(&items[0]) == TYPE_WORD) return plan_typed(spec_value, items, length);
    return plan_untyped(spec_value, items, length);
}

// A number is a count of zeros: of integers at 32 bits, or made from a
// vector the prototype's element type and unit, so that a vector made from
// a model keeps what its elements are.
Plan plan_from(const Cell* prototype, const Cell* spec_value) {
    switch (cell_type(spec_value)) {
    case TYPE_INTEGER:
    case TYPE_FLOAT: {
        Plan plan;
        plan.count = integer::from_number_arg(spec_value);
        plan.counted = true;
        if (cell_type(prototype) == TYPE_VECTOR) {
            plan.type = element_type(prototype);
            plan.unit = unit_of(prototype);
        }
        return plan;
    }
    case TYPE_BLOCK: return plan_from_block(spec_value);
    default: fire(err::internal::not_done);
    }
}

// Values at least as many as the count, and a count below 1, fill nothing.
Cell* make(Cell* result, const Cell* spec_value, uint32_t) {
    Plan plan = plan_from(result, spec_value);
    uint32_t value_count = has_values(plan) ? block::length_from_head(&plan.values) : 0;
    bool fill = plan.counted && plan.count >= 1 && plan.count > value_count;
    uint64_t room = fill ? uint64_t(plan.count) : std::max(value_count, 1u);
    if (room > INT32_MAX) no_memory();
    Cell made{};
    make_at(&made, uint32_t(room), plan.type, plan.unit);
    Cell* held = stack::push(&made);  // the vector lives on while the values go in
    if (has_values(plan)) append_block(held, &plan.values);
    if (fill) fill_zeros(held, uint32_t(plan.count));
    *result = *held;
    stack::top = held;
    return result;
}

}  // namespace

// ---------------------------------------------------------------- form and mold

namespace {

// One element's text. Chars are escaped as in a molded string, quoted when
// quoted is set.
void write_element(const Cell* vector, uint32_t index, text::Sink& out, bool quoted) {
    uint32_t unit = unit_of(vector);
    switch (element_type(vector)) {
    case TYPE_CHAR: {
        if (quoted) out.append("#\"");
        string::mold_char(out.buffer, uint32_t(integer_at(vector, index)), false);
        out.limit -= 1;
        if (quoted) out.append("\"");
        return;
    }
    case TYPE_INTEGER: out.append(integer::to_decimal_text(integer_at(vector, index)).c_str()); return;
    case TYPE_FLOAT: {
        auto mode = unit == 8 ? float_text::FORMAT_FLOAT64 : float_text::FORMAT_FLOAT32;
        out.append(float_text::format(float_at(vector, index), mode).c_str());
        return;
    }
    default: {
        auto mode = unit == 8 ? float_text::FORMAT_PERCENT64 : float_text::FORMAT_PERCENT32;
        out.append(float_text::format(float_at(vector, index) * 100.0, mode).c_str());
        return;
    }
    }
}

// The elements from the head, separated by single spaces.
void write_elements(const Cell* vector, text::Sink& out, bool quoted) {
    Cell held = *vector;
    uint32_t head = series_index(&held);
    uint32_t count = length_from_head(&held);
    for (uint32_t i = 0; i < count && !out.used_up(); i++) {
        if (i > 0) out.append(" ");
        write_element(&held, head + i, out, quoted);
    }
}

void form(const Cell* value, text::Sink& out) { write_elements(value, out, false); }

// make vector! [1 2 3] when the unit is the type's default and there are
// elements; make vector! [integer! 16 [1 2 3]] otherwise, which also keeps
// the type of an empty vector. /only leaves out the outer "make vector! [".
void mold(const Cell* value, text::Sink& out, bool only) {
    Cell held = *value;
    uint32_t type = element_type(&held);
    if (!only) out.append("make vector! [");
    if (length_from_head(&held) > 0 && unit_of(&held) == default_unit(type)) {
        write_elements(&held, out, true);
    } else {
        const char* name = registry::name_table[type].name;
        out.append(name);
        out.append(" ");
        out.append(integer::to_decimal_text(int32_t(unit_of(&held) * 8)).c_str());
        out.append(" [");
        write_elements(&held, out, true);
        out.append("]");
    }
    if (!only) out.append("]");
}

}  // namespace

// ---------------------------------------------------------------- compare

namespace {

int32_t order_elements(const Cell* a, uint32_t i, const Cell* b, uint32_t j) {
    if (holds_floats(element_type(a))) {
        double x = float_at(a, i), y = float_at(b, j);
        return x < y ? -1 : x > y ? 1 : 0;
    }
    int32_t x = integer_at(a, i), y = integer_at(b, j);
    return x < y ? -1 : x > y ? 1 : 0;
}

int32_t compare(const Cell* value1, const Cell* value2, int32_t op) {
    if (cell_type(value2) != TYPE_VECTOR) return -2;
    if (element_type(value1) != element_type(value2)) fire(err::script::not_same_type);
    bool same = series_node(value1) == series_node(value2) && series_index(value1) == series_index(value2);
    if (op == actions::COMP_SAME) return same ? 0 : -1;
    if (same && is_equality(op)) return 0;
    uint32_t count1 = length_from_head(value1);
    uint32_t count2 = length_from_head(value2);
    if (count1 != count2 && is_equality(op)) return 1;
    uint32_t shorter = std::min(count1, count2);
    for (uint32_t k = 0; k < shorter; k++) {
        int32_t order = order_elements(value1, series_index(value1) + k, value2, series_index(value2) + k);
        if (order != 0) return order;
    }
    return count1 == count2 ? 0 : count1 < count2 ? -1 : 1;
}

}  // namespace

// ---------------------------------------------------------------- arithmetic

namespace {

using integer::OP_ADD;
using integer::OP_AND;
using integer::OP_DIVIDE;
using integer::OP_MULTIPLY;
using integer::OP_OR;
using integer::OP_REMAINDER;
using integer::OP_SUBTRACT;
using integer::OP_XOR;

// Integer element arithmetic in unsigned 32 bits, so that it wraps rather
// than overflows; the result keeps its low unit bytes when stored. A zero
// divisor raises math zero-divide; the smallest value divided by -1 wraps.
int32_t integer_op(int32_t a, int32_t b, int32_t op) {
    auto x = uint32_t(a), y = uint32_t(b);
    switch (op) {
    case OP_ADD: return int32_t(x + y);
    case OP_SUBTRACT: return int32_t(x - y);
    case OP_MULTIPLY: return int32_t(x * y);
    case OP_OR: return int32_t(x | y);
    case OP_AND: return int32_t(x & y);
    case OP_XOR: return int32_t(x ^ y);
    default: break;
    }
    if (b == 0) fire(err::math::zero_divide);
    if (b == -1) return op == OP_DIVIDE ? int32_t(0u - x) : 0;
    return op == OP_DIVIDE ? a / b : a % b;
}

// Float elements take the float kernel of float!, which also raises
// cannot-use for the bitwise operations.
double float_op(double a, double b, int32_t op) {
    Cell left{}, right{};
    float_::make_at(&left, a);
    float_::make_at(&right, b);
    return float_::get(float_::math_op(&left, &right, op));
}

void check_float_op(uint32_t type, int32_t op) {
    if (!holds_floats(type) || op <= OP_REMAINDER) return;
    Cell word = *stack::current_function_word();
    Cell datatype = integer::datatype_value(type);
    fire(err::script::cannot_use, &word, &datatype);
}

// A new vector of the pairs of elements from both heads, as long as the
// shorter one, at the wider unit; it replaces the first argument.
Cell* combine_vectors(Cell* value1, const Cell* value2, int32_t op) {
    uint32_t type = element_type(value1);
    if (element_type(value2) != type) fire(err::script::not_same_type);
    check_float_op(type, op);
    uint32_t count = std::min(length_from_head(value1), length_from_head(value2));
    Cell made{};
    make_at(&made, count, type, std::max(unit_of(value1), unit_of(value2)));
    series::reserve_tail(buffer_of(&made), count * unit_of(&made));
    uint32_t head1 = series_index(value1), head2 = series_index(value2);
    SeriesBuffer* out = buffer_of(&made);
    for (uint32_t i = 0; i < count; i++) {
        if (holds_floats(type))
            write_float(out->at(i), out->unit(),
                        float_op(float_at(value1, head1 + i), float_at(value2, head2 + i), op));
        else
            write_integer(out->at(i), out->unit(),
                          integer_op(integer_at(value1, head1 + i), integer_at(value2, head2 + i), op));
    }
    *value1 = made;
    return value1;
}

// Whether the scalar leaves every element as it is.
bool neutral(int32_t op, double scalar) {
    if (op == OP_ADD || op == OP_SUBTRACT) return scalar == 0;
    if (op == OP_MULTIPLY || op == OP_DIVIDE) return scalar == 1;
    return false;
}

// Each element from the head combined with the scalar, in place: a float
// vector takes it as a double (a percent by its fraction), an integer or
// char vector as an integer truncated toward zero. A char! scalar counts as
// its code point, a time! as its seconds.
Cell* combine_scalar(Cell* vector, const Cell* scalar, int32_t op) {
    uint32_t type = element_type(vector);
    check_float_op(type, op);
    bool floats = holds_floats(type);
    bool whole = cell_type(scalar) == TYPE_INTEGER || cell_type(scalar) == TYPE_CHAR;
    double as_float = whole ? integer::get(scalar) : float_::get(scalar);
    int32_t as_integer = whole ? integer::get(scalar) : integer::truncate(as_float);
    if (neutral(op, floats ? as_float : as_integer)) return vector;
    if (!floats && as_integer == 0 && (op == OP_DIVIDE || op == OP_REMAINDER)) fire(err::math::zero_divide);
    SeriesBuffer* buffer = buffer_of(vector);
    uint32_t unit = buffer->unit();
    for (uint32_t i = series_index(vector); i < buffer->length(); i++) {
        if (floats)
            write_float(buffer->at(i), unit, float_op(read_float(buffer->at(i), unit), as_float, op));
        else
            write_integer(buffer->at(i), unit, integer_op(integer_at(vector, i), as_integer, op));
    }
    return vector;
}

template <int32_t op>
Cell* arithmetic(Cell* value1, Cell* value2) {
    switch (cell_type(value2)) {
    case TYPE_VECTOR: return combine_vectors(value1, value2, op);
    case TYPE_INTEGER:
    case TYPE_FLOAT:
    case TYPE_PERCENT: return combine_scalar(value1, value2, op);
    default: fire(err::internal::not_done);
    }
}

}  // namespace

Cell* scalar_on_left(Cell* number, const Cell* vector, int32_t op) {
    if (op == OP_SUBTRACT || op == OP_DIVIDE || op == OP_REMAINDER)
        integer::raise_not_related(integer::op_word(op), cell_type(number));
    Cell scalar = *number;
    *number = *vector;
    return combine_scalar(number, &scalar, op);
}

// ---------------------------------------------------------------- append, insert and change

namespace {

// The values an edit stores: a block!, paren! or hash! gives its values from
// the head (at most part of them), any other value is itself one.
struct Source {
    Cell value;      // the value, or the block holding them
    uint32_t count;  // how many
    bool many;       // the values lie in the block
};

Source source_of(const Cell* value, int32_t part) {
    if (!type_in<TYPE_BLOCK, TYPE_PAREN, TYPE_HASH>(cell_type(value))) return {*value, 1, false};
    uint32_t count = block::length_from_head(value);
    if (part >= 0) count = std::min(count, uint32_t(part));
    return {*value, count, true};
}

Cell source_value(const Source& source, uint32_t i) {
    if (!source.many) return source.value;
    return series_buffer(&source.value)->cells()[series_index(&source.value) + i];
}

void check_source(const Cell* vector, const Source& source) {
    for (uint32_t i = 0; i < source.count; i++) {
        Cell value = source_value(source, i);
        check_value(vector, &value);
    }
}

// The source's values stored dup times over from index on, room already made.
void store_run(const Cell* vector, uint32_t index, const Source& source, int32_t dup) {
    for (int32_t d = 0; d < dup; d++) {
        for (uint32_t i = 0; i < source.count; i++) {
            Cell value = source_value(source, i);
            store(vector, index++, &value);
        }
    }
}

// The elements an edit writes: values x dup, within a buffer's reach.
uint32_t run_length(const Cell* vector, const Source& source, int32_t dup) {
    uint64_t total = uint64_t(source.count) * uint64_t(dup);
    checked_bytes(total + buffer_of(vector)->length(), unit_of(vector));
    return uint32_t(total);
}

// append leaves the vector at its head, insert just past what it inserted.
void insert(Cell* series, Cell* value, int32_t part, bool only, int32_t dup, bool append) {
    if (dup < 1) return;
    Source source = only ? Source{*value, 1, false} : source_of(value, part);
    check_source(series, source);
    uint32_t total = run_length(series, source, dup);
    auto edit = append ? series::Edit::append : series::Edit::insert;
    auto at = [&] {
        uint32_t length = buffer_of(series)->length();
        return append ? length : std::min(series_index(series), length);
    };
    bool told = total > 0 && series::notify_before(series, edit, value, int32_t(at()), int32_t(total));
    uint32_t index = at();
    open_gap(series, index, total);
    store_run(series, index, source, dup);
    if (told) series::notify_after(series, edit, value, int32_t(index), int32_t(total));
    set_series_index(series, append ? 0 : index + total);
}

// Replaces part elements from the head (without /part as many as it
// writes) and leaves the vector just past what it wrote.
void change(Cell* series, Cell* value, int32_t part, bool only, int32_t dup) {
    if (dup < 1) return;
    Source source = only ? Source{*value, 1, false} : source_of(value, -1);
    check_source(series, source);
    uint32_t total = run_length(series, source, dup);
    uint32_t head = 0, replaced = 0;
    auto plan = [&] {
        head = std::min(series_index(series), buffer_of(series)->length());
        uint64_t wanted = part < 0 ? total : uint32_t(part);
        replaced = uint32_t(std::min<uint64_t>(wanted, buffer_of(series)->length() - head));
    };
    plan();
    bool told = series::notify_before(series, series::Edit::change, value, int32_t(head), int32_t(replaced));
    if (told) plan();
    if (total > replaced) {
        open_gap(series, head + replaced, total - replaced);
    } else if (replaced > total) {
        SeriesBuffer* buffer = buffer_of(series);
        uint32_t unit = buffer->unit();
        uint32_t after = buffer->length() - (head + replaced);
        std::memmove(buffer->at(head + total), buffer->at(head + replaced), size_t(after) * unit);
        buffer->tail = Off(uint32_t(buffer->tail) - (replaced - total) * unit);
    }
    store_run(series, head, source, dup);
    if (told) series::notify_after(series, series::Edit::change, value, int32_t(head), int32_t(total));
    set_series_index(series, head + total);
}

}  // namespace

// ---------------------------------------------------------------- find and select

namespace {

// Element equality with a value of the element type; a value of another
// type equals no element.
bool element_equals(const Cell* vector, uint32_t index, const Cell* value) {
    if (cell_type(value) != element_type(vector)) return false;
    if (holds_floats(element_type(vector))) return float_at(vector, index) == float_::get(value);
    return integer_at(vector, index) == integer::get(value);
}

// The index (from the buffer start) of the element that the search finds,
// -1 when none: the first from the head, the last (/last), the nearest
// before the head (/reverse), or the head alone (/match); /part ends the
// range searched forward, /skip sets the distance between the tries.
int64_t found_index(Cell* vector, const Cell* value, const actions::FindArgs& args) {
    uint32_t head = series::clamped_head(vector);
    uint32_t total = buffer_of(vector)->length();
    int64_t end = total;
    if (args.part) end = std::clamp<int64_t>(int64_t(head) + series::part_count(vector, args.part), head, total);
    uint32_t step = series::search_step(args.skip);
    if (args.match) return head < end && element_equals(vector, head, value) ? head : -1;
    if (args.reverse) {
        for (int64_t i = int64_t(head) - 1; i >= 0; i -= step)
            if (element_equals(vector, uint32_t(i), value)) return i;
        return -1;
    }
    if (args.last) {
        for (int64_t i = series::backward_start(head, end, 1, step); i >= head; i -= step)
            if (element_equals(vector, uint32_t(i), value)) return i;
        return -1;
    }
    for (int64_t i = head; i < end; i += step)
        if (element_equals(vector, uint32_t(i), value)) return i;
    return -1;
}

// The vector at the element found (past it with /tail or /match), or none.
Cell* find(Cell* series, const Cell* value, const actions::FindArgs& args) {
    int64_t index = found_index(series, value, args);
    if (index < 0) return &none::constant;
    set_series_index(series, uint32_t(index + (args.tail || args.match ? 1 : 0)));
    return series;
}

// The element after the one found, or none.
Cell* select(Cell* series, const Cell* value, const actions::SelectArgs& args) {
    int64_t index = found_index(series, value, actions::as_find_args(args));
    if (index < 0 || index + 1 >= buffer_of(series)->length()) return &none::constant;
    return get_element(series, uint32_t(index + 1), series);
}

}  // namespace

// ---------------------------------------------------------------- registration

void init() {
    using namespace registry;
    register_type(TYPE_VECTOR, Row()
        .set<SLOT_MAKE>(make)
        .inherit<SLOT_RANDOM>()
        .inherit<SLOT_REFLECT>()
        .set<SLOT_FORM>(form)
        .set<SLOT_MOLD>(mold)
        .inherit<SLOT_EVAL_PATH>()
        .set<SLOT_COMPARE>(compare)
        .set<SLOT_ADD>(arithmetic<OP_ADD>)
        .set<SLOT_DIVIDE>(arithmetic<OP_DIVIDE>)
        .set<SLOT_MULTIPLY>(arithmetic<OP_MULTIPLY>)
        .set<SLOT_REMAINDER>(arithmetic<OP_REMAINDER>)
        .set<SLOT_SUBTRACT>(arithmetic<OP_SUBTRACT>)
        .set<SLOT_AND>(arithmetic<OP_AND>)
        .set<SLOT_OR>(arithmetic<OP_OR>)
        .set<SLOT_XOR>(arithmetic<OP_XOR>)
        .set<SLOT_APPEND>(insert)
        .inherit_range<SLOT_AT, SLOT_BACK>()
        .set<SLOT_CHANGE>(change)
        .inherit_range<SLOT_CLEAR, SLOT_COPY>()
        .set<SLOT_FIND>(find)
        .inherit_range<SLOT_HEAD, SLOT_INDEX_Q>()
        .set<SLOT_INSERT>(insert)
        .inherit_range<SLOT_LENGTH_Q, SLOT_POKE>()
        .inherit_range<SLOT_REMOVE, SLOT_REVERSE>()
        .set<SLOT_SELECT>(select)
        .inherit<SLOT_SORT>()
        .inherit<SLOT_SKIP>()
        .inherit_range<SLOT_TAIL, SLOT_TAKE>()
        .inherit<SLOT_MODIFY>());
}

}  // namespace vek::vector
