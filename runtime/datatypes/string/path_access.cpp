#include "runtime/datatypes/string/internal.h"

#include "runtime/actions/dispatch.h"
#include "runtime/core/raise.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/number/integer.h"

namespace vek::string {

namespace {

// A read's answer goes into the parent cell, whose string has been read.
Cell* answered(Cell* parent, const Cell* value) {
    *parent = *value;
    return parent;
}

[[noreturn]] void fire_path_error(err::Id<Category::script> id, const Cell* path, const Cell* element) {
    fire(id, path ? path : &none::constant, element);
}

Cell* get(Cell* parent, const Cell* element, const Cell* path, bool case_sensitive) {
    Cell string = *parent;  // pick and select write their answer into it
    if (cell_type(element) == TYPE_INTEGER) return answered(parent, actions::pick(&string, element));
    if (cell_type(element) == TYPE_WORD) fire_path_error(err::script::invalid_path, path, element);
    return answered(parent, actions::select(&string, element, {.case_sensitive = case_sensitive}));
}

Cell* set(const Cell* parent, const Cell* element, const Cell* value, const Cell* path, bool case_sensitive) {
    Cell string = *parent;
    Cell* stored = const_cast<Cell*>(value);  // poke only reads it
    if (cell_type(element) == TYPE_INTEGER) return actions::poke(&string, element, stored);
    if (cell_type(element) == TYPE_WORD) fire_path_error(err::script::invalid_path, path, element);
    Cell position = *actions::find(&string, element, {.case_sensitive = case_sensitive});
    if (cell_type(&position) == TYPE_NONE) fire_path_error(err::script::bad_path_set, path, element);
    // Into the code point after the found text's first one: index 2 from it.
    Cell second{};
    integer::make_at(&second, 2);
    return actions::poke(&position, &second, stored);
}

}  // namespace

Cell* eval_path(Cell* parent, const Cell* element, const actions::PathArgs& args) {
    if (args.value) return set(parent, element, args.value, args.path, args.case_sensitive);
    return get(parent, element, args.path, args.case_sensitive);
}

}  // namespace vek::string
