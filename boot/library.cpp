#include "boot/library.h"

#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "boot/heap_image.h"
#include "console/routines.h"
#include "platform/os.h"
#include "runtime/core/fixed_words.h"
#include "runtime/core/quit.h"
#include "runtime/core/registry.h"
#include "runtime/core/stack.h"
#include "runtime/core/system.h"
#include "runtime/datatypes/callable/routine.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/handle.h"
#include "runtime/datatypes/word/context.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/eval/evaluator.h"
#include "runtime/init.h"
#include "runtime/lexer/lexer.h"
#include "runtime/memory/manager.h"
#include "runtime/natives/image_codecs.h"
#include "runtime/natives/json_codec.h"
#include "runtime/natives/routines.h"
#include "runtime/natives/system_routines.h"
#include "runtime/natives/vekbin_codec.h"
#include "view/backends/terminal/faces.h"
#include "view/backends/terminal/helpers.h"
#include "view/backends/terminal/routines.h"
#include "view/backends/terminal/widgets.h"
#include "view/draw.h"
#include "view/routines.h"
#include "view/stand_ins.h"

namespace vek::boot {

namespace {

constexpr const char* BOOT_ROUTINE = "boot-routine";
constexpr const char* BOOT_ROUTINE_SPEC =
    "\"Makes the routine! registered under the name, with the spec it was registered with\"\n"
    "name [word!] \"The name it was registered under\"";

// The null handle!, which scripts cannot make: the library keeps one as a
// constant.
routine::Arg null_handle(const routine::Arg*) { return {.cell = handle::push_null()}; }

struct RoutineRow {
    std::string_view name;
    routine::Fn entry;
    std::string_view spec;
};

constexpr RoutineRow ROUTINES[] = {
#define X(name, entry, spec) {name, entry, spec},
#include "runtime/natives/routines.def"
#undef X
};

// The datatype that the spec block's return: names when it names exactly one
// datatype; 0 otherwise.
uint32_t declared_return(const Cell* spec_block) {
    SeriesBuffer* buffer = series_buffer(spec_block);
    const Cell* cells = buffer->cells();
    uint32_t returns = symbol::resolve(fixed_words::symbol(fixed_words::Sym::return_));
    for (uint32_t i = series_index(spec_block); i + 1 < buffer->length(); i++) {
        if (cell_type(cells + i) != TYPE_SET_WORD || symbol::resolve(word::symbol(cells + i)) != returns) continue;
        if (cell_type(cells + i + 1) != TYPE_BLOCK) return 0;
        SeriesBuffer* types = series_buffer(cells + i + 1);
        uint32_t head = series_index(cells + i + 1);
        if (types->length() != head + 1 || cell_type(types->cells() + head) != TYPE_WORD) return 0;
        const Cell* type = context::get(types->cells() + head);
        return cell_type(type) == TYPE_DATATYPE ? datatype::id(type) : 0;
    }
    return 0;
}

// Flags every block, paren and path reachable from the block (itself and
// nested ones) as library code: a path evaluated by the library reports no
// events either.
void flag_library_code(const Cell* block) {
    // Nothing allocates during the walk, so nothing moves and plain C++
    // storage may hold pointers into the buffers.
    std::vector<const Cell*> pending{block};
    while (!pending.empty()) {
        const Cell* series = pending.back();
        pending.pop_back();
        SeriesBuffer* buffer = series_buffer(series);
        buffer->flags |= eval::BUF_LIBRARY;
        for (const Cell* item = buffer->cells(); item < buffer->cells_tail(); item++)
            if (is_any_block(cell_type(item))) pending.push_back(item);
    }
}

// The spec text loaded as the library's own code would be.
void load_spec(std::string_view text, Cell* spec_block) {
    lexer::scan(spec_block, reinterpret_cast<const uint8_t*>(text.data()), uint32_t(text.size()), {.wrap = true},
                nullptr, nullptr, nullptr);
    flag_library_code(spec_block);
}

// boot-routine: logic!, integer! and float! results travel by value; any
// other routine answers a cell and takes its arguments as cells.
routine::Arg boot_routine(const routine::Arg* args) {
    const Cell* name = args[0].cell;
    Cell spec_block;
    load_spec(routine::spec_text(routine::named(name)), &spec_block);
    uint32_t returns = declared_return(&spec_block);
    bool by_value = returns == TYPE_LOGIC || returns == TYPE_INTEGER || returns == TYPE_FLOAT;
    return {.cell = routine::declare(&spec_block, name, returns ? int32_t(returns) : -1, !by_value)};
}

// Fills the routine table: its indexes are what routine! values hold, so
// every start registers the same routines in the same order.
void register_routines() {
    for (const RoutineRow& row : ROUTINES) routine::register_fn(row.name, row.entry, row.spec);
    routine::register_fn(BOOT_ROUTINE, boot_routine, BOOT_ROUTINE_SPEC);
}

void bind_boot_routine() {
    uint32_t code = routine::find(BOOT_ROUTINE);
    Cell spec_block;
    lexer::scan(&spec_block, reinterpret_cast<const uint8_t*>(BOOT_ROUTINE_SPEC),
                uint32_t(std::strlen(BOOT_ROUTINE_SPEC)), {.wrap = true}, nullptr, nullptr, nullptr);
    Cell* value = routine::make_value(&spec_block, nullptr, code, -1, true);
    context::set_global(symbol::make(BOOT_ROUTINE), value);
    stack::pop(1);
}

void unset_boot_routine() {
    Cell unset;
    context::set_global(symbol::make(BOOT_ROUTINE), make_unset(&unset));
}

// A module's code, loaded into the cell and flagged as library code.
void load_module(const Module& module, Cell* code) {
    lexer::scan(code, reinterpret_cast<const uint8_t*>(module.text.data()), uint32_t(module.text.size()),
                {.wrap = true}, nullptr, nullptr, nullptr);
    flag_library_code(code);
}

// With VEK_TORTURE_AFTER_BOOT set, collector and grow torture hold off
// until the boot is over: a test suite that starts thousands of programs
// tortures their own code without paying for the same boot each time.
class TortureAfterBoot {
public:
    TortureAfterBoot() : held_(platform::get_env("VEK_TORTURE_AFTER_BOOT").has_value()) {
        if (!held_) return;
        std::swap(interval_, memory::torture_interval);
        std::swap(grow_, memory::grow_torture_enabled);
    }
    ~TortureAfterBoot() {
        if (!held_) return;
        memory::torture_interval = interval_;
        memory::grow_torture_enabled = grow_;
    }
    TortureAfterBoot(const TortureAfterBoot&) = delete;
    TortureAfterBoot& operator=(const TortureAfterBoot&) = delete;

private:
    bool held_;
    uint32_t interval_ = 0;
    bool grow_ = false;
};

// A break, continue, return or exit that leaves a module has nowhere to go.
void run_module(const Module& module) {
    Cell code;
    load_module(module, &code);
    Pending pending = eval::eval_block(&code);
    if (pending != Pending::none) machine_throw(uint32_t(pending));
    stack::pop(1);
}

void run_modules(std::span<const Module> modules, bool per_run) {
    for (const Module& module : modules)
        if (module.per_run == per_run) run_module(module);
}

}  // namespace

void register_boot_code() {
    register_routines();
    console::init_hooks();
    view::backends::terminal::init_widgets();
    view::backends::terminal::init_word_hooks();
    view::draw::init_word_hooks();
}

void boot_shared_library(std::span<const Module> modules) {
    console::init_cells();
    view::backends::terminal::init_words();
    view::draw::init_words();
    bind_boot_routine();
    run_modules(modules, false);
}

void start_run(std::span<const Module> modules) {
    console::init_terminal();
    run_modules(modules, true);
    unset_boot_routine();
}

void boot_library(std::span<const Module> modules) {
    booting = false;
    memory::collector_enabled = true;
    TortureAfterBoot torture;
    register_boot_code();
    boot_shared_library(modules);
    start_run(modules);
    boot_phase = false;
}

namespace {

void boot_shared_from_source(std::span<const Module> modules) {
    runtime::init_from_source();
    booting = false;
    memory::collector_enabled = true;
    boot_shared_library(modules);
}

[[noreturn]] void make_image(std::span<const Module> modules, const std::string& path) {
    boot_shared_from_source(modules);
    quit_with_status(heap_image::make(path.c_str()) ? 0 : 1, 0);
}

bool boot_shared_from_image() {
    std::optional<std::string> path = platform::get_env("VEK_BOOT_IMAGE");
    if (!path || platform::get_env("VEK_BOOT_FROM_SOURCE") || !heap_image::load(path->c_str())) return false;
    booting = false;
    memory::collector_enabled = true;
    return true;
}

}  // namespace

Origin boot_shared(std::span<const Module> modules) {
    register_boot_code();
    if (std::optional<std::string> path = platform::get_env("VEK_MAKE_IMAGE")) make_image(modules, *path);
    if (boot_shared_from_image()) return Origin::image;
    boot_shared_from_source(modules);
    return Origin::source;
}

void boot(std::span<const Module> modules) {
    runtime::init_code();
    TortureAfterBoot torture;
    boot_shared(modules);
    start_run(modules);
    boot_phase = false;
}

void launch_console() {
    run_module({"launch", "cli-console-ctx/launch"});
}

}  // namespace vek::boot
