#include "runtime/core/sockets.h"

namespace vek::sockets {

namespace {

void nothing() {}
void ignore_change(const Cell*, const Cell*, const Cell*, const Cell*) {}
void visit_no_field(const Cell*, FieldVisitor, void*) {}
bool notify_nobody(const Cell*, const Cell*, const Cell*, const Cell*, const Cell*, int32_t, int32_t) {
    return false;
}

}  // namespace

OutputFn before_print = nothing;
OutputFn after_print = nothing;
OnChangeFn on_change = ignore_change;
ForEachFieldFn for_each_field = visit_no_field;
NotifyOwnerFn notify_owner = notify_nobody;

void reset() {
    before_print = after_print = nothing;
    on_change = ignore_change;
    for_each_field = visit_no_field;
    notify_owner = notify_nobody;
}

}  // namespace vek::sockets
