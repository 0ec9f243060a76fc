#include "view/backends/terminal/input.h"

#include <algorithm>

#include "runtime/codecs/terminal_input.h"

namespace vek::view::backends::terminal {

namespace {

namespace ti = codecs::terminal_input;

constexpr uint8_t ESC = 0x1B;
constexpr uint8_t BEL = 0x07;
constexpr uint8_t DEL = 0x7F;

// An unfinished item that grows past this is garbage, not a sequence still
// arriving: it is dropped rather than held for ever.
constexpr size_t MAX_HELD_BYTES = 4096;

// What parsing one item did with the bytes.
struct Step {
    size_t used;  // bytes taken; 0: the item is unfinished, wait for more
};
constexpr Step WAIT{0};

InputEvent key_event(int32_t code, uint32_t flags = 0) {
    return {EVENT_KEY, flags, code, 0, 0, 0};
}

// The special key of a CSI sequence: the final byte alone for the cursor
// keys, Home, End and Shift+Tab; the first parameter with "~" for the
// others, whatever modifier parameter follows it.
bool csi_key(const ti::Csi& csi, InputEvent& event) {
    if (csi.count == 0) {
        switch (csi.final) {
        case 'A': event = key_event(KEY_UP, KEY_SPECIAL); return true;
        case 'B': event = key_event(KEY_DOWN, KEY_SPECIAL); return true;
        case 'C': event = key_event(KEY_RIGHT, KEY_SPECIAL); return true;
        case 'D': event = key_event(KEY_LEFT, KEY_SPECIAL); return true;
        case 'F': event = key_event(KEY_END, KEY_SPECIAL); return true;
        case 'H': event = key_event(KEY_HOME, KEY_SPECIAL); return true;
        case 'Z': event = key_event('\t', FLAG_SHIFT); return true;
        default: return false;
        }
    }
    if (csi.final != '~') return false;
    int32_t code = 0;
    switch (csi.parameters[0]) {
    case 3: code = KEY_DELETE; break;
    case 5: code = KEY_PAGE_UP; break;
    case 6: code = KEY_PAGE_DOWN; break;
    case 15: code = KEY_F1 - 4; break;
    case 17: case 18: case 19: case 20: case 21: code = KEY_F1 - 5 - (csi.parameters[0] - 17); break;
    case 23: case 24: code = KEY_F1 - 10 - (csi.parameters[0] - 23); break;
    default: return false;
    }
    event = key_event(code, KEY_SPECIAL);
    return true;
}

// CSI row ";" column "R", the terminal's answer to a cursor position
// request.
bool position_report(const ti::Csi& csi) { return csi.final == 'R' && csi.count == 2; }

// SGR mouse reports: CSI "<" b ";" column ";" row, "M" pressed, "m" released.
class MouseReport {
public:
    MouseReport(const ti::Csi& csi, int32_t area_first_row)
        : button_(csi.parameters[0]), pressed_(csi.final == 'M') {
        event_ = {EVENT_OVER, modifiers(), 0, float(csi.parameters[1] - 1),
                  float(csi.parameters[2] - area_first_row - 1), 0};
    }

    // The event it gives, when any; button_pressed is the press state of the
    // last button report, updated.
    bool decode(bool& button_pressed, InputEvent& event) {
        int32_t n = (button_ & 3) | ((button_ & 0x40) >> 4);
        event = event_;
        switch (n) {
        case 0: case 1: case 2:
            if (pressed_ == button_pressed) {
                event.flags |= FLAG_DOWN;
                return true;
            }
            button_pressed = pressed_;
            event.type = EventType(2 * n + (pressed_ ? 1 : 2));
            return true;
        case 3: return true;
        case 4: case 5:
            event.type = EVENT_WHEEL;
            event.wheel = n == 4 ? 1.0f : -1.0f;
            return true;
        default: return false;
        }
    }

private:
    uint32_t modifiers() const {
        return (button_ & 4 ? uint32_t(FLAG_SHIFT) : 0u) | (button_ & 8 ? uint32_t(FLAG_ALT) : 0u) |
               (button_ & 16 ? uint32_t(FLAG_CONTROL) : 0u);
    }

    int32_t button_;  // the button code with its motion and modifier bits
    bool pressed_;    // "M", not "m"
    InputEvent event_;
};

class ItemParser {
public:
    ItemParser(std::vector<InputEvent>& events, int32_t& area_first_row, bool& button_pressed,
               uint32_t& position_reports, size_t buffer_size)
        : events_(events), area_first_row_(area_first_row), button_pressed_(button_pressed),
          position_reports_(position_reports), buffer_size_(buffer_size) {}

    Step parse(std::span<const uint8_t> bytes) {
        uint8_t byte = bytes[0];
        if (byte == ESC) return escape(bytes);
        if (byte < 0x20 || byte == DEL) return control(byte);
        return character(bytes);
    }

private:
    Step control(uint8_t byte) {
        if (byte == 0) return {1};
        int32_t code = byte == '\b' ? DEL : byte == '\n' ? '\r' : byte;
        events_.push_back(key_event(code));
        return {1};
    }

    // A character that is no valid UTF-8 is the replacement character, and
    // the input goes on after the bytes it spans.
    Step character(std::span<const uint8_t> bytes) {
        ti::Utf8Char scanned = ti::scan_utf8(bytes);
        if (scanned.scan == ti::Scan::incomplete) return WAIT;
        events_.push_back(key_event(scanned.scan == ti::Scan::complete ? int32_t(scanned.code)
                                                                        : int32_t(REPLACEMENT_CHARACTER)));
        return {scanned.used};
    }

    // An Esc typed alone is the whole buffer; at the end of a longer read it
    // may start a sequence whose rest comes with the next read.
    Step escape(std::span<const uint8_t> bytes) {
        if (bytes.size() == 1) {
            if (buffer_size_ > 1) return WAIT;
            events_.push_back(key_event(ESC));
            return {1};
        }
        switch (bytes[1]) {
        case ESC: return escape_pair(bytes);
        case '[': return csi(bytes);
        case 'P': return skip_string(bytes, false);
        case ']': return skip_string(bytes, true);
        case 'O': return ss3(bytes);
        default: return alt_chord(bytes);
        }
    }

    // Esc Esc: the first is Alt held and means nothing, the second starts
    // afresh; but no key sends a cursor position report, so an Esc before
    // one was typed as itself just before the terminal answered.
    Step escape_pair(std::span<const uint8_t> bytes) {
        if (bytes.size() < 3 || bytes[2] != '[') return {1};
        ti::Csi next = ti::scan_csi(bytes.subspan(1), ti::CsiGrammar::lenient);
        if (next.scan == ti::Scan::incomplete) return WAIT;
        if (next.scan == ti::Scan::complete && position_report(next)) events_.push_back(key_event(ESC));
        return {1};
    }

    // Esc and one character: Alt held with a key, which gives nothing.
    Step alt_chord(std::span<const uint8_t> bytes) {
        ti::Utf8Char scanned = ti::scan_utf8(bytes.subspan(1));
        if (scanned.scan == ti::Scan::incomplete) return WAIT;
        return {1 + scanned.used};
    }

    Step ss3(std::span<const uint8_t> bytes) {
        if (bytes.size() < 3) return WAIT;
        uint8_t final = bytes[2];
        if (final >= 'P' && final <= 'S') events_.push_back(key_event(KEY_F1 - (final - 'P'), KEY_SPECIAL));
        return {3};
    }

    // A DCS or OSC string ends at ESC "\" (an OSC at BEL too). One that the
    // bytes of its read do not end is dropped with them: an Alt+] typed by
    // hand must not swallow the keys after it.
    Step skip_string(std::span<const uint8_t> bytes, bool ends_at_bel) {
        for (size_t at = 2; at < bytes.size(); ++at) {
            if (ends_at_bel && bytes[at] == BEL) return {at + 1};
            if (bytes[at] == ESC && at + 1 < bytes.size() && bytes[at + 1] == '\\') return {at + 2};
        }
        return {bytes.size()};
    }

    // An Esc inside the sequence breaks it off: parsing goes on at that Esc.
    Step csi(std::span<const uint8_t> bytes) {
        ti::Csi csi = ti::scan_csi(bytes, ti::CsiGrammar::lenient);
        if (csi.scan == ti::Scan::incomplete) return WAIT;
        if (csi.scan == ti::Scan::malformed) return {csi.used};
        InputEvent event{};
        if (csi.final == 'M' || csi.final == 'm') {
            if (csi.count == 3 && MouseReport(csi, area_first_row_).decode(button_pressed_, event))
                events_.push_back(event);
        } else if (position_report(csi)) {
            area_first_row_ = std::max(0, csi.parameters[0] - 1);
            ++position_reports_;
        } else if (csi_key(csi, event)) {
            events_.push_back(event);
        }
        return {csi.used};
    }

    std::vector<InputEvent>& events_;
    int32_t& area_first_row_;
    bool& button_pressed_;
    uint32_t& position_reports_;
    size_t buffer_size_;
};

}  // namespace

void InputParser::feed(std::span<const uint8_t> bytes) {
    buffer_.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

void InputParser::feed(std::string_view bytes) { buffer_.append(bytes); }

void InputParser::parse(std::vector<InputEvent>& events, int32_t& area_first_row) {
    incomplete_ = false;
    std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(buffer_.data()), buffer_.size());
    ItemParser items(events, area_first_row, button_pressed_, position_reports_, buffer_.size());
    size_t at = 0;
    while (at < bytes.size()) {
        Step step = items.parse(bytes.subspan(at));
        if (step.used == 0) {
            incomplete_ = bytes.size() - at <= MAX_HELD_BYTES;
            if (!incomplete_) at = bytes.size();
            break;
        }
        at += step.used;
    }
    buffer_.erase(0, at);
}

}  // namespace vek::view::backends::terminal
