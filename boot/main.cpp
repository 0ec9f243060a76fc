#include "boot/entry.h"
#include "platform/runtime_thread.h"
#include "runtime/core/quit.h"

int main(int argc, char** argv) {
    vek::boot::CommandLine line{argc, argv, vek::boot::library_modules()};
    int status = vek::platform::run_on_runtime_thread(vek::boot::entry, &line);
    // Without a stack for it, the runtime cannot run at all.
    if (status == vek::platform::no_runtime_thread) vek::quit_with_status(vek::ERROR_OUT_OF_MEMORY, 0);
    return status;
}
