#include "platform/http.h"

#include <curl/curl.h>

#include <algorithm>
#include <exception>
#include <memory>

#include "platform/shared_library.h"

namespace vek::platform::http {

namespace {

constexpr long MOST_REDIRECTS = 20;
// Header lines past this size end the request: no real response has them.
constexpr size_t LONGEST_HEADERS = size_t(1) << 20;

// libcurl and what it pulls in (TLS, HTTP/2, IDN, Kerberos, LDAP and more)
// take longer to load than the rest of vek takes to start, so the library is
// loaded at the first request, not with the program.
#define VEK_LIBCURL_FUNCTIONS(F)                                                                               \
    F(curl_global_init) F(curl_easy_init) F(curl_easy_setopt) F(curl_easy_perform) F(curl_easy_getinfo)        \
    F(curl_easy_cleanup) F(curl_slist_append) F(curl_slist_free_all)
VEK_SHARED_LIBRARY(VEK_LIBCURL_SONAME, VEK_LIBCURL_FUNCTIONS)

// Whether libcurl is loaded and its global state made; the first call does
// both, and its answer holds for the run.
bool curl_ready() {
    static const bool ready = library.available() && curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    return ready;
}

// What the callbacks fill in while libcurl runs the transfer.
struct Transfer {
    Response* response;               // where the header lines and the body go
    size_t longest_body;              // a longer body stops the transfer
    bool too_long = false;            // the body went past longest_body
    std::exception_ptr caught;        // thrown inside a callback, thrown again afterwards
};

bool is_status_line(std::string_view line) { return line.starts_with("HTTP/"); }

size_t on_header(char* line, size_t, size_t size, void* data) {
    auto* transfer = static_cast<Transfer*>(data);
    try {
        return take_header_line(*transfer->response, std::string_view(line, size)) ? size : 0;
    } catch (...) {
        transfer->caught = std::current_exception();
        return 0;
    }
}

size_t on_body(char* bytes, size_t, size_t size, void* data) {
    auto* transfer = static_cast<Transfer*>(data);
    std::vector<uint8_t>& body = transfer->response->body;
    if (size > transfer->longest_body - body.size()) {
        transfer->too_long = true;
        return 0;
    }
    try {
        body.insert(body.end(), bytes, bytes + size);
        return size;
    } catch (...) {
        transfer->caught = std::current_exception();
        return 0;
    }
}

using Handle = std::unique_ptr<CURL, Releaser<curl_easy_cleanup>>;
using List = std::unique_ptr<curl_slist, Releaser<curl_slist_free_all>>;

bool append_line(List& list, const std::string& line) {
    curl_slist* grown = curl_slist_append(list.get(), line.c_str());
    if (!grown) return false;
    list.release();
    list.reset(grown);
    return true;
}

bool has_header(const Request& request, std::string_view name) {
    for (const Field& field : request.headers) {
        if (field.first.size() == name.size() &&
            std::equal(name.begin(), name.end(), field.first.begin(),
                       [](char a, char b) { return (a | 0x20) == (b | 0x20); }))
            return true;
    }
    return false;
}

// The request's own header lines, then the removal of those libcurl would
// add unasked (a header named with nothing after its colon is left out). An
// empty value is sent as "name;", libcurl's spelling for it.
bool header_list(const Request& request, List& list) {
    for (const Field& field : request.headers) {
        std::string line = field.second.empty() ? field.first + ";" : field.first + ": " + field.second;
        if (!append_line(list, line)) return false;
    }
    for (const char* name : {"Accept", "Content-Type", "Expect"}) {
        if (!has_header(request, name) && !append_line(list, std::string(name) + ":")) return false;
    }
    return true;
}

// The method and the body: GET and HEAD never send one, POST always does (an
// empty one when it has none), any other method when it has one.
void set_method(CURL* handle, const Request& request) {
    if (request.method == "GET") {
        curl_easy_setopt(handle, CURLOPT_HTTPGET, 1L);
        return;
    }
    if (request.method == "HEAD") {
        curl_easy_setopt(handle, CURLOPT_NOBODY, 1L);
        return;
    }
    if (request.method == "POST" || request.has_body) {
        curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(request.body.size()));
        const char* bytes = request.body.empty() ? "" : reinterpret_cast<const char*>(request.body.data());
        curl_easy_setopt(handle, CURLOPT_POSTFIELDS, bytes);
    }
    if (request.method != "POST") curl_easy_setopt(handle, CURLOPT_CUSTOMREQUEST, request.method.c_str());
}

void set_transport(CURL* handle, const Request& request) {
    curl_easy_setopt(handle, CURLOPT_URL, request.url.c_str());
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(handle, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(handle, CURLOPT_MAXREDIRS, MOST_REDIRECTS);
    curl_easy_setopt(handle, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(handle, CURLOPT_SSL_VERIFYHOST, 2L);
    // libcurl's time-outs would otherwise use signals, which belong to the runtime.
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, long(request.connect_timeout_ms));
    curl_easy_setopt(handle, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(handle, CURLOPT_LOW_SPEED_TIME, long(request.stall_timeout_s));
}

Outcome outcome_of(CURLcode code, const Transfer& transfer) {
    if (transfer.too_long) return Outcome::too_long;
    switch (code) {
    case CURLE_OK: return Outcome::ok;
    case CURLE_OPERATION_TIMEDOUT: return Outcome::timed_out;
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_CONNECT:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CACERT_BADFILE: return Outcome::cannot_connect;
    default: return Outcome::failed;
    }
}

}  // namespace

Response perform(const Request& request) {
    Response response;
    if (!curl_ready()) return response;  // failed: there is no libcurl to ask
    Handle handle(curl_easy_init());
    List headers;
    if (!handle || !header_list(request, headers)) throw std::bad_alloc();
    Transfer transfer{.response = &response, .longest_body = request.longest_body, .too_long = false, .caught = {}};
    CURL* h = handle.get();
    set_transport(h, request);
    set_method(h, request);
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, on_header);
    curl_easy_setopt(h, CURLOPT_HEADERDATA, &transfer);
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, on_body);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &transfer);
    CURLcode code = curl_easy_perform(h);
    if (transfer.caught) std::rethrow_exception(transfer.caught);
    response.outcome = outcome_of(code, transfer);
    long status = 0;
    if (response.outcome == Outcome::ok && curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status) == CURLE_OK)
        response.status = int32_t(status);
    return response;
}

bool take_header_line(Response& response, std::string_view line) {
    if (is_status_line(line)) {
        response.header_text.clear();
        response.body.clear();
        return true;
    }
    if (line.size() > LONGEST_HEADERS - response.header_text.size()) return false;
    response.header_text.append(line);
    return true;
}

std::vector<Field> parse_fields(std::string_view text) {
    std::vector<Field> fields;
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty()) {
        size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        size_t colon = line.find(':');
        if (colon == 0 || colon == std::string_view::npos) continue;
        std::string_view value = line.substr(colon + 1);
        while (!value.empty() && blank(value.front())) value.remove_prefix(1);
        while (!value.empty() && blank(value.back())) value.remove_suffix(1);
        fields.emplace_back(std::string(line.substr(0, colon)), std::string(value));
    }
    return fields;
}

}  // namespace vek::platform::http
