// HTTP and HTTPS requests through libcurl: one synchronous request at a
// time, a handle of its own for each, no cookies, cache or connection reuse.
// Certificates and host names are verified; redirects are followed (to http
// and https only). Only the final response's header lines are kept: status
// lines and the headers of redirects and interim responses are dropped.
// No exception crosses a libcurl callback: one raised inside is kept and
// thrown again once libcurl has returned.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vek::platform::http {

// One header field: its name and its value, each as sent or received.
using Field = std::pair<std::string, std::string>;

struct Request {
    std::string method;                 // "GET", "HEAD", "POST" or any other verb, as sent
    std::string url;                    // already percent-encoded
    std::vector<Field> headers;         // sent as given; libcurl adds only Host and the body's length
    bool has_body = false;              // false: no body at all
    std::vector<uint8_t> body;          // the body's bytes when has_body
    uint32_t connect_timeout_ms = 30000;  // giving up on the connection
    uint32_t stall_timeout_s = 60;        // giving up on a response that sends nothing this long
    size_t longest_body = SIZE_MAX;       // a longer response body ends the request as too_long
};

// How a request ended.
enum class Outcome : uint8_t {
    ok,              // a response came, whatever its status
    cannot_connect,  // no connection: refused, host unknown, TLS handshake or verification failed
    timed_out,       // the connection or the response took too long
    too_long,        // the body was longer than the request allows
    failed,          // anything else: a malformed URL, a broken transfer, too many redirects
};

struct Response {
    Outcome outcome = Outcome::failed;  // the fields below mean something only when ok
    int32_t status = 0;                 // the final response's status code
    std::string header_text;            // the final response's header lines, each with its line end
    std::vector<uint8_t> body;          // the final response's body (none for HEAD)
};

// Takes one header line of a transfer as it came, line end included: a
// status line opens a new response (a redirect's target, or the final
// response after an interim one) and drops the header lines and body taken
// so far; any other line is added to the header text. False, taking nothing,
// when the header text would grow past 1 MiB: no real response has such
// headers, and the request ends.
bool take_header_line(Response& response, std::string_view line);

// Performs the request. Raises nothing of its own; std::bad_alloc and any
// exception thrown inside libcurl's callbacks reach the caller.
Response perform(const Request& request);

// The header fields of header lines: each line ends with LF or CR LF (the
// last may have no end); the name runs to the first colon, the value starts
// after the spaces and tabs that follow it and loses those at its end. Lines
// without a colon or with an empty name are skipped.
std::vector<Field> parse_fields(std::string_view text);

}  // namespace vek::platform::http
