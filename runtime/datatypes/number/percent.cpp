#include "runtime/datatypes/number/percent.h"

#include <cstring>

#include "runtime/actions/dispatch.h"
#include "runtime/core/datatype.h"
#include "runtime/datatypes/number/float.h"
#include "runtime/datatypes/string/buffer.h"
#include "runtime/text/float_text.h"

namespace vek::percent {

Cell* make_at(Cell* cell, double fraction) { return set_type(float_::make_at(cell, fraction), TYPE_PERCENT); }
Cell* make_in(const Cell* block, double fraction) { return set_type(float_::make_in(block, fraction), TYPE_PERCENT); }
Cell* push(double fraction) { return set_type(float_::push(fraction), TYPE_PERCENT); }
Cell* box(double fraction) { return set_type(float_::box(fraction), TYPE_PERCENT); }

int32_t form(const Cell* value, const Cell* buffer, const Cell*, int32_t limit) {
    float_::FloatText text = float_::format(float_::get(value) * 100.0, float_::FORMAT_PERCENT64);
    string::append_c_string(buffer, text.c_str());
    return limit - int32_t(std::strlen(text.c_str()));
}

int32_t mold(const Cell* value, const Cell* buffer, bool, bool, bool, const Cell* part, int32_t limit, int32_t) {
    return form(value, buffer, part, limit);
}

void init() {
    using datatype::as_action;
    datatype::DatatypeRecord record{TYPE_PERCENT, TYPE_FLOAT, "percent!", {}};
    auto set = [&record](uint32_t slot, datatype::ActionFn entry) { record.actions[slot - 1] = entry; };
    for (uint32_t slot : {datatype::SLOT_MAKE, datatype::SLOT_RANDOM, datatype::SLOT_TO, datatype::SLOT_COMPARE,
                          datatype::SLOT_ABSOLUTE, datatype::SLOT_ADD, datatype::SLOT_DIVIDE,
                          datatype::SLOT_MULTIPLY, datatype::SLOT_NEGATE, datatype::SLOT_POWER,
                          datatype::SLOT_REMAINDER, datatype::SLOT_ROUND, datatype::SLOT_SUBTRACT,
                          datatype::SLOT_EVEN, datatype::SLOT_ODD})
        set(slot, datatype::INHERIT);
    set(datatype::SLOT_FORM, as_action(static_cast<actions::FormFn>(form)));
    set(datatype::SLOT_MOLD, as_action(static_cast<actions::MoldFn>(mold)));
    datatype::register_type(record);
}

}  // namespace vek::percent
