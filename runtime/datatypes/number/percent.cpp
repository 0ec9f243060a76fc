#include "runtime/datatypes/number/percent.h"

#include "runtime/actions/dispatch.h"
#include "runtime/core/registry.h"
#include "runtime/datatypes/number/float.h"
#include "runtime/text/float_text.h"

namespace vek::percent {

Cell* make_at(Cell* cell, double fraction) { return set_type(float_::make_at(cell, fraction), TYPE_PERCENT); }
Cell* make_in(const Cell* block, double fraction) { return set_type(float_::make_in(block, fraction), TYPE_PERCENT); }
Cell* push(double fraction) { return set_type(float_::push(fraction), TYPE_PERCENT); }
Cell* box(double fraction) { return set_type(float_::box(fraction), TYPE_PERCENT); }

namespace {

// The fraction times 100 with "%": 50%, 12.3%, "0%" for a fraction too small
// to show. mold gives the same text.
void form(const Cell* value, text::Sink& out) {
    out.append(float_text::format(float_::get(value) * 100.0, float_text::FORMAT_PERCENT64).c_str());
}

void mold(const Cell* value, text::Sink& out, bool) { form(value, out); }

}  // namespace

void init() {
    using namespace registry;
    register_type(TYPE_PERCENT, Row()
        .inherit<SLOT_MAKE>()
        .inherit<SLOT_RANDOM>()
        .inherit<SLOT_TO>()
        .set<SLOT_FORM>(form)
        .set<SLOT_MOLD>(mold)
        .inherit<SLOT_COMPARE>()
        .inherit_range<SLOT_ABSOLUTE, SLOT_ODD>());
}

}  // namespace vek::percent
