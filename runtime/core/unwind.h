// Non-local exits. Errors and throw travel as one C++ exception carrying only
// the 32-bit code; break, continue, return and exit travel as pending codes
// returned through the evaluator and the natives that evaluate blocks.
#pragma once

#include <cstdint>

namespace vek {

constexpr uint32_t CODE_ENTRY = 0xFFFFFFFFu;        // catches everything
constexpr uint32_t CODE_ERROR = 0x7FFFFFFFu;        // errors and try
constexpr uint32_t CODE_BREAK = 0x7FFFFFFEu;
constexpr uint32_t CODE_CONTINUE = 0x7FFFFFFDu;
constexpr uint32_t CODE_RETURN = 0x7FFFFFFCu;
constexpr uint32_t CODE_EXIT = 0x7FFFFFFBu;
constexpr uint32_t CODE_THROW = 0x7FFFFFFAu;
constexpr uint32_t CODE_CLEAN_QUIT = 0x0BADCAFEu;
// A drawing stopped quietly (system/view/silent?), and a drawing whose error
// was printed: only the drawing's own trap takes them (view/draw.h).
constexpr uint32_t CODE_DRAW_SILENT = 1;
constexpr uint32_t CODE_DRAW_REPORTED = 2;

// The exception of errors and throw. It never holds a cell: the error value,
// or the thrown value and its name, stay on the evaluation stack.
struct VekThrow {
    uint32_t code;
};

// Stores the code in the system record and throws it.
[[noreturn]] void machine_throw(uint32_t code);

// True when a catch point of the given level takes this code (unsigned).
inline bool catches(uint32_t level, uint32_t code) { return code <= level; }

// The result of evaluation: none, or the pending break, continue, return or
// exit that the caller must hand on at once, touching no stack.
enum class [[nodiscard]] Pending : uint32_t {
    none = 0,
    brk = CODE_BREAK,
    cont = CODE_CONTINUE,
    ret = CODE_RETURN,
    exit = CODE_EXIT,
};

// Evaluates expr, a Pending, and returns it from the enclosing function when
// it is not Pending::none: the one way a received pending code is handed on.
#define VEK_PASS(expr)                                                             \
    do {                                                                           \
        if (::vek::Pending vek_pass_ = (expr); vek_pass_ != ::vek::Pending::none) \
            return vek_pass_;                                                      \
    } while (0)

}  // namespace vek
