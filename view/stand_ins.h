// Stand-ins for the backend's routines that the terminal backend does not
// answer yet (view/backends/terminal/routines.h lists those it does): the
// routines of system/view/platform (but make-null-handle, which the boot's
// null-handle answers), the backend's start-up (gui-init) and the sending of
// events to the operating system (send-event-os). They draw nothing and
// answer none, except support-dark-mode?, do-event-loop and send-event-os
// (false). Each is the entry of its name's row in
// runtime/natives/routines.def; a backend's routine takes the place of its
// stand-in there.
#pragma once

#include "runtime/datatypes/callable/routine.h"

namespace vek::view {

routine::Arg nothing(const routine::Arg* args);       // none
routine::Arg answer_false(const routine::Arg* args);  // false

}  // namespace vek::view
