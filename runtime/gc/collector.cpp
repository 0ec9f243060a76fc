// One collection: mark from the roots and the C++ stack, let weak tables and
// externals drop what died, compact the series frames and release dead big
// buffers, giving the dead buffers' nodes back on the way.
#include "runtime/gc/collector.h"

#include <algorithm>
#include <atomic>
#include <cassert>
#include <exception>
#include <vector>

#include "platform/runtime_thread.h"
#include "runtime/core/stack.h"
#include "runtime/gc/internal.h"
#include "runtime/memory/externals.h"
#include "runtime/memory/image_state.h"
#include "runtime/memory/manager.h"

namespace vek::gc {

bool scan_stack = true;

namespace {

bool running = false;
uint32_t completed = 0;

// Sets the running flag for its lifetime, so that no way out of a collection
// leaves it set and every later collection refused.
class Running {
public:
    Running() { running = true; }
    ~Running() { running = false; }
    Running(const Running&) = delete;
    Running& operator=(const Running&) = delete;
};

// Hooks and release callbacks must not throw. Should one do so during the
// sweep, the sweep still runs to its end, since a half-swept heap would keep
// marks and half-moved frames; the first exception is kept and rethrown
// once the heap is whole.
class FirstFailure {
public:
    template <class Step> void run(Step step) {
        try {
            step();
        } catch (...) {
            if (!kept_) kept_ = std::current_exception();
        }
    }
    void rethrow() const {
        if (kept_) std::rethrow_exception(kept_);
    }

private:
    std::exception_ptr kept_;
};

// A hook and the name it was registered under.
struct Named {
    const char* name;
    Hook hook;  // null once removed
};

std::vector<Named>& mark_hooks() {
    static std::vector<Named> hooks;
    return hooks;
}

std::vector<Named>& sweep_hooks() {
    static std::vector<Named> hooks;
    return hooks;
}

auto find_hook(std::vector<Named>& hooks, Hook hook) {
    return std::find_if(hooks.begin(), hooks.end(), [hook](const Named& n) { return n.hook == hook; });
}

void add_once(std::vector<Named>& hooks, const char* name, Hook hook) {
    if (find_hook(hooks, hook) == hooks.end()) hooks.push_back({name, hook});
}

std::vector<const char*> names_of(const std::vector<Named>& hooks) {
    std::vector<const char*> names;
    for (const Named& n : hooks)
        if (n.hook) names.push_back(n.name);
    return names;
}

// The cells from the bottom of the argument stack to its top; the rest of
// its buffer holds stale cells.
void mark_arguments() {
    if (stack::arguments_bottom) mark_cells(stack::arguments_bottom, stack::top);
}

void mark_frames() {
    for (stack::CallFrame* f = stack::frames_bottom; f && f < stack::frames_top; f++) {
        mark_node(f->word_context);
        mark_node(f->function_context);
    }
}

void run_mark_hooks(const std::vector<Named>& hooks) {
    for (size_t i = 0; i < hooks.size(); i++) {
        if (hooks[i].hook) hooks[i].hook();
        detail::drain();
    }
}

void run_sweep_hooks(const std::vector<Named>& hooks, FirstFailure& failure) {
    for (size_t i = 0; i < hooks.size(); i++)
        if (hooks[i].hook) failure.run(hooks[i].hook);
}

void mark_everything() {
    mark_arguments();
    mark_frames();
    detail::drain();
    run_mark_hooks(mark_hooks());
    if (scan_stack) detail::scan_machine_stack();
    detail::drain();
}

// A marking cut short by a throwing mark hook cannot tell the living from
// the dead: nothing is swept, and the marks go so that the next collection
// starts clean.
void mark_or_forget() {
    try {
        mark_everything();
    } catch (...) {
        detail::forget_marks();
        externals::forget_marks();
        throw;
    }
}

void sweep_everything(FirstFailure& failure) {
    run_sweep_hooks(sweep_hooks(), failure);
    failure.run(externals::sweep);
    detail::compact_series_frames();
    detail::sweep_big_frames();
    memory::update_node_frames();
    detail::clear_heap_marks();
}

}  // namespace

void add_root(const char* name, Hook mark) { add_once(mark_hooks(), name, mark); }

void remove_root(Hook mark) {
    auto& hooks = mark_hooks();
    auto found = find_hook(hooks, mark);
    if (found != hooks.end()) found->hook = nullptr;
}

void add_sweep(const char* name, Hook sweep) { add_once(sweep_hooks(), name, sweep); }

Registered registered() { return {names_of(mark_hooks()), names_of(sweep_hooks())}; }

void init() {
    image_state::keep("collections completed", completed);
    completed = 0;
    memory::collection_cycle = 0;
}

void collect() {
    // Release callbacks and hooks must not start a collection of their own.
    if (running) return;
    assert(platform::on_runtime_thread());
    Running running_now;
    std::atomic_thread_fence(std::memory_order_seq_cst);
    detail::build_tables();
    mark_or_forget();
    FirstFailure failure;
    sweep_everything(failure);
    memory::collection_cycle = ++completed;
    memory::restart_pacing();
    std::atomic_thread_fence(std::memory_order_seq_cst);
    failure.rethrow();
}

bool active() { return running; }

}  // namespace vek::gc
