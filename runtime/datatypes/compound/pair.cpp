#include "runtime/datatypes/compound/pair.h"

#include <cmath>
#include <cstdio>

#include "runtime/actions/dispatch.h"
#include "runtime/core/fixed_words.h"
#include "runtime/core/raise.h"
#include "runtime/core/registry.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/block/array.h"
#include "runtime/datatypes/compound/point.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/number/float.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/lexer/lexer.h"
#include "runtime/memory/series.h"
#include "runtime/tables/random.h"

namespace vek::pair {

namespace {

Cell* init_cell(Cell* cell, int32_t x, int32_t y) {
    cell->header = TYPE_PAIR;
    return make_at(cell, x, y);
}

}  // namespace

Cell* make_at(Cell* cell, int32_t x, int32_t y) {
    set_type(cell, TYPE_PAIR);
    *cell = Cell{cell->header, 0, uint32_t(x), uint32_t(y)};
    return cell;
}

Cell* make_in(const Cell* block, int32_t x, int32_t y) { return init_cell(block::alloc_tail(block), x, y); }
Cell* push(int32_t x, int32_t y) { return init_cell(stack::push_cell(), x, y); }

namespace {

using integer::raise_bad_to_arg;
using integer::raise_invalid_type;

// ---------------------------------------------------------------- make and to

[[noreturn]] void raise_malconstruct(const Cell* spec_value) {
    Cell type = integer::datatype_value(TYPE_PAIR);
    fire(err::syntax::malconstruct, &type, spec_value);
}

// The float truncated toward zero; script out-of-range with the culprit when
// that leaves the integers. Truncated first, so that 2147483647.5 still fits.
int32_t cut(double value, const Cell* culprit) {
    double whole = std::trunc(value);
    if (integer::float_out_of_range(whole)) fire(err::script::out_of_range, culprit);
    return int32_t(whole);
}

// A coordinate from a block: an integer!, or a float! truncated toward zero.
int32_t block_coordinate(const Cell* element, const Cell* spec_value) {
    switch (cell_type(element)) {
    case TYPE_INTEGER: return integer::get(element);
    case TYPE_FLOAT: return cut(float_::get(element), element);
    default: raise_malconstruct(spec_value);
    }
}

// The first value of the text loaded as source, which must be a pair.
Cell* from_text(Cell* result, const Cell* text) {
    Cell loaded{};
    if (lexer::scan_string(&loaded, text, -1, {.mode = lexer::Mode::scan}, nullptr, nullptr) == TYPE_ERROR)
        raise_bad_to_arg(TYPE_PAIR, text);
    lexer::scan_string(&loaded, text, -1, {}, nullptr, nullptr);
    if (block::length_from_head(&loaded) == 0) raise_bad_to_arg(TYPE_PAIR, text);
    const Cell* value = block::rs_abs_at(&loaded, series_index(&loaded));
    if (cell_type(value) != TYPE_PAIR) raise_bad_to_arg(TYPE_PAIR, text);
    return make_at(result, x(value), y(value));
}

Cell* make(Cell* result, const Cell* spec_value, uint32_t) {
    uint32_t type = cell_type(spec_value);
    if (is_any_list(type)) {
        if (block::length_from_head(spec_value) < 2) raise_malconstruct(spec_value);
        const Cell* head = block::rs_abs_at(spec_value, series_index(spec_value));
        return make_at(result, block_coordinate(head, spec_value), block_coordinate(head + 1, spec_value));
    }
    if (is_any_string(type)) return from_text(result, spec_value);
    switch (type) {
    case TYPE_PAIR: return make_at(result, x(spec_value), y(spec_value));
    case TYPE_INTEGER: return make_at(result, integer::get(spec_value), integer::get(spec_value));
    case TYPE_FLOAT: {
        int32_t n = cut(float_::get(spec_value), spec_value);
        return make_at(result, n, n);
    }
    case TYPE_POINT2D: {
        float px = point2d::x(spec_value), py = point2d::y(spec_value);
        if (!std::isfinite(px) || !std::isfinite(py)) fire(err::script::invalid_arg, spec_value);
        return make_at(result, cut(px, spec_value), cut(py, spec_value));
    }
    default: raise_bad_to_arg(TYPE_PAIR, spec_value);
    }
}

// ---------------------------------------------------------------- random

// Each coordinate drawn from 1..c (c..-1 when negative); 0 stays. /seed
// seeds the generator with x xor y instead and answers unset.
Cell* random(Cell* value, bool seed, bool secure, bool) {
    if (seed) {
        random::seed(x(value) ^ y(value));
        return set_type(value, TYPE_UNSET);
    }
    return make_at(value, random::integer(x(value), secure), random::integer(y(value), secure));
}

// ---------------------------------------------------------------- form and mold

// 10x20, -1x-2; mold gives the same text.
void form(const Cell* value, text::Sink& out) {
    char text[32];
    int length = std::snprintf(text, sizeof text, "%dx%d", x(value), y(value));
    out.append(text, uint32_t(length));
}

void mold(const Cell* value, text::Sink& out, bool) { form(value, out); }

// ---------------------------------------------------------------- coordinates

// 1 for x, 2 for y, 0 for any other word.
int32_t coordinate_of_word(const Cell* word) {
    using fixed_words::Sym;
    uint32_t name = symbol::resolve(word::symbol(word));
    if (name == symbol::resolve(fixed_words::symbol(Sym::x))) return 1;
    if (name == symbol::resolve(fixed_words::symbol(Sym::y))) return 2;
    return 0;
}

int32_t coordinate(const Cell* pair, int32_t which) { return which == 1 ? x(pair) : y(pair); }

Cell* with_coordinate(Cell* pair, int32_t which, int32_t value) {
    return which == 1 ? make_at(pair, value, y(pair)) : make_at(pair, x(pair), value);
}

// The coordinate a path element selects: 1 or 2, or the words x and y.
int32_t path_coordinate(const Cell* element, const Cell* path) {
    int32_t which = 0;
    if (cell_type(element) == TYPE_INTEGER) which = integer::get(element);
    else if (cell_type(element) == TYPE_WORD) which = coordinate_of_word(element);
    if (which != 1 && which != 2) fire(err::script::invalid_path, path ? path : &none::constant, element);
    return which;
}

// A set changes the parent cell, the path walker's copy of the pair: the
// walker stores it back into what held it, which tells that holder's
// handlers and owners.
Cell* eval_path(Cell* parent, const Cell* element, const actions::PathArgs& args) {
    int32_t which = path_coordinate(element, args.path);
    if (args.value == nullptr) return integer::make_at(parent, coordinate(parent, which));
    if (cell_type(args.value) != TYPE_INTEGER) raise_invalid_type(cell_type(args.value));
    return with_coordinate(parent, which, integer::get(args.value));
}

// An integer 1 or 2, true for x and false for y, or the words x and y.
Cell* pick(Cell* value, int32_t index, const Cell* index_cell) {
    switch (cell_type(index_cell)) {
    case TYPE_INTEGER:
    case TYPE_LOGIC:
        if (index != 1 && index != 2) fire(err::script::out_of_range, index_cell);
        break;
    case TYPE_WORD:
        index = coordinate_of_word(index_cell);
        if (index == 0) fire(err::script::cannot_use, index_cell, value);
        break;
    default: fire(err::script::invalid_arg, index_cell);
    }
    return integer::make_at(value, coordinate(value, index));
}

void reverse(Cell* value, const Cell*, const Cell*) { make_at(value, y(value), x(value)); }

// ---------------------------------------------------------------- compare

// Pairs order by x, then y, under every op; a point2D! compares as a point
// with this pair made one. Another datatype is not comparable.
int32_t compare(const Cell* value1, const Cell* value2, int32_t op) {
    switch (cell_type(value2)) {
    case TYPE_PAIR: break;
    case TYPE_POINT2D: {
        Cell point{};
        point2d::make_at(&point, float(x(value1)), float(y(value1)));
        return actions::compare_values(&point, value2, op);
    }
    default: return -2;
    }
    if (x(value1) != x(value2)) return x(value1) < x(value2) ? -1 : 1;
    if (y(value1) != y(value2)) return y(value1) < y(value2) ? -1 : 1;
    return 0;
}

// ---------------------------------------------------------------- arithmetic

// One coordinate of a point result: both sides as float32, combined in
// float64 by the float kernel, narrowed back to float32.
float point_coordinate(float left, float right, int32_t op) {
    Cell a{}, b{};
    float_::make_at(&a, double(left));
    float_::make_at(&b, double(right));
    return float(float_::get(float_::math_op(&a, &b, op)));
}

// The pair in value1 made the point of op with (bx, by).
Cell* point_math(Cell* value1, float bx, float by, int32_t op) {
    float px = point_coordinate(float(x(value1)), bx, op);
    float py = point_coordinate(float(y(value1)), by, op);
    return point2d::make_at(value1, px, py);
}

// A float or percent on the right: multiply and divide scale into a point;
// the other operations take the float truncated toward zero.
Cell* float_math(Cell* value1, const Cell* value2, int32_t op, int32_t* right) {
    double f = float_::get(value2);
    bool scaling = op == integer::OP_MULTIPLY || op == integer::OP_DIVIDE;
    bool allowed = op == integer::OP_DIVIDE ? !std::isnan(f) : std::isfinite(f);
    if (!allowed) fire(err::script::invalid_arg, value2);
    if (!scaling) {
        *right = cut(f, value2);
        return nullptr;
    }
    double px = op == integer::OP_MULTIPLY ? double(x(value1)) * f : double(x(value1)) / f;
    double py = op == integer::OP_MULTIPLY ? double(y(value1)) * f : double(y(value1)) / f;
    return point2d::make_at(value1, float(px), float(py));
}

// Each coordinate by the integer kernel; a result that leaves the integers
// (an overflow, an inexact division) makes the whole result a point.
Cell* math_op(Cell* value1, Cell* value2, int32_t op) {
    int32_t bx = 0, by = 0;
    switch (uint32_t type = cell_type(value2)) {
    case TYPE_INTEGER: bx = by = integer::get(value2); break;
    case TYPE_PAIR:
        bx = x(value2);
        by = y(value2);
        break;
    case TYPE_FLOAT:
    case TYPE_PERCENT:
        if (Cell* point = float_math(value1, value2, op, &bx)) return point;
        by = bx;
        break;
    case TYPE_POINT2D: return point_math(value1, point2d::x(value2), point2d::y(value2), op);
    default: raise_invalid_type(type);
    }
    Cell rx{}, ry{};
    integer::do_math(x(value1), bx, op, &rx);
    integer::do_math(y(value1), by, op, &ry);
    if (cell_type(&rx) != TYPE_INTEGER || cell_type(&ry) != TYPE_INTEGER)
        return point_math(value1, float(bx), float(by), op);
    return make_at(value1, integer::get(&rx), integer::get(&ry));
}

Cell* add(Cell* value1, Cell* value2) { return math_op(value1, value2, integer::OP_ADD); }
Cell* divide(Cell* value1, Cell* value2) { return math_op(value1, value2, integer::OP_DIVIDE); }
Cell* multiply(Cell* value1, Cell* value2) { return math_op(value1, value2, integer::OP_MULTIPLY); }
Cell* remainder(Cell* value1, Cell* value2) { return math_op(value1, value2, integer::OP_REMAINDER); }
Cell* subtract(Cell* value1, Cell* value2) { return math_op(value1, value2, integer::OP_SUBTRACT); }
Cell* and_(Cell* value1, Cell* value2) { return math_op(value1, value2, integer::OP_AND); }
Cell* or_(Cell* value1, Cell* value2) { return math_op(value1, value2, integer::OP_OR); }
Cell* xor_(Cell* value1, Cell* value2) { return math_op(value1, value2, integer::OP_XOR); }

Cell* absolute(Cell* value) { return make_at(value, integer::abs(x(value)), integer::abs(y(value))); }

// Two's complement: the minimum integer stays itself rather than overflowing.
int32_t wrapping_negate(int32_t n) { return int32_t(0u - uint32_t(n)); }

Cell* negate(Cell* value) { return make_at(value, wrapping_negate(x(value)), wrapping_negate(y(value))); }

// One coordinate through integer!'s round with the given scale; a float
// result (a float scale) is truncated back toward zero, math overflow when
// it does not fit.
int32_t round_coordinate(int32_t n, const Cell* scale, const actions::RoundArgs& args) {
    auto integer_round = reinterpret_cast<actions::RoundFn>(registry::action(TYPE_INTEGER, registry::SLOT_ROUND));
    Cell value{};
    integer::make_at(&value, n);
    actions::RoundArgs coordinate_args = args;
    coordinate_args.scale = scale;
    integer_round(&value, coordinate_args);
    if (cell_type(&value) == TYPE_INTEGER) return integer::get(&value);
    double rounded = float_::get(&value);
    if (integer::float_out_of_range(rounded)) fire(err::math::overflow);
    return int32_t(rounded);
}

// A pair scale rounds x by its x and y by its y; any other scale serves both.
Cell* round(Cell* value, const actions::RoundArgs& args) {
    const Cell* scale = args.scale;
    if (scale != nullptr && cell_type(scale) == TYPE_MONEY) {
        Cell word = *stack::current_function_word();
        integer::raise_not_related(&word, TYPE_MONEY);
    }
    Cell sx{}, sy{};
    const Cell* scale_x = scale;
    const Cell* scale_y = scale;
    if (scale != nullptr && cell_type(scale) == TYPE_PAIR) {
        scale_x = integer::make_at(&sx, x(scale));
        scale_y = integer::make_at(&sy, y(scale));
    }
    int32_t rx = round_coordinate(x(value), scale_x, args);
    int32_t ry = round_coordinate(y(value), scale_y, args);
    return make_at(value, rx, ry);
}

}  // namespace

void init() {
    using namespace registry;
    register_type(TYPE_PAIR, Row()
        .set<SLOT_MAKE>(make)
        .set<SLOT_RANDOM>(random)
        .set<SLOT_TO>(make)
        .set<SLOT_FORM>(form)
        .set<SLOT_MOLD>(mold)
        .set<SLOT_EVAL_PATH>(eval_path)
        .set<SLOT_COMPARE>(compare)
        .set<SLOT_ABSOLUTE>(absolute)
        .set<SLOT_ADD>(add)
        .set<SLOT_DIVIDE>(divide)
        .set<SLOT_MULTIPLY>(multiply)
        .set<SLOT_NEGATE>(negate)
        .set<SLOT_REMAINDER>(remainder)
        .set<SLOT_ROUND>(round)
        .set<SLOT_SUBTRACT>(subtract)
        .set<SLOT_AND>(and_)
        .set<SLOT_OR>(or_)
        .set<SLOT_XOR>(xor_)
        .set<SLOT_PICK>(pick)
        .set<SLOT_REVERSE>(reverse));
}

}  // namespace vek::pair
