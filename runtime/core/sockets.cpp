#include "runtime/core/sockets.h"

namespace vek::sockets {

namespace {

void nothing() {}
Cell* no_event_field(uint32_t, uint32_t, Cell* out) {
    *out = blank_cell(TYPE_NONE);
    return out;
}
void ignore_change(const Cell*, const Cell*, const Cell*, const Cell*) {}
void visit_no_field(const Cell*, FieldVisitor, void*) {}
bool no_face(const Cell*, Cell*) { return false; }
bool notify_nobody(const Cell*, const Cell*, const Cell*, const Cell*, const Cell*, int32_t, int32_t) {
    return false;
}

}  // namespace

OutputFn before_print = nothing;
OutputFn after_print = nothing;
WaitPassFn wait_pass = nothing;
EventFieldFn event_field = no_event_field;
FaceToImageFn face_to_image = no_face;
OnChangeFn on_change = ignore_change;
ForEachFieldFn for_each_field = visit_no_field;
NotifyOwnerFn notify_owner = notify_nobody;

void reset() {
    before_print = after_print = nothing;
    wait_pass = nothing;
    event_field = no_event_field;
    face_to_image = no_face;
    on_change = ignore_change;
    for_each_field = visit_no_field;
    notify_owner = notify_nobody;
}

}  // namespace vek::sockets
