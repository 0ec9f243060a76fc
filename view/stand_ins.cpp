#include "view/stand_ins.h"

#include "platform/terminal.h"
#include "runtime/datatypes/callable/routine.h"
#include "runtime/datatypes/compound/pair.h"
#include "runtime/datatypes/handle.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/none.h"

namespace vek::view {

namespace {

using routine::Arg;

// The screen's size when standard output is no terminal.
constexpr platform::terminal::WindowSize DEFAULT_SCREEN{80, 24};

// Each view a new handle value, so that faces keep distinct handles.
struct StandInState {
    int32_t last_view = 0;
};
StandInState state;

}  // namespace

Arg nothing(const Arg*) { return {.cell = none::push()}; }
Arg answer_false(const Arg*) { return {.cell = logic::push(false)}; }
Arg make_view(const Arg*) { return {.cell = handle::push(++state.last_view, handle::Kind::window)}; }

// The terminal's size in character cells.
Arg screen_size(const Arg*) {
    platform::terminal::WindowSize size = platform::terminal::window_size();
    if (size.columns <= 0 || size.rows <= 0) size = DEFAULT_SCREEN;
    return {.cell = pair::push(size.columns, size.rows)};
}

}  // namespace vek::view
