// handle!: constructors, text forms and comparison.
#include "runtime/datatypes/handle.h"

#include <array>

#include "runtime/actions/dispatch.h"
#include "runtime/core/registry.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/block/array.h"
#include "runtime/datatypes/string/buffer.h"

namespace vek::handle {

namespace {

// By kind; the null kind is written without a name.
constexpr std::array<const char*, 6> KIND_NAMES = {nullptr, "fd", "monitor", "window", "font", "rich-text"};

}  // namespace

Cell* make_at(Cell* cell, int32_t value, Kind kind) {
    *cell = handle::cell(kind, value);
    return cell;
}

Cell* box(int32_t value, Kind kind) { return make_at(stack::arguments, value, kind); }

Cell* make_in(const Cell* block, int32_t value, Kind kind) { return make_at(block::alloc_tail(block), value, kind); }

Cell* push(int32_t value, Kind kind) { return make_at(stack::push_cell(), value, kind); }

Cell* push_null() { return push(0, Kind::null); }

namespace {

// Eight hexadecimal digits and "h": 000000FFh.
void form(const Cell* handle, text::Sink& out) {
    out.append(string::int_to_hex(value(handle), false).c_str());
    out.append("h");
}

// handle! alone; with /all the value and the kind: #[handle! 000000FFh window].
void mold(const Cell* handle, text::Sink& out, bool) {
    if (!out.all) {
        out.append("handle!");
        return;
    }
    out.append("#[handle! ");
    form(handle, out);
    auto k = uint32_t(kind(handle));
    if (k > 0 && k < KIND_NAMES.size()) {
        out.append(" ");
        out.append(KIND_NAMES[k]);
    }
    out.append("]");
}

// By value alone, whatever the kinds; any other value is unequal, never
// incomparable.
int32_t compare(const Cell* value1, const Cell* value2, int32_t) {
    if (cell_type(value2) != TYPE_HANDLE) return 1;
    int32_t a = value(value1), b = value(value2);
    return a < b ? -1 : a > b ? 1 : 0;
}

}  // namespace

void init() {
    using namespace registry;
    register_type(TYPE_HANDLE, Row()
        .set<SLOT_FORM>(form)
        .set<SLOT_MOLD>(mold)
        .set<SLOT_COMPARE>(compare));
}

}  // namespace vek::handle
