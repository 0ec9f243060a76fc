#include "runtime/natives/helpers.h"

#include <algorithm>
#include <cmath>

#include "runtime/actions/dispatch.h"
#include "runtime/core/raise.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/block/array.h"
#include "runtime/datatypes/compound/pair.h"
#include "runtime/datatypes/compound/point.h"
#include "runtime/datatypes/compound/tuple.h"
#include "runtime/datatypes/container/map.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/image/image.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/number/float.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/object/error.h"
#include "runtime/datatypes/word/context.h"
#include "runtime/datatypes/word/word.h"

namespace vek::natives {

namespace {

bool nan_number(const Cell* cell) {
    uint32_t type = cell_type(cell);
    return (type == TYPE_FLOAT || type == TYPE_PERCENT) && std::isnan(cell_get_f64(cell));
}

bool scalar(uint32_t type) { return type == TYPE_INTEGER || type == TYPE_FLOAT; }

bool compound(uint32_t type) {
    return type == TYPE_PAIR || type == TYPE_POINT2D || type == TYPE_POINT3D || type == TYPE_TUPLE;
}

int32_t pick_int(bool max, int32_t a, int32_t b) { return max ? std::max(a, b) : std::min(a, b); }

// A NaN on the right wins over the left coordinate.
float pick_float(bool max, float a, float b) {
    if (b != b) return b;
    return max ? std::max(a, b) : std::min(a, b);
}

void pair_to_point(Cell* cell) {
    point2d::make_at(cell, float(pair::x(cell)), float(pair::y(cell)));
}

// The point coordinates of a number, pair or point operand: a scalar gives
// the same value for every coordinate.
void coordinates(const Cell* cell, float out[3]) {
    switch (cell_type(cell)) {
    case TYPE_INTEGER: out[0] = out[1] = out[2] = float(integer::get(cell)); break;
    case TYPE_FLOAT: out[0] = out[1] = out[2] = float(float_::get(cell)); break;
    case TYPE_PAIR: out[0] = float(pair::x(cell)); out[1] = float(pair::y(cell)); out[2] = 0; break;
    case TYPE_POINT2D: out[0] = point2d::x(cell); out[1] = point2d::y(cell); out[2] = 0; break;
    default: out[0] = point3d::x(cell); out[1] = point3d::y(cell); out[2] = point3d::z(cell); break;
    }
}

void points_max_min(bool max, Cell* v1, const Cell* v2) {
    float a[3], b[3];
    coordinates(v1, a);
    coordinates(v2, b);
    if (cell_type(v1) == TYPE_POINT3D)
        point3d::make_at(v1, pick_float(max, a[0], b[0]), pick_float(max, a[1], b[1]),
                         pick_float(max, a[2], b[2]));
    else
        point2d::make_at(v1, pick_float(max, a[0], b[0]), pick_float(max, a[1], b[1]));
}

void pair_max_min(bool max, Cell* v1, const Cell* v2) {
    switch (cell_type(v2)) {
    case TYPE_INTEGER:
        pair::make_at(v1, pick_int(max, pair::x(v1), integer::get(v2)), pick_int(max, pair::y(v1), integer::get(v2)));
        return;
    case TYPE_FLOAT: {
        double f = float_::get(v2);
        if (integer::float_out_of_range(f)) {
            pair_to_point(v1);
            points_max_min(max, v1, v2);
            return;
        }
        int32_t n = float_to_integer_arg(v2);
        pair::make_at(v1, pick_int(max, pair::x(v1), n), pick_int(max, pair::y(v1), n));
        return;
    }
    case TYPE_PAIR:
        pair::make_at(v1, pick_int(max, pair::x(v1), pair::x(v2)), pick_int(max, pair::y(v1), pair::y(v2)));
        return;
    case TYPE_POINT2D:
        pair_to_point(v1);
        points_max_min(max, v1, v2);
        return;
    default:
        fire(err::script::invalid_compare, v1, v2);
    }
}

uint8_t clamp_byte(int32_t n) { return uint8_t(std::clamp(n, 0, 255)); }

// A tuple's size field has room for sizes past MAX_SIZE, which no tuple
// has: bounded here, no size can write past the bytes.
void tuple_max_min(bool max, Cell* v1, const Cell* v2) {
    uint32_t size = std::min(tuple::size(v1), tuple::MAX_SIZE);
    uint8_t bytes[tuple::MAX_SIZE] = {};
    if (cell_type(v2) == TYPE_TUPLE) {
        size = std::min(std::max(size, tuple::size(v2)), tuple::MAX_SIZE);
        for (uint32_t i = 0; i < size; ++i) {
            int32_t a = i < tuple::size(v1) ? tuple::get_byte(v1, i) : 0;
            int32_t b = i < tuple::size(v2) ? tuple::get_byte(v2, i) : 0;
            bytes[i] = clamp_byte(pick_int(max, a, b));
        }
    } else {
        int32_t n = float_to_integer_arg(v2);
        for (uint32_t i = 0; i < size; ++i) bytes[i] = clamp_byte(pick_int(max, tuple::get_byte(v1, i), n));
    }
    tuple::make_at(v1, bytes, size);
}

bool compound_operands(uint32_t t1, uint32_t t2) {
    switch (t1) {
    case TYPE_PAIR: return scalar(t2) || t2 == TYPE_PAIR || t2 == TYPE_POINT2D;
    case TYPE_POINT2D: return scalar(t2) || t2 == TYPE_PAIR || t2 == TYPE_POINT2D;
    case TYPE_POINT3D: return scalar(t2) || t2 == TYPE_POINT3D;
    case TYPE_TUPLE: return scalar(t2) || t2 == TYPE_TUPLE;
    default: return false;
    }
}

// The value at the series' index as pick at 1 gives it, into out.
void pick_at(const Cell* series, uint32_t offset, Cell* out) {
    Cell* operand = stack::push(series);
    set_series_index(operand, series_index(operand) + offset);
    Cell one = integer::cell(1);
    *out = *actions::pick(operand, &one);
    stack::pop(1);
}

// The words block may have been shortened by code run since the count of
// its words was taken (a loop's body, a change handler).
Cell* word_at(const Cell* words, uint32_t i) {
    SeriesBuffer* buffer = series_buffer(words);
    if (series_index(words) + i >= buffer->length()) fire(err::script::invalid_arg, words);
    Cell* word = buffer->cells() + series_index(words) + i;
    if (!is_any_word(cell_type(word))) fire(err::script::invalid_arg, word);
    return word;
}

// Value i of a sequence source: none past its end.
Cell value_of(const Cell* source, uint32_t i) {
    SeriesBuffer* b = series_buffer(source);
    uint32_t index = series_index(source) + i;
    return index < b->length() ? b->cells()[index] : none::constant;
}

}  // namespace

void check_arg(int32_t position, uint64_t types) {
    uint32_t type = cell_type(stack::arguments + position);
    if (types & type_bit(type)) return;
    Cell datatype = datatype::cell(type);
    fire(err::script::expect_arg, stack::current_function_word(), &datatype,
         error::get_arg_word(uint32_t(position)));
}

// ---------------------------------------------------------------- numbers

void max_min(bool max) {
    Cell* v1 = stack::arguments;
    Cell* v2 = stack::arguments + 1;
    uint32_t t1 = cell_type(v1), t2 = cell_type(v2);
    if (nan_number(v1) && is_number(t2)) return;
    if (nan_number(v2) && is_number(t1)) {
        *v1 = *v2;
        return;
    }
    if (scalar(t1) && compound(t2)) {
        std::swap(*v1, *v2);
        std::swap(t1, t2);
    }
    if (compound_operands(t1, t2)) {
        if (t1 == TYPE_PAIR) pair_max_min(max, v1, v2);
        else if (t1 == TYPE_TUPLE) tuple_max_min(max, v1, v2);
        else points_max_min(max, v1, v2);
        return;
    }
    bool lesser = actions::compare(v1, v2, actions::COMP_LESSER);
    if (max == lesser) *v1 = *v2;
}

int32_t float_to_integer_arg(const Cell* cell) {
    if (cell_type(cell) != TYPE_FLOAT) return integer::get(cell);
    double f = float_::get(cell);
    if (integer::float_out_of_range(f)) {
        Cell datatype = datatype::cell(TYPE_INTEGER);
        fire(err::script::type_limit, &datatype);
    }
    return int32_t(f);
}

double number_as_float(const Cell* cell) {
    return cell_type(cell) == TYPE_INTEGER ? double(integer::get(cell)) : float_::get(cell);
}

void float_to_integer_in_place(Cell* cell) {
    if (cell_type(cell) == TYPE_FLOAT) integer::make_at(cell, integer::truncate(float_::get(cell)));
}

void loop_count_to_integer() { float_to_integer_in_place(stack::arguments); }

// ---------------------------------------------------------------- setting words

void set_words(const Cell* words, const Cell* source, uint32_t count, object::SetFlags flags) {
    bool sequence = !flags.only && (cell_type(source) == TYPE_MAP || is_any_block(cell_type(source)));
    if (sequence) {
        for (uint32_t i = 0; i < count; ++i) {
            const Cell* word = word_at(words, i);
            Cell value = value_of(source, i);
            if (!flags.any && cell_type(&value) == TYPE_UNSET)
                fire(err::script::need_value, word);
        }
    }
    for (uint32_t i = 0; i < count; ++i) {
        Cell value = sequence ? value_of(source, i) : *source;
        if (!sequence && !flags.any && cell_type(&value) == TYPE_UNSET)
            fire(err::script::need_value, word_at(words, i));
        if (flags.some && cell_type(&value) == TYPE_NONE) continue;
        context::set(word_at(words, i), &value);
    }
}

void set_words_from(const Cell* words, const Cell* source, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) {
        Cell value;
        pick_at(source, i, &value);
        context::set(word_at(words, i), &value);
    }
}

// ---------------------------------------------------------------- loop steps

bool series_more(const Cell* series) {
    if (cell_type(series) == TYPE_IMAGE) return image::head(series) < image::pixel_count(series);
    return series_index(series) < series_buffer(series)->length();
}

// foreach and remove-each hold a block of words where they step with several,
// which takes no LoopWord store.
bool LoopWord::stores_directly(const Cell* word) {
    if (cell_type(word) != TYPE_WORD) return false;
    if (int32_t(word::index(word)) < 0 || word::context(word) == Node::none) return false;
    const Cell* context = context::cell_of(word::context(word));
    return context::on_stack(context) || context::kind_of(context) != context::KIND_OBJECT;
}

void LoopWord::set_through_context(const Cell* value) {
    context::set(word_, value);
    direct_ = stores_directly(word_);
}

// A block's next value is read from the buffer that told whether there is
// one; any other series picks it.
bool foreach_next(LoopWord& word) {
    Cell* series = stack::arguments - 2;
    Cell value;
    if (is_any_block(cell_type(series))) {
        SeriesBuffer* buffer = series_buffer(series);
        if (series_index(series) >= buffer->length()) return false;
        value = buffer->cells()[series_index(series)];
    } else {
        if (!series_more(series)) return false;
        pick_at(series, 0, &value);
    }
    set_series_index(series, series_index(series) + 1);
    word.set(&value);
    return true;
}

bool foreach_next_multi(uint32_t n) {
    Cell* series = stack::arguments - 2;
    if (n == 0 || !series_more(series)) return false;
    const Cell* words = stack::arguments - 1;
    uint32_t type = cell_type(series);
    if (type == TYPE_MAP) return map::foreach_next(series, words, n);
    if (is_any_block(type)) set_words(words, series, n, {.any = true});
    else set_words_from(words, series, n);
    set_series_index(series, series_index(series) + n);
    return true;
}

bool forall_next(const Cell* word, bool advance) {
    Cell* series = context::get(word);
    if (advance) set_series_index(series, series_index(series) + 1);
    return !series_more(series);
}

void forall_reset(Cell* word) { context::set(word, stack::arguments - 2); }

void remove_each_apply(uint32_t n) {
    if (logic::result_false()) return;
    Cell* series = stack::arguments - 2;
    set_series_index(series, series_index(series) - n);
    Cell part = integer::cell(int32_t(n));
    actions::remove(series, n == 1 ? nullptr : &part, nullptr);
}

}  // namespace vek::natives
