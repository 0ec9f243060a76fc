#include "view/stand_ins.h"

#include <string_view>

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

Arg nothing(const Arg*) { return {.cell = none::push()}; }
Arg answer_false(const Arg*) { return {.cell = logic::push(false)}; }
Arg null_handle(const Arg*) { return {.cell = handle::push_null()}; }
Arg make_view(const Arg*) { return {.cell = handle::push(++state.last_view, handle::Kind::window)}; }

// The terminal's size in character cells.
Arg screen_size(const Arg*) {
    platform::terminal::WindowSize size = platform::terminal::window_size();
    if (size.columns <= 0 || size.rows <= 0) size = DEFAULT_SCREEN;
    return {.cell = pair::push(size.columns, size.rows)};
}

struct StandIn {
    std::string_view name;
    routine::Fn fn;
};

constexpr StandIn STAND_INS[] = {
    {"make-null-handle", null_handle},  {"fetch-all-screens", nothing}, {"get-screen-size", screen_size},
    {"size-text", nothing},             {"on-change-facet", nothing},   {"update-text", nothing},
    {"update-font", nothing},           {"update-para", nothing},       {"destroy-view", nothing},
    {"detach-image", nothing},          {"update-view", nothing},       {"refresh-window", nothing},
    {"redraw", nothing},                {"show-window", nothing},       {"make-view", make_view},
    {"draw-image", nothing},            {"draw-face", nothing},         {"do-event-loop", answer_false},
    {"exit-event-loop", nothing},       {"request-font", nothing},      {"request-file", nothing},
    {"request-dir", nothing},           {"text-box-metrics", nothing},  {"update-scroller", nothing},
    {"set-dark-mode", nothing},         {"support-dark-mode?", answer_false}, {"toggle-GPU", nothing},
    {"gui-init", nothing},              {"send-event-os", answer_false},
};

}  // namespace

void register_stand_ins() {
    for (const StandIn& stand_in : STAND_INS) routine::register_fn(stand_in.name, stand_in.fn);
}

}  // namespace vek::view
