#include "runtime/process.h"

#include "platform/terminal.h"
#include "runtime/core/system.h"

namespace vek::runtime {

void build_argv(int argc, char** argv) {
    sysrec.argc = argc;
    sysrec.argv = argv;
}

void init_process(int argc, char** argv) {
    build_argv(argc, argv);
    platform::terminal::save();
}

}  // namespace vek::runtime
