// HTTP requests for url! values whose text starts with "http": what read and
// write of such a URL turn into a request (method, percent-encoded URL,
// headers, body), and the response turned back into a value.
//
// Responses: the body as a string! (UTF-8, CR LF and a lone CR read as LF, a
// leading byte-order mark dropped), as a binary! under /binary, or as a
// block! of line strings under /lines; under /info a block! of the status
// code (integer!), a map! of the final response's headers and that body. The
// map's keys are the header names as words (a name that cannot be a word is
// left out); a header that comes more than once maps to a block! of its
// values in the order they came. No status is an error: a 404 page is read
// like any other.
//
// A request gives up on connecting after 30 seconds and on a response that
// sends nothing for 60. For the tests only, the environment variable
// VEK_HTTP_TEST_TIMEOUT (whole seconds, 1 to 60) shortens both.
//
// Errors: a request that times out raises access no-connect with the URL;
// one that cannot connect (refused, unknown host, failed TLS verification)
// or fails on the way raises access cannot-open with the URL; a body past
// 2 GiB raises script too-long; a body that is not UTF-8 read as text raises
// access invalid-utf8.
#pragma once

#include "platform/http.h"
#include "runtime/core/cell.h"

namespace vek::http {

// read of the URL: a GET. Answers the response value pushed on the
// evaluation stack.
Cell* read(const Cell* url, bool binary, bool lines, bool info);

// write of the data to the URL. A block! is [method headers body]: a method
// word, then optionally a block! of header name/value pairs, then optionally
// the body (a string!, binary! or none!); an empty block is a GET. Any other
// data is the body of a POST and must be a string! or binary!. Header names
// are sent as a word's spelling or else formed; values as a string!'s text
// or else formed. Without a header block, three default headers go with the
// request. Answers the response value pushed on the evaluation stack.
// Raises script invalid-arg with the value at fault for a first element that
// is not a word!, a second that is not a block!, a body of another type,
// data of another type, a header block of odd length (with the block), or a
// header name or value that would break the request's header lines.
Cell* write(const Cell* url, const Cell* data, bool binary, bool lines, bool info);

// The value read and write answer for a response that came: its body, or
// under info the block of status, header map and body. Answers it pushed on
// the evaluation stack; the response's body may be changed. Raises access
// invalid-utf8 for a body read as text that is not UTF-8.
Cell* push_response(platform::http::Response& response, bool binary, bool lines, bool info);

}  // namespace vek::http
