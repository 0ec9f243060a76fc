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

// Whether the "(" at p starts a point literal: at least 4 bytes follow, all
// number characters up to a "," or the input end.
bool starts_point(const uint8_t* p, const uint8_t* end) {
    if (end - p <= 4) return false;
    for (p++; p < end; p++) {
        if (*p == ',') return true;
        if (!point_byte(*p)) return false;
    }
    return true;
}

const uint8_t* opener_of_level(const State* st) {
    return st->input_start + marker_opener(output_at(st->level - 1));
}

}  // namespace

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
        open_series(st, TYPE_POINT2D, start);
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
    close_series(st, TYPE_BLOCK, start, '[');
    if (map && load) make_map(output_at(st->top - 1));
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
void open_brace(State* st, const uint8_t*, const uint8_t* end, uint32_t flags, bool) {
    if (st->brace_depth == 0) {
        st->brace_start = end;
        st->brace_flags = 0;
    }
    st->brace_depth++;
    st->brace_flags |= flags;
    st->start_state = 4;
    st->position = end + 1;
}

// The token is the text up to a "}"; the outermost one ends the string.
void close_brace(State* st, const uint8_t*, const uint8_t* end, uint32_t flags, bool load) {
    st->brace_flags |= flags;
    st->position = end + 1;
    if (--st->brace_depth > 0) return;
    const uint8_t* open = st->brace_start;
    bool escapes = (st->brace_flags & F_CARET) != 0;
    st->start_state = 0;
    st->brace_start = nullptr;
    st->brace_flags = 0;
    read_text(st, open + 1, end, {.escapes = escapes, .load = load}, open);
}

// The token is the path's head word, up to the "/".
void open_path(State* st, const uint8_t* start, const uint8_t* end, uint32_t flags, bool load) {
    uint32_t type = *start == '\'' ? TYPE_LIT_PATH : *start == ':' ? TYPE_GET_PATH : TYPE_PATH;
    const uint8_t* name = start + (type != TYPE_PATH);
    if (flags & F_UTF8) check_utf8(st, name, end, TYPE_WORD);
    open_series(st, type, start);
    if (load) word::make_at(symbol::make_from_utf8(reinterpret_cast<const char*>(name), uint32_t(end - name)),
                            alloc_cell(st));
    st->start_state = 59;
    st->position = end + 1;
    if (st->position >= st->input_end) syntax_error(st, TYPE_PATH, start);
}

void scan_comment(State* st, const uint8_t*, const uint8_t* end, uint32_t, bool) { st->position = end; }

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
