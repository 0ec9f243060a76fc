// email!: its text molds undecorated, as it forms; the paths user and host
// read and replace the parts before and after the first "@".
#include "runtime/datatypes/string/email.h"

#include <algorithm>

#include "runtime/actions/dispatch.h"
#include "runtime/core/fixed_words.h"
#include "runtime/core/raise.h"
#include "runtime/core/registry.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/string/buffer.h"
#include "runtime/datatypes/string/internal.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/datatypes/word/word.h"

namespace vek::email {

Cell* push(const Cell* value) { return stack::push(value); }

namespace {

// The plain text (form and mold alike).
void mold(const Cell* value, text::Sink& out, bool) { string::form_text(value, out); }

// ---------------------------------------------------------------- user and host

// A part of the text from the head: start and count in code units.
struct Range {
    uint32_t start;
    uint32_t count;
};

bool is_field(const Cell* element, fixed_words::Sym field) {
    return symbol::resolve(word::symbol(element)) == symbol::resolve(fixed_words::symbol(field));
}

// The user part lies before the first "@", the host part after it; without
// "@" the user part is the whole text and the host part empty.
Range field_range(Cell* email, bool user) {
    uint32_t length = string::rs_length(email);
    int32_t found = string::find_char(email, '@');
    uint32_t at = found < 0 ? length : uint32_t(found);
    if (user) return {0, at};
    uint32_t after = std::min(at + 1, length);
    return {after, length - after};
}

// A new string! of the range, written into the parent.
Cell* get_field(Cell* parent, const Range& range) {
    uint32_t head = series_index(parent);
    Node copy = series::copy_part(series_node(parent), head + range.start, range.count);
    *parent = series_cell(TYPE_STRING, copy);
    return parent;
}

// The range of the email itself replaced by the value, in place.
Cell* set_field(const Cell* parent, const Range& range, const Cell* value) {
    Cell position = *parent;
    set_series_index(&position, series_index(parent) + range.start);
    Cell count{};
    integer::make_at(&count, int32_t(range.count));
    Cell stored = *value;
    actions::change(&position, &stored, &count, false, nullptr);
    return const_cast<Cell*>(value);  // the answer of a set is the value set
}

// mail/user, mail/host, their set forms, and an index as a string takes it.
Cell* eval_path(Cell* parent, const Cell* element, const actions::PathArgs& args) {
    if (cell_type(element) == TYPE_INTEGER)
        return string::eval_path(parent, element, args);
    bool user = cell_type(element) == TYPE_WORD && is_field(element, fixed_words::Sym::user);
    bool host = cell_type(element) == TYPE_WORD && is_field(element, fixed_words::Sym::host);
    if (!user && !host) fire(err::script::invalid_path, args.path ? args.path : &none::constant, element);
    Range range = field_range(parent, user);
    if (args.value) return set_field(parent, range, args.value);
    return get_field(parent, range);
}

}  // namespace

void init() {
    using namespace registry;
    register_type(TYPE_EMAIL, Row()
        .inherit<SLOT_MAKE>()
        .inherit<SLOT_REFLECT>()
        .inherit<SLOT_TO>()
        .inherit<SLOT_FORM>()
        .set<SLOT_MOLD>(mold)
        .set<SLOT_EVAL_PATH>(eval_path)
        .inherit<SLOT_COMPARE>()
        .inherit_range<SLOT_APPEND, SLOT_SELECT>()  // all but sort
        .inherit_range<SLOT_SKIP, SLOT_TAKE>()
        .inherit<SLOT_MODIFY>());
}

}  // namespace vek::email
