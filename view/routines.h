// The view's routines, which the library declares while it boots, each the
// entry of its name's row in runtime/natives/routines.def:
//   face-facets     the facet words of view/facets.def, in order, against
//                   which the library checks the fields of face!
// The backend's routines are the terminal backend's
// (view/backends/terminal/routines.h and helpers.h) or, where there is
// nothing to do on character cells, those of view/stand_ins.h.
#pragma once

#include "runtime/datatypes/callable/routine.h"

namespace vek::view {

routine::Arg face_facets(const routine::Arg* args);

}  // namespace vek::view
