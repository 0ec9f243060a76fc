#include "runtime/datatypes/callable/op.h"

#include "runtime/actions/dispatch.h"
#include "runtime/core/fixed_words.h"
#include "runtime/core/raise.h"
#include "runtime/core/registry.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/callable/callable.h"
#include "runtime/datatypes/callable/native.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/eval/evaluator.h"

namespace vek::op {

namespace {

bool holds_source_copy(uint32_t type) { return type == TYPE_FUNCTION || type == TYPE_ROUTINE; }

bool is_refinement(const Cell* value, fixed_words::Ref name) {
    return symbol::resolve(word::symbol(value)) == symbol::resolve(word::symbol(fixed_words::refinement(name)));
}

}  // namespace

Cell* unwrap(const Cell* op, Cell* out) {
    uint32_t source = source_type(op);
    if (holds_source_copy(source)) return copy_cell(callable::internal(op) + INTERNAL_SOURCE, out);
    *out = *op;
    out->header = source;
    return out;
}

bool valid_spec(Node spec_value) {
    SeriesBuffer* buffer = node_buffer(spec_value);
    uint32_t count = 0;
    bool plain_seen = false;
    for (const Cell* value = buffer->cells(); value < buffer->cells_tail(); value++) {
        switch (cell_type(value)) {
        case TYPE_WORD:
            plain_seen = true;
            count++;
            break;
        case TYPE_LIT_WORD:
        case TYPE_GET_WORD:
            if (!plain_seen) return false;
            count++;
            break;
        case TYPE_REFINEMENT:
            return count == 2 && (is_refinement(value, fixed_words::Ref::local) ||
                                  is_refinement(value, fixed_words::Ref::extern_));
        case TYPE_SET_WORD:
            return count == 2;
        default:
            break;
        }
    }
    return count == 2;
}

Cell* make_from(Cell* result, const Cell* source) {
    uint32_t type = cell_type(source);
    if (!is_callable(type)) {
        Cell datatype = datatype::cell(type);
        fire(err::script::invalid_type, &datatype);
    }
    if (!valid_spec(callable::spec_node(source))) fire(err::script::bad_op_spec);
    Cell made = *source;
    if (holds_source_copy(type)) callable::internal(source)[INTERNAL_SOURCE] = *source;
    made.header = TYPE_OP | (type << SOURCE_SHIFT);
    set_inline_tag(&made, eval::inline_tag_for(source));
    *result = made;
    return result;
}

Cell* push(const Cell* source) {
    Cell made;
    make_from(&made, source);
    return stack::push(&made);
}

namespace {

// make op! source.
Cell* make(Cell* result, const Cell* spec_value, uint32_t) { return make_from(result, spec_value); }

// form: "?op?". mold: "make op! ", then "func " and the molded spec and body
// for a function! source, else "[" the molded spec "]". compare as
// native!'s, among op! values.
void form(const Cell*, text::Sink& out) { out.append("?op?"); }

void mold(const Cell* value, text::Sink& out, bool only) {
    if (source_type(value) != TYPE_FUNCTION) {
        native::mold_made("make op! [", value, out, only);
        return;
    }
    out.append("make op! ");
    Cell function;
    unwrap(value, &function);
    actions::mold(&function, out, only);
}

int32_t compare(const Cell* value1, const Cell* value2, int32_t op) {
    return native::compare_positions(value1, value2, op);
}

}  // namespace

void init() {
    using namespace registry;
    register_type(TYPE_OP, Row()
        .set<SLOT_MAKE>(make)
        .inherit<SLOT_REFLECT>()
        .set<SLOT_FORM>(form)
        .set<SLOT_MOLD>(mold)
        .set<SLOT_COMPARE>(compare));
}

}  // namespace vek::op
