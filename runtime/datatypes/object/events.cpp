#include "runtime/datatypes/object/events.h"

#include "runtime/datatypes/object/object.h"
#include "runtime/datatypes/word/context.h"

namespace vek::object {

void init_events(Cell* object) { *context::owner_of(context_node(object)) = *object; }

void fire_on_change(const Cell*, const Cell*, const Cell*, const Cell*) {}

}  // namespace vek::object
