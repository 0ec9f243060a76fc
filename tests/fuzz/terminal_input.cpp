// The GUI's terminal input parser on any bytes, cut into reads of sizes the
// bytes themselves choose: it must take every whole item and keep only an
// unfinished one, give only events that make sense (keys that are valid code
// points, control codes or special keys; mouse events of known types), and
// keep nothing once the input is over and an Esc alone would stand. Then the
// decoded characters go into a screen of cells, whose frame may hold no
// control byte but its own sequences and "\r\n".
#include <algorithm>
#include <cctype>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/fuzz/target.h"
#include "view/backends/terminal/input.h"
#include "view/backends/terminal/screen.h"

namespace vek::fuzz {
namespace {

using namespace view::backends::terminal;

constexpr size_t MAX_INPUT = 1 << 12;

void expect(bool holds, const char* what) {
    if (!holds) throw std::logic_error(what);
}

bool valid_key(int32_t key, uint32_t flags) {
    if (flags & KEY_SPECIAL) return key <= KEY_UP && key >= KEY_F1 - 11;
    if (key < 0x20 || key == 0x7F) return key != 0 && key != '\b' && key != '\n';
    return key <= 0x10FFFF && !(key >= 0xD800 && key <= 0xDFFF);
}

void check(const InputEvent& event) {
    switch (event.type) {
    case EVENT_KEY: expect(valid_key(event.key, event.flags), "a key that no input gives"); break;
    case EVENT_DOWN: case EVENT_UP: case EVENT_MID_DOWN: case EVENT_MID_UP: case EVENT_ALT_DOWN:
    case EVENT_ALT_UP: case EVENT_OVER: break;
    case EVENT_WHEEL: expect(event.wheel == 1.0f || event.wheel == -1.0f, "a wheel step of another size"); break;
    default: expect(false, "an event of an unknown type");
    }
}

std::vector<InputEvent> parse_in_reads(const uint8_t* data, size_t size) {
    InputParser parser;
    std::vector<InputEvent> events;
    int32_t first_row = 0;
    for (size_t at = 0; at < size;) {
        size_t length = std::min<size_t>(1 + data[at] % 7, size - at);
        parser.feed(std::span<const uint8_t>(data + at, length));
        parser.parse(events, first_row);
        expect(parser.incomplete() == (parser.pending() > 0), "bytes kept without an unfinished item");
        expect(first_row >= 0, "an area above the terminal");
        at += length;
    }
    // Two more parses with nothing new: what is held then is an unfinished
    // item that no more bytes complete.
    parser.parse(events, first_row);
    parser.parse(events, first_row);
    for (const InputEvent& event : events) check(event);
    return events;
}

// The frame's own sequences are ESC "[" parameters and a letter.
void check_frame(std::string_view frame) {
    for (size_t at = 0; at < frame.size(); ++at) {
        auto byte = uint8_t(frame[at]);
        if (byte == 0x1B) {
            expect(at + 1 < frame.size() && frame[at + 1] == '[', "an escape that is no CSI");
            at += 2;
            while (at < frame.size() && ((frame[at] >= '0' && frame[at] <= '9') || frame[at] == ';')) ++at;
            bool letter = at < frame.size() && std::isalpha(uint8_t(frame[at]));
            expect(letter, "a sequence without its letter");
            continue;
        }
        expect(byte >= 0x20 || byte == '\r' || byte == '\n', "a control character in a frame");
        expect(byte != 0x7F, "DEL in a frame");
        expect(!(byte == 0xC2 && at + 1 < frame.size() && uint8_t(frame[at + 1]) <= 0x9F), "C1 in a frame");
    }
}

void render(const std::vector<InputEvent>& events) {
    Screen screen;
    screen.full_screen = true;
    screen.resize(7, 3);
    screen.clear();
    size_t cell = 0;
    for (const InputEvent& event : events) {
        if (event.type != EVENT_KEY || cell == 21) continue;
        uint32_t attributes = event.key % 3 == 0 ? ATTR_SKIP : 0u;
        screen.at(int32_t(cell % 7), int32_t(cell / 7)) = {uint32_t(event.key), 0, 0, attributes};
        ++cell;
    }
    check_frame(screen.frame_text(false));
}

}  // namespace

void run_one(const uint8_t* data, size_t size) {
    size = std::min(size, MAX_INPUT);
    render(parse_in_reads(data, size));
}

}  // namespace vek::fuzz
