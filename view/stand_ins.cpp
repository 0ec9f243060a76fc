#include "view/stand_ins.h"

#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/none.h"

namespace vek::view {

using routine::Arg;

Arg nothing(const Arg*) { return {.cell = none::push()}; }
Arg answer_false(const Arg*) { return {.cell = logic::push(false)}; }

}  // namespace vek::view
