#include "console/stdin_reader.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>

#include "platform/stdin.h"
#include "runtime/core/raise.h"
#include "runtime/datatypes/string/binary.h"
#include "runtime/datatypes/string/buffer.h"
#include "runtime/memory/series.h"
#include "runtime/text/unicode.h"

namespace vek::console::stdin_reader {

namespace {

constexpr std::array<uint8_t, 3> BYTE_ORDER_MARK{0xEF, 0xBB, 0xBF};
constexpr uint8_t LINE_FEED = '\n';

// Plain bytes only: nothing here for the collector.
struct StdinState {
    Source source = platform::read_stdin;
    std::array<uint8_t, 16384> bytes{};
    size_t begin = 0;            // the first byte not yet taken
    size_t end = 0;              // just past the last byte read in
    bool at_start = true;        // no byte has been taken yet
    bool end_held = false;       // a read found the end (or failed) and nobody was told yet
    int64_t held_result = 0;     // that read's answer, 0 or -1

    void reset(Source from) { *this = StdinState{.source = from}; }
    size_t buffered() const { return end - begin; }
};

StdinState state;

// One read of the source into the buffer's free room after end: the
// source's answer.
int64_t read_more() {
    int64_t got = state.source(state.bytes.data() + state.end, state.bytes.size() - state.end);
    if (got > 0) state.end += size_t(got);
    return got;
}

// Keeps the end that a read found for the next reader, so that a terminal's
// end of input (one read answering 0) is neither lost nor read past.
void hold_end(int64_t result) {
    state.end_held = true;
    state.held_result = result;
}

// Takes the end held by an earlier read, if any: true when there was one.
bool take_held_end() {
    if (!state.end_held) return false;
    state.end_held = false;
    return true;
}

// Makes sure a byte is buffered: false at the end of input or on a failed
// read.
bool fill() {
    if (state.buffered() > 0) return true;
    state.begin = state.end = 0;
    if (take_held_end()) return false;
    return read_more() > 0;
}

// Reads on only while the bytes so far could begin a byte-order mark, so a
// first line typed at a terminal never waits for more than was typed.
void skip_byte_order_mark() {
    if (!state.at_start) return;
    state.at_start = false;
    for (;;) {
        size_t compared = std::min(state.buffered(), BYTE_ORDER_MARK.size());
        if (!std::equal(BYTE_ORDER_MARK.begin(), BYTE_ORDER_MARK.begin() + compared,
                        state.bytes.begin() + ptrdiff_t(state.begin)))
            return;
        if (compared == BYTE_ORDER_MARK.size()) {
            state.begin += compared;
            return;
        }
        int64_t got = read_more();
        if (got <= 0) {
            hold_end(got);
            return;
        }
    }
}

// The length of the UTF-8 sequence that the byte starts, 0 when it starts
// none (a continuation byte, or 0xF8 and above).
uint32_t sequence_length(uint8_t byte) {
    if (byte < 0x80) return 1;
    if (byte < 0xC0) return 0;
    if (byte < 0xE0) return 2;
    if (byte < 0xF0) return 3;
    return byte < 0xF8 ? 4 : 0;
}

// The bytes of one line as the scan took them in: whole sequences up to
// bad_at, where a malformed or unfinished sequence starts when bad.
struct LineBytes {
    std::string text;
    bool bad = false;
    size_t bad_at = 0;
};

// Takes in the bytes of the next line and says how it ended. A sequence
// broken by a byte that does not continue it makes the line bad, and the
// rest of the line is read and dropped.
LineEnd scan_line(LineBytes& line) {
    uint32_t continuations = 0;  // bytes still due in the current sequence
    for (;;) {
        if (!fill()) {
            if (continuations > 0) line.bad = true;
            return line.text.empty() ? LineEnd::no_input : LineEnd::end_of_input;
        }
        uint8_t byte = state.bytes[state.begin++];
        if (line.bad) {
            if (byte == LINE_FEED) return LineEnd::line_feed;
            continue;
        }
        if (continuations > 0) {
            if ((byte & 0xC0) != 0x80) {
                line.bad = true;
                if (byte == LINE_FEED) return LineEnd::line_feed;
            }
            line.text.push_back(char(byte));  // a byte that breaks the sequence goes into the error with it
            continuations--;
            continue;
        }
        if (byte == LINE_FEED) return LineEnd::line_feed;
        uint32_t length = sequence_length(byte);
        if (length == 0) return LineEnd::stray_byte;
        line.bad_at = line.text.size();
        line.text.push_back(char(byte));
        continuations = length - 1;
    }
}

// The runtime's decoder judges every whole sequence; it raises on those it
// rejects.
void append_utf8(const Cell* string, const uint8_t* bytes, size_t length) {
    Node node = series_node(string);
    for (size_t at = 0; at < length;) {
        uint32_t count = uint32_t(std::min<size_t>(length - at, 4));
        int32_t code_point = unicode::decode_utf8_char_checked(bytes + at, &count);
        string::append_char(node_buffer(node), uint32_t(code_point));
        at += count;
    }
}

[[noreturn]] void raise_invalid_utf8(const uint8_t* bytes, size_t length) {
    Cell* sequence = binary::load_push(bytes, uint32_t(std::min<size_t>(length, 4)));
    fire(err::access::invalid_utf8, sequence);
}

}  // namespace

void reset(Source source) { state.reset(source); }

LineEnd read_line(const Cell* string) {
    skip_byte_order_mark();
    LineBytes line;
    LineEnd end = scan_line(line);
    auto bytes = reinterpret_cast<const uint8_t*>(line.text.data());
    size_t good = line.bad ? line.bad_at : line.text.size();
    append_utf8(string, bytes, good);
    if (line.bad) raise_invalid_utf8(bytes + good, line.text.size() - good);
    return end;
}

int64_t read_bytes(uint8_t* destination, size_t size) {
    if (size == 0) return 0;
    state.at_start = false;
    if (state.buffered() > 0) {
        size_t n = std::min(size, state.buffered());
        std::memcpy(destination, state.bytes.data() + state.begin, n);
        state.begin += n;
        return int64_t(n);
    }
    if (take_held_end()) return state.held_result;
    return state.source(destination, size);
}

}  // namespace vek::console::stdin_reader
