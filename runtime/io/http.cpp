#include "runtime/io/http.h"

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "platform/http.h"
#include "platform/os.h"
#include "runtime/actions/dispatch.h"
#include "runtime/core/raise.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/block/array.h"
#include "runtime/datatypes/container/map.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/string/buffer.h"
#include "runtime/datatypes/string/url.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/io/files.h"
#include "runtime/lexer/lexer.h"
#include "runtime/memory/series.h"
#include "runtime/text/unicode.h"

namespace vek::http {

namespace {

namespace net = platform::http;

// What a series can hold: a longer body is refused while it arrives.
constexpr size_t LONGEST_BODY = size_t(INT32_MAX);
constexpr uint32_t HEADER_MAP_ROOM = 20;

// ---------------------------------------------------------------- values to request parts

// The UTF-8 of the text from its head.
std::string utf8_of(const Cell* text) {
    SeriesBuffer* buffer = series_buffer(text);
    uint32_t head = std::min(series_index(text), buffer->length());
    uint32_t count = buffer->length() - head;
    uint32_t size = unicode::utf8_size_of_range(buffer->at(head), buffer->at(head + count), buffer->unit());
    std::string out(size, '\0');
    unicode::string_to_utf8(text, reinterpret_cast<uint8_t*>(out.data()), int32_t(count), false);
    return out;
}

std::string formed_utf8(const Cell* value) {
    Cell formed = *value;
    actions::form_to_string(&formed, nullptr, &formed);
    return utf8_of(&formed);
}

// A URL's text holds its characters decoded; the request line needs them
// escaped again.
std::string encoded_url(const Cell* url) {
    std::string encoded;
    for (char byte : utf8_of(url)) {
        url::EncodedByte e = url::encode_byte(url::ENCODE_URL, uint8_t(byte));
        encoded.append(reinterpret_cast<const char*>(e.bytes), e.count);
    }
    return encoded;
}

// get, head and post give GET, HEAD and POST; any other word its spelling
// in upper case.
std::string method_of(const Cell* word) {
    std::string method = symbol::get_c_string(word::symbol(word));
    for (char& c : method) {
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    }
    return method;
}

// A header name must be a token: no control character, space or colon.
bool fits_name(const std::string& name) {
    if (name.empty()) return false;
    return std::none_of(name.begin(), name.end(), [](char c) {
        auto byte = uint8_t(c);
        return byte <= ' ' || byte == 0x7F || c == ':';
    });
}

// A header value must stay on its line.
bool fits_value(const std::string& value) {
    return value.find_first_of(std::string("\r\n\0", 3)) == std::string::npos;
}

std::string header_name(const Cell* name) {
    std::string text = is_any_word(cell_type(name)) ? std::string(symbol::get_c_string(word::symbol(name)))
                                                    : formed_utf8(name);
    if (!fits_name(text)) fire(err::script::invalid_arg, name);
    return text;
}

std::string header_value(const Cell* value) {
    std::string text = cell_type(value) == TYPE_STRING ? utf8_of(value) : formed_utf8(value);
    if (!fits_value(text)) fire(err::script::invalid_arg, value);
    return text;
}

// A block's cells from its head, copied onto the evaluation stack: forming a
// value may move the block's buffer, never the stack. The caller cuts the
// stack back to first once it is done with them.
struct Cells {
    Cell* first;
    uint32_t count;
};

Cells push_cells_of(const Cell* block) {
    Cells cells{stack::top, 0};
    uint32_t length = series_buffer(block)->length();
    for (uint32_t i = std::min(series_index(block), length); i < length; i++, cells.count++)
        stack::push(series_buffer(block)->cells() + i);
    return cells;
}

std::vector<net::Field> headers_of(const Cell* block) {
    Cells cells = push_cells_of(block);
    if (cells.count % 2 != 0) fire(err::script::invalid_arg, block);
    std::vector<net::Field> fields;
    for (uint32_t i = 0; i < cells.count; i += 2)
        fields.emplace_back(header_name(cells.first + i), header_value(cells.first + i + 1));
    stack::top = cells.first;
    return fields;
}

std::vector<net::Field> default_headers() {
    return {{"Content-Type", "application/x-www-form-urlencoded"},
            {"Accept-Charset", "UTF-8"},
            {"User-Agent", "Mozilla/5.0 (Windows NT 6.1; Win64; x64)"}};
}

void set_body(net::Request& request, const Cell* body) {
    switch (cell_type(body)) {
    case TYPE_NONE: return;
    case TYPE_STRING: {
        std::string text = utf8_of(body);
        request.body.assign(text.begin(), text.end());
        break;
    }
    case TYPE_BINARY: {
        SeriesBuffer* buffer = series_buffer(body);
        uint32_t head = std::min(series_index(body), buffer->length());
        auto* bytes = reinterpret_cast<const uint8_t*>(buffer->at(head));
        request.body.assign(bytes, bytes + (buffer->length() - head));
        break;
    }
    default: fire(err::script::invalid_arg, body);
    }
    request.has_body = true;
}

// The test hook's seconds, or 0 when it is not set to 1-60.
uint32_t test_timeout() {
    std::optional<std::string> text = platform::get_env("VEK_HTTP_TEST_TIMEOUT");
    long seconds = text ? std::strtol(text->c_str(), nullptr, 10) : 0;
    return seconds >= 1 && seconds <= 60 ? uint32_t(seconds) : 0;
}

net::Request request_for(const Cell* url, std::string method) {
    net::Request request;
    request.method = std::move(method);
    request.url = encoded_url(url);
    request.longest_body = LONGEST_BODY;
    if (uint32_t seconds = test_timeout()) {
        request.connect_timeout_ms = seconds * 1000;
        request.stall_timeout_s = seconds;
    }
    return request;
}

// ---------------------------------------------------------------- response to value

// Whether the lexer reads the name as one word!.
bool names_a_word(const std::string& name) {
    uint32_t consumed = 0;
    uint32_t type = lexer::scan(nullptr, reinterpret_cast<const uint8_t*>(name.data()), uint32_t(name.size()),
                                {.mode = lexer::Mode::scan, .one = true}, &consumed, nullptr, nullptr);
    return type == TYPE_WORD && consumed == name.size();
}

bool same_name(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
               return lower(x) == lower(y);
           });
}

// One header name with its values, in the order they came. Names meet as
// words do: ignoring the case of ASCII letters.
struct Header {
    std::string name;                 // the first spelling that came
    std::vector<std::string> values;  // one per line of that name
};

std::vector<Header> group_headers(const std::string& text) {
    std::vector<Header> headers;
    for (net::Field& field : net::parse_fields(text)) {
        if (!names_a_word(field.first)) continue;
        auto same = [&](const Header& h) { return same_name(h.name, field.first); };
        auto found = std::find_if(headers.begin(), headers.end(), same);
        if (found == headers.end()) headers.push_back({std::move(field.first), {std::move(field.second)}});
        else found->values.push_back(std::move(field.second));
    }
    return headers;
}

// Whether the bytes are well-formed UTF-8: no overlong form, surrogate or
// code point past U+10FFFF.
bool is_utf8(const std::string& text) {
    static constexpr uint32_t LOWEST[] = {0, 0, 0x80, 0x800, 0x10000};
    for (size_t i = 0; i < text.size();) {
        auto lead = uint8_t(text[i]);
        size_t n = lead < 0x80 ? 1 : lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3
                 : lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
        if (n == 0 || text.size() - i < n) return false;
        uint32_t code_point = n == 1 ? lead : lead & (0x7Fu >> n);
        for (size_t k = 1; k < n; k++) {
            auto byte = uint8_t(text[i + k]);
            if ((byte & 0xC0) != 0x80) return false;
            code_point = code_point << 6 | (byte & 0x3Fu);
        }
        if (code_point < LOWEST[n] || code_point > 0x10FFFF || (code_point >= 0xD800 && code_point <= 0xDFFF))
            return false;
        i += n;
    }
    return true;
}

// A header value as a string! at the block's tail: its UTF-8, or, when it is
// not UTF-8 (older servers send Latin-1), each byte as one code point. One
// odd header never makes the whole response unreadable.
void append_text(const Cell* block, const std::string& text) {
    Cell* mark = stack::top;
    if (is_utf8(text)) {
        auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
        block::rs_append(block, string::load_utf8_strict(bytes, uint32_t(text.size())));
    } else {
        Cell* latin = string::rs_make_at(make_unset(stack::push_cell()), uint32_t(text.size()));
        string::append_c_string_part(latin, text.data(), uint32_t(text.size()));
        block::rs_append(block, latin);
    }
    stack::top = mark;
}

// The header map, pushed: built as a block of name/value pairs first, which
// the map then takes its entries from.
Cell* push_header_map(const std::string& text) {
    std::vector<Header> headers = group_headers(text);
    Cell* pairs = block::push_only_star(int32_t(headers.size() * 2));
    for (const Header& header : headers) {
        word::make_in(pairs, symbol::make_from_utf8(header.name.data(), uint32_t(header.name.size())));
        if (header.values.size() == 1) {
            append_text(pairs, header.values[0]);
            continue;
        }
        Cell* mark = stack::top;
        Cell* values = block::push_only_star(int32_t(header.values.size()));
        for (const std::string& value : header.values) append_text(values, value);
        block::rs_append(pairs, values);
        stack::top = mark;
    }
    uint32_t room = std::max(HEADER_MAP_ROOM, uint32_t(headers.size()));
    Cell* map = map::make_at(make_unset(stack::push_cell()), nullptr, room);
    map::extend(map, pairs, false);
    return map;
}

// A request that brought no response raises access no-connect with the URL,
// whatever the cause (refused, host unknown, TLS, a server that closes, a
// time-out), so that scripts catch one id; a body past the limit is too-long.
[[noreturn]] void raise_failure(net::Outcome outcome, const Cell* url) {
    if (outcome == net::Outcome::too_long) fire(err::script::too_long);
    fire(err::access::no_connect, url);
}

Cell* perform(const Cell* url, const net::Request& request, bool binary, bool lines, bool info) {
    net::Response response = net::perform(request);
    if (response.outcome != net::Outcome::ok) raise_failure(response.outcome, url);
    return push_response(response, binary, lines, info);
}

}  // namespace

Cell* push_response(net::Response& response, bool binary, bool lines, bool info) {
    if (!info) return files::push_bytes(response.body, binary, lines);
    Cell* result = block::push_only_star(3);
    Cell* mark = stack::top;
    Cell status{};
    block::rs_append(result, integer::make_at(&status, response.status));
    block::rs_append(result, push_header_map(response.header_text));
    block::rs_append(result, files::push_bytes(response.body, binary, lines));
    stack::top = mark;
    return result;
}

Cell* read(const Cell* url, bool binary, bool lines, bool info) {
    net::Request request = request_for(url, "GET");
    request.headers = default_headers();
    return perform(url, request, binary, lines, info);
}

Cell* write(const Cell* url, const Cell* data, bool binary, bool lines, bool info) {
    if (cell_type(data) != TYPE_BLOCK) {
        if (cell_type(data) != TYPE_STRING && cell_type(data) != TYPE_BINARY) fire(err::script::invalid_arg, data);
        net::Request request = request_for(url, "POST");
        request.headers = default_headers();
        set_body(request, data);
        return perform(url, request, binary, lines, info);
    }
    Cells parts = push_cells_of(data);
    if (parts.count == 0) return read(url, binary, lines, info);
    const Cell* method = parts.first;
    if (cell_type(method) != TYPE_WORD) fire(err::script::invalid_arg, method);
    if (parts.count > 1 && cell_type(method + 1) != TYPE_BLOCK) fire(err::script::invalid_arg, method + 1);
    net::Request request = request_for(url, method_of(method));
    request.headers = parts.count > 1 ? headers_of(method + 1) : default_headers();
    if (parts.count > 2) set_body(request, method + 2);
    stack::top = parts.first;
    return perform(url, request, binary, lines, info);
}

}  // namespace vek::http
