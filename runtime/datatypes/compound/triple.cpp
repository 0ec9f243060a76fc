// triple!: the constructor and the text form.
#include "runtime/datatypes/compound/triple.h"

#include "runtime/actions/dispatch.h"
#include "runtime/core/registry.h"
#include "runtime/datatypes/number/integer.h"

namespace vek::triple {

Cell* make_at(Cell* cell, int32_t first, int32_t second, int32_t third) {
    *cell = triple::cell(first, second, third);
    return cell;
}

namespace {

// make triple! [1 -2 300], whether formed or molded.
void form(const Cell* triple, text::Sink& out) {
    out.append("make triple! [");
    for (int n = 1; n <= 3; n++) {
        if (n > 1) out.append(" ");
        out.append(integer::to_decimal_text(get(triple, n)).c_str());
    }
    out.append("]");
}

void mold(const Cell* triple, text::Sink& out, bool) { form(triple, out); }

}  // namespace

void init() {
    using namespace registry;
    register_type(TYPE_TRIPLE, Row()
        .set<SLOT_FORM>(form)
        .set<SLOT_MOLD>(mold));
}

}  // namespace vek::triple
