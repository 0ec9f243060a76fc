// The line editor: reads one line at a terminal key by key, edits it in
// place, walks the history, offers Tab completion, and redraws the prompt
// and the line after each change, wrapping over rows and measuring text in
// display columns (tabs as four spaces, escape sequences in no columns,
// East Asian wide characters in two, a wide character that would start in
// the last column moved to the next row).
//
// Drawing: the first redraw of an edit asks the terminal where its cursor
// is; that is where the prompt starts (the origin). Each later redraw goes
// back there, blanks everything below and writes prompt and line, all in
// one write to the terminal. Typing at the end of the line writes only the
// new character; moving the cursor writes only its new position. Output
// that scrolls the screen moves the origin up with it. After a resize the
// origin is found again from the cursor, by where the cursor stands in the
// input at the new width, and the whole input is drawn from there.
//
// The editor knows no Vek values: it works on UTF-32 text, and the caller
// turns the line, the history and completion into Vek terms.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "console/terminal.h"

namespace vek::console {

// A completion: the text of the whole line, with the cursor's index in it.
struct Candidate {
    std::u32string text;
    size_t cursor;
};
// Answers the completions of the line with the cursor at that index: none,
// one (it replaces the line), or several (the first is the common text, the
// rest are shown). May raise a Vek error, which leaves the edit.
using Completer = std::function<std::vector<Candidate>(const std::u32string& line, size_t cursor)>;

// How an edit ended.
enum class EditEnd : uint8_t {
    enter,       // the line as typed
    escape,      // the line with an Esc character appended
    interrupt,     // Ctrl+C: an empty line
    end_of_input,  // Ctrl+D on an empty line, or a terminal that hung up: an empty line
    candidates,  // Tab found several completions: an empty line, and the next edit starts from their common text
};

struct EditResult {
    std::u32string line;
    EditEnd end;
    bool add_to_history;  // Enter on a shown, non-empty line that differs from the newest entry
};

struct EditRequest {
    std::u32string_view prompt;                  // written as it is: its escape sequences take no columns
    bool hidden;                                 // the line shows as "*", Tab is a plain character
    const std::vector<std::u32string>& history;  // newest first
    const Completer& complete;                   // empty: Tab is a plain character
};

class LineEditor {
public:
    LineEditor(Terminal& terminal, KeyReader& keys) : terminal_(terminal), keys_(keys) {}

    // Edits one line until Enter, Esc, Ctrl+C, Ctrl+D on an empty line, a
    // hang-up or a Tab with several candidates, and leaves the cursor at
    // the start of the row below the input. The line starts from the text
    // left by the last edit's completions, if any, which is used up. Raw
    // mode is the caller's business.
    EditResult edit(const EditRequest& request);

    // Forgets the text the next edit would start from.
    void reset() { pending_.clear(); }

private:
    enum class Step : uint8_t { go_on, done };
    Step on_key(const KeyEvent& event, EditResult& result);
    Step on_control(char32_t code, EditResult& result);
    Step on_tab(EditResult& result);
    void insert(char32_t code);
    void history_back();
    void history_forward();
    void show_history_entry();
    void clear_line();
    void end_edit(EditResult& result, EditEnd end);
    void resized();

    // Drawing, in display positions counted from column 0 of the origin row.
    struct Positions {
        size_t cursor;  // where the cursor shows
        size_t end;     // past the last character
    };
    Positions lay_out_input(std::string* out) const;
    size_t lay_out(std::string* out, std::u32string_view text, size_t position, bool masked) const;
    void redraw();
    void move_cursor_to(size_t cursor);
    void echo_last();
    void finish_text(std::string& out, size_t end);
    void move_to(std::string& out, size_t position) const;
    void anchor_origin();
    void read_size();

    Terminal& terminal_;
    KeyReader& keys_;
    std::u32string pending_;  // what the next edit starts from (several completions)
    size_t pending_cursor_ = 0;

    std::u32string line_;
    size_t cursor_ = 0;
    std::u32string prompt_;
    bool hidden_ = false;
    const std::vector<std::u32string>* history_ = nullptr;
    const Completer* complete_ = nullptr;
    int32_t history_position_ = -1;  // the entry shown, -1 before any
    size_t columns_ = 80;
    size_t rows_ = 24;
    int32_t origin_row_ = 0;  // the screen row where the prompt starts
    size_t origin_column_ = 0;
};

}  // namespace vek::console
