// The CSV reader on any bytes, with the library booted once. The first
// byte picks load-csv's refinements (/header, /as-records, /as-columns,
// /flat, /trim, a delimiter of its own and a quote character of its own);
// the rest is the text, given to load-csv as a string! and to the CSV
// codec's decode as a binary! (which must hold UTF-8). Rows that load, all
// of one length, must come back strictly equal from their own CSV text
// (rows of one empty value aside: they are written as blank lines, which
// end the text). Errors raised on the way are the expected answers to bad
// input; a round trip that differs ends the run as a crash would.
#include <algorithm>
#include <string>

#include "runtime/datatypes/string/binary.h"
#include "runtime/datatypes/string/buffer.h"
#include "tests/fuzz/library_checks.h"
#include "tests/fuzz/target.h"

namespace vek::fuzz {
namespace {

constexpr const char* CHECKS = R"(
    fuzz-round-trip?: func [rows delimiter quote-char] [
        unless all [block? :rows  not empty? rows] [return true]
        foreach row rows [
            unless all [block? :row  (length? row) = length? first rows] [return true]
            if row == [""] [return true]
        ]
        rows == load-csv/with/quote to-csv/with/quote rows delimiter quote-char delimiter quote-char
    ]
)";

// Rows, quoting and line ends fit in far fewer bytes; longer inputs only
// repeat the work.
constexpr size_t MAX_INPUT = 1024;

// The delimiters and quote characters that the option byte picks from; none
// of the quote characters stands in a delimiter.
constexpr const char* DELIMITERS[] = {"#\",\"", "#\";\"", "tab", "\"||\""};
constexpr const char* QUOTES[] = {"#\"^\"\"", "#\"'\""};

// The load-csv call that the option byte asks for, and the delimiter and
// quote character it reads with.
struct Call {
    std::string loader = "load-csv";
    std::string arguments;
    std::string delimiter;
    std::string quote;
};

Call call_for(uint8_t options) {
    Call call;
    constexpr const char* FLAGS[] = {"/header", "/as-records", "/as-columns", "/flat", "/trim"};
    for (int bit = 0; bit < 5; bit++)
        if (options & (1u << bit)) call.loader += FLAGS[bit];
    uint32_t delimiter = (options >> 5) & 3;
    uint32_t quote = options >> 7;
    call.delimiter = DELIMITERS[delimiter];
    call.quote = QUOTES[quote];
    if (delimiter != 0) {
        call.loader += "/with";
        call.arguments += " " + call.delimiter;
    }
    if (quote != 0) {
        call.loader += "/quote";
        call.arguments += " " + call.quote;
    }
    return call;
}

}  // namespace

void run_one(const uint8_t* data, size_t size) {
    boot_with(CHECKS);
    if (size == 0) return;
    size = std::min(size, MAX_INPUT);
    Call call = call_for(data[0]);
    auto length = uint32_t(size - 1);
    Cell text{}, bytes{};
    binary::load_at(&bytes, data + 1, length);
    check("fuzz-round-trip? system/codecs/csv/decode _ #\",\" #\"^\"\"", bytes, data, size);
    // Bytes that are not UTF-8 make no string.
    if (test::raised([&] { string::load(data + 1, length, &text, string::Encoding::utf8); })) return;
    check("fuzz-round-trip? " + call.loader + " _" + call.arguments + " " + call.delimiter + " " + call.quote, text,
          data, size);
}

}  // namespace vek::fuzz
