#include "platform/runtime_thread.h"

#include <pthread.h>
#include <signal.h>
#include <sys/mman.h>

#include <algorithm>
#include <optional>

#include "platform/signals.h"

namespace vek::platform {

namespace detail {
uintptr_t runtime_stack_limit = 0;
}

namespace {

// Reserved without backing: only the pages the runtime touches cost memory.
constexpr size_t STACK_SIZES[] = {size_t(1) << 30, size_t(256) << 20, size_t(64) << 20,
                                  size_t(16) << 20};
constexpr size_t MIN_GUARD_SIZE = size_t(1) << 20;

uintptr_t guard_low = 0;
uintptr_t runtime_stack_base = 0;
thread_local bool is_runtime_thread = false;

struct StackReservation {
    std::byte* low;
    size_t size;
    size_t guard;
    std::byte* usable() const { return low + guard; }
    size_t usable_size() const { return size - guard; }
};

// A wide guard costs nothing and catches frames too big to land in a narrow one.
size_t guard_size_for(size_t stack_size) { return std::max(MIN_GUARD_SIZE, stack_size / 64); }

std::optional<StackReservation> try_reserve(size_t size) {
    void* low = mmap(nullptr, size, PROT_READ | PROT_WRITE,
                     MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE | MAP_STACK, -1, 0);
    if (low == MAP_FAILED) return std::nullopt;
    size_t guard = guard_size_for(size);
    if (mprotect(low, guard, PROT_NONE) != 0) {
        munmap(low, size);
        return std::nullopt;
    }
    return StackReservation{static_cast<std::byte*>(low), size, guard};
}

std::optional<StackReservation> reserve_stack() {
    for (size_t size : STACK_SIZES)
        if (auto reservation = try_reserve(size)) return reservation;
    return std::nullopt;
}

void record_bounds(const StackReservation& stack) {
    guard_low = reinterpret_cast<uintptr_t>(stack.low);
    detail::runtime_stack_limit = reinterpret_cast<uintptr_t>(stack.usable());
}

void forget_bounds() {
    guard_low = 0;
    detail::runtime_stack_limit = 0;
    runtime_stack_base = 0;
}


struct Launch {
    int (*body)(void*);
    void* arg;
    int result;
};

void* runtime_thread_main(void* launch_address) {
    auto* launch = static_cast<Launch*>(launch_address);
    // Every runtime frame lies below this one.
    runtime_stack_base = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
    is_runtime_thread = true;
    install_signal_handlers();
    sigset_t none;
    sigemptyset(&none);
    pthread_sigmask(SIG_SETMASK, &none, nullptr);
    launch->result = launch->body(launch->arg);
    release_alternate_stack();
    return nullptr;
}

bool start_and_join(const StackReservation& stack, Launch& launch) {
    pthread_attr_t attributes;
    if (pthread_attr_init(&attributes) != 0) return false;
    bool started = pthread_attr_setstack(&attributes, stack.usable(), stack.usable_size()) == 0;
    pthread_t thread;
    started = started && pthread_create(&thread, &attributes, runtime_thread_main, &launch) == 0;
    pthread_attr_destroy(&attributes);
    if (started) pthread_join(thread, nullptr);
    return started;
}

}  // namespace

int run_on_runtime_thread(int (*body)(void*), void* arg) {
    auto stack = reserve_stack();
    if (!stack) return no_runtime_thread;
    record_bounds(*stack);

    // Blocked here before the thread starts, so that every signal sent to the
    // process reaches the runtime thread, which unblocks them once its handlers
    // exist. Fault signals too: another process may send them, and the waiting
    // thread itself never faults.
    sigset_t blocked, previous;
    sigfillset(&blocked);
    pthread_sigmask(SIG_BLOCK, &blocked, &previous);
    Launch launch{body, arg, 0};
    bool ran = start_and_join(*stack, launch);
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);

    forget_bounds();
    munmap(stack->low, stack->size);
    return ran ? launch.result : no_runtime_thread;
}

uintptr_t stack_base() { return runtime_stack_base; }

uintptr_t stack_limit() { return detail::runtime_stack_limit; }

bool in_stack_guard(uintptr_t address) {
    return address >= guard_low && address < detail::runtime_stack_limit;
}

bool on_runtime_thread() { return is_runtime_thread; }

}  // namespace vek::platform
