// The text sink that form and mold write into: the string! they append to,
// the /part limit, and the /all, /flat and indentation settings that the
// values nested in the text are molded under.
//
// One sink serves a whole text, so the limit is shared: every value written
// into it lowers the same limit, and a nested value sees what the values
// before it left. Under /part a writer stops once the limit is used up; it
// may overrun it, and the caller cuts the text at the /part length.
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"

namespace vek::text {

constexpr int32_t NO_LIMIT = 2147483647;  // the limit of a text without /part

// The operations below lower the limit by the characters they append. A
// writer whose text counts otherwise (a molded string counts its characters
// but not their escapes) appends to the buffer and lowers the limit itself.
struct Sink {
    const Cell* buffer;         // the string! the text is appended to
    bool limited = false;       // /part was given: writers stop once the limit is used up
    int32_t limit = NO_LIMIT;   // what /part still allows; may fall below 0
    bool all = false;           // /all: values shown in their construction syntax
    bool flat = false;          // /flat: no line breaks and no indentation
    int32_t indent = 0;         // the level the value's own lines are indented to

    // Each byte of the text is one code point.
    void append(const char* text);
    void append(const char* text, uint32_t length);
    void append_char(uint32_t code_point);
    // Four spaces per level.
    void indentation(int32_t level);
    // A line break, then the indentation of the level.
    void new_line(int32_t level);
    // Whether /part was given and nothing of its limit is left.
    bool used_up() const { return limited && limit < 1; }
};

// For the rest of the scope the sink molds values under other settings, as
// a nested value one level deeper needs them. The sink's own settings come
// back at the end of the scope; the text appended and the limit it used stay.
class Layout {
public:
    // Another indentation level; /all and /flat as they are.
    Layout(Sink& out, int32_t indent) : Layout(out, out.all, out.flat, indent) {}
    // All three settings.
    Layout(Sink& out, bool all, bool flat, int32_t indent)
        : out_(out), all_(out.all), flat_(out.flat), indent_(out.indent) {
        out.all = all;
        out.flat = flat;
        out.indent = indent;
    }
    ~Layout() {
        out_.all = all_;
        out_.flat = flat_;
        out_.indent = indent_;
    }
    Layout(const Layout&) = delete;
    Layout& operator=(const Layout&) = delete;

private:
    Sink& out_;
    // The sink's own settings, put back at the end of the scope.
    bool all_;
    bool flat_;
    int32_t indent_;
};

}  // namespace vek::text
