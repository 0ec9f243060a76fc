#include "view/stand_ins.h"

#include <string_view>

#include "runtime/datatypes/callable/routine.h"
#include "runtime/datatypes/handle.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/none.h"

namespace vek::view {

namespace {

using routine::Arg;

Arg nothing(const Arg*) { return {.cell = none::push()}; }
Arg answer_false(const Arg*) { return {.cell = logic::push(false)}; }
Arg null_handle(const Arg*) { return {.cell = handle::push_null()}; }

struct StandIn {
    std::string_view name;
    routine::Fn fn;
};

constexpr StandIn STAND_INS[] = {
    {"make-null-handle", null_handle},    {"fetch-all-screens", nothing},  {"on-change-facet", nothing},
    {"update-text", nothing},             {"update-font", nothing},        {"detach-image", nothing},
    {"update-view", nothing},             {"refresh-window", nothing},     {"redraw", nothing},
    {"show-window", nothing},             {"draw-image", nothing},         {"draw-face", nothing},
    {"do-event-loop", answer_false},      {"exit-event-loop", nothing},    {"request-font", nothing},
    {"request-file", nothing},            {"request-dir", nothing},        {"update-scroller", nothing},
    {"set-dark-mode", nothing},           {"support-dark-mode?", answer_false}, {"toggle-GPU", nothing},
    {"gui-init", nothing},                {"send-event-os", answer_false},
};

}  // namespace

void register_stand_ins() {
    for (const StandIn& stand_in : STAND_INS) routine::register_fn(stand_in.name, stand_in.fn);
}

}  // namespace vek::view
