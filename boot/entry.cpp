#include "boot/entry.h"

#include <new>

#include "boot/library.h"
#include "runtime/init.h"
#include "runtime/core/quit.h"
#include "runtime/core/unwind.h"

namespace vek::boot {
int entry(void* command_line) {
    const auto& line = *static_cast<const CommandLine*>(command_line);
    runtime::init_process(line.argc, line.argv);
    // The outermost catch point: its level takes every code.
    try {
        boot(line.library);
        launch_console();
    } catch (const VekThrow& thrown) {
        runtime::entry_handler(thrown.code);
    } catch (const std::bad_alloc&) {
        quit_with_status(ERROR_OUT_OF_MEMORY, 0);
    }
    quit_with_status(0, 0);
}

}  // namespace vek::boot
