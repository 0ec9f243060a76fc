// The standard library written in Vek: its modules, embedded in the program
// at build time in boot order, and the boot that evaluates them once the
// runtime is up. Every block and paren loaded from a module is library code
// (runtime/eval/evaluator.h). The boot registers every routine of
// runtime/natives/routines.def; while the modules run, and only then,
// `boot-routine 'name` makes the routine! value of the one registered under
// the name, with its spec (runtime/datatypes/callable/routine.h).
#pragma once

#include <span>
#include <string_view>

namespace vek::boot {

// One source file of the library.
struct Module {
    std::string_view name;  // its path from the source root, as the module list gives it
    std::string_view text;  // its UTF-8 source, without a header
    bool per_run = false;   // its work depends on the run: it runs after every other module
};

// The modules of boot/library/modules.txt in its order, embedded at build
// time; static storage.
std::span<const Module> library_modules();
// The SHA-1 of the module list and the modules' texts, in hexadecimal:
// what a heap image names the library it was made from with.
std::string_view library_checksum();

// Evaluates the modules in order, those marked per-run after all the others,
// after runtime::init, with the collector on and the boot flag off, so that
// the words they intern stay out of the root block. The routines are
// registered and boot-routine bound before the first module; boot-routine is
// unset after the last, when the boot phase ends. The console decides
// whether it edits lines just before the per-run modules. With the environment variable
// VEK_TORTURE_AFTER_BOOT set, collector and grow torture start only after
// the last module. Does not return when a module fails: an
// error that nothing catches is printed and ends the process with status
// 254; a throw, or a break, continue, return or exit that leaves a module,
// travels on as a throw of its code to the entry code, which ends the
// process with runtime error 95.
void boot_library(std::span<const Module> modules);

// The steps of boot_library. register_boot_code fills the tables of code
// (the routines, the backend's collector root) and runs at every start.
// boot_shared_library builds what is the same in every run: the console's
// cells, the backend's words, boot-routine and the modules that are not
// per-run. start_run does the run's own work: the console's terminal state
// and the per-run modules, which read the machine, the environment and the
// command line; then boot-routine goes.
void register_boot_code();
void boot_shared_library(std::span<const Module> modules);
void start_run(std::span<const Module> modules);

// How the shared part of the library came to be.
enum class Origin { source, image };

// Brings the library's shared part up, after runtime::init_code:
// register_boot_code, then the heap from the image file that VEK_BOOT_IMAGE
// names, or when it names none from the image embedded in the executable,
// when load takes it (boot/heap_image.h) and VEK_BOOT_FROM_SOURCE is not
// set, else runtime::init_from_source and boot_shared_library. With
// VEK_MAKE_IMAGE naming a file, it boots from source, writes the image there
// and ends the process: status 0 when the image was written, 1 when it was
// refused. The collector is on and the boot flag off when it returns.
Origin boot_shared(std::span<const Module> modules);

// The whole start: runtime::init_code, boot_shared, then start_run; with VEK_TORTURE_AFTER_BOOT
// set, the tortures wait until it is over, as in boot_library.
void boot(std::span<const Module> modules);

// Starts the console the library defines (cli-console-ctx/launch), which runs
// the command line's script and the loop. It returns when a script ran
// without asking for the loop; a failure ends the process as a module's
// does.
void launch_console();

}  // namespace vek::boot
