#include "console/line_editor.h"

#include <algorithm>

#include "runtime/text/unicode.h"

namespace vek::console {

namespace {

constexpr char32_t ESC = 0x1B;
constexpr char32_t TAB = 0x09;
constexpr size_t TAB_COLUMNS = 4;

// Control characters the editor acts on; any other one is ignored.
enum Control : char32_t {
    CTRL_A = 1, CTRL_B = 2, CTRL_C = 3, CTRL_D = 4, CTRL_E = 5, CTRL_F = 6,
    CTRL_K = 11, CTRL_N = 14, CTRL_P = 16,
};

void put_utf8(std::string& out, char32_t code) {
    if (code < 0x80) {
        out += char(code);
    } else if (code < 0x800) {
        out += char(0xC0 | (code >> 6));
        out += char(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += char(0xE0 | (code >> 12));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    } else {
        out += char(0xF0 | (code >> 18));
        out += char(0x80 | ((code >> 12) & 0x3F));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    }
}

// The length of the escape sequence at text[at] (an Esc): Esc, "[" or "(",
// digits and ";", and one final character; 0 when none starts there.
size_t escape_sequence_length(std::u32string_view text, size_t at) {
    if (at + 1 >= text.size() || (text[at + 1] != '[' && text[at + 1] != '(')) return 0;
    size_t end = at + 2;
    while (end < text.size() && ((text[end] >= '0' && text[end] <= '9') || text[end] == ';')) ++end;
    return end < text.size() ? end + 1 - at : end - at;
}

bool is_control(char32_t code) { return code < 0x20 || code == 0x7F; }

}  // namespace

// ---------------------------------------------------------------- editing

EditResult LineEditor::edit(const EditRequest& request) {
    prompt_.assign(request.prompt);
    hidden_ = request.hidden;
    history_ = &request.history;
    complete_ = &request.complete;
    history_position_ = -1;
    // Text put back by completion is used once, so nothing stale returns.
    line_ = std::move(pending_);
    cursor_ = std::min(pending_cursor_, line_.size());
    pending_.clear();
    pending_cursor_ = 0;
    // Sizes are read afresh below: a resize between edits needs no redraw.
    terminal_.take_resize();
    read_size();
    anchor_origin();
    redraw();
    EditResult result{{}, EditEnd::enter, false};
    while (on_key(keys_.next(), result) == Step::go_on) {}
    return result;
}

LineEditor::Step LineEditor::on_key(const KeyEvent& event, EditResult& result) {
    switch (event.key) {
    case Key::enter: end_edit(result, EditEnd::enter); return Step::done;
    case Key::escape: end_edit(result, EditEnd::escape); return Step::done;
    case Key::hung_up: end_edit(result, EditEnd::end_of_input); return Step::done;
    case Key::text: return on_control(event.code, result);
    case Key::backspace:
        if (cursor_ == 0) break;
        line_.erase(--cursor_, 1);
        redraw();
        break;
    case Key::delete_char:
        if (cursor_ == line_.size()) break;
        line_.erase(cursor_, 1);
        redraw();
        break;
    case Key::left:
        if (cursor_ > 0) move_cursor_to(cursor_ - 1);
        break;
    case Key::right:
        if (cursor_ < line_.size()) move_cursor_to(cursor_ + 1);
        break;
    case Key::home: move_cursor_to(0); break;
    case Key::end: move_cursor_to(line_.size()); break;
    case Key::up: history_back(); break;
    case Key::down: history_forward(); break;
    case Key::resized: resized(); break;
    case Key::none:
    case Key::insert:
    case Key::page_up:
    case Key::page_down: break;
    }
    return Step::go_on;
}

// Characters and the control keys, which arrive as characters.
LineEditor::Step LineEditor::on_control(char32_t code, EditResult& result) {
    switch (code) {
    case CTRL_A: return on_key({Key::home, 0}, result);
    case CTRL_E: return on_key({Key::end, 0}, result);
    case CTRL_B: return on_key({Key::left, 0}, result);
    case CTRL_F: return on_key({Key::right, 0}, result);
    case CTRL_P: return on_key({Key::up, 0}, result);
    case CTRL_N: return on_key({Key::down, 0}, result);
    case CTRL_C: end_edit(result, EditEnd::interrupt); return Step::done;
    case CTRL_D:
        if (cursor_ < line_.size()) return on_key({Key::delete_char, 0}, result);
        if (line_.empty()) {
            end_edit(result, EditEnd::end_of_input);
            return Step::done;
        }
        return Step::go_on;
    case CTRL_K:
        if (cursor_ < line_.size()) {
            line_.erase(cursor_);
            redraw();
        }
        return Step::go_on;
    case TAB: return on_tab(result);
    default:
        if (!is_control(code)) insert(code);
        return Step::go_on;
    }
}

// A hidden line offers no completion: candidates would show what was typed.
LineEditor::Step LineEditor::on_tab(EditResult& result) {
    std::vector<Candidate> candidates;
    if (!hidden_ && *complete_) candidates = (*complete_)(line_, cursor_);
    if (candidates.empty()) {
        insert(TAB);
        return Step::go_on;
    }
    if (candidates.size() == 1) {
        line_ = std::move(candidates[0].text);
        cursor_ = std::min(candidates[0].cursor, line_.size());
        redraw();
        return Step::go_on;
    }
    // Several: show them on the prompt's line and start the next edit from
    // their common text.
    pending_ = std::move(candidates[0].text);
    pending_cursor_ = std::min(candidates[0].cursor, pending_.size());
    line_.clear();
    for (size_t i = 1; i < candidates.size(); ++i) line_ += candidates[i].text + U" ";
    cursor_ = line_.size();
    redraw();
    end_edit(result, EditEnd::candidates);
    return Step::done;
}

void LineEditor::insert(char32_t code) {
    bool at_end = cursor_ == line_.size();
    line_.insert(cursor_++, 1, code);
    if (at_end)
        echo_last();
    else
        redraw();
}

// Up past the oldest entry and Down past the newest show an empty line.
void LineEditor::history_back() {
    if (history_position_ >= int32_t(history_->size()) - 1) {
        clear_line();
    } else {
        ++history_position_;
        show_history_entry();
    }
    redraw();
}

// Shows the entry at the position before moving toward the newest, so
// that Down right after Up shows the same entry once more.
void LineEditor::history_forward() {
    if (history_position_ < 0) {
        clear_line();
    } else {
        show_history_entry();
        --history_position_;
    }
    redraw();
}

void LineEditor::clear_line() {
    line_.clear();
    cursor_ = 0;
}

void LineEditor::show_history_entry() {
    line_ = (*history_)[size_t(history_position_)];
    cursor_ = line_.size();
}

// Leaves the cursor at the start of the row below the input.
void LineEditor::end_edit(EditResult& result, EditEnd end) {
    Positions at = lay_out_input(nullptr);
    std::string out;
    size_t last_row_start = at.end - at.end % columns_;
    move_to(out, last_row_start);
    // An input that fills its last row exactly already has the cursor below it.
    if (at.end == 0 || at.end % columns_ != 0) out += "\r\n";
    terminal_.write(out);
    result.end = end;
    switch (end) {
    case EditEnd::enter:
        result.add_to_history = !hidden_ && !line_.empty() && (history_->empty() || history_->front() != line_);
        result.line = std::move(line_);
        break;
    case EditEnd::escape: result.line = std::move(line_) + ESC; break;
    case EditEnd::interrupt:
    case EditEnd::end_of_input:
    case EditEnd::candidates: result.line.clear(); break;
    }
    clear_line();
}

// Where the input starts now: the cursor's row less the rows the input
// takes before it at the new width (the terminal re-wraps the input).
void LineEditor::resized() {
    read_size();
    auto cursor = keys_.cursor_position();
    if (cursor) {
        size_t rows_above = lay_out_input(nullptr).cursor / columns_;
        origin_row_ = std::max<int32_t>(0, cursor->row - int32_t(rows_above));
    }
    origin_column_ = std::min(origin_column_, columns_ - 1);
    redraw();
}

// ---------------------------------------------------------------- drawing

void LineEditor::read_size() {
    int32_t columns = terminal_.columns();
    int32_t rows = terminal_.rows();
    columns_ = columns > 0 ? size_t(columns) : 80;
    rows_ = rows > 0 ? size_t(rows) : 24;
}

// A terminal that does not answer leaves the prompt at the start of the
// bottom row, where a console's cursor usually is.
void LineEditor::anchor_origin() {
    auto cursor = keys_.cursor_position();
    origin_row_ = cursor ? cursor->row : int32_t(rows_) - 1;
    origin_column_ = cursor ? std::min(size_t(cursor->column), columns_ - 1) : 0;
    if (!cursor) terminal_.write("\r");
}

size_t LineEditor::lay_out(std::string* out, std::u32string_view text, size_t position, bool masked) const {
    auto put = [&](char32_t code, size_t width) {
        if (out) put_utf8(*out, code);
        position += width;
    };
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t code = text[i];
        if (masked) {
            put(U'*', 1);
        } else if (size_t length = code == ESC ? escape_sequence_length(text, i) : 0) {
            if (out)
                for (size_t k = 0; k < length; ++k) put_utf8(*out, text[i + k]);
            i += length - 1;
        } else if (code == TAB) {
            for (size_t k = 0; k < TAB_COLUMNS; ++k) put(U' ', 1);
        } else if (is_control(code)) {
            put(U'^', 1);
            put(code ^ 0x40, 1);
        } else {
            int width = unicode::char_width(code);
            // The terminal moves a wide character that would start in the
            // last column to the next row.
            if (width == 2 && columns_ > 1 && position % columns_ == columns_ - 1) ++position;
            put(code, size_t(width));
        }
    }
    return position;
}

LineEditor::Positions LineEditor::lay_out_input(std::string* out) const {
    std::u32string_view line = line_;
    size_t prompt_end = lay_out(out, prompt_, origin_column_, false);
    size_t cursor = lay_out(out, line.substr(0, cursor_), prompt_end, hidden_);
    size_t end = lay_out(out, line.substr(cursor_), cursor, hidden_);
    bool wide_next = cursor_ < line_.size() && !hidden_ && unicode::char_width(line_[cursor_]) == 2;
    if (wide_next && columns_ > 1 && cursor % columns_ == columns_ - 1) ++cursor;
    return {cursor, end};
}

void LineEditor::move_to(std::string& out, size_t position) const {
    size_t row = size_t(origin_row_) + position / columns_;
    out += "\x1b[" + std::to_string(row + 1) + ";" + std::to_string(position % columns_ + 1) + "H";
}

// After the text: an input that ends exactly at a row's end leaves the
// terminal's cursor waiting in the last column, so it is taken to the next
// row; output below the screen's last row scrolls it, and the origin with it.
void LineEditor::finish_text(std::string& out, size_t end) {
    if (end > 0 && end % columns_ == 0) out += "\r\n";
    int32_t bottom = origin_row_ + int32_t(end / columns_);
    int32_t last_row = int32_t(rows_) - 1;
    if (bottom > last_row) origin_row_ = std::max(0, origin_row_ - (bottom - last_row));
}

void LineEditor::redraw() {
    std::string out;
    move_to(out, origin_column_);
    out += "\x1b[J";
    Positions at = lay_out_input(&out);
    finish_text(out, at.end);
    move_to(out, at.cursor);
    terminal_.write(out);
}

void LineEditor::move_cursor_to(size_t cursor) {
    cursor_ = cursor;
    std::string out;
    move_to(out, lay_out_input(nullptr).cursor);
    terminal_.write(out);
}

// The character just typed at the end of the line, where the terminal's
// cursor already stands.
void LineEditor::echo_last() {
    std::u32string_view line = line_;
    size_t prompt_end = lay_out(nullptr, prompt_, origin_column_, false);
    size_t before = lay_out(nullptr, line.substr(0, line.size() - 1), prompt_end, hidden_);
    std::string out;
    size_t end = lay_out(&out, line.substr(line.size() - 1), before, hidden_);
    finish_text(out, end);
    terminal_.write(out);
}

}  // namespace vek::console
