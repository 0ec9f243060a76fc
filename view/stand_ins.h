// The backend's routines that have nothing to do on character cells: they
// answer none, or false for support-dark-mode? and send-event-os (the
// terminal takes no events from other programs). fetch-all-screens (the one
// screen is made by init), update-text, draw-face (a face draws its draw
// facet when it is rendered), request-font, update-scroller, set-dark-mode
// and toggle-GPU; do-event-loop and exit-event-loop until the event loop
// answers them. Each is the entry of its name's row in
// runtime/natives/routines.def.
#pragma once

#include "runtime/datatypes/callable/routine.h"

namespace vek::view {

routine::Arg nothing(const routine::Arg* args);       // none
routine::Arg answer_false(const routine::Arg* args);  // false

}  // namespace vek::view
