// The view's routines, which the library declares while it boots:
//   face-facets     the facet words of view/facets.def, in order, against
//                   which the library checks the fields of face!
// and the backend's routines, which stand-ins answer until a backend
// registers its own under the same names (view/stand_ins.h).
#pragma once

namespace vek::view {

// Registers them all.
void init();

}  // namespace vek::view
