#include "console/terminal.h"

#include <chrono>

#include "platform/terminal.h"

namespace vek::console {

namespace {

namespace pt = platform::terminal;

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
    bool take_resize() override { return pt::take_resize(); }
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

// ESC [ parameters intermediates final: parameters 0x30-0x3F, intermediates
// 0x20-0x2F, final 0x40-0x7E.
Decoded decode_csi(std::span<const uint8_t> bytes, bool more_may_come) {
    size_t at = 2;
    int parameter = 0;
    bool first_parameter = true;
    while (at < bytes.size() && bytes[at] >= 0x30 && bytes[at] <= 0x3F) {
        if (bytes[at] == ';') first_parameter = false;
        if (first_parameter && bytes[at] >= '0' && bytes[at] <= '9' && parameter < 1000)
            parameter = parameter * 10 + (bytes[at] - '0');
        ++at;
    }
    while (at < bytes.size() && bytes[at] >= 0x20 && bytes[at] <= 0x2F) ++at;
    if (at == bytes.size()) return {key(Key::escape), more_may_come ? 0u : 1u};
    // Not a sequence after all: the Esc stands alone, the rest is typing.
    if (bytes[at] < 0x40 || bytes[at] > 0x7E) return {key(Key::escape), 1};
    return {key(csi_key(bytes[at], parameter)), at + 1};
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

size_t utf8_length(uint8_t lead) {
    if (lead >= 0xC2 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    return 0;
}

bool continuation(uint8_t byte) { return (byte & 0xC0) == 0x80; }

// Overlong forms, surrogates and code points past U+10FFFF are refused.
bool valid_code_point(char32_t code, size_t length) {
    constexpr char32_t SMALLEST[] = {0, 0, 0x80, 0x800, 0x10000};
    return code >= SMALLEST[length] && code <= 0x10FFFF && !(code >= 0xD800 && code <= 0xDFFF);
}

Decoded decode_utf8(std::span<const uint8_t> bytes, bool more_may_come) {
    size_t length = utf8_length(bytes[0]);
    if (length == 0) return {key(Key::none), 1};
    char32_t code = bytes[0] & (0x7F >> length);
    for (size_t i = 1; i < length; ++i) {
        if (i == bytes.size()) return {key(Key::none), more_may_come ? 0u : i};
        if (!continuation(bytes[i])) return {key(Key::none), i};
        code = (code << 6) | (bytes[i] & 0x3F);
    }
    if (!valid_code_point(code, length)) return {key(Key::none), length};
    return {{Key::text, code}, length};
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
