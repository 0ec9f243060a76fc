#include "tests/unit/support.h"

#include "runtime/stack.h"
#include "runtime/unwind.h"

namespace vek::test {

uint32_t raised(const std::function<void()>& body) {
    Cell* saved_top = stack::top;
    Cell* saved_arguments = stack::arguments;
    stack::CallFrame* saved_frames = stack::frames_top;
    Cell word{TYPE_WORD, 0, 1, 0};
    stack::mark_try(&word);
    uint32_t code = 0;
    try {
        body();
    } catch (VekThrow& t) {
        if (t.code != CODE_ERROR) throw;
        code = stack::top[-1].data2;  // the error, an integer! holding its code
    }
    stack::frames_top = saved_frames;
    stack::top = saved_top;
    stack::arguments = saved_arguments;
    return code;
}

}  // namespace vek::test
