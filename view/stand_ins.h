// Stand-ins for the backend's routines that the terminal backend does not
// answer yet (view/backends/terminal/routines.h lists those it does): the
// routines of system/view/platform, the backend's start-up (gui-init) and
// the sending of events to the operating system (send-event-os). They draw
// nothing and answer none, except make-null-handle (the null handle),
// support-dark-mode?, do-event-loop and send-event-os (false). A backend's
// routine takes the place of its stand-in in the table of
// view/stand_ins.cpp; the library declares each by its name.
#pragma once

namespace vek::view {

void register_stand_ins();

}  // namespace vek::view
