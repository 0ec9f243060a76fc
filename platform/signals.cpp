#include "platform/signals.h"

#include <signal.h>
#include <ucontext.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>

#include "platform/runtime_thread.h"
#include "platform/terminal.h"

namespace vek::platform {
namespace {

RuntimeErrorMessages message_lookup = nullptr;
bool faults_left_to_host = false;

// Big enough for the handler's own frames even in the sanitizer build.
constexpr size_t ALTERNATE_STACK_SIZE = 256 * 1024;
alignas(16) std::byte alternate_stack[ALTERNATE_STACK_SIZE];

constexpr int FAULT_SIGNALS[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP};

const char* message_for(int number) {
    const char* message = message_lookup ? message_lookup(number) : nullptr;
    return message ? message : "";
}

void write_all(int fd, const char* text, size_t length) {
    while (length > 0) {
        ssize_t written = write(fd, text, length);
        if (written < 0) {
            if (errno == EINTR) continue;
            return;
        }
        text += written;
        length -= size_t(written);
    }
}

// A bounded text builder over a caller's buffer: async-signal-safe.
class ReportText {
public:
    ReportText(char* buffer, size_t capacity) : buffer_(buffer), capacity_(capacity) {}

    void text(const char* s) {
        while (*s && length_ < capacity_) buffer_[length_++] = *s++;
    }
    void decimal(int number) {
        unsigned long long magnitude = number < 0 ? 0ull - (unsigned long long)number : (unsigned long long)number;
        if (number < 0) text("-");
        digits(magnitude, 10, 1);
    }
    void hexadecimal(uintptr_t value, int min_digits) { digits(value, 16, min_digits); }
    size_t length() const { return length_; }

private:
    void digits(unsigned long long value, unsigned base, int min_digits) {
        char reversed[24];
        int count = 0;
        do {
            reversed[count++] = "0123456789ABCDEF"[value % base];
            value /= base;
        } while (value != 0 || count < min_digits);
        while (count > 0 && length_ < capacity_) buffer_[length_++] = reversed[--count];
    }

    char* buffer_;
    size_t capacity_;
    size_t length_ = 0;
};

uintptr_t instruction_address(const void* context) {
    const auto* machine = &static_cast<const ucontext_t*>(context)->uc_mcontext;
#if defined(__x86_64__)
    return uintptr_t(machine->gregs[REG_RIP]);
#elif defined(__aarch64__)
    return uintptr_t(machine->pc);
#else
    (void)machine;
    return 0;
#endif
}

int segmentation_fault_number(const siginfo_t* info) {
    // Only the kernel's own report carries a meaningful fault address.
    bool raised_by_kernel = info->si_code > 0;
    if (raised_by_kernel && in_stack_guard(reinterpret_cast<uintptr_t>(info->si_addr))) return 19;
    return 1;
}

int arithmetic_fault_number(const siginfo_t* info) {
    switch (info->si_code) {
    case FPE_INTDIV: return 13;
    case FPE_INTOVF: return 14;
    case FPE_FLTDIV: return 7;
    case FPE_FLTOVF: return 10;
    case FPE_FLTUND: return 12;
    case FPE_FLTRES: return 8;
    case FPE_FLTINV: return 9;
    case FPE_FLTSUB: return 5;
    default: return 99;
    }
}

int fault_number(int signal_number, const siginfo_t* info) {
    switch (signal_number) {
    case SIGSEGV: return segmentation_fault_number(info);
    case SIGFPE: return arithmetic_fault_number(info);
    case SIGILL: return info->si_code == ILL_PRVOPC ? 15 : 17;
    case SIGBUS: return 34;
    case SIGTRAP: return 3;
    default: return 99;
    }
}

void on_fault(int signal_number, siginfo_t* info, void* context) {
    int number = fault_number(signal_number, info);
    terminal::restore_async_safe();
    write_runtime_error_report(number, message_for(number), instruction_address(context));
    _exit(number);
}

// Ends the process by the signal's default action, so that its parent sees
// how it ended (a shell reports an interrupt as status 130). The signal may
// be blocked, its handler running: it is let through first.
[[noreturn]] void end_by_signal(int signal_number) {
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    sigaction(signal_number, &action, nullptr);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signal_number);
    pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
    raise(signal_number);
    _exit(128 + signal_number);
}

// Output leaves at each write, and a child being waited for is stopped and
// reaped before this runs (process.cpp): what is left is the terminal.
[[noreturn]] void on_interrupt(int signal_number) {
    terminal::restore_async_safe();
    end_by_signal(signal_number);
}

// Installed with SA_RESETHAND | SA_NODEFER: re-raising delivers the signal at
// once with its default action, so the parent sees how the process ended.
void on_termination(int signal_number) {
    terminal::restore_async_safe();
    raise(signal_number);
    _exit(128 + signal_number);
}

void install(int signal_number, void (*handler)(int), int extra_flags = 0) {
    struct sigaction action {};
    action.sa_handler = handler;
    action.sa_flags = SA_ONSTACK | extra_flags;
    sigemptyset(&action.sa_mask);
    sigaction(signal_number, &action, nullptr);
}

void install_fault_handler(int signal_number) {
    struct sigaction action {};
    action.sa_sigaction = on_fault;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    sigaction(signal_number, &action, nullptr);
}

// Whatever the thread had before, put back when the runtime thread ends: a
// sanitizer runtime releases the thread's alternate stack as its own.
stack_t previous_alternate_stack{};

void install_alternate_stack() {
    stack_t stack{};
    stack.ss_sp = alternate_stack;
    stack.ss_size = sizeof alternate_stack;
    sigaltstack(&stack, &previous_alternate_stack);
}

}  // namespace

void set_runtime_error_messages(RuntimeErrorMessages lookup) { message_lookup = lookup; }

void install_signal_handlers() {
    install_alternate_stack();
    if (!faults_left_to_host)
        for (int signal_number : FAULT_SIGNALS) install_fault_handler(signal_number);
    install(SIGINT, on_interrupt);
    install(SIGTERM, on_termination, SA_RESETHAND | SA_NODEFER);
    install(SIGHUP, on_termination, SA_RESETHAND | SA_NODEFER);
    // A failed assertion or std::terminate: the terminal comes back before
    // the process ends by the signal.
    install(SIGABRT, on_termination, SA_RESETHAND | SA_NODEFER);
    install(SIGPIPE, SIG_IGN);
}

void leave_faults_to_host() { faults_left_to_host = true; }

void release_alternate_stack() { sigaltstack(&previous_alternate_stack, nullptr); }

void write_runtime_error_report(int number, const char* message, uintptr_t address) {
    char buffer[256];
    ReportText report(buffer, sizeof buffer);
    report.text("\n*** Runtime Error ");
    report.decimal(number);
    report.text(": ");
    report.text(message);
    report.text("\n*** at: ");
    report.hexadecimal(address, 8);
    report.text("h\n");
    write_all(STDOUT_FILENO, buffer, report.length());
}

void die_by_sigpipe() {
    terminal::restore_async_safe();
    end_by_signal(SIGPIPE);
}

void end_by_interrupt() { on_interrupt(SIGINT); }

void send_signal_to_self(int signal_number) { kill(getpid(), signal_number); }

}  // namespace vek::platform
