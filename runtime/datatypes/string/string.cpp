// string!: making, forming, molding and comparing text.
//
// Appending to an output string may move every series buffer, so the code
// that reads one string while it writes another keeps the source's node and
// an index and re-reads the buffer after each append.
#include "runtime/datatypes/string/string.h"

#include <algorithm>
#include <array>

#include "runtime/actions/dispatch.h"
#include "runtime/core/raise.h"
#include "runtime/core/registry.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/char.h"
#include "runtime/datatypes/container/bitset.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/number/float.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/series/actions.h"
#include "runtime/datatypes/string/buffer.h"
#include "runtime/datatypes/string/internal.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/memory/series.h"
#include "runtime/text/unicode.h"

namespace vek::string {

namespace {

// The text a value holds from its head, by node: it stays valid across
// allocations that move the buffer.
struct Text {
    Node node;
    uint32_t head;
    uint32_t length;
};

// A head index beyond the tail reads as the tail; the value is left as it is.
Text text_of(const Cell* value) {
    if (cell_type(value) == TYPE_SYMBOL) {
        // Caching the name string writes the symbol cell, not its meaning.
        Cell* symbol = const_cast<Cell*>(value);
        symbol::string_cache(symbol);
        Node node = symbol::name_string(symbol);
        return {node, 0, node_buffer(node)->length()};
    }
    SeriesBuffer* buffer = series_buffer(value);
    uint32_t length = buffer->length();
    uint32_t head = uint32_t(std::clamp<int64_t>(int32_t(series_index(value)), 0, length));
    return {series_node(value), head, length - head};
}

uint32_t char_at(const Text& text, uint32_t i) {
    SeriesBuffer* buffer = node_buffer(text.node);
    return get_char(buffer->at(text.head + i), buffer->unit());
}

void append(const Cell* output, uint32_t code_point) { append_char(series_buffer(output), code_point); }

[[noreturn]] void bad_to_arg(uint32_t type, const Cell* spec_value) {
    Cell target = datatype::cell(type);
    fire(err::script::bad_to_arg, &target, spec_value);
}

// ---------------------------------------------------------------- molding

// The letter written after "^" for the code points 0-94 that have one.
constexpr std::array<char, 95> ESCAPE_LETTERS = [] {
    std::array<char, 95> letters{};
    const char* controls = "@ABCDEFGH-/KLMNOPQRSTUVWXYZ[\\]^_";
    for (int c = 0; c < 32; c++) letters[c] = controls[c];
    letters['"'] = '"';
    letters['^'] = '^';
    return letters;
}();

// Braces are chosen for text that reads better without escaped quotes or
// line breaks, and for long text.
bool needs_braces(const Text& text, uint32_t range) {
    if (text.length >= 50) return true;
    uint32_t line_feeds = 0;
    for (uint32_t i = 0; i < range; i++) {
        uint32_t c = char_at(text, i);
        if (c == '"') return true;
        if (c == '\n' && ++line_feeds >= 3) return true;
    }
    return false;
}

// The index of the first "{" that no later "}" closes (range when there is
// none). Counting from the right, a "{" is closed exactly when a "}" after it
// is still unclaimed by the "{"s in between.
uint32_t first_unclosed_brace(const Text& text, uint32_t range) {
    uint32_t first = range;
    uint32_t unclaimed = 0;
    for (uint32_t i = range; i-- > 0;) {
        uint32_t c = char_at(text, i);
        if (c == '}') {
            unclaimed++;
        } else if (c == '{') {
            if (unclaimed > 0)
                unclaimed--;
            else
                first = i;
        }
    }
    return first;
}

// Inside braces a "{" stays bare only while every bare one so far is closed
// later; from the first that is not, every "{" is escaped so that the text
// reads back with the same nesting. A "}" stays bare while it closes a bare
// "{".
void mold_braced(const Text& text, uint32_t range, const Cell* output, bool all) {
    uint32_t unclosed = first_unclosed_brace(text, range);
    uint32_t open = 0;
    for (uint32_t i = 0; i < range; i++) {
        uint32_t c = char_at(text, i);
        switch (c) {
        case '{':
            if (i < unclosed) {
                append(output, '{');
                open++;
            } else {
                append_c_string(output, "^{");
            }
            break;
        case '}':
            if (open > 0) {
                append(output, '}');
                open--;
            } else {
                append_c_string(output, "^}");
            }
            break;
        case '"': append(output, '"'); break;
        case '^': append_c_string(output, "^^"); break;
        default: mold_char(output, c, all);
        }
    }
}

// ---------------------------------------------------------------- comparing

bool case_sensitive(int32_t op) { return op == COMP_STRICT_EQUAL || op == COMP_CASE_SORT; }

int32_t sign(int64_t n) { return (n > 0) - (n < 0); }

// Compares n code points from both heads: 0 when they agree, else the order
// of the first pair that differs.
int32_t compare_run(const Text& a, const Text& b, uint32_t n, bool fold) {
    SeriesBuffer* buffer_a = node_buffer(a.node);
    SeriesBuffer* buffer_b = node_buffer(b.node);
    uint32_t unit_a = buffer_a->unit();
    uint32_t unit_b = buffer_b->unit();
    const std::byte* pa = buffer_a->at(a.head);
    const std::byte* pb = buffer_b->at(b.head);
    for (uint32_t i = 0; i < n; i++, pa += unit_a, pb += unit_b) {
        uint32_t ca = get_char(pa, unit_a);
        uint32_t cb = get_char(pb, unit_b);
        if (ca == cb) continue;
        if (fold) {
            ca = unicode::to_upper(ca);
            cb = unicode::to_upper(cb);
            if (ca == cb) continue;
        }
        return ca < cb ? -1 : 1;
    }
    return 0;
}

bool same_position(const Cell* a, const Cell* b) {
    return series_node(a) == series_node(b) && series_index(a) == series_index(b);
}

}  // namespace

// ---------------------------------------------------------------- make and to

namespace {

// binary! shares this make; its other specs go to its own to.
Cell* binary_to(Cell* result, const Cell* spec_value, uint32_t type) {
    if (cell_type(spec_value) == TYPE_MONEY) {
        Cell target = datatype::cell(type);
        fire(err::script::bad_make_arg, &target, spec_value);
    }
    registry::ActionFn entry = registry::action(TYPE_BINARY, registry::SLOT_TO);
    if (!registry::implemented(entry)) fire(err::internal::not_done);
    using ToFn = Cell* (*)(Cell*, const Cell*, uint32_t);
    return reinterpret_cast<ToFn>(entry)(result, spec_value, type);
}

// The binary's bytes from its head, read as UTF-8 that must be complete.
Cell* decoded(Cell* result, const Cell* binary, uint32_t type) {
    SeriesBuffer* buffer = series_buffer(binary);
    uint32_t head = std::min(series_index(binary), buffer->length());
    auto bytes = reinterpret_cast<const uint8_t*>(buffer->at(head));
    Node text = series_node(load_utf8_strict(bytes, buffer->length() - head));
    stack::pop(1);
    set_type(result, type);
    set_series_index(result, 0);
    set_series_node(result, text);
    set_series_extra(result, 0);
    return result;
}

}  // namespace

Cell* make_from_spec(Cell* result, const Cell* spec_value, uint32_t type) {
    uint32_t spec_type = cell_type(spec_value);
    if (spec_type != TYPE_INTEGER && spec_type != TYPE_FLOAT)
        return type == TYPE_BINARY ? binary_to(result, spec_value, type) : convert(result, spec_value, type);
    int32_t capacity = spec_type == TYPE_INTEGER ? integer::get(spec_value) : integer::truncate(float_::get(spec_value));
    if (capacity < 0) fire(err::script::out_of_range, spec_value);
    make_at_unit(result, uint32_t(capacity), 1);
    return set_type(result, type);
}

Cell* convert(Cell* result, const Cell* spec_value, uint32_t type) {
    uint32_t spec_type = cell_type(spec_value);
    if (spec_type == TYPE_NONE) bad_to_arg(type, spec_value);
    if (is_any_string(spec_type)) {
        Text text = text_of(spec_value);
        Node copy = series::copy_part(text.node, text.head, text.length);
        set_type(result, type);
        set_series_index(result, 0);
        set_series_node(result, copy);
        set_series_extra(result, 0);
        return result;
    }
    if (is_any_list(spec_type)) {
        Cell block = *spec_value;
        make_at_unit(result, 16, 1);
        append(result, &block, -1, false, 1, true);
        return set_type(result, type);
    }
    if (spec_type == TYPE_BINARY) return decoded(result, spec_value, type);
    make_at_unit(result, 16, 1);
    text::Sink out{.buffer = result};
    if (spec_type == TYPE_REFINEMENT && type != TYPE_STRING)
        actions::mold(spec_value, out, false);
    else
        actions::form(spec_value, out);
    return set_type(result, type);
}

// ---------------------------------------------------------------- form and mold

void form_text(const Cell* value, text::Sink& out) {
    uint32_t length = text_of(value).length;
    int32_t count = out.limited ? std::max(out.limit, 0) : -1;
    concatenate(const_cast<Cell*>(out.buffer), const_cast<Cell*>(value), count, 0, true, Mode::append);
    out.limit -= int32_t(length);
}

namespace {

// The text between double quotes, or between braces when it holds a double
// quote, three or more line feeds, or 50 code points or more. Lowers the
// limit by the molded range's length plus the two delimiters.
void mold(const Cell* value, text::Sink& out, bool) {
    Text text = text_of(value);
    uint32_t range = text.length;
    if (out.limited) range = out.limit < 0 ? 0 : std::min(range, uint32_t(out.limit));
    bool braces = needs_braces(text, range);
    append(out.buffer, braces ? '{' : '"');
    if (braces) {
        mold_braced(text, range, out.buffer, out.all);
    } else {
        for (uint32_t i = 0; i < range; i++) mold_char(out.buffer, char_at(text, i), out.all);
    }
    append(out.buffer, braces ? '}' : '"');
    out.limit -= int32_t(range) + 2;
}

}  // namespace

// A surrogate is written escaped: as it stands it has no UTF-8, so saved
// text holding it would not load back.
void mold_char(const Cell* output, uint32_t code_point, bool all) {
    uint32_t c = code_point;
    if (c == 0x1E || (c >= 0x80 && c <= 0x9F) || (c > 0x7F && all) || unicode::is_surrogate(c)) {
        append_c_string(output, "^(");
        append_c_string(output, int_to_hex(int32_t(c), true).c_str());
        append(output, ')');
    } else if (c < ESCAPE_LETTERS.size() && ESCAPE_LETTERS[c] != 0) {
        append(output, '^');
        append(output, uint32_t(ESCAPE_LETTERS[c]));
    } else if (c == 0x7F) {
        append_c_string(output, "^~");
    } else {
        append(output, c);
    }
}

// ---------------------------------------------------------------- compare

namespace {

// Strings of different string-like types are only tested for (in)equality;
// every other pairing of types is not comparable (-2).
int32_t compare(const Cell* value1, const Cell* value2, int32_t op) {
    if (cell_type(value1) != cell_type(value2)) {
        bool equality = op == actions::COMP_EQUAL || op == actions::COMP_NOT_EQUAL;
        if (!is_any_string(cell_type(value2)) || !equality) return -2;
    }
    return compare_strings(value1, value2, op, false);
}

}  // namespace

int32_t compare_strings(const Cell* value1, const Cell* value2, int32_t op, bool prefix) {
    if (op == actions::COMP_SAME) return same_position(value1, value2) ? 0 : -1;
    if (is_equality(op) && same_position(value1, value2)) return 0;
    Text a = text_of(value1);
    Text b = text_of(value2);
    uint32_t n = a.length;
    if (prefix) {
        if (b.length == 0) return op == actions::COMP_FIND ? 1 : 0;
        if (a.length < b.length) return 1;
        n = b.length;
    } else if (a.length != b.length) {
        if (is_equality(op) || b.length == 0) return 1;
        n = std::min(a.length, b.length);
    } else if (a.length == 0) {
        return 0;
    }
    int32_t order = compare_run(a, b, n, !case_sensitive(op));
    if (order != 0 || prefix) return order;
    return sign(int64_t(a.length) - int64_t(b.length));
}

// ---------------------------------------------------------------- head matches

bool match_at_head(const Cell* string, const Cell* value, int32_t op) {
    switch (cell_type(value)) {
    case TYPE_STRING: case TYPE_FILE: case TYPE_URL: case TYPE_EMAIL: case TYPE_REF:
        return compare_strings(string, value, op, true) == 0;
    case TYPE_CHAR: {
        Text text = text_of(string);
        if (text.length == 0) return false;
        uint32_t here = char_at(text, 0);
        uint32_t wanted = char_::get(value);
        if (op == actions::COMP_STRICT_EQUAL) return here == wanted;
        return unicode::to_upper(here) == unicode::to_upper(wanted);
    }
    case TYPE_TAG: {
        if (!tag_at_head(string, value)) return false;
        Cell after = *string;
        set_series_index(&after, text_of(string).head + 1);
        return compare_strings(&after, value, op, true) == 0;
    }
    default:
        return false;
    }
}

bool tag_at_head(const Cell* string, const Cell* tag) {
    Text text = text_of(string);
    uint32_t tag_length = text_of(tag).length;
    if (text.length < tag_length + 2) return false;
    return char_at(text, 0) == '<' && char_at(text, tag_length + 1) == '>';
}

bool head_char_in_bitset(const Cell* string, const Cell* bitset) {
    Text text = text_of(string);
    if (text.length == 0) return false;
    return bitset::has_member(bitset::bits_node(bitset), char_at(text, 0));
}

// ---------------------------------------------------------------- registration

// string! takes the navigation actions, the positional editing actions and
// copy from series!; it has no put, arithmetic or port actions.
void init() {
    using namespace registry;
    register_type(TYPE_STRING, Row()
        .set<SLOT_MAKE>(make_from_spec)
        .inherit<SLOT_RANDOM>()
        .inherit<SLOT_REFLECT>()
        .set<SLOT_TO>(convert)
        .set<SLOT_FORM>(form_text)
        .set<SLOT_MOLD>(mold)
        .set<SLOT_EVAL_PATH>(eval_path)
        .set<SLOT_COMPARE>(compare)
        .set<SLOT_APPEND>(append)
        .inherit_range<SLOT_AT, SLOT_BACK>()
        .set<SLOT_CHANGE>(change)
        .inherit_range<SLOT_CLEAR, SLOT_COPY>()
        .set<SLOT_FIND>(find)
        .inherit_range<SLOT_HEAD, SLOT_INDEX_Q>()
        .set<SLOT_INSERT>(append)
        .inherit_range<SLOT_LENGTH_Q, SLOT_POKE>()
        .inherit_range<SLOT_REMOVE, SLOT_REVERSE>()
        .set<SLOT_SELECT>(select)
        .set<SLOT_SORT>(sort)
        .inherit<SLOT_SKIP>()
        .set<SLOT_SWAP>(swap)
        .inherit_range<SLOT_TAIL, SLOT_TAIL_Q>()
        .set<SLOT_TAKE>(take)
        .set<SLOT_TRIM>(trim)
        .inherit<SLOT_MODIFY>());
}

}  // namespace vek::string
