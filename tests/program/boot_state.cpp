// The state that the library's shared boot leaves, which a heap image of the
// booted library holds: the embedded modules that are not per-run are booted
// (from source, or from a heap image as the program's start would), then
// the program prints where they came from, every word of system/words with
// its value molded, the system object molded, and every C++ value that a
// heap image keeps. boot_state.cmake runs it in different runs and both
// ways, and compares: what the shared boot makes must not depend on the run,
// and an image must give what the source gives.
#include <cstdio>

#include "boot/library.h"
#include "platform/runtime_thread.h"
#include "runtime/core/quit.h"
#include "runtime/core/system.h"
#include "runtime/core/unwind.h"
#include "runtime/init.h"
#include "runtime/memory/image_state.h"

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
        vek::runtime::init_code();
        bool from_image = vek::boot::boot_shared(vek::boot::library_modules()) == vek::boot::Origin::image;
        std::printf("origin: %s\n", from_image ? "image" : "source");
        std::fflush(stdout);
        const vek::boot::Module print_system[] = {{"print-system", PRINT_SYSTEM, true}};
        vek::boot::start_run(print_system);
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
