#include "runtime/datatypes/string/internal.h"

#include "runtime/actions/dispatch.h"
#include "runtime/core/raise.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/number/integer.h"

namespace vek::string {

namespace {

// What a read answers. It only ever holds a scalar, so the collector need
// not see it.
Cell answer{};

Cell* answered(const Cell* value) {
    answer = *value;
    return &answer;
}

[[noreturn]] void fire_path_error(uint32_t id, const Cell* path, const Cell* element) {
    fire(Category::script, id, path ? path : &none::constant, element);
}

Cell* get(const Cell* parent, const Cell* element, const Cell* path, bool case_sensitive) {
    Cell string = *parent;  // pick and select write their answer into it
    if (cell_type(element) == TYPE_INTEGER) return answered(actions::pick(&string, element));
    if (cell_type(element) == TYPE_WORD) fire_path_error(err::invalid_path, path, element);
    return answered(actions::select(&string, element, nullptr, false, case_sensitive, false, false, nullptr,
                                    nullptr, false, false));
}

Cell* set(const Cell* parent, const Cell* element, const Cell* value, const Cell* path, bool case_sensitive) {
    Cell string = *parent;
    Cell* stored = const_cast<Cell*>(value);  // poke only reads it
    if (cell_type(element) == TYPE_INTEGER) return actions::poke(&string, element, stored);
    if (cell_type(element) == TYPE_WORD) fire_path_error(err::invalid_path, path, element);
    Cell position = *actions::find(&string, element, nullptr, false, case_sensitive, false, false, nullptr,
                                   nullptr, false, false, false, false);
    if (cell_type(&position) == TYPE_NONE) fire_path_error(err::bad_path_set, path, element);
    // Into the code point after the found text's first one: index 2 from it.
    Cell second{};
    integer::make_at(&second, 2);
    return actions::poke(&position, &second, stored);
}

}  // namespace

Cell* eval_path(Cell* parent, const Cell* element, const Cell* value, const Cell* path, const Cell*,
                const Cell*, int32_t, bool case_sensitive, bool, bool, bool) {
    if (value) return set(parent, element, value, path, case_sensitive);
    return get(parent, element, path, case_sensitive);
}

}  // namespace vek::string
