#include "runtime/output/tui_hooks.h"

namespace vek::tui {

namespace {
void nothing() {}
}  // namespace

Hook before_print = nothing;
Hook after_print = nothing;
Hook wait_pass = nothing;

}  // namespace vek::tui
