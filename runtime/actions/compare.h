// Installing the comparison of runtime/actions/dispatch.h (actions::compare
// and actions::compare_values) where the runtime's own tables look for it.
#pragma once

namespace vek::actions {

// Makes the hash tables compare keys through the datatypes' compare actions.
// A datatype without a compare action of its own yet keeps the tables'
// built-in comparison.
void init_compare();

}  // namespace vek::actions
