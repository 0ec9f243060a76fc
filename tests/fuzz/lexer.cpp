// The lexer on any bytes: loaded as code (a syntax error is a fine answer),
// the values it loads molded back to text, and scanned in the two quiet
// modes, which mark what they cannot read instead of raising.
#include <algorithm>

#include "runtime/actions/dispatch.h"
#include "runtime/core/fixed_words.h"
#include "runtime/core/unwind.h"
#include "runtime/datatypes/string/buffer.h"
#include "runtime/eval/stack.h"
#include "runtime/lexer/lexer.h"
#include "tests/fuzz/target.h"

namespace vek::fuzz {
namespace {

// Longer inputs only slow each run: every construct fits in far fewer bytes.
constexpr size_t MAX_INPUT = 1 << 16;

void mold_all(const Cell* value) {
    Cell out{};
    string::rs_make_at(&out, 16);
    text::Sink sink{.buffer = &out};
    actions::mold(value, sink, false);
}

void scan_as(lexer::Mode mode, const uint8_t* data, uint32_t size) {
    Cell result{};
    lexer::scan(&result, data, size, {.mode = mode, .wrap = true}, nullptr, nullptr, nullptr);
    if (mode == lexer::Mode::load) mold_all(&result);
}

// body() under a try frame, as a script's error would meet one: an error is
// caught, and the stacks are put back as they were.
template <class Body>
void catching_errors(Body body) {
    Cell* top = stack::top;
    Cell* arguments = stack::arguments;
    stack::CallFrame* frames = stack::frames_top;
    stack::mark_try(fixed_words::word(fixed_words::Word::anon_tag));
    try {
        body();
    } catch (const VekThrow& thrown) {
        if (thrown.code != CODE_ERROR) throw;
    }
    stack::frames_top = frames;
    stack::top = top;
    stack::arguments = arguments;
}

}  // namespace

void run_one(const uint8_t* data, size_t size) {
    auto length = uint32_t(std::min(size, MAX_INPUT));
    for (lexer::Mode mode : {lexer::Mode::load, lexer::Mode::scan, lexer::Mode::prescan})
        catching_errors([&] { scan_as(mode, data, length); });
}

}  // namespace vek::fuzz
