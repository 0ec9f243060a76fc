// The state that the library's shared boot leaves, which a heap image of the
// booted library would hold: the embedded modules that are not per-run are
// booted, then every word of system/words is printed with its value molded,
// then the system object molded, then every C++ value that a heap image
// keeps. boot_state.cmake runs it in two different runs and compares: what
// the shared boot makes must not depend on the run.
#include <cstdio>
#include <string>
#include <vector>

#include "boot/library.h"
#include "platform/runtime_thread.h"
#include "runtime/core/quit.h"
#include "runtime/core/system.h"
#include "runtime/core/unwind.h"
#include "runtime/init.h"
#include "runtime/memory/image_state.h"
#include "runtime/memory/manager.h"

namespace {

constexpr const char* PRINT_SYSTEM = R"vek(
foreach word words-of system/words [
    print [mold word  either value? in system/words word [mold/all get in system/words word] ["unset"]]
]
print mold/all system
)vek";

struct Run {
    int argc;
    char** argv;
};

int print_shared_boot(void* argument) {
    const Run& run = *static_cast<const Run*>(argument);
    vek::runtime::init_process(run.argc, run.argv);
    try {
        vek::runtime::init();
        vek::booting = false;
        vek::memory::collector_enabled = true;
        std::vector<vek::boot::Module> modules;
        for (const vek::boot::Module& module : vek::boot::library_modules())
            if (!module.per_run) modules.push_back(module);
        modules.push_back({"print-system", PRINT_SYSTEM});
        vek::boot::register_boot_code();
        vek::boot::boot_shared_library(modules);
    } catch (const vek::VekThrow& thrown) {
        vek::runtime::entry_handler(thrown.code);
    }
    std::fputs(vek::image_state::dump().c_str(), stdout);
    std::fflush(stdout);
    vek::quit_with_status(0, 0);
}

}  // namespace

int main(int argc, char** argv) {
    Run run{argc, argv};
    return vek::platform::run_on_runtime_thread(print_shared_boot, &run);
}
