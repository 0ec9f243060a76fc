// url!: percent-decoding and -encoding, mold, make and to from blocks,
// joining by path, and reading, writing and opening the resource named.
//
// The decoder and the encoders read the source code point by code point,
// by node and index, so that appending to the target (which may move any
// buffer) never leaves them reading a stale address. A code point's UTF-8
// bytes are what the escapes stand for.
#include "runtime/datatypes/string/url.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "runtime/actions/dispatch.h"
#include "runtime/core/registry.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/object/object.h"
#include "runtime/datatypes/string/buffer.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/datatypes/word/context.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/eval/evaluator.h"
#include "runtime/io/http.h"
#include "runtime/memory/series.h"
#include "runtime/text/unicode.h"

namespace vek::url {

namespace {

constexpr std::array<bool, 128> byte_class(const char* extra) {
    std::array<bool, 128> table{};
    for (int c = 'A'; c <= 'Z'; c++) table[size_t(c)] = true;
    for (int c = 'a'; c <= 'z'; c++) table[size_t(c)] = true;
    for (int c = '0'; c <= '9'; c++) table[size_t(c)] = true;
    for (const char* p = "-._~"; *p; p++) table[size_t(*p)] = true;
    for (const char* p = extra; *p; p++) table[size_t(*p)] = true;
    return table;
}
constexpr std::array<bool, 128> UNRESERVED = byte_class("");
constexpr std::array<bool, 128> URL_BYTES = byte_class("!#$&'()*+,/:=?@");
// What mold writes as it is: a parenthesis would end the URL's token, so it
// is written escaped and loads back as itself.
constexpr std::array<bool, 128> MOLDED_BYTES = byte_class("!#$&'*+,/:=?@");

int32_t hex_value(uint32_t c) {
    if (c >= '0' && c <= '9') return int32_t(c - '0');
    if (c >= 'A' && c <= 'F') return int32_t(c - 'A' + 10);
    if (c >= 'a' && c <= 'f') return int32_t(c - 'a' + 10);
    return -1;
}

// A string's code points from its head, read by node and index.
struct Text {
    Node node;
    uint32_t head;
    uint32_t length;

    explicit Text(const Cell* value) : node(series_node(value)) {
        uint32_t total = node_buffer(node)->length();
        head = std::min(series_index(value), total);
        length = total - head;
    }
    uint32_t at(uint32_t i) const {
        SeriesBuffer* buffer = node_buffer(node);
        return string::get_char(buffer->at(head + i), buffer->unit());
    }
};

// The byte of the escape at index i of the text, or -1.
int32_t escape_at(const Text& text, uint32_t i) {
    if (i >= text.length || text.length - i < 3 || text.at(i) != '%') return -1;
    int32_t high = hex_value(text.at(i + 1)), low = hex_value(text.at(i + 2));
    return high < 0 || low < 0 ? -1 : high << 4 | low;
}

// The code point of the whole UTF-8 sequence spelled by the escapes from
// index i, whose first byte is lead; -1 when they do not spell a well-formed
// sequence (overlong forms and surrogates included).
int32_t escaped_sequence(const Text& text, uint32_t i, uint32_t lead, uint32_t* escapes) {
    uint32_t n, code_point, lowest;
    if (lead >= 0xC2 && lead <= 0xDF) n = 2, code_point = lead & 0x1F, lowest = 0x80;
    else if (lead >= 0xE0 && lead <= 0xEF) n = 3, code_point = lead & 0x0F, lowest = 0x800;
    else if (lead >= 0xF0 && lead <= 0xF4) n = 4, code_point = lead & 0x07, lowest = 0x10000;
    else return -1;
    for (uint32_t k = 1; k < n; k++) {
        int32_t byte = escape_at(text, i + 3 * k);
        if (byte < 0 || (byte & 0xC0) != 0x80) return -1;
        code_point = code_point << 6 | uint32_t(byte & 0x3F);
    }
    if (code_point < lowest || code_point > 0x10FFFF || (code_point >= 0xD800 && code_point <= 0xDFFF)) return -1;
    *escapes = n;
    return int32_t(code_point);
}

// The byte itself or its "%XX" form, as the table keeps or escapes it.
EncodedByte encode_with(const std::array<bool, 128>& kept, uint8_t byte) {
    if (byte < 0x80 && kept[byte]) return {{byte}, 1};
    FixedText<3> hex = string::byte_to_hex(byte);
    return {{'%', uint8_t(hex.chars[0]), uint8_t(hex.chars[1])}, 3};
}

// Calls emit with each byte of the text's UTF-8 form, kept or escaped as the
// table says, as long as emit answers true.
template <class Emit>
void for_each_encoded(const Text& text, const std::array<bool, 128>& kept, Emit emit) {
    for (uint32_t i = 0; i < text.length; i++) {
        uint8_t bytes[4];
        int n = unicode::encode_utf8_char(text.at(i), bytes);
        for (int k = 0; k < n; k++) {
            EncodedByte encoded = encode_with(kept, bytes[k]);
            if (!emit(encoded.bytes, encoded.count)) return;
        }
    }
}

const std::array<bool, 128>& kept_in(uint32_t mode) { return mode == ENCODE_UNRESERVED ? UNRESERVED : URL_BYTES; }

}  // namespace

int32_t decode_hex_pair(const uint8_t* p, uint8_t* byte) {
    if (p[0] != '%') return 0;
    int32_t high = hex_value(p[1]);
    if (high < 0) return 0;
    int32_t low = hex_value(p[2]);
    if (low < 0) return 0;
    *byte = uint8_t(high << 4 | low);
    return 1;
}

EncodedByte encode_byte(uint32_t mode, uint8_t byte) { return encode_with(kept_in(mode), byte); }

// An escaped byte that does not begin a well-formed escaped sequence stands
// for itself as a code point (a Latin-1 reading), never for an error.
void percent_decode(const Cell* source, const Cell* target) {
    Text text(source);
    for (uint32_t i = 0; i < text.length;) {
        int32_t byte = escape_at(text, i);
        if (byte < 0) {
            string::append_char(series_buffer(target), text.at(i++));
            continue;
        }
        uint32_t escapes = 1;
        int32_t code_point = byte >= 0xC2 ? escaped_sequence(text, i, uint32_t(byte), &escapes) : -1;
        if (code_point < 0) code_point = byte, escapes = 1;
        string::append_char(series_buffer(target), uint32_t(code_point));
        i += 3 * escapes;
    }
}

void percent_encode(const Cell* source, const Cell* target, uint32_t mode) {
    for_each_encoded(Text(source), kept_in(mode), [target](const uint8_t* encoded, uint32_t count) {
        std::memcpy(series::reserve_tail(series_buffer(target), count), encoded, count);
        return true;
    });
}

Cell* push(const Cell* value) { return stack::push(value); }

// ---------------------------------------------------------------- make and to

namespace {

// The block's elements from its head are read by node and index: forming
// one may move the block's buffer.
Cell element_of(Node block, uint32_t index) { return node_buffer(block)->cells()[index]; }

void append_formed(Cell* output, const Cell* value) {
    text::Sink out{.buffer = output};
    actions::form(value, out);
}

Cell* join_block(Cell* result, const Cell* spec_value) {
    Node block = series_node(spec_value);
    uint32_t length = node_buffer(block)->length();
    uint32_t head = std::min(series_index(spec_value), length);
    if (head == length) {
        Cell target = datatype::cell(TYPE_URL);
        fire(err::script::bad_to_arg, &target, spec_value);
    }
    string::make_at_unit(result, 16, 1);
    Cell element = element_of(block, head);
    append_formed(result, &element);
    string::append_c_string(result, "://");
    uint32_t next = head + 1;
    if (next < length) {
        element = element_of(block, next++);
        append_formed(result, &element);
    }
    if (next < length) {
        element = element_of(block, next);
        if (cell_type(&element) == TYPE_INTEGER) {
            string::append_char(series_buffer(result), ':');
            append_formed(result, &element);
            next++;
        }
    }
    for (; next < length; next++) {
        element = element_of(block, next);
        string::append_char(series_buffer(result), cell_type(&element) == TYPE_ISSUE ? '#' : '/');
        append_formed(result, &element);
    }
    return set_type(result, TYPE_URL);
}

Cell* to(Cell* result, const Cell* spec_value, uint32_t type);

// A block!, paren! or hash! spec for a url! target is joined as to does;
// any other spec, or another target type, is made as a string! is.
Cell* make(Cell* result, const Cell* spec_value, uint32_t type) {
    if (type == TYPE_URL && is_any_list(cell_type(spec_value))) return to(result, spec_value, type);
    return string::make_from_spec(result, spec_value, type);
}

// For a url! target, a block!, paren! or hash! spec is joined into
// scheme://host[:port][/element...], each element after the host formed and
// written after "/", or after "#" when it is an issue!; an empty block raises
// script bad-to-arg. Any other spec, or another target type, converts as to
// string! does.
Cell* to(Cell* result, const Cell* spec_value, uint32_t type) {
    if (type == TYPE_URL && is_any_list(cell_type(spec_value))) return join_block(result, spec_value);
    return string::convert(result, spec_value, type);
}

}  // namespace

// ---------------------------------------------------------------- path

namespace {

uint32_t last_char(const Cell* value) {
    Text text(value);
    return text.length == 0 ? 0 : text.at(text.length - 1);
}

uint32_t first_char(const Cell* value) {
    Text text(value);
    return text.length == 0 ? 0 : text.at(0);
}

// Get only: the parent's text and the formed element joined by exactly one
// "/", as a new value of the parent's type written into parent (the parent's
// own text is left as it is). A get-word! element stands for its value.
// Setting raises script bad-path-set.
Cell* eval_path(Cell* parent, const Cell* element, const actions::PathArgs& args) {
    if (args.value) fire(err::script::bad_path_set, element, args.value);
    Cell selector = cell_type(element) == TYPE_GET_WORD ? *context::get(element) : *element;
    Text base(parent);
    Cell joined{};
    string::make_at_unit(&joined, base.length + 16, node_buffer(base.node)->unit());
    append_formed(&joined, &selector);
    bool base_slash = last_char(parent) == '/';
    bool element_slash = first_char(&joined) == '/';
    int32_t taken = -1;  // the whole of the parent's text
    if (!base_slash && !element_slash) string::insert_char(series_buffer(&joined), 0, '/');
    if (base_slash && element_slash) taken = int32_t(base.length - 1);
    string::concatenate(&joined, parent, taken, 0, false, string::Mode::insert);
    set_type(&joined, cell_type(parent));
    *parent = joined;
    return parent;
}

// The text percent-encoded as ENCODE_URL does, but for the parentheses,
// which are escaped too: unescaped they would end the URL when it is loaded.
void mold(const Cell* value, text::Sink& out, bool) {
    for_each_encoded(Text(value), MOLDED_BYTES, [&](const uint8_t* encoded, uint32_t n) {
        for (uint32_t k = 0; k < n; k++) {
            if (out.used_up()) return false;
            out.append_char(encoded[k]);
        }
        return true;
    });
}

}  // namespace

// ---------------------------------------------------------------- reading and writing

namespace {

bool names_http(const Cell* url) { return string::starts_with_c_string(url, "http"); }

// The library's URL parser run on the URL: its answer, which should be a
// spec object.
Cell parse_with_library(const Cell* url) {
    Cell parser_word{};
    word::make_at(symbol::make("url-parser"), &parser_word);
    Cell parser = *context::get(&parser_word);
    Cell name{};
    word::make_at(symbol::make("parse-url"), &name);
    bool is_object = cell_type(&parser) == TYPE_OBJECT;
    const Cell* field = is_object ? object::find_field(&parser, word::symbol(&name)) : nullptr;
    if (!field || cell_type(field) != TYPE_FUNCTION) fire(err::script::no_value, &name);
    Cell function = *field;
    Cell* saved_top = stack::top;
    eval::push_callback_call(&function, &name, url, 1);
    eval::raise_pending(eval::call_function(&function, &name, eval::CALL_PORT));
    Cell parsed = *stack::arguments;
    stack::unwind_function_drop();
    stack::top = saved_top;
    return parsed;
}

// A URL of a scheme other than http becomes the port! it names, written
// over the url cell: made from the spec object that the URL parser gives,
// and opened when asked. Anything but an object from the parser raises
// script invalid-arg with the URL.
Cell* open_port(Cell* url, bool open) {
    Cell parsed = parse_with_library(url);
    if (cell_type(&parsed) != TYPE_OBJECT) fire(err::script::invalid_arg, url);
    Cell port = datatype::cell(TYPE_PORT);
    *url = *actions::make(&port, &parsed);
    return open ? actions::open(url) : url;
}

Cell* open(Cell* url, const actions::OpenArgs&) { return open_port(url, true); }

// An http URL is read by a GET; /part, /seek and /as are not done for it.
Cell* read(Cell* url, const actions::ReadArgs& args) {
    if (!names_http(url)) return actions::read(open_port(url, false), args);
    if (args.part || args.seek || args.as) not_done();
    return http::read(url, args.binary, args.lines, args.info);
}

// An http URL is written by a request (see http::write); /seek, /allow and
// /as are not done for it, /append and /part change nothing.
Cell* write(Cell* url, const Cell* data, const actions::WriteArgs& args) {
    if (!names_http(url)) return actions::write(open_port(url, false), data, args);
    if (args.seek || args.allow || args.as) not_done();
    return http::write(url, data, args.binary, args.lines, args.info);
}

}  // namespace

// url! forms, compares and edits as string! does. It has no random,
// reflect, put, sort or trim.
void init() {
    using namespace registry;
    register_type(TYPE_URL, Row()
        .set<SLOT_MAKE>(make)
        .set<SLOT_TO>(to)
        .inherit<SLOT_FORM>()
        .set<SLOT_MOLD>(mold)
        .set<SLOT_EVAL_PATH>(eval_path)
        .inherit<SLOT_COMPARE>()
        .inherit_range<SLOT_APPEND, SLOT_POKE>()  // the series actions from append to take but put and sort
        .inherit_range<SLOT_REMOVE, SLOT_SELECT>()
        .inherit_range<SLOT_SKIP, SLOT_TAKE>()
        .inherit<SLOT_MODIFY>()
        .set<SLOT_OPEN>(open)
        .set<SLOT_READ>(read)
        .set<SLOT_WRITE>(write));
}

}  // namespace vek::url
