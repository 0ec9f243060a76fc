// The HTTP response reader on any bytes, taken as responses as they come
// off the wire: header lines up to an empty line, then the body. The header
// lines go one by one through the function the transfer hands them to (a
// status line starts the response over), and the response is read as
// read and write read it: the body as text, as lines and as binary, and
// under info with the status and the header map, which is molded. Header
// fields, names that are not words, repeated names, text that is not UTF-8
// and bodies that are not text all meet the reader here; a body that is not
// UTF-8 read as text raises, as it should.
#include <algorithm>
#include <string_view>

#include "platform/http.h"
#include "runtime/actions/dispatch.h"
#include "runtime/datatypes/string/buffer.h"
#include "runtime/io/http.h"
#include "tests/fuzz/target.h"
#include "tests/unit/support/support.h"

namespace vek::fuzz {
namespace {

namespace net = platform::http;

// Header sections and bodies of any size take the same paths.
constexpr size_t MAX_INPUT = 1 << 16;

struct Form {
    bool binary, lines, info;
};
constexpr Form FORMS[] = {
    {false, false, false}, {false, true, false}, {true, false, false}, {false, false, true}, {true, true, true},
};

// libcurl reads the status code from the final status line, not us: this
// stands in for it, taking the digits after the first space.
int32_t status_of(std::string_view line) {
    int32_t status = 0;
    size_t at = line.find(' ');
    for (at = at == std::string_view::npos ? line.size() : at + 1; at < line.size() && status < 1000; at++) {
        if (line[at] < '0' || line[at] > '9') break;
        status = status * 10 + (line[at] - '0');
    }
    return status;
}

bool is_blank(std::string_view line) { return line == "\n" || line == "\r\n"; }

// The header lines as the transfer hands them over, each with its line end
// and the empty line that ends a response's header included: after it comes
// the body, unless a status line follows (a redirect's target, or the final
// response after an interim one).
net::Response response_of(std::string_view input) {
    net::Response response;
    response.outcome = net::Outcome::ok;
    while (!input.empty()) {
        size_t end = input.find('\n');
        std::string_view line = input.substr(0, end == std::string_view::npos ? input.size() : end + 1);
        input.remove_prefix(line.size());
        if (line.starts_with("HTTP/")) response.status = status_of(line);
        if (!net::take_header_line(response, line)) break;
        if (is_blank(line) && !input.starts_with("HTTP/")) break;
    }
    response.body.assign(input.begin(), input.end());
    return response;
}

void mold(const Cell* value) {
    Cell out{};
    string::rs_make_at(&out, 64);
    text::Sink sink{.buffer = &out};
    actions::mold(value, sink, false);
}

}  // namespace

void run_one(const uint8_t* data, size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), std::min(size, MAX_INPUT));
    const net::Response response = response_of(input);
    for (Form form : FORMS) {
        net::Response copy = response;  // the reader may change the body
        test::raised([&] {
            Cell* value = http::push_response(copy, form.binary, form.lines, form.info);
            if (form.info) mold(value);
        });
    }
}

}  // namespace vek::fuzz
