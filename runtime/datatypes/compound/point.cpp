#include "runtime/datatypes/compound/point.h"

#include <array>

#include "runtime/actions/dispatch.h"
#include "runtime/core/datatype.h"
#include "runtime/datatypes/compound/pair.h"
#include "runtime/datatypes/number/float.h"
#include "runtime/eval/stack.h"
#include "runtime/memory/series.h"
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
        out.append(float_::format(c[i], float_::FORMAT_COORDINATE).c_str());
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

}  // namespace

namespace point2d {

Cell* make_at(Cell* cell, float x, float y) { return write_point(cell, TYPE_POINT2D, x, y, 0); }
Cell* make_in(const Cell* block, float x, float y) { return new_point(block::alloc_tail(block), TYPE_POINT2D, x, y, 0); }
Cell* push(float x, float y) { return new_point(stack::push_cell(), TYPE_POINT2D, x, y, 0); }

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
    using namespace datatype;
    register_type(TYPE_POINT2D, Row()
        .set<SLOT_FORM>(form)
        .set<SLOT_MOLD>(mold)
        .set<SLOT_COMPARE>(compare));
}

}  // namespace point2d

namespace point3d {

Cell* make_at(Cell* cell, float x, float y, float z) { return write_point(cell, TYPE_POINT3D, x, y, z); }
Cell* make_in(const Cell* block, float x, float y, float z) {
    return new_point(block::alloc_tail(block), TYPE_POINT3D, x, y, z);
}
Cell* push(float x, float y, float z) { return new_point(stack::push_cell(), TYPE_POINT3D, x, y, z); }

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
    using namespace datatype;
    register_type(TYPE_POINT3D, Row()
        .set<SLOT_FORM>(form)
        .set<SLOT_MOLD>(mold)
        .set<SLOT_COMPARE>(compare));
}

}  // namespace point3d

}  // namespace vek
