#include "runtime/natives/words.h"

#include "runtime/datatypes/object/object.h"
#include "runtime/eval/stack.h"
#include "runtime/natives/helpers.h"
#include "runtime/natives/natives.h"

namespace vek::natives {

// block /with object /only: the object made from the unevaluated block.
Pending construct(bool, const int32_t* refinements) {
    Cell* args = stack::arguments;
    bool with = refinements[0] >= 0;
    // Its arguments name no types: the evaluator has checked nothing either.
    check_arg(0, type_bit(TYPE_BLOCK));
    if (with) check_arg(refinements[0], type_bit(TYPE_OBJECT));
    object::construct(args, args, with ? args + refinements[0] : nullptr, refinements[1] >= 0);
    return Pending::none;
}

}  // namespace vek::natives
