// The engine: the automaton loop, the output stack and its nesting levels,
// syntax errors, and the entry points.
#include "runtime/lexer/lexer.h"

#include <cstdio>
#include <cstring>

#include "runtime/core/raise.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/char.h"
#include "runtime/datatypes/compound/triple.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/string/buffer.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/gc/collector.h"
#include "runtime/lexer/internal.h"
#include "runtime/lexer/load_numbers.h"
#include "runtime/memory/malloc_list.h"
#include "runtime/text/unicode.h"

namespace vek::lexer {

namespace {

constexpr uint32_t OUTPUT_START = 1000;
constexpr uint32_t UTF8_START = 100000;
constexpr uint32_t NEAR_TEXT_LIMIT = 30;

Cell* output = nullptr;
uint32_t output_capacity = 0;
uint8_t* utf8_buffer = nullptr;
uint32_t utf8_used = 0;  // the part outer scans occupy
State* innermost = nullptr;

// The scan of the quiet modes stops with this once its token is marked
// error!; so does a scan whose tracer declined an error, which keeps what it
// loaded so far.
struct QuietStop {
    bool keep_loaded = false;
};

constexpr TokenFn scanners[KIND_COUNT] = {
#define X(NAME, type, scanner, loader) scanner,
#include "runtime/lexer/kinds.def"
#undef X
};

constexpr TokenFn loaders[KIND_COUNT] = {
#define X(NAME, type, scanner, loader) loader,
#include "runtime/lexer/kinds.def"
#undef X
};

void mark_output() {
    if (innermost) gc::mark_cells(output, output + innermost->top);
}

bool path_type(int32_t type) { return type >= int32_t(TYPE_PATH) && type <= int32_t(TYPE_GET_PATH); }

// Whether the token completes an item of a path (openers start one,
// comments and the end complete none).
bool ends_path_step(uint32_t kind) {
    switch (kind) {
    case K_END: case K_ERROR: case K_BLOCK_OPEN: case K_PAREN_OPEN: case K_BRACE_OPEN:
    case K_MAP_OPEN: case K_PATH: case K_COMMENT:
        return false;
    default:
        return true;
    }
}

// Where the next token starts when only the delimiters are tracked: past a
// closing delimiter that belongs to the token.
const uint8_t* token_tail(State* st, uint32_t kind, const uint8_t* start, const uint8_t* end) {
    const uint8_t* after = end;
    switch (kind) {
    case K_RAW_STRING:
        raw_string_close(st, start, end, &after);
        return after;
    case K_CHAR: case K_BINARY: case K_TAG: case K_PERCENT: case K_POINT:
        return end + 1;
    case K_FILE:
        return end - start > 1 && start[1] == '"' ? end + 1 : end;
    default:
        return end;
    }
}

const uint8_t* skip_unicode_blanks(State* st, const uint8_t* p, const uint8_t* end) {
    while (p < end && *p >= 0x80) {
        uint32_t size = 0;
        int32_t code_point = decode_utf8(p, st->input_end, &size);
        if (code_point < 0) syntax_error(st, TYPE_WORD, p);
        if (!unicode_blank(uint32_t(code_point))) break;
        p += size;
    }
    return p;
}

// A point literal checked without being loaded leaves its marker behind.
void drop_point(State* st) {
    uint32_t marker = st->level - 1;
    st->level = marker - marker_outer_count(output_at(marker));
    st->top = marker;
    st->start_state = 0;
}

// ---------------------------------------------------------------- the tracer's steps

// The prescan event of a token, but inside a brace string and for the "("
// of a point literal, whose tracer is not asked. A point literal's span
// takes in its parentheses.
bool prescan_accepted(State* st, uint32_t kind, const uint8_t* start, const uint8_t* end) {
    if (st->start_state == 4 || (kind == K_PAREN_OPEN && starts_point(start, st->input_end))) return true;
    if (kind == K_POINT) {
        if (start > st->input_start) start--;
        if (end < st->input_end) end++;
    }
    int32_t type = st->token_type != 0 ? st->token_type : kind_code(kind);
    return trace_event(st, LEX_PRESCAN, type, nullptr, start, end);
}

// A token the tracer declined at its prescan: the input moves past it (at
// least one byte), nothing else happens, and it completes no value.
uint32_t skip_token(State* st, uint32_t kind, const uint8_t* start, const uint8_t* end) {
    // The delimiter kinds and strings end at a byte the automaton left for their scanner.
    bool own_closer = kind <= K_STRING && kind != K_END && kind != K_COMMENT;
    const uint8_t* next = kind == K_END ? st->input_end : own_closer ? end + 1 : token_tail(st, kind, start, end);
    if (next <= start) next = start + 1;
    st->position = next < st->input_end ? next : st->input_end;
    if (st->moved_to) st->position = st->moved_to;
    st->moved_to = nullptr;
    st->token_type = 0;
    return kind == K_END ? K_END : K_COMMENT;
}

// A value token: checked by its scanner, or by its loader when it has none
// (in load mode only for a tracer's scan event), then loaded. The tracer's
// scan answer decides whether it is loaded, its load answer whether the
// value stays.
void scan_value(State* st, uint32_t kind, const uint8_t* start, const uint8_t* end, uint32_t flags) {
    if (scanners[kind]) scanners[kind](st, start, end, flags, false);
    else if (!st->load || traced(st, LEX_SCAN)) loaders[kind](st, start, end, flags, false);
    if (traced(st, LEX_SCAN) && !trace_event(st, LEX_SCAN, st->token_type, nullptr, start, st->position)) return;
    if (!st->load) return;
    // A point literal's value takes the place of its level's marker.
    uint32_t before = kind == K_POINT ? st->level - 1 : st->top;
    loaders[kind](st, start, st->token_end, flags, true);
    if (!traced(st, LEX_LOAD) || st->top == before) return;
    Cell loaded = *output_at(st->top - 1);
    if (!trace_event(st, LEX_LOAD, st->token_type, &loaded, start, st->position)) st->top = before;
}

bool eight_spaces(const uint8_t* p) {
    uint64_t eight;
    std::memcpy(&eight, p, sizeof eight);
    return eight == 0x2020202020202020u;
}

// The blanks before a token, over which start state 0 stays 0; counts their
// line feeds. Indentation goes eight spaces at a time.
const uint8_t* skip_blanks(const uint8_t* p, const uint8_t* end, int32_t* lines) {
    while (end - p >= 8 && eight_spaces(p)) p += 8;
    for (; p < end; p++) {
        uint32_t byte_class = class_of(*p);
        if (transitions[0][byte_class] != 0) break;
        *lines += byte_class == C_LINE;
    }
    return p;
}

int32_t count_lines(const uint8_t* from, const uint8_t* to) {
    int32_t lines = 0;
    for (const uint8_t* p = from; p < to; p++) lines += *p == '\n';
    return lines;
}

// One token: the automaton delimits it, then its scanner and loader run.
// Answers the token kind. No inner state leads back to state 0, so the
// blanks before a token are all skipped first and the token's bytes follow.
uint32_t scan_token(State* st, bool prescan) {
    uint32_t state = uint32_t(st->start_state);
    int32_t lines_before = 0;
    const uint8_t* end = st->input_end;
    const uint8_t* start = state == 0 ? skip_blanks(st->position, end, &lines_before) : st->position;
    const uint8_t* p = start;
    uint32_t flags = 0;     // over the bytes consumed
    uint32_t last = 0;      // the class entry of the byte that ended the token
    uint32_t next = 0;
    while (p < end) {
        uint32_t entry = class_table[*p];
        next = transitions[state][entry & 0xFF];
        if (next >= FIRST_FINAL) {
            last = entry;
            break;
        }
        flags |= entry;
        state = next;
        p++;
    }
    if (p == end) next = transitions[state][C_END];
    uint32_t before = state;
    state = next;
    // Line feeds inside a token are rare (strings, tags, binaries): counted
    // only when one was consumed.
    int32_t lines = flags & F_LINE ? count_lines(start, p) : 0;
    flags |= last;
    uint32_t kind = state - FIRST_FINAL;
    st->token_end = p;
    st->line += lines_before + lines;
    st->token_lines = lines;
    st->newline_before = lines_before > 0;
    st->previous_state = int32_t(before);
    st->type_override = -1;
    st->previous_token_type = st->token_type;
    st->token_type = state_type[state];

    if (kind == K_WORD && (flags & F_UTF8)) {
        // Leading blanks are space: the token proper starts after them, and
        // is scanned again from there, since its first character decides
        // its kind (a digit after the blank begins a number, not a word).
        const uint8_t* after_blanks = skip_unicode_blanks(st, start, p);
        if (after_blanks != start) {
            st->position = after_blanks;
            st->token_type = 0;
            return after_blanks >= end ? K_END : K_COMMENT;
        }
    }
    if (traced(st, LEX_PRESCAN) && !prescan_accepted(st, kind, start, p)) return skip_token(st, kind, start, p);
    if (prescan) {
        if (kind <= K_STRING) scanners[kind](st, start, p, flags, false);
        else st->position = token_tail(st, kind, start, p);
    } else if (kind <= K_COMMA) {
        scanners[kind](st, start, p, flags, st->load);
    } else {
        scan_value(st, kind, start, p, flags);
    }
    if (kind == K_POINT && open_type(st) == TYPE_POINT2D) drop_point(st);
    if (in_path(st) && st->start_state != 35 && ends_path_step(kind)) end_path_item(st);
    if (st->moved_to) {
        st->position = st->moved_to;
        st->moved_to = nullptr;
    }
    return kind;
}

void scan_tokens(State* st, bool one, bool prescan) {
    for (;;) {
        uint32_t kind = scan_token(st, prescan);
        if (kind == K_END || st->position >= st->input_end) break;
        bool complete = st->token_type != 0 && st->level == st->base && st->start_state == 0;
        if ((one || prescan) && complete) break;
    }
    if (st->start_state == 4) syntax_error(st, TYPE_STRING, st->brace_start);
    if (prescan && in_path(st)) st->token_type = int32_t(open_type(st));
}

// The outermost open level at the end of the scan: "missing" its closer.
[[noreturn]] void unclosed(State* st) {
    const Cell* marker = output_at(st->level - 1);
    const uint8_t* opener = st->input_start + marker_opener(marker);
    char closer = marker_type(marker) == TYPE_BLOCK || marker_type(marker) == TYPE_MAP ? ']' : ')';
    missing_error(st, closer, opener);
}

// Before a syntax error ends a scan that appends to a block: the values that
// the outermost level completed before the first level still open are
// loaded, and go into the block as they would have.
void keep_completed(State* st) {
    if (!st->into) return;
    uint32_t end = st->top;
    for (uint32_t level = st->level; level != st->base;) {
        end = level - 1;
        level = end - marker_outer_count(output_at(end));
    }
    for (uint32_t i = st->base; i < end; i++) block::rs_append(st->into, output_at(i));
}

// Drops the open levels: blocks, parens and maps become blocks of what they
// hold so far, an open path's items join the level around it.
void close_all(State* st) {
    while (st->level != st->base) {
        uint32_t type = open_type(st);
        if (path_type(int32_t(type)) || type == TYPE_POINT2D) {
            uint32_t marker = st->level - 1;
            uint32_t before = marker_outer_count(output_at(marker));
            std::memmove(output + marker, output + st->level, (st->top - st->level) * sizeof(Cell));
            st->top--;
            st->level = marker - before;
        } else {
            close_series(st, type == TYPE_PAREN ? TYPE_PAREN : TYPE_BLOCK, nullptr, 0);
        }
    }
}

Cell line_text(const State* st) {
    Cell text{};
    string::rs_make_at(&text, 16);
    char digits[32];
    std::snprintf(digits, sizeof digits, "(line %d)", st->line);
    string::append_c_string(&text, digits);
    return text;
}

// The input from near up to the first line feed, the input end or 30 code
// points; bytes that do not decode stand as U+FFFD.
Cell near_text(const State* st, const uint8_t* near) {
    Cell text{};
    string::rs_make_at(&text, NEAR_TEXT_LIMIT);
    const uint8_t* p = near < st->input_start ? st->input_start : near;
    for (uint32_t n = 0; n < NEAR_TEXT_LIMIT && p < st->input_end && *p != '\n' && *p != 0; n++) {
        uint32_t size = 1;
        int32_t code_point = *p < 0x80 ? *p : decode_utf8(p, st->input_end, &size);
        if (code_point < 0) {
            code_point = 0xFFFD;
            size = 1;
        }
        string::append_char(series_buffer(&text), uint32_t(code_point));
        p += size;
    }
    return text;
}

// Unlinks the record however the scan ends.
struct Link {
    State* st;
    explicit Link(State* s) : st(s) {
        st->previous = innermost;
        if (innermost) innermost->next = st;
        innermost = st;
    }
    ~Link() {
        innermost = st->previous;
        if (innermost) innermost->next = nullptr;
    }
    Link(const Link&) = delete;
    Link& operator=(const Link&) = delete;
};

uint32_t units_consumed(const State* st, const Cell* source) {
    if (source && cell_type(source) != TYPE_BINARY)
        return unicode::count_utf8_chars(st->input_start, st->position);
    return uint32_t(st->position - st->input_start);
}

void deliver(State* st, Cell* dst, bool one, bool wrap, const Cell* into) {
    uint32_t count = st->top - st->base;
    if (into) {
        for (uint32_t i = 0; i < count; i++) block::rs_append(into, output_at(st->base + i));
        return;
    }
    if (!one || wrap) {
        Cell made{};
        block::make_at(&made, int32_t(count));
        SeriesBuffer* buffer = series_buffer(&made);
        std::memcpy(buffer->cells(), output_at(st->base), count * sizeof(Cell));
        buffer->tail = buffer->offset + count * uint32_t(sizeof(Cell));
        *dst = made;
        return;
    }
    if (count == 0) make_unset(dst);
    else *dst = *output_at(st->base);
}

}  // namespace

Cell* output_at(uint32_t index) { return output + index; }

uint32_t open_type(const State* st) {
    return st->level == st->base ? 0 : marker_type(output_at(st->level - 1));
}

bool in_path(const State* st) { return path_type(int32_t(open_type(st))); }

void init() {
    output = static_cast<Cell*>(malloc_list::alloc(OUTPUT_START * sizeof(Cell)));
    output_capacity = OUTPUT_START;
    utf8_buffer = static_cast<uint8_t*>(malloc_list::alloc(UTF8_START));
    gc::add_root("lexer output", mark_output);
}

Cell* alloc_cell(State* st) {
    if (st->top == output_capacity) {
        output_capacity *= 2;
        output = static_cast<Cell*>(malloc_list::resize(output, size_t(output_capacity) * sizeof(Cell)));
    }
    Cell* cell = output + st->top++;
    *cell = blank_cell(TYPE_UNSET | (st->newline_before ? CELL_NEW_LINE : 0));
    return cell;
}

namespace {

// Whether a closer of the type closes a level of the open type: "]" also
// closes a map, and ":" a path, making it a set-path.
bool closes(uint32_t open, uint32_t type) {
    return open == type || (type == TYPE_BLOCK && open == TYPE_MAP) || (type == TYPE_SET_PATH && open == TYPE_PATH);
}

// The tracer's close event, asked before the closer is checked against what
// is open, so that a tracer can drop the closers of the openers it dropped:
// it reports the datatype opened, or the closer's when it closes nothing open.
bool close_accepted(State* st, uint32_t type, const uint8_t* closer) {
    uint32_t open = st->level == st->base ? 0 : marker_type(output_at(st->level - 1));
    return trace_event(st, LEX_CLOSE, int32_t(closes(open, type) ? open : type), nullptr, closer, st->position);
}

}  // namespace

bool open_series(State* st, uint32_t type, const uint8_t* opener) {
    if (open_type(st) == TYPE_POINT2D) syntax_error(st, TYPE_POINT2D, opener);
    if (traced(st, LEX_OPEN) && !trace_event(st, LEX_OPEN, int32_t(type), nullptr, opener, st->position)) return false;
    uint32_t before = st->top - st->level;
    Cell* marker = alloc_cell(st);
    uint32_t new_line = marker->header & CELL_NEW_LINE;
    *marker = triple::cell(int32_t(before), int32_t(type), int32_t(opener - st->input_start));
    marker->header |= new_line;
    st->level = st->top;
    st->newline_before = false;  // the line break belongs to the opener
    st->start_state = 0;
    st->last_open_type = int32_t(type);
    return true;
}

bool close_series(State* st, uint32_t type, const uint8_t* closer, char opener) {
    if (closer && traced(st, LEX_CLOSE) && !close_accepted(st, type, closer)) {
        st->start_state = 0;
        return false;
    }
    if (st->level == st->base) missing_error(st, opener, closer);
    uint32_t marker_index = st->level - 1;
    uint32_t open = marker_type(output_at(marker_index));
    if (!closes(open, type)) {
        if (type == TYPE_SET_PATH) missing_error(st, ':', closer);
        unclosed(st);
    }
    uint32_t count = st->top - st->level;
    uint32_t before = marker_outer_count(output_at(marker_index));
    if (st->load) {
        Cell made{};
        block::make_at(&made, int32_t(count));
        SeriesBuffer* buffer = series_buffer(&made);
        std::memcpy(buffer->cells(), output_at(st->level), count * sizeof(Cell));
        buffer->tail = buffer->offset + count * uint32_t(sizeof(Cell));
        Cell* marker = output_at(marker_index);
        made.header = type | (marker->header & CELL_NEW_LINE);
        *marker = made;
        st->top = marker_index + 1;
    } else {
        st->top = marker_index;
    }
    st->level = marker_index - before;
    st->token_type = int32_t(type);
    st->start_state = in_path(st) ? 59 : 0;
    st->last_open_type = int32_t(open_type(st));
    return true;
}

Cell* close_point(State* st) {
    uint32_t marker = st->level - 1;
    uint32_t new_line = output_at(marker)->header & CELL_NEW_LINE;
    st->level = marker - marker_outer_count(output_at(marker));
    st->top = marker;
    st->start_state = 0;
    st->last_open_type = int32_t(open_type(st));
    Cell* cell = alloc_cell(st);
    cell->header |= new_line;
    return cell;
}

namespace {

// The tracer's error event, with the datatype at fault: declined, the scan
// stops quietly with what it loaded so far.
void error_event(State* st, int32_t type, const uint8_t* start) {
    if (!traced(st, LEX_ERROR)) return;
    int32_t at_fault = type > 0 ? type : st->last_open_type > 0 ? st->last_open_type : int32_t(TYPE_ERROR);
    const uint8_t* end = st->token_end > start ? st->token_end : start;
    if (!trace_event(st, LEX_ERROR, at_fault, nullptr, start, end)) throw QuietStop{.keep_loaded = true};
}

}  // namespace

void syntax_error(State* st, int32_t type, const uint8_t* start) {
    st->token_type = TYPE_ERROR;
    error_event(st, type, start);
    if (!st->load) throw QuietStop{};
    keep_completed(st);
    close_all(st);
    Cell line = line_text(st);
    Cell near = near_text(st, start);
    if (type == ERR_MALCONSTRUCT) fire(err::syntax::malconstruct, &line, &near);
    if (type <= 0 || path_type(type)) fire(err::syntax::bad_char, &line, &near);
    Cell datatype = datatype::cell(uint32_t(type));
    fire(err::syntax::invalid, &line, &datatype, &near);
}

void missing_error(State* st, char delimiter, const uint8_t* near) {
    st->token_type = TYPE_ERROR;
    error_event(st, ERR_BAD_CHAR, near);
    if (!st->load) throw QuietStop{};
    keep_completed(st);
    close_all(st);
    Cell line = line_text(st);
    Cell text = near_text(st, near);
    Cell expected = char_::cell(uint8_t(delimiter));
    fire(err::syntax::missing, &line, &expected, &text);
}

uint32_t scan(Cell* dst, const uint8_t* text, uint32_t size, ScanOptions options, uint32_t* consumed,
              const Cell* source, const Cell* into) {
    State st{};
    st.base = st.level = st.top = innermost ? innermost->top : 0;
    st.input_start = st.position = st.token_end = text;
    st.input_end = text + size;
    st.line = 1;
    st.type_override = -1;
    st.load = options.mode == Mode::load;
    st.into = into;
    if (options.tracer) start_tracing(&st, options.tracer, source);
    bool prescan = options.mode == Mode::prescan;
    Link link(&st);
    bool quiet = false;
    bool keep_loaded = false;
    try {
        scan_tokens(&st, options.one, prescan);
        if (st.level != st.base && !(prescan && in_path(&st))) unclosed(&st);
    } catch (QuietStop& stop) {
        quiet = true;
        keep_loaded = stop.keep_loaded && st.load;
    }
    if (consumed) *consumed = units_consumed(&st, source);
    if (quiet && !keep_loaded) {
        if (dst && !into) *dst = none::constant;
        return TYPE_ERROR;
    }
    if (keep_loaded) close_all(&st);
    if (st.load) deliver(&st, dst, options.one, options.wrap, into);
    return quiet ? TYPE_ERROR : uint32_t(st.token_type);
}

uint32_t scan_string(Cell* dst, const Cell* string, int32_t length, ScanOptions options,
                     uint32_t* consumed, const Cell* into) {
    Cell source = *string;
    uint32_t available = string::rs_length(&source);
    uint32_t count = length < 0 || uint32_t(length) > available ? available : uint32_t(length);
    uint32_t unit = series_buffer(&source)->unit();
    uint32_t room = count * (unit == 4 ? 4 : unit + 1) + 1;
    bool shared = utf8_used + room <= UTF8_START;
    uint8_t* text = shared ? utf8_buffer + utf8_used : static_cast<uint8_t*>(malloc_list::alloc(room));
    uint32_t size = unicode::string_to_utf8(&source, text, int32_t(count), false);
    struct Release {
        uint8_t* own;
        uint32_t saved;
        ~Release() {
            utf8_used = saved;
            if (own) malloc_list::free(own);
        }
    } release{shared ? nullptr : text, utf8_used};
    if (shared) utf8_used += size;
    return lexer::scan(dst, text, size, options, consumed, &source, into);
}

uint32_t scan_name_type(const Cell* word) {
    Cell name = *word;
    const char* text = symbol::get_c_string(word::symbol(&name));
    uint32_t size = uint32_t(std::strlen(text));
    // The name is copied: scanning may allocate and move the symbol's buffer.
    uint8_t* copy = static_cast<uint8_t*>(malloc_list::alloc(size + 1));
    std::memcpy(copy, text, size + 1);
    struct Release {
        uint8_t* p;
        ~Release() { malloc_list::free(p); }
    } release{copy};
    uint32_t consumed = 0;
    uint32_t type = scan(nullptr, copy, size, {.mode = Mode::scan, .one = true}, &consumed, nullptr, nullptr);
    return type == TYPE_ERROR || consumed == size ? type : 0;
}

}  // namespace vek::lexer
