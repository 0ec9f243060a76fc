// The console's view of a terminal: an abstract device (bytes in with a
// time-out, bytes out, a window size, a resize flag), the decoding of the
// bytes a terminal sends into keys, and a key reader that keeps the bytes it
// has read ahead, answers the cursor-position query and waits a short time
// for the rest of an escape sequence. The line editor talks to nothing else,
// so tests drive it with a fake device; tty_terminal() is the real one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>

namespace vek::console {

// A device the line editor draws on and reads keys from.
class Terminal {
public:
    virtual ~Terminal() = default;
    // One read of at most size bytes, waiting at most timeout_ms (-1: for
    // ever): a positive count, or one of platform::terminal's READ_TIMED_OUT,
    // READ_FAILED and READ_INTERRUPTED.
    virtual int64_t read(uint8_t* destination, size_t size, int timeout_ms) = 0;
    // Writes the bytes at once (each call is one write to the device).
    virtual void write(std::string_view bytes) = 0;
    // Columns and rows of the window; 0 for what the device cannot tell.
    virtual int32_t columns() = 0;
    virtual int32_t rows() = 0;
    // Whether the window changed size since the last call; clears the flag.
    virtual bool take_resize() = 0;
};

// The terminal on standard input and output. Valid for the whole process.
Terminal& tty_terminal();

// ---------------------------------------------------------------- keys

enum class Key : uint8_t {
    none,       // bytes that mean nothing to the editor (an unknown sequence)
    text,       // a character, control characters included: code holds it
    enter,      // CR or LF
    backspace,  // DEL (127) or Ctrl+H (8)
    escape,     // Esc alone
    up,
    down,
    right,
    left,
    home,
    end,
    insert,
    delete_char,
    page_up,
    page_down,
    resized,  // the window changed size
    hung_up,  // the terminal is gone: reads keep failing
};

struct KeyEvent {
    Key key;
    char32_t code;  // the character, for Key::text; 0 otherwise
};

// The first key of the bytes and how many bytes it takes. With more
// bytes to come (more_may_come), an unfinished escape sequence or UTF-8
// character answers used 0: wait for the rest. Without, an Esc that starts
// nothing complete is Esc alone, and an unfinished UTF-8 character is
// dropped as a key of Key::none. A byte that starts no UTF-8 character
// also gives Key::none. CR LF is one Enter.
struct Decoded {
    KeyEvent event;
    size_t used;
};
Decoded decode_key(std::span<const uint8_t> bytes, bool more_may_come);

// A cursor-position report (ESC [ row ; column R) found in the bytes:
// where it starts and how long it is, with the 0-based position.
struct CursorReport {
    size_t start;
    size_t length;
    int32_t row;
    int32_t column;
};
std::optional<CursorReport> find_cursor_report(std::string_view bytes);

// ---------------------------------------------------------------- reader

// How long the rest of an escape sequence may take to arrive after the Esc,
// and how long the terminal may take to answer a cursor-position query.
constexpr int ESCAPE_TIMEOUT_MS = 50;
constexpr int CURSOR_REPLY_TIMEOUT_MS = 500;

// Reads keys from a terminal, keeping the bytes that came ahead of the
// key wanted (pasted text) for the next call, across edits too.
class KeyReader {
public:
    explicit KeyReader(Terminal& terminal) : terminal_(terminal) {}

    // Waits for the next key. A resize comes as Key::resized before any
    // key still to be read; a read that fails (the terminal hung up) gives
    // Key::hung_up.
    KeyEvent next();

    // Asks the terminal where its cursor is (0-based row and column); no
    // answer within the time-out gives nothing. Keys that arrive meanwhile
    // are kept for next().
    struct Position {
        int32_t row;
        int32_t column;
    };
    std::optional<Position> cursor_position();

    // Forgets the bytes read ahead (a test starts afresh).
    void reset() { pending_.clear(); }

    // Hands over the bytes read ahead, which another reader of the terminal
    // takes on.
    std::string take_pending() { return std::exchange(pending_, {}); }

private:
    // Reads what the terminal has into pending_: the read's answer.
    int64_t fill(int timeout_ms);
    std::optional<KeyEvent> take_key(bool more_may_come);

    Terminal& terminal_;
    std::string pending_;  // bytes read but not yet decoded
};

}  // namespace vek::console
