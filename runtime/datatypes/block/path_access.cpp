#include "runtime/datatypes/block/internal.h"

#include "runtime/actions/dispatch.h"
#include "runtime/core/raise.h"
#include "runtime/datatypes/block/array.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/number/integer.h"

namespace vek::block {

namespace {

// Whether the element is in the block; position receives the block moved to
// the match. only: the element is one value even when it is a block.
bool found(const Cell* block, const Cell* element, bool only, bool case_sensitive, Cell* position) {
    *position = *block;
    Cell* hit = find(position, element, {.only = only, .case_sensitive = case_sensitive});
    return cell_type(hit) != TYPE_NONE;
}

// The cell after the first one equal to the element, or none.
Cell* select_single(const Cell* block, const Cell* element, bool case_sensitive) {
    Cell position{};
    if (!found(block, element, true, case_sensitive, &position)) return &none::constant;
    uint32_t next = series_index(&position) + 1;
    SeriesBuffer* buffer = series_buffer(&position);
    return next < buffer->length() ? buffer->cells() + next : &none::constant;
}

Cell* get(Cell* parent, const Cell* element, bool case_sensitive) {
    Cell block = *parent;
    if (cell_type(element) == TYPE_INTEGER) return actions::pick(&block, element);
    if (cell_type(element) == TYPE_WORD && cell_type(&block) != TYPE_HASH)
        return const_cast<Cell*>(select_word(&block, element, case_sensitive));
    return select_single(&block, element, case_sensitive);
}

Cell* set(Cell* parent, const Cell* element, const Cell* value, const Cell* path, bool case_sensitive) {
    Cell block = *parent;
    Cell* stored = const_cast<Cell*>(value);  // poke only reads it
    if (cell_type(element) == TYPE_INTEGER)
        return actions::poke(&block, element, stored);
    Cell position{};
    if (!found(&block, element, false, case_sensitive, &position))
        fire(err::script::bad_path_set, path ? path : &none::constant, element);
    // Into the cell after the key: index 2 from the key.
    Cell after{};
    integer::make_at(&after, 2);
    return actions::poke(&position, &after, stored);
}

}  // namespace

Cell* eval_path(Cell* parent, const Cell* element, const actions::PathArgs& args) {
    if (args.value) return set(parent, element, args.value, args.path, args.case_sensitive);
    return get(parent, element, args.case_sensitive);
}

}  // namespace vek::block
