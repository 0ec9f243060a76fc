// What the terminal sends while a window is shown, turned into input events:
// typed characters and control keys, the special keys of CSI and SS3
// sequences, SGR mouse reports (buttons, motion, the wheel) and the cursor
// position reports that place an inline window. Bytes are gathered in one
// buffer as reads bring them; each parse takes every whole item from it and
// keeps a sequence or character that the bytes end in the middle of for the
// next parse, when the rest has come. DCS and OSC strings are skipped.
// Nothing here touches the terminal: the screen passes its area's first row.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vek::view::backends::terminal {

// Codes of the special keys (a key event whose flags hold KEY_SPECIAL),
// shared with the line editor's key codes of the console.
enum SpecialKey : int32_t {
    KEY_UP = -20,
    KEY_DOWN = -21,
    KEY_RIGHT = -22,
    KEY_LEFT = -23,
    KEY_END = -24,
    KEY_HOME = -25,
    KEY_INSERT = -26,
    KEY_DELETE = -27,
    KEY_PAGE_UP = -28,
    KEY_PAGE_DOWN = -29,
    KEY_F1 = -31,  // to KEY_F1 - 11, F12
};

// Event type ids, as the event! datatype numbers them.
enum EventType : uint8_t {
    EVENT_DOWN = 1,
    EVENT_UP = 2,
    EVENT_MID_DOWN = 3,
    EVENT_MID_UP = 4,
    EVENT_ALT_DOWN = 5,
    EVENT_ALT_UP = 6,
    EVENT_CLICK = 9,
    EVENT_DBL_CLICK = 10,
    EVENT_WHEEL = 11,
    EVENT_OVER = 12,
    EVENT_KEY = 13,
    EVENT_KEY_DOWN = 14,
    EVENT_FOCUS = 17,
    EVENT_UNFOCUS = 18,
    EVENT_CHANGE = 26,
    EVENT_RESIZE = 30,
    EVENT_TIME = 33,
};

// Event flags.
enum EventFlag : uint32_t {
    KEY_SPECIAL = 0x1,         // the key is a SpecialKey code
    FLAG_DOWN = 0x2000000,     // a button is held during the move
    FLAG_AWAY = 0x4000000,     // over: the pointer left the widget
    FLAG_CONTROL = 0x10000000,
    FLAG_SHIFT = 0x20000000,
    FLAG_ALT = 0x40000000,
};

constexpr char32_t REPLACEMENT_CHARACTER = 0xFFFD;

struct InputEvent {
    EventType type;
    uint32_t flags = 0;  // EventFlag bits
    int32_t key = 0;     // EVENT_KEY: the character or the SpecialKey code; else a picked value
    float x = 0;         // mouse events: the column, 0-based
    float y = 0;         // mouse events: the row inside the inline area, 0-based
    float wheel = 0;     // EVENT_WHEEL: +1 away from the user, -1 towards
};

class InputParser {
public:
    // Appends bytes read from the terminal.
    void feed(std::span<const uint8_t> bytes);
    void feed(std::string_view bytes);

    // Decodes the whole items of the buffer into events, in order, keeping
    // an unfinished one. A cursor position report sets area_first_row to its
    // 0-based row; mouse rows are counted from area_first_row.
    void parse(std::vector<InputEvent>& events, int32_t& area_first_row);

    // Forgets the bytes not parsed yet (a nested event loop starts afresh).
    void clear() { buffer_.clear(); }
    size_t pending() const { return buffer_.size(); }

    // Whether the last parse stopped in the middle of an item.
    bool incomplete() const { return incomplete_; }

    // How many cursor position reports the parses have met so far.
    uint32_t position_reports() const { return position_reports_; }

private:
    std::string buffer_;         // bytes read and not yet parsed
    bool incomplete_ = false;    // the last parse kept an unfinished item
    bool button_pressed_ = false;  // the press state of the last button report, shared by all buttons
    uint32_t position_reports_ = 0;  // cursor position reports parsed
};

}  // namespace vek::view::backends::terminal
