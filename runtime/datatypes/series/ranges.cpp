#include "runtime/datatypes/series/ranges.h"

#include "runtime/core/raise.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/memory/series.h"

namespace vek::series {

namespace {

int64_t floor_div(int64_t a, int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

}  // namespace

void bad_refine_arg(fixed_words::Ref refinement, const Cell* value) {
    fire(err::script::invalid_refine_arg, fixed_words::refinement(refinement), value);
}

bool same_series(const Cell* series, const Cell* other) {
    return cell_type(other) == cell_type(series) && series_node(other) == series_node(series);
}

int64_t part_count(const Cell* series, const Cell* part) {
    if (cell_type(part) == TYPE_INTEGER) return integer::get(part);
    if (same_series(series, part)) return int64_t(series_index(part)) - int64_t(series_index(series));
    bad_refine_arg(fixed_words::Ref::part, part);
}

uint32_t search_step(const Cell* skip) {
    if (skip == nullptr) return 1;
    if (cell_type(skip) != TYPE_INTEGER) bad_refine_arg(fixed_words::Ref::skip, skip);
    auto size = integer::get(skip);
    if (size < 1) fire(err::script::out_of_range, skip);
    return uint32_t(size);
}

int64_t backward_start(int64_t head, int64_t end, uint32_t need, uint32_t step) {
    return head + floor_div(end - need - head, step) * step;
}

uint32_t set_record_size(const Cell* skip) {
    if (skip == nullptr) return 1;
    if (cell_type(skip) != TYPE_INTEGER || integer::get(skip) < 1) bad_refine_arg(fixed_words::Ref::skip, skip);
    return uint32_t(integer::get(skip));
}

uint32_t clamped_head(Cell* series) {
    uint32_t length = series_buffer(series)->length();
    if (series_index(series) > length) set_series_index(series, length);
    return series_index(series);
}

bool both_have_heads(Cell* series1, Cell* series2) {
    return clamped_head(series1) < series_buffer(series1)->length() &&
           clamped_head(series2) < series_buffer(series2)->length();
}

}  // namespace vek::series
