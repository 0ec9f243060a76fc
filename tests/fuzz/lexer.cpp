// The lexer on any bytes: loaded as code (a syntax error is a fine answer,
// caught under a try frame as a script's would be), the values it loads
// molded back to text, and scanned in the two quiet modes, which mark what
// they cannot read instead of raising.
#include <algorithm>

#include "runtime/actions/dispatch.h"
#include "runtime/datatypes/string/buffer.h"
#include "runtime/lexer/lexer.h"
#include "tests/fuzz/target.h"
#include "tests/unit/support/support.h"

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

}  // namespace

void run_one(const uint8_t* data, size_t size) {
    auto length = uint32_t(std::min(size, MAX_INPUT));
    for (lexer::Mode mode : {lexer::Mode::load, lexer::Mode::scan, lexer::Mode::prescan})
        test::raised([&] { scan_as(mode, data, length); });
}

}  // namespace vek::fuzz
