// The scanners of the delimiter kinds: nesting, brace strings, paths,
// comments and the token that no rule accepts.
#include "runtime/datatypes/word/symbol.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/lexer/internal.h"

namespace vek::lexer {

namespace {

// The bytes that may follow "(" in a point literal.
bool point_byte(uint8_t b) {
    switch (b) {
    case '\t': case ' ': case '#': case '+': case '-': case '.': case 'A': case 'E': case 'F':
    case 'I': case 'N': case 'a': case 'e': case 'f': case 'i': case 'n':
        return true;
    default:
        return b >= '0' && b <= '9';
    }
}

const uint8_t* opener_of_level(const State* st) {
    return st->input_start + marker_opener(output_at(st->level - 1));
}

// The head word of a path, loaded, with the tracer's scan and load events.
void load_head_word(State* st, const uint8_t* name, const uint8_t* end) {
    if (traced(st, LEX_SCAN) && !trace_event(st, LEX_SCAN, TYPE_WORD, nullptr, name, end)) return;
    uint32_t before = st->top;
    word::make_at(symbol::make_from_utf8(reinterpret_cast<const char*>(name), uint32_t(end - name)), alloc_cell(st));
    if (!traced(st, LEX_LOAD)) return;
    Cell loaded = *output_at(st->top - 1);
    if (!trace_event(st, LEX_LOAD, TYPE_WORD, &loaded, name, end)) st->top = before;
}

}  // namespace

bool starts_point(const uint8_t* p, const uint8_t* end) {
    if (end - p <= 4) return false;
    for (p++; p < end; p++) {
        if (*p == ',') return true;
        if (!point_byte(*p)) return false;
    }
    return true;
}

void scan_end(State* st, const uint8_t*, const uint8_t*, uint32_t, bool) { st->position = st->input_end; }

void scan_error(State* st, const uint8_t* start, const uint8_t*, uint32_t, bool) {
    uint32_t before = uint32_t(st->previous_state);
    int32_t type = before < FIRST_FINAL ? state_type[before] : 0;
    const uint8_t* near = start;
    if (st->start_state == 4) near = st->brace_start;
    else if (type >= int32_t(TYPE_PATH) && type <= int32_t(TYPE_GET_PATH) && in_path(st)) near = opener_of_level(st);
    syntax_error(st, type == 0 ? ERR_BAD_CHAR : type, near);
}

void open_block(State* st, const uint8_t* start, const uint8_t*, uint32_t, bool) {
    st->position = start + 1;
    if (*start == '(' && starts_point(start, st->input_end)) {
        if (!open_series(st, TYPE_POINT2D, start)) return;
        st->start_state = 35;
        st->point_line = st->line;
        return;
    }
    open_series(st, *start == '[' ? TYPE_BLOCK : TYPE_PAREN, start);
}

void close_block(State* st, const uint8_t* start, const uint8_t*, uint32_t, bool load) {
    st->position = start + 1;
    bool map = open_type(st) == TYPE_MAP;
    if (map && load) check_map_pairs(st, opener_of_level(st));
    if (close_series(st, TYPE_BLOCK, start, '[') && map && load) make_map(output_at(st->top - 1));
}

void close_paren(State* st, const uint8_t* start, const uint8_t*, uint32_t, bool) {
    st->position = start + 1;
    close_series(st, TYPE_PAREN, start, '(');
}

void open_map(State* st, const uint8_t* start, const uint8_t* end, uint32_t, bool) {
    st->position = end + 1;
    open_series(st, TYPE_MAP, start);
}

// The token is the text up to a "{" (the "{" itself at the outermost level).
// A tracer that declines the outermost one leaves the text after it to be
// scanned as values.
void open_brace(State* st, const uint8_t*, const uint8_t* end, uint32_t flags, bool) {
    if (st->brace_depth == 0) {
        st->position = end + 1;
        if (traced(st, LEX_OPEN) && !trace_event(st, LEX_OPEN, TYPE_STRING, nullptr, end, end + 1)) return;
        st->brace_start = end;
        st->brace_flags = 0;
    }
    st->brace_depth++;
    st->brace_flags |= flags;
    st->start_state = 4;
    st->position = end + 1;
}

// The token is the text up to a "}"; the outermost one ends the string.
// A tracer may decline the close (the string is dropped), its scan (it is
// not loaded) or its load (the value is removed).
void close_brace(State* st, const uint8_t*, const uint8_t* end, uint32_t flags, bool load) {
    st->brace_flags |= flags;
    st->position = end + 1;
    if (--st->brace_depth > 0) return;
    const uint8_t* open = st->brace_start;
    bool escapes = (st->brace_flags & F_CARET) != 0;
    st->start_state = 0;
    st->brace_start = nullptr;
    st->brace_flags = 0;
    if (traced(st, LEX_CLOSE) && !trace_event(st, LEX_CLOSE, TYPE_STRING, nullptr, end, end + 1)) return;
    if (!load || traced(st, LEX_SCAN)) read_text(st, open + 1, end, {.escapes = escapes}, open);
    if (traced(st, LEX_SCAN) && !trace_event(st, LEX_SCAN, TYPE_STRING, nullptr, open, end + 1)) return;
    if (!load) return;
    uint32_t before = st->top;
    read_text(st, open + 1, end, {.escapes = escapes, .load = true}, open);
    if (!traced(st, LEX_LOAD)) return;
    Cell loaded = *output_at(st->top - 1);
    if (!trace_event(st, LEX_LOAD, TYPE_STRING, &loaded, open, end + 1)) st->top = before;
}

// The token is the path's head word, up to the "/".
void open_path(State* st, const uint8_t* start, const uint8_t* end, uint32_t flags, bool load) {
    uint32_t type = *start == '\'' ? TYPE_LIT_PATH : *start == ':' ? TYPE_GET_PATH : TYPE_PATH;
    const uint8_t* name = start + (type != TYPE_PATH);
    if (flags & F_UTF8) check_utf8(st, name, end, TYPE_WORD);
    st->position = end + 1;
    if (!open_series(st, type, start)) {
        // Declined by the tracer: the head is a word of its own.
        if (load) load_head_word(st, name, end);
        return;
    }
    if (load) load_head_word(st, name, end);
    st->start_state = 59;
    if (st->position >= st->input_end) syntax_error(st, TYPE_PATH, start);
}

void scan_comment(State* st, const uint8_t* start, const uint8_t* end, uint32_t, bool) {
    st->position = end;
    if (traced(st, LEX_SCAN)) trace_event(st, LEX_SCAN, kind_code(K_COMMENT), nullptr, start, end);
}

// A "," outside a point literal (inside one the automaton reads it as part
// of the literal).
void scan_comma(State* st, const uint8_t* start, const uint8_t*, uint32_t, bool) {
    syntax_error(st, TYPE_POINT2D, start);
}

void end_path_item(State* st) {
    const uint8_t* p = st->position;
    uint32_t byte_class = p < st->input_end ? class_of(*p) : uint32_t(C_END);
    if (!ends_path_item(byte_class)) {
        if (*p != '/') syntax_error(st, TYPE_PATH, opener_of_level(st));
        st->position = p + 1;
        if (st->position >= st->input_end) syntax_error(st, TYPE_PATH, opener_of_level(st));
        st->start_state = 59;
        return;
    }
    if (byte_class != C_COLON) {
        close_series(st, open_type(st), p, '/');
        return;
    }
    if (p + 1 < st->input_end && p[1] == '/') syntax_error(st, TYPE_PATH, opener_of_level(st));
    st->position = p + 1;
    close_series(st, TYPE_SET_PATH, p, '/');
}

}  // namespace vek::lexer
