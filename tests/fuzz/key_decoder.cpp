// The key decoder on any bytes, as a terminal might send them: decoding
// always moves forward and never past the bytes, whether more may come or
// not; an unfinished key is only ever the input's last bytes. Then the same
// bytes through a key reader and the line editor over a terminal that
// answers them in pieces, which must end the edit at the hang-up after them.
#include <algorithm>
#include <stdexcept>
#include <string>

#include "console/line_editor.h"
#include "console/terminal.h"
#include "tests/fuzz/target.h"
#include "tests/unit/console/fake_terminal.h"

namespace vek::fuzz {
namespace {

constexpr size_t MAX_INPUT = 1 << 12;
// Each key may redraw the whole line: longer input only takes longer.
constexpr size_t MAX_EDITED = 512;

void expect(bool holds, const char* what) {
    if (!holds) throw std::logic_error(what);
}

void decode_all(std::span<const uint8_t> bytes, bool more_may_come) {
    while (!bytes.empty()) {
        console::Decoded decoded = console::decode_key(bytes, more_may_come);
        expect(decoded.used <= bytes.size(), "decoded past the bytes");
        if (decoded.used == 0) {
            expect(more_may_come, "no progress with nothing more to come");
            return;
        }
        bytes = bytes.subspan(decoded.used);
    }
}

void edit_all(const uint8_t* data, size_t size) {
    test::FakeTerminal terminal;
    terminal.width = 7;
    terminal.height = 4;
    for (size_t at = 0; at < size; at += 5)
        terminal.chunks.emplace_back(reinterpret_cast<const char*>(data + at), std::min<size_t>(5, size - at));
    console::KeyReader keys(terminal);
    console::LineEditor editor(terminal, keys);
    std::vector<std::u32string> history{U"one", U"\x4E2D\x1B[31m"};
    console::Completer complete = [](const std::u32string& line, size_t cursor) {
        return std::vector<console::Candidate>{{line + U"x", cursor}, {U"ab", 9}};
    };
    // Each edit ends at Enter, Esc, Ctrl+C, Ctrl+D, Tab or the hang-up.
    for (size_t edits = 0; edits <= size && !terminal.chunks.empty(); ++edits)
        editor.edit({.prompt = U"\x1b[1m>> ", .hidden = edits % 3 == 2, .history = history, .complete = complete});
    expect(terminal.chunks.empty(), "input left unread");
}

}  // namespace

void run_one(const uint8_t* data, size_t size) {
    size = std::min(size, MAX_INPUT);
    std::span<const uint8_t> bytes(data, size);
    decode_all(bytes, true);
    decode_all(bytes, false);
    edit_all(data, std::min(size, MAX_EDITED));
}

}  // namespace vek::fuzz
