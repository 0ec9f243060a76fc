// vek with another library: the module files named on the command line are
// booted in their order in place of the embedded ones, then the launcher
// that they define runs. The tests of the boot's ways out feed it failing modules;
// the routine raw-throw throws as C++ code may, with no catch point found
// first.
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "boot/entry.h"
#include "platform/runtime_thread.h"
#include "runtime/core/unwind.h"
#include "runtime/datatypes/callable/routine.h"

namespace {

vek::routine::Arg raw_throw(const vek::routine::Arg*) { vek::machine_throw(vek::CODE_THROW); }

}  // namespace

int main(int argc, char** argv) {
    vek::routine::register_fn("raw-throw", raw_throw, "");
    std::vector<std::string> texts;
    for (int i = 1; i < argc; i++) {
        std::ifstream in(argv[i], std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "cannot read %s\n", argv[i]);
            return 2;
        }
        std::ostringstream text;
        text << in.rdbuf();
        texts.push_back(text.str());
    }
    std::vector<vek::boot::Module> modules;
    for (int i = 1; i < argc; i++) modules.push_back({argv[i], texts[size_t(i - 1)]});
    char* program_only[] = {argv[0], nullptr};
    vek::boot::CommandLine line{1, program_only, modules};
    return vek::platform::run_on_runtime_thread(vek::boot::entry, &line);
}
