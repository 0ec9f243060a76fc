#include "runtime/datatypes/compound/pair.h"

#include <cstdio>

#include "runtime/actions/dispatch.h"
#include "runtime/core/datatype.h"
#include "runtime/datatypes/compound/point.h"
#include "runtime/eval/stack.h"
#include "runtime/memory/series.h"

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

// 10x20, -1x-2; mold gives the same text.
void form(const Cell* value, text::Sink& out) {
    char text[32];
    int length = std::snprintf(text, sizeof text, "%dx%d", x(value), y(value));
    out.append(text, uint32_t(length));
}

void mold(const Cell* value, text::Sink& out, bool) { form(value, out); }

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

}  // namespace

void init() {
    using namespace datatype;
    register_type(TYPE_PAIR, Row()
        .set<SLOT_FORM>(form)
        .set<SLOT_MOLD>(mold)
        .set<SLOT_COMPARE>(compare));
}

}  // namespace vek::pair
