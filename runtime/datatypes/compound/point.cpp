#include "runtime/datatypes/compound/point.h"

#include <array>
#include <cmath>
#include <utility>

#include "runtime/actions/dispatch.h"
#include "runtime/core/fixed_words.h"
#include "runtime/core/raise.h"
#include "runtime/core/registry.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/block/array.h"
#include "runtime/datatypes/compound/pair.h"
#include "runtime/datatypes/number/float.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/lexer/lexer.h"
#include "runtime/memory/series.h"
#include "runtime/tables/murmur.h"
#include "runtime/tables/random.h"
#include "runtime/text/float_text.h"

namespace vek {

namespace {

// The coordinates of a point of either kind; a point2D! leaves z at 0.
using Coordinates = std::array<float, 3>;

Coordinates coordinates_of(const Cell* point, uint32_t axes) {
    if (axes == 3) return {point3d::x(point), point3d::y(point), point3d::z(point)};
    return {point2d::x(point), point2d::y(point), 0.0f};
}

Cell* write_point(Cell* cell, uint32_t type, float x, float y, float z) {
    set_type(cell, type);
    uint32_t z_word = type == TYPE_POINT3D ? std::bit_cast<uint32_t>(z) : 0;
    *cell = Cell{cell->header, std::bit_cast<uint32_t>(x), std::bit_cast<uint32_t>(y), z_word};
    return cell;
}

Cell* new_point(Cell* cell, uint32_t type, float x, float y, float z) {
    cell->header = type;
    return write_point(cell, type, x, y, z);
}

void form_point(const Cell* value, uint32_t axes, text::Sink& out) {
    Coordinates c = coordinates_of(value, axes);
    out.append("(");
    for (uint32_t i = 0; i < axes; i++) {
        if (i != 0) out.append(", ");
        out.append(float_text::format(c[i], float_text::FORMAT_COORDINATE).c_str());
    }
    out.append(")");
}

// Equal under the float32 near-equality, exactly (strict), or bit for bit
// (same); any other op orders by the first coordinate whose difference is
// not near zero.
int32_t compare_points(const Coordinates& a, const Coordinates& b, uint32_t axes, int32_t op) {
    bool equal = true;
    for (uint32_t i = 0; i < axes; i++) {
        switch (op) {
        case actions::COMP_EQUAL:
        case actions::COMP_NOT_EQUAL: equal &= float_::float32_near_equal(a[i], b[i]); break;
        case actions::COMP_STRICT_EQUAL: equal &= a[i] == b[i]; break;
        case actions::COMP_SAME: equal &= std::bit_cast<uint32_t>(a[i]) == std::bit_cast<uint32_t>(b[i]); break;
        default: {
            float d = a[i] - b[i];
            if (i + 1 < axes && float_::float32_near_equal(d, 0.0f)) continue;
            return (d > 0.0f) - (d < 0.0f);
        }
        }
    }
    return equal ? 0 : 1;
}

uint32_t type_of(uint32_t axes) { return axes == 3 ? TYPE_POINT3D : TYPE_POINT2D; }

Cell* write_coordinates(Cell* cell, uint32_t axes, const Coordinates& c) {
    return write_point(cell, type_of(axes), c[0], c[1], c[2]);
}

// ---------------------------------------------------------------- make and to

[[noreturn]] void raise_malconstruct(uint32_t axes, const Cell* spec_value) {
    Cell type = integer::datatype_value(type_of(axes));
    fire(err::syntax::malconstruct, &type, spec_value);
}

// The first `axes` values of the block, each an integer! or a float!.
Coordinates from_block(const Cell* block, uint32_t axes) {
    if (block::length_from_head(block) < axes) raise_malconstruct(axes, block);
    Coordinates c{};
    for (uint32_t i = 0; i < axes; i++) {
        const Cell* element = block::rs_abs_at(block, series_index(block) + i);
        switch (cell_type(element)) {
        case TYPE_INTEGER: c[i] = float(integer::get(element)); break;
        case TYPE_FLOAT: c[i] = float(float_::get(element)); break;
        default: raise_malconstruct(axes, block);
        }
    }
    return c;
}

// The text loaded as source: its first value must be a point of this kind.
Coordinates from_text(const Cell* text, uint32_t axes) {
    uint32_t type = type_of(axes);
    Cell loaded{};
    if (lexer::scan_string(&loaded, text, -1, {.mode = lexer::Mode::scan}, nullptr, nullptr) == TYPE_ERROR)
        integer::raise_bad_to_arg(type, text);
    lexer::scan_string(&loaded, text, -1, {}, nullptr, nullptr);
    if (block::length_from_head(&loaded) == 0) integer::raise_bad_to_arg(type, text);
    const Cell* first = block::rs_abs_at(&loaded, series_index(&loaded));
    if (cell_type(first) != type) integer::raise_bad_to_arg(type, text);
    return coordinates_of(first, axes);
}

Coordinates from_spec(const Cell* spec_value, uint32_t axes) {
    uint32_t spec_type = cell_type(spec_value);
    if (is_any_list(spec_type)) return from_block(spec_value, axes);
    if (is_any_string(spec_type)) return from_text(spec_value, axes);
    switch (spec_type) {
    case TYPE_INTEGER: {
        float n = float(integer::get(spec_value));
        return {n, n, axes == 3 ? n : 0.0f};
    }
    case TYPE_FLOAT: {
        float n = float(float_::get(spec_value));
        return {n, n, axes == 3 ? n : 0.0f};
    }
    case TYPE_PAIR: return {float(pair::x(spec_value)), float(pair::y(spec_value)), 0.0f};
    case TYPE_POINT2D: return coordinates_of(spec_value, 2);
    case TYPE_POINT3D:
        if (axes == 3) return coordinates_of(spec_value, 3);
        break;
    default: break;
    }
    integer::raise_bad_to_arg(type_of(axes), spec_value);
}

template <uint32_t axes>
Cell* make(Cell* result, const Cell* spec_value, uint32_t) {
    return write_coordinates(result, axes, from_spec(spec_value, axes));
}

// ---------------------------------------------------------------- random

// Seeding hashes the coordinates' bytes; otherwise every coordinate but 0.0
// is scaled by a fraction from 0 to 1.
template <uint32_t axes>
Cell* random_point(Cell* value, bool seed, bool secure, bool) {
    Coordinates c = coordinates_of(value, axes);
    if (seed) {
        random::seed(int32_t(murmur::murmur3(c.data(), axes * sizeof(float))));
        return set_type(value, TYPE_UNSET);
    }
    for (uint32_t i = 0; i < axes; i++)
        if (c[i] != 0.0f) c[i] = float(double(c[i]) * random::fraction(secure));
    return write_coordinates(value, axes, c);
}

// ---------------------------------------------------------------- arithmetic

// The float kernel on one pair of coordinates, widened to float64.
float combine(float a, double b, int32_t op) {
    Cell left = float_::cell(double(a));
    Cell right = float_::cell(b);
    return float(float_::get(float_::math_op(&left, &right, op)));
}

// Scaling by a float! or percent! happens in float32 itself.
Cell* scale_point(Cell* point, uint32_t axes, float g, int32_t op) {
    Coordinates c = coordinates_of(point, axes);
    for (uint32_t i = 0; i < axes; i++) c[i] = op == integer::OP_MULTIPLY ? c[i] * g : c[i] / g;
    return write_coordinates(point, axes, c);
}

// The right-hand coordinates a value gives, or invalid-type.
Coordinates right_operand(const Cell* value, uint32_t axes) {
    uint32_t type = cell_type(value);
    switch (type) {
    case TYPE_INTEGER: {
        float n = float(integer::get(value));
        return {n, n, n};
    }
    case TYPE_PAIR:
        if (axes == 2) return {float(pair::x(value)), float(pair::y(value)), 0.0f};
        break;
    case TYPE_POINT2D:
    case TYPE_POINT3D:
        if (type == type_of(axes)) return coordinates_of(value, axes);
        break;
    default: break;
    }
    integer::raise_invalid_type(type);
}

Cell* point_math(Cell* point, const Cell* value, int32_t op, uint32_t axes) {
    uint32_t type = cell_type(value);
    if (type == TYPE_FLOAT || type == TYPE_PERCENT) {
        float g = float(float_::get(value));
        if (op == integer::OP_MULTIPLY || op == integer::OP_DIVIDE) return scale_point(point, axes, g, op);
        Coordinates c = coordinates_of(point, axes);
        for (uint32_t i = 0; i < axes; i++) c[i] = combine(c[i], double(g), op);
        return write_coordinates(point, axes, c);
    }
    Coordinates b = right_operand(value, axes);
    Coordinates c = coordinates_of(point, axes);
    for (uint32_t i = 0; i < axes; i++) c[i] = combine(c[i], double(b[i]), op);
    return write_coordinates(point, axes, c);
}

template <uint32_t axes, int32_t op>
Cell* arithmetic(Cell* value1, Cell* value2) {
    return point_math(value1, value2, op, axes);
}

template <uint32_t axes>
Cell* absolute(Cell* value) {
    Coordinates c = coordinates_of(value, axes);
    for (uint32_t i = 0; i < axes; i++) c[i] = std::fabs(c[i]);
    return write_coordinates(value, axes, c);
}

// Subtracting from +0.0 keeps a zero coordinate +0.0.
template <uint32_t axes>
Cell* negate(Cell* value) {
    Coordinates c = coordinates_of(value, axes);
    for (uint32_t i = 0; i < axes; i++) c[i] = 0.0f - c[i];
    return write_coordinates(value, axes, c);
}

// ---------------------------------------------------------------- round

// The scale for each coordinate: a pair! (point2D! only) or a point gives
// one per coordinate, anything else serves them all.
std::array<Cell, 3> scales_of(const Cell* scale, uint32_t axes) {
    std::array<Cell, 3> scales{*scale, *scale, *scale};
    uint32_t type = cell_type(scale);
    if (type == TYPE_PAIR && axes == 2) {
        integer::make_at(&scales[0], pair::x(scale));
        integer::make_at(&scales[1], pair::y(scale));
    } else if (type == TYPE_POINT2D || type == TYPE_POINT3D) {
        Coordinates c = coordinates_of(scale, type == TYPE_POINT3D ? 3 : 2);
        for (uint32_t i = 0; i < 3; i++) float_::make_at(&scales[i], double(c[i]));
    }
    return scales;
}

// Each coordinate rounded as a float! with the same refinements; a result
// that the scale made an integer! goes back as its float.
template <uint32_t axes>
Cell* round(Cell* value, const actions::RoundArgs& args) {
    if (args.scale != nullptr && cell_type(args.scale) == TYPE_MONEY)
        integer::raise_not_related(stack::current_function_word(), TYPE_MONEY);
    auto round_float = reinterpret_cast<actions::RoundFn>(registry::action(TYPE_FLOAT, registry::SLOT_ROUND));
    std::array<Cell, 3> scales{};
    if (args.scale != nullptr) scales = scales_of(args.scale, axes);
    Coordinates c = coordinates_of(value, axes);
    for (uint32_t i = 0; i < axes; i++) {
        Cell coordinate = float_::cell(double(c[i]));
        actions::RoundArgs each{.scale = args.scale != nullptr ? &scales[i] : nullptr, .mode = args.mode};
        Cell* rounded = round_float(&coordinate, each);
        c[i] = cell_type(rounded) == TYPE_INTEGER ? float(integer::get(rounded)) : float(float_::get(rounded));
    }
    return write_coordinates(value, axes, c);
}

// ---------------------------------------------------------------- paths and pick

constexpr fixed_words::Sym AXIS_WORDS[] = {fixed_words::Sym::x, fixed_words::Sym::y, fixed_words::Sym::z};

// The coordinate (1-based) a word names, or 0.
uint32_t axis_of_word(const Cell* word, uint32_t axes) {
    uint32_t symbol_id = symbol::resolve(word::symbol(word));
    for (uint32_t i = 0; i < axes; i++)
        if (symbol_id == symbol::resolve(fixed_words::symbol(AXIS_WORDS[i]))) return i + 1;
    return 0;
}

uint32_t axis_of_element(const Cell* element, const Cell* path, uint32_t axes) {
    uint32_t axis = 0;
    if (cell_type(element) == TYPE_INTEGER) {
        int32_t n = integer::get(element);
        if (n >= 1 && uint32_t(n) <= axes) axis = uint32_t(n);
    } else if (cell_type(element) == TYPE_WORD) {
        axis = axis_of_word(element, axes);
    }
    if (axis == 0) fire(err::script::invalid_path, path ? path : element, element);
    return axis;
}

// Reads a coordinate, or sets it in the walker's copy of the point (which
// the walker stores back into its holder) and answers the value set.
template <uint32_t axes>
Cell* eval_path(Cell* parent, const Cell* element, const actions::PathArgs& args) {
    uint32_t axis = axis_of_element(element, args.path, axes);
    Coordinates c = coordinates_of(parent, axes);
    if (args.value == nullptr) return float_::push(double(c[axis - 1]));
    switch (cell_type(args.value)) {
    case TYPE_INTEGER: c[axis - 1] = float(integer::get(args.value)); break;
    case TYPE_FLOAT: c[axis - 1] = float(float_::get(args.value)); break;
    default: integer::raise_invalid_type(cell_type(args.value));
    }
    write_coordinates(parent, axes, c);
    return const_cast<Cell*>(args.value);
}

// A coordinate by number or word: another number raises out-of-range, an
// unknown word cannot-use.
template <uint32_t axes>
Cell* pick(Cell* point, int32_t, const Cell* index) {
    uint32_t axis = 0;
    if (cell_type(index) == TYPE_INTEGER) {
        int32_t n = integer::get(index);
        if (n < 1 || uint32_t(n) > axes) fire(err::script::out_of_range, index);
        axis = uint32_t(n);
    } else if (cell_type(index) == TYPE_WORD) {
        axis = axis_of_word(index, axes);
        if (axis == 0) fire(err::script::cannot_use, index, point);
    } else {
        fire(err::script::invalid_arg, index);
    }
    return float_::push(double(coordinates_of(point, axes)[axis - 1]));
}

// A point2D! swaps x and y, a point3D! x and z.
template <uint32_t axes>
void reverse(Cell* point, const Cell*, const Cell*) {
    Coordinates c = coordinates_of(point, axes);
    std::swap(c[0], c[axes - 1]);
    write_coordinates(point, axes, c);
}

}  // namespace

namespace point2d {

Cell* make_at(Cell* cell, float x, float y) { return write_point(cell, TYPE_POINT2D, x, y, 0); }
Cell* make_in(const Cell* block, float x, float y) { return new_point(block::alloc_tail(block), TYPE_POINT2D, x, y, 0); }
Cell* push(float x, float y) { return new_point(stack::push_cell(), TYPE_POINT2D, x, y, 0); }
Cell* math_op(Cell* point, const Cell* value, int32_t op) { return point_math(point, value, op, 2); }

namespace {

// (x, y), each coordinate with at most 7 significant digits and no ".0" on
// a whole number; mold gives the same text.
void form(const Cell* value, text::Sink& out) { form_point(value, 2, out); }

void mold(const Cell* value, text::Sink& out, bool) { form_point(value, 2, out); }

// Equality under the float32 near-equality, strict equality exact, sameness
// by bit patterns, ordering by x, then y. A pair! compares as the point it
// makes; another datatype is not comparable.
int32_t compare(const Cell* value1, const Cell* value2, int32_t op) {
    Coordinates other;
    switch (cell_type(value2)) {
    case TYPE_POINT2D: other = coordinates_of(value2, 2); break;
    case TYPE_PAIR: other = {float(pair::x(value2)), float(pair::y(value2)), 0.0f}; break;
    default: return -2;
    }
    return compare_points(coordinates_of(value1, 2), other, 2, op);
}

}  // namespace

void init() {
    using namespace registry;
    register_type(TYPE_POINT2D, Row()
        .set<SLOT_MAKE>(make<2>)
        .set<SLOT_RANDOM>(random_point<2>)
        .set<SLOT_TO>(make<2>)
        .set<SLOT_FORM>(form)
        .set<SLOT_MOLD>(mold)
        .set<SLOT_EVAL_PATH>(eval_path<2>)
        .set<SLOT_COMPARE>(compare)
        .set<SLOT_ABSOLUTE>(absolute<2>)
        .set<SLOT_ADD>(arithmetic<2, integer::OP_ADD>)
        .set<SLOT_DIVIDE>(arithmetic<2, integer::OP_DIVIDE>)
        .set<SLOT_MULTIPLY>(arithmetic<2, integer::OP_MULTIPLY>)
        .set<SLOT_NEGATE>(negate<2>)
        .set<SLOT_REMAINDER>(arithmetic<2, integer::OP_REMAINDER>)
        .set<SLOT_ROUND>(round<2>)
        .set<SLOT_SUBTRACT>(arithmetic<2, integer::OP_SUBTRACT>)
        .set<SLOT_PICK>(pick<2>)
        .set<SLOT_REVERSE>(reverse<2>));
}

}  // namespace point2d

namespace point3d {

Cell* make_at(Cell* cell, float x, float y, float z) { return write_point(cell, TYPE_POINT3D, x, y, z); }
Cell* make_in(const Cell* block, float x, float y, float z) {
    return new_point(block::alloc_tail(block), TYPE_POINT3D, x, y, z);
}
Cell* push(float x, float y, float z) { return new_point(stack::push_cell(), TYPE_POINT3D, x, y, z); }
Cell* math_op(Cell* point, const Cell* value, int32_t op) { return point_math(point, value, op, 3); }

namespace {

// (x, y, z).
void form(const Cell* value, text::Sink& out) { form_point(value, 3, out); }

void mold(const Cell* value, text::Sink& out, bool) { form_point(value, 3, out); }

// As point2D!'s, extended to z; only a point3D! is comparable.
int32_t compare(const Cell* value1, const Cell* value2, int32_t op) {
    if (cell_type(value2) != TYPE_POINT3D) return -2;
    return compare_points(coordinates_of(value1, 3), coordinates_of(value2, 3), 3, op);
}

}  // namespace

void init() {
    using namespace registry;
    register_type(TYPE_POINT3D, Row()
        .set<SLOT_MAKE>(make<3>)
        .set<SLOT_RANDOM>(random_point<3>)
        .set<SLOT_TO>(make<3>)
        .set<SLOT_FORM>(form)
        .set<SLOT_MOLD>(mold)
        .set<SLOT_EVAL_PATH>(eval_path<3>)
        .set<SLOT_COMPARE>(compare)
        .set<SLOT_ABSOLUTE>(absolute<3>)
        .set<SLOT_ADD>(arithmetic<3, integer::OP_ADD>)
        .set<SLOT_DIVIDE>(arithmetic<3, integer::OP_DIVIDE>)
        .set<SLOT_MULTIPLY>(arithmetic<3, integer::OP_MULTIPLY>)
        .set<SLOT_NEGATE>(negate<3>)
        .set<SLOT_REMAINDER>(arithmetic<3, integer::OP_REMAINDER>)
        .set<SLOT_ROUND>(round<3>)
        .set<SLOT_SUBTRACT>(arithmetic<3, integer::OP_SUBTRACT>)
        .set<SLOT_PICK>(pick<3>)
        .set<SLOT_REVERSE>(reverse<3>));
}

}  // namespace point3d

}  // namespace vek
