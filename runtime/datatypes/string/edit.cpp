#include "runtime/datatypes/string/edit.h"

#include <algorithm>
#include <cstddef>
#include <string>

#include "runtime/actions/dispatch.h"
#include "runtime/core/raise.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/block/array.h"
#include "runtime/datatypes/char.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/series/actions.h"
#include "runtime/datatypes/series/ranges.h"
#include "runtime/datatypes/string/buffer.h"
#include "runtime/datatypes/string/internal.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/memory/manager.h"
#include "runtime/text/unicode.h"

namespace vek::string {

namespace {

using series::clamped_head;
using series::Edit;

uint32_t length_of(const Cell* value) {
    uint32_t length = series_buffer(value)->length();
    return length - std::min(series_index(value), length);
}

uint32_t limited(uint32_t count, int32_t part) { return part < 0 ? count : std::min(count, uint32_t(part)); }

// Text whose code points are copied as they stand.
bool plain_text(uint32_t type) { return is_any_string(type) && type != TYPE_TAG; }

// A pushed cell holds whatever was there before: no flags may survive.
Cell* push_string(uint32_t capacity) { return rs_make_at(make_unset(stack::push_cell()), capacity); }

// ---------------------------------------------------------------- the text a value contributes

// Forms the block's elements one after the other into the output: without
// only the first part of them, with only as many as it takes to reach part
// code points (the last one cut back).
void form_elements(const Cell* output, const Cell* block, int32_t part, bool only) {
    Node node = series_node(block);
    uint32_t head = std::min(series_index(block), node_buffer(node)->length());
    uint32_t end = node_buffer(node)->length();
    if (!only) end = head + limited(end - head, part);
    bool counting_chars = only && part >= 0;
    for (uint32_t i = head; i < std::min(end, node_buffer(node)->length()); i++) {
        if (counting_chars && length_of(output) >= uint32_t(part)) break;
        Cell element = node_buffer(node)->cells()[i];
        text::Sink out{.buffer = output};
        actions::form(&element, out);
    }
    if (counting_chars) limit_buffer(series_buffer(output), uint32_t(part));
}

// The text that an edit writes, read from its head. Plain text from another
// buffer is read where it lies; anything else is first built in a string of
// its own on the evaluation stack (which release drops), as is text from the
// target's own buffer, which the edit moves under it.
class Text {
public:
    Text(const Cell* target, const Cell* value, int32_t part, bool only) : text_(*value) {
        uint32_t type = cell_type(value);
        if (plain_text(type) && series_node(value) != series_node(target)) {
            set_series_index(&text_, std::min(series_index(&text_), series_buffer(&text_)->length()));
            count_ = limited(length_of(&text_), part);
            return;
        }
        Cell* built = push_string(16);
        pushed_ = true;
        if (plain_text(type)) {
            concatenate(built, &text_, part, 0, false, Mode::append);
        } else if (type == TYPE_TAG) {
            append_char(series_buffer(built), '<');
            concatenate(built, &text_, -1, 0, false, Mode::append);
            append_char(series_buffer(built), '>');
            if (part >= 0) limit_buffer(series_buffer(built), uint32_t(part));
        } else if (type == TYPE_CHAR) {
            append_char(series_buffer(built), char_::get(value));
        } else if (is_any_list(type)) {  // formed element by element
            form_elements(built, &text_, part, only);
        } else {
            text::Sink out{.buffer = built};
            actions::form(&text_, out);
            if (only && part >= 0) limit_buffer(series_buffer(built), uint32_t(part));
        }
        text_ = *built;
        count_ = length_of(built);
    }

    Cell* value() { return &text_; }
    uint32_t count() const { return count_; }
    uint32_t unit() const { return series_buffer(&text_)->unit(); }

    // Makes the text dup copies of itself; the caller has checked the size.
    void repeat(int32_t dup) {
        if (dup < 2 || count_ == 0) return;
        if (!pushed_) {
            Cell* built = push_string(count_);
            concatenate(built, &text_, int32_t(count_), 0, false, Mode::append);
            text_ = *built;
            pushed_ = true;
        }
        uint32_t total = count_ * uint32_t(dup);
        for (uint32_t written = count_; written < total;) {
            uint32_t chunk = std::min(written, total - written);
            concatenate(&text_, &text_, int32_t(chunk), 0, false, Mode::append);
            written += chunk;
        }
        count_ = total;
    }

    void release() const {
        if (pushed_) stack::pop(1);
    }

private:
    Cell text_;
    uint32_t count_ = 0;
    bool pushed_ = false;
};

// dup x count, checked with the target's length (less what is removed) in
// the wider of the two units against 32 bits.
uint32_t checked_total(const Cell* series, uint32_t count, int32_t dup, uint32_t unit, uint32_t removed) {
    uint64_t total = uint64_t(count) * uint64_t(dup);
    uint64_t kept = series_buffer(series)->length() - removed;
    uint64_t width = std::max(unit, series_buffer(series)->unit());
    if (total > UINT32_MAX || (total + kept) * width > UINT32_MAX) no_memory();
    return uint32_t(total);
}

// Writes the text at the index: at the tail it is appended, elsewhere the
// rest moves up to make room.
void write_at(const Cell* series, uint32_t at, Text& text) {
    Cell target = *series;
    set_series_index(&target, at);
    Mode mode = at >= series_buffer(series)->length() ? Mode::append : Mode::insert;
    concatenate(&target, text.value(), int32_t(text.count()), 0, false, mode);
}

// ---------------------------------------------------------------- appending in place

// Whether a buffer of the unit takes the code point as it stands: the
// general path widens a unit-1 buffer from U+0080 up, as every text append
// does. Bytes come first, ahead of the switch's table: most text is bytes.
bool holds_unwidened(uint32_t unit, uint32_t code_point) {
    if (unit == 1) return code_point < 0x80;
    switch (unit) {
    case 2: return code_point < 0x10000;
    case 4: return true;
    default: return false;
    }
}

bool store_at_tail(Cell* series, SeriesBuffer* buffer, uint32_t code_point) {
    uint32_t unit = buffer->unit();
    if (buffer->area_end() - buffer->last() < std::ptrdiff_t(unit)) return false;
    if (unit == 1)
        *buffer->last() = std::byte(code_point);
    else
        unicode::write_unit(buffer->last(), unit, code_point);
    buffer->tail = buffer->tail + unit;
    set_series_index(series, 0);
    return true;
}

// Out of line, so that the common store saves no registers for the move.
[[gnu::noinline]] bool store_at_tail_of_moved(Cell* series, uint32_t code_point) {
    return store_at_tail(series, memory::grow_torture(series_buffer(series)), code_point);
}

// ---------------------------------------------------------------- trimming

// Line breaks, blanks and the other Unicode spaces; not NUL.
bool whitespace(uint32_t c) {
    if (c <= 32) return c != 0;
    return c == 0x85 || c == 0xA0 || c == 0x1680 || c == 0x180E || (c >= 0x2000 && c <= 0x200A) ||
           c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000;
}

// The whitespace that is not a control character, and TAB.
bool horizontal_space(uint32_t c) { return c == '\t' || (c >= 32 && whitespace(c)); }

// Rewrites a string's text from its head in place: the writer never runs
// ahead of the reader, and nothing allocates until finish.
class Rewrite {
public:
    explicit Rewrite(Cell* series)
        : buffer_(series_buffer(series)), unit_(buffer_->unit()), start_(clamped_head(series)),
          end_(buffer_->length()), written_(start_) {}

    uint32_t start() const { return start_; }
    uint32_t end() const { return end_; }
    uint32_t at(uint32_t i) const { return get_char(buffer_->at(i), unit_); }
    void keep(uint32_t c) { unicode::write_unit(buffer_->at(written_++), unit_, c); }
    void keep_run(uint32_t from, uint32_t to) {
        for (uint32_t i = from; i < to; i++) keep(at(i));
    }
    void finish() { buffer_->tail = region::off(buffer_->at(written_)); }

private:
    SeriesBuffer* buffer_;
    uint32_t unit_;
    uint32_t start_;
    uint32_t end_;
    uint32_t written_;
};

// Drops the spaces and tabs right after each line feed and the run right
// before one.
void clean_lines(Rewrite& text, uint32_t from, uint32_t to) {
    bool after_line_feed = false;
    for (uint32_t i = from; i < to;) {
        uint32_t c = text.at(i);
        if (!horizontal_space(c)) {
            text.keep(c);
            after_line_feed = c == '\n';
            i++;
            continue;
        }
        uint32_t run_end = i;
        while (run_end < to && horizontal_space(text.at(run_end))) run_end++;
        bool before_line_feed = run_end < to && text.at(run_end) == '\n';
        if (!after_line_feed && !before_line_feed) text.keep_run(i, run_end);
        i = run_end;
    }
}

// The code points of a trim/with argument (TAB, LF, CR and space without
// one). A string holds no cell, so it may live on the C++ heap.
std::u32string char_set(const Cell* with) {
    if (!with) return U"\t\n\r ";
    uint32_t type = cell_type(with);
    if (type == TYPE_CHAR || type == TYPE_INTEGER) return std::u32string(1, char32_t(integer::get(with)));
    if (!is_any_string(type) && type != TYPE_BINARY) fire(err::script::invalid_arg, with);
    std::u32string set;
    SeriesBuffer* buffer = series_buffer(with);
    for (uint32_t i = std::min(series_index(with), buffer->length()); i < buffer->length(); i++)
        set.push_back(char32_t(get_char(buffer->at(i), buffer->unit())));
    return set;
}

void remove_chars_in(Cell* series, const std::u32string& set) {
    Rewrite text(series);
    for (uint32_t i = text.start(); i < text.end(); i++) {
        uint32_t c = text.at(i);
        if (set.find(char32_t(c)) == std::u32string::npos) text.keep(c);
    }
    text.finish();
}

// ---------------------------------------------------------------- set operations

enum class Keep { all, members, strangers };

// Appends to the result each record of the input whose first code point the
// result does not hold yet and that the keep rule lets through.
void pass(Cell* result, const Cell* input, const Cell* other, Keep keep, uint32_t size, bool case_sensitive) {
    Node node = series_node(input);
    for (uint32_t i = series_index(input); i < node_buffer(node)->length(); i += size) {
        uint32_t first = rs_abs_at(input, i);
        if (keep != Keep::all && contains_char(other, first, size, case_sensitive) != (keep == Keep::members))
            continue;
        if (contains_char(result, first, size, case_sensitive)) continue;
        uint32_t end = std::min(i + size, node_buffer(node)->length());
        for (uint32_t j = i; j < end; j++) {
            SeriesBuffer* buffer = series_buffer(result);
            overwrite_char(buffer, buffer->length(), rs_abs_at(input, j));
        }
    }
}

}  // namespace

// ---------------------------------------------------------------- append and insert

bool append_in_place(Cell* series, const Cell* value) {
    if (cell_type(value) != TYPE_CHAR) return false;
    uint32_t code_point = char_::get(value);
    SeriesBuffer* buffer = series_buffer(series);
    if ((buffer->flags & BUF_OWNED) || !holds_unwidened(buffer->unit(), code_point)) return false;
    if (memory::grow_torture_enabled) [[unlikely]]
        return store_at_tail_of_moved(series, code_point);
    return store_at_tail(series, buffer, code_point);
}

void append(Cell* series, Cell* value, int32_t part, bool only, int32_t dup, bool append) {
    if (dup < 1) return;
    if (append && part < 0 && dup == 1 && append_in_place(series, value)) return;
    Text text(series, value, part, only);
    uint32_t total = checked_total(series, text.count(), dup, text.unit(), 0);
    text.repeat(dup);
    uint32_t at = 0;
    auto plan = [&] {
        uint32_t head = clamped_head(series);
        uint32_t length = series_buffer(series)->length();
        at = append ? length : head;
    };
    plan();
    Edit edit = append ? Edit::append : Edit::insert;
    bool owned = total > 0 && series::notify_before(series, edit, value, int32_t(at), int32_t(total));
    if (owned) {
        plan();
        checked_total(series, text.count(), 1, text.unit(), 0);
    }
    write_at(series, at, text);
    text.release();
    if (owned) series::notify_after(series, edit, value, int32_t(at), int32_t(total));
    set_series_index(series, append ? 0 : std::min(at + total, series_buffer(series)->length()));
}

// ---------------------------------------------------------------- change

void change(Cell* series, Cell* value, int32_t part, bool only, int32_t dup) {
    if (dup < 1) return;
    Text text(series, value, -1, only);
    uint64_t per_copy = is_any_block(cell_type(value)) ? block::length_from_head(value) : text.count();
    uint32_t head = 0, replaced = 0;
    auto plan = [&] {
        head = clamped_head(series);
        uint64_t wanted = part < 0 ? per_copy * uint64_t(dup) : uint64_t(part);
        replaced = uint32_t(std::min<uint64_t>(wanted, series_buffer(series)->length() - head));
    };
    plan();
    uint32_t total = checked_total(series, text.count(), dup, text.unit(), replaced);
    text.repeat(dup);
    bool owned = series::notify_before(series, Edit::change, value, int32_t(head), int32_t(replaced));
    if (owned) {
        plan();
        checked_total(series, text.count(), 1, text.unit(), replaced);
    }
    remove_chars(series, head, replaced);
    write_at(series, head, text);
    text.release();
    if (owned) series::notify_after(series, Edit::change, value, int32_t(head), int32_t(total));
    set_series_index(series, std::min(head + total, series_buffer(series)->length()));
}

// ---------------------------------------------------------------- swap

void swap(Cell* series1, Cell* series2) {
    if (!is_any_string(cell_type(series2)) && cell_type(series2) != TYPE_BINARY)
        fire(err::script::invalid_arg, series2);
    if (!series::both_have_heads(series1, series2)) return;
    bool owned1 = series::notify_before(series1, Edit::swap, series2, int32_t(series_index(series1)), 1);
    bool owned2 = series::notify_before(series2, Edit::swap, series1, int32_t(series_index(series2)), 1);
    if ((owned1 || owned2) && !series::both_have_heads(series1, series2)) return;

    uint32_t c1 = rs_abs_at(series1, series_index(series1));
    uint32_t c2 = rs_abs_at(series2, series_index(series2));
    // A binary! keeps bytes, as poke stores into one.
    auto stored = [](const Cell* series, uint32_t c) { return cell_type(series) == TYPE_BINARY ? c & 0xFFu : c; };
    poke_char(series_buffer(series1), rs_head(series1), stored(series1, c2));
    // The first poke may have widened a buffer the two share.
    poke_char(series_buffer(series2), rs_head(series2), stored(series2, c1));

    if (owned1) series::notify_after(series1, Edit::swap, series2, int32_t(series_index(series1)), 1);
    if (owned2) series::notify_after(series2, Edit::swap, series1, int32_t(series_index(series2)), 1);
}

// ---------------------------------------------------------------- take

Cell* take(Cell* series, const Cell* part, bool deep, bool last) {
    Cell* taken = series::take(series, part, deep, last);
    if (part || cell_type(taken) == TYPE_NONE) return taken;
    // The one element lies in a scratch buffer that every take shares: lift
    // it out at once.
    Cell first{};
    integer::make_at(&first, 1);
    return actions::pick(taken, &first);
}

// ---------------------------------------------------------------- trim

void trim(Cell* series, const actions::TrimArgs& args) {
    bool by_set = args.all || args.with;
    if (!by_set && args.auto_) fire(err::internal::not_done);
    std::u32string set = by_set ? char_set(args.with) : std::u32string();
    uint32_t start = clamped_head(series);
    int32_t length = int32_t(series_buffer(series)->length() - start);
    bool owned = series::notify_before(series, Edit::trim, nullptr, int32_t(start), length);
    if (by_set)
        remove_chars_in(series, set);
    else if (args.lines)
        trim_lines(series);
    else
        trim_ends(series, args.head, args.tail);
    if (owned) series::notify_after(series, Edit::trim, nullptr, int32_t(start), length);
}

void remove_char_set(Cell* series, const Cell* set) { remove_chars_in(series, char_set(set)); }

void trim_lines(Cell* series) {
    Rewrite text(series);
    bool gap = false;
    bool kept_any = false;
    for (uint32_t i = text.start(); i < text.end(); i++) {
        uint32_t c = text.at(i);
        if (whitespace(c)) {
            gap = true;
            continue;
        }
        if (gap && kept_any) text.keep(' ');
        text.keep(c);
        gap = false;
        kept_any = true;
    }
    text.finish();
}

void trim_ends(Cell* series, bool head, bool tail) {
    Rewrite text(series);
    uint32_t from = text.start();
    uint32_t to = text.end();
    if (!tail)
        while (from < to && whitespace(text.at(from))) from++;
    bool dropped_line_feed = false;
    if (!head) {
        for (; to > from && whitespace(text.at(to - 1)); to--)
            if (text.at(to - 1) == '\n') dropped_line_feed = true;
    }
    if (head || tail)
        text.keep_run(from, to);
    else
        clean_lines(text, from, to);
    text.finish();
    if (dropped_line_feed && !tail) append_char(series_buffer(series), '\n');
}

// ---------------------------------------------------------------- set operations

Cell* set_operation(Cell* first, const Cell* second, bool case_sensitive, const Cell* skip,
                    block::SetMode mode) {
    uint32_t size = series::set_record_size(skip);
    bool two_inputs = mode != block::SET_UNIQUE;
    if (two_inputs && !is_any_string(cell_type(second))) fire(err::script::invalid_arg, second);
    Cell one = *first;
    clamped_head(&one);
    Cell two = two_inputs ? *second : one;
    clamped_head(&two);

    uint32_t capacity = length_of(&one) + (mode == block::SET_UNION ? length_of(&two) : 0);
    uint32_t unit = std::max(series_buffer(&one)->unit(), series_buffer(&two)->unit());
    Cell* result = make_at_unit(make_unset(stack::push_cell()), capacity, unit);
    switch (mode) {
        case block::SET_UNIQUE: pass(result, &one, nullptr, Keep::all, size, case_sensitive); break;
        case block::SET_UNION:
            pass(result, &one, nullptr, Keep::all, size, case_sensitive);
            pass(result, &two, nullptr, Keep::all, size, case_sensitive);
            break;
        case block::SET_INTERSECT: pass(result, &one, &two, Keep::members, size, case_sensitive); break;
        case block::SET_EXCLUDE: pass(result, &one, &two, Keep::strangers, size, case_sensitive); break;
        case block::SET_DIFFERENCE:
            pass(result, &one, &two, Keep::strangers, size, case_sensitive);
            pass(result, &two, &one, Keep::strangers, size, case_sensitive);
            break;
    }
    set_type(result, cell_type(&one));
    *first = *result;
    stack::pop(1);
    return first;
}

}  // namespace vek::string
