#include "runtime/datatypes/block/path.h"

#include "runtime/actions/dispatch.h"
#include "runtime/core/raise.h"
#include "runtime/core/registry.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/tables/cycles.h"

namespace vek {

namespace {

Cell* push_as(Cell* block, uint32_t type) { return stack::push(set_type(block, type)); }

// The capacity a number spec asks for; floats and percents are truncated.
int32_t capacity_of(const Cell* spec_value) {
    Cell number = *spec_value;
    if (cell_type(&number) == TYPE_PERCENT) set_type(&number, TYPE_FLOAT);
    return integer::from_number_arg(&number);
}

// Forms or molds the steps. Steps are molded at indentation level 0: a path
// never breaks across lines.
void write_steps(const Cell* value, text::Sink& out, bool molding, bool only) {
    if (cycles::detect(value, out, molding)) return;
    Node node = series_node(value);
    cycles::Scope guard(node);
    text::Layout steps(out, 0);
    for (uint32_t i = series_index(value); i < node_buffer(node)->length(); i++) {
        Cell step = node_buffer(node)->cells()[i];
        if (molding)
            actions::mold(&step, out, only);
        else
            actions::form(&step, out);
        if (out.used_up()) break;
        if (i + 1 < node_buffer(node)->length()) out.append("/");
    }
}

// Registers lit-path!, set-path! and get-path!; defined after their molds.
void register_kinds();

}  // namespace

namespace path {

Cell* push(Cell* block) { return push_as(block, TYPE_PATH); }

Cell* make_at(Cell* cell, int32_t capacity) { return set_type(block::make_at(cell, capacity), TYPE_PATH); }

namespace {

// make: a block-like spec is copied shallowly; an integer!, float! or
// percent! (truncated) gives an empty path of that capacity (below 1 gives
// 1); anything else raises script bad-make-arg. to: an object!, typeset! or
// map! becomes the one step of a new path; anything else converts as to
// block! does. Both write the result cell, with the type asked for.
Cell* make(Cell* result, const Cell* spec_value, uint32_t type) {
    uint32_t spec_type = cell_type(spec_value);
    if (is_any_block(spec_type)) return block::convert(result, spec_value, type);
    if (is_number(spec_type)) {
        int32_t capacity = capacity_of(spec_value);
        return set_type(block::make_at(make_unset(result), capacity), type);
    }
    Cell datatype = datatype::cell(type);
    fire(err::script::bad_make_arg, &datatype, spec_value);
}

Cell* to(Cell* result, const Cell* spec_value, uint32_t type) {
    uint32_t spec_type = cell_type(spec_value);
    if (spec_type == TYPE_OBJECT || spec_type == TYPE_TYPESET || spec_type == TYPE_MAP)
        return block::holding(result, spec_value, type);
    return block::convert(result, spec_value, type);
}

// The steps from the head joined by "/", whatever their new-line flags; a
// path being written already gives "...".
void form(const Cell* value, text::Sink& out) { write_steps(value, out, false, false); }

void mold(const Cell* value, text::Sink& out, bool only) { write_steps(value, out, true, only); }

}  // namespace

void init() {
    using namespace registry;
    // path!: its own make, to, form and mold; copy is block!'s (inherited);
    // random, sort and trim make no sense for a path.
    register_type(TYPE_PATH, Row::inheriting()
        .set<SLOT_MAKE>(make)
        .omit<SLOT_RANDOM>()
        .set<SLOT_TO>(to)
        .set<SLOT_FORM>(form)
        .set<SLOT_MOLD>(mold)
        .omit<SLOT_SORT>()
        .omit<SLOT_TRIM>());
    register_kinds();
}

}  // namespace path

namespace lit_path {

Cell* push(Cell* block) { return push_as(block, TYPE_LIT_PATH); }

namespace {

void mold(const Cell* value, text::Sink& out, bool only) {
    out.append("'");
    path::mold(value, out, only);
}

}  // namespace

}  // namespace lit_path

namespace get_path {

Cell* push(Cell* block) { return push_as(block, TYPE_GET_PATH); }

namespace {

void mold(const Cell* value, text::Sink& out, bool only) {
    out.append(":");
    path::mold(value, out, only);
}

}  // namespace

}  // namespace get_path

namespace set_path {

Cell* push(Cell* block) { return push_as(block, TYPE_SET_PATH); }

namespace {

void mold(const Cell* value, text::Sink& out, bool only) {
    path::mold(value, out, only);
    out.append(":");
}

}  // namespace

}  // namespace set_path

namespace {

// The path kinds take everything from path! but their mold, which adds their
// mark.
void register_kinds() {
    using namespace registry;
    register_type(TYPE_LIT_PATH, Row::inheriting().set<SLOT_MOLD>(lit_path::mold));
    register_type(TYPE_SET_PATH, Row::inheriting().set<SLOT_MOLD>(set_path::mold));
    register_type(TYPE_GET_PATH, Row::inheriting().set<SLOT_MOLD>(get_path::mold));
}

}  // namespace

}  // namespace vek
