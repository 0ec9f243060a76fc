#include "console/terminal.h"

#include <chrono>
#include <utility>

#include "platform/terminal.h"
#include "runtime/codecs/terminal_input.h"

namespace vek::console {

namespace {

namespace pt = platform::terminal;
namespace ti = codecs::terminal_input;

constexpr uint8_t ESC = 0x1B;

class TtyTerminal final : public Terminal {
public:
    int64_t read(uint8_t* destination, size_t size, int timeout_ms) override {
        return pt::read_input(destination, size, timeout_ms);
    }
    // A terminal that cannot be written to any more shows up as a failed
    // read soon after: the editor then ends the edit.
    void write(std::string_view bytes) override { pt::write_output(bytes); }
    int32_t columns() override { return pt::window_size().columns; }
    int32_t rows() override { return pt::window_size().rows; }
    bool take_resize() override {
        uint32_t count = pt::resize_count();
        return std::exchange(resizes_seen_, count) != count;
    }

private:
    uint32_t resizes_seen_ = 0;  // the platform's count when last asked
};

KeyEvent key(Key k) { return {k, 0}; }

// ---------------------------------------------------------------- escape sequences

// The editing key a CSI sequence's final byte names, with its first
// parameter for the "~" forms; modifiers (ESC [ 1 ; 5 C) are ignored.
Key csi_key(uint8_t final, int parameter) {
    switch (final) {
    case 'A': return Key::up;
    case 'B': return Key::down;
    case 'C': return Key::right;
    case 'D': return Key::left;
    case 'H': return Key::home;
    case 'F': return Key::end;
    case '~': break;
    default: return Key::none;
    }
    switch (parameter) {
    case 1:
    case 7: return Key::home;
    case 2: return Key::insert;
    case 3: return Key::delete_char;
    case 4:
    case 8: return Key::end;
    case 5: return Key::page_up;
    case 6: return Key::page_down;
    default: return Key::none;
    }
}

// ESC [ parameters intermediates final: the key its final byte and first
// parameter name.
Decoded decode_csi(std::span<const uint8_t> bytes, bool more_may_come) {
    ti::Csi csi = ti::scan_csi(bytes, ti::CsiGrammar::strict);
    if (csi.scan == ti::Scan::incomplete) return {key(Key::escape), more_may_come ? 0u : 1u};
    // Not a sequence after all: the Esc stands alone, the rest is typing.
    if (csi.scan == ti::Scan::malformed) return {key(Key::escape), 1};
    return {key(csi_key(csi.final, csi.parameters[0])), csi.used};
}

// ESC O letter, which some terminals send for the arrows, Home and End.
Decoded decode_ss3(std::span<const uint8_t> bytes, bool more_may_come) {
    if (bytes.size() < 3) return {key(Key::escape), more_may_come ? 0u : 1u};
    uint8_t final = bytes[2];
    Key k = final == 'A' || final == 'B' || final == 'C' || final == 'D' || final == 'H' || final == 'F'
                ? csi_key(final, 0)
                : Key::none;
    return {key(k), 3};
}

Decoded decode_escape(std::span<const uint8_t> bytes, bool more_may_come) {
    if (bytes.size() == 1) return {key(Key::escape), more_may_come ? 0u : 1u};
    if (bytes[1] == '[') return decode_csi(bytes, more_may_come);
    if (bytes[1] == 'O') return decode_ss3(bytes, more_may_come);
    return {key(Key::escape), 1};
}

// ---------------------------------------------------------------- UTF-8

Decoded decode_utf8(std::span<const uint8_t> bytes, bool more_may_come) {
    ti::Utf8Char scanned = ti::scan_utf8(bytes);
    switch (scanned.scan) {
    case ti::Scan::complete: return {{Key::text, scanned.code}, scanned.used};
    case ti::Scan::malformed: return {key(Key::none), scanned.used};
    case ti::Scan::incomplete: break;
    }
    return {key(Key::none), more_may_come ? 0u : bytes.size()};
}

}  // namespace

Terminal& tty_terminal() {
    static TtyTerminal terminal;
    return terminal;
}

Decoded decode_key(std::span<const uint8_t> bytes, bool more_may_come) {
    if (bytes.empty()) return {key(Key::none), 0};
    uint8_t byte = bytes[0];
    if (byte == ESC) return decode_escape(bytes, more_may_come);
    if (byte == '\r') return {key(Key::enter), bytes.size() > 1 && bytes[1] == '\n' ? 2u : 1u};
    if (byte == '\n') return {key(Key::enter), 1};
    if (byte == 0x7F || byte == 0x08) return {key(Key::backspace), 1};
    if (byte < 0x80) return {{Key::text, byte}, 1};
    return decode_utf8(bytes, more_may_come);
}

std::optional<CursorReport> find_cursor_report(std::string_view bytes) {
    for (size_t start = bytes.find("\x1b["); start != std::string_view::npos;
         start = bytes.find("\x1b[", start + 1)) {
        size_t at = start + 2;
        int32_t numbers[2] = {0, 0};
        int count = 0;
        for (; count < 2; ++count) {
            size_t digits_start = at;
            while (at < bytes.size() && bytes[at] >= '0' && bytes[at] <= '9' && at - digits_start < 6)
                numbers[count] = numbers[count] * 10 + (bytes[at++] - '0');
            if (at == digits_start || at == bytes.size()) break;
            if (bytes[at] != (count == 0 ? ';' : 'R')) break;
            ++at;
        }
        if (count == 2 && numbers[0] > 0 && numbers[1] > 0)
            return CursorReport{start, at - start, numbers[0] - 1, numbers[1] - 1};
    }
    return std::nullopt;
}

// ---------------------------------------------------------------- reader

int64_t KeyReader::fill(int timeout_ms) {
    uint8_t chunk[256];
    int64_t got = terminal_.read(chunk, sizeof chunk, timeout_ms);
    if (got > 0) pending_.append(reinterpret_cast<const char*>(chunk), size_t(got));
    return got;
}

std::optional<KeyEvent> KeyReader::take_key(bool more_may_come) {
    auto bytes = std::span(reinterpret_cast<const uint8_t*>(pending_.data()), pending_.size());
    Decoded decoded = decode_key(bytes, more_may_come);
    if (decoded.used == 0) return std::nullopt;
    pending_.erase(0, decoded.used);
    return decoded.event;
}

KeyEvent KeyReader::next() {
    for (;;) {
        if (terminal_.take_resize()) return key(Key::resized);
        if (pending_.empty()) {
            if (fill(-1) == pt::READ_FAILED) return key(Key::hung_up);
            continue;
        }
        std::optional<KeyEvent> event = take_key(true);
        if (!event) {
            // The start of a sequence or character: its rest comes within
            // moments, or it was typed alone.
            int64_t got = fill(ESCAPE_TIMEOUT_MS);
            if (got > 0 || got == pt::READ_INTERRUPTED) continue;
            event = take_key(false);
        }
        if (event->key != Key::none) return *event;
    }
}

std::optional<KeyReader::Position> KeyReader::cursor_position() {
    using Clock = std::chrono::steady_clock;
    terminal_.write("\x1b[6n");
    auto deadline = Clock::now() + std::chrono::milliseconds(CURSOR_REPLY_TIMEOUT_MS);
    for (;;) {
        if (auto report = find_cursor_report(pending_)) {
            pending_.erase(report->start, report->length);
            return Position{report->row, report->column};
        }
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0 || fill(int(left)) == pt::READ_FAILED) return std::nullopt;
    }
}

}  // namespace vek::console
