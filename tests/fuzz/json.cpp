// The JSON decoder on any bytes: the input goes to load-json as a string!,
// to the JSON codec's decode as a binary! (which must hold UTF-8) and to
// unescape alone. Whatever decodes must come back from its own JSON text,
// compact and indented, plain and ASCII-only, strictly equal, unless it
// holds a number too large for a float (written as null); indented text
// is read back only while it is short. Inputs are cut to 1 KB. Errors
// raised on the way are the expected answers to bad input.
#include <algorithm>

#include "runtime/datatypes/string/binary.h"
#include "runtime/datatypes/string/buffer.h"
#include "tests/fuzz/library_checks.h"
#include "tests/fuzz/target.h"

namespace vek::fuzz {
namespace {

constexpr const char* CHECKS = R"(
    fuzz-finite?: func [value] [
        case [
            float? :value [not find mold value #"#"]
            any [block? :value map? :value] [
                foreach item either map? value [values-of value] [value] [
                    unless fuzz-finite? :item [return false]
                ]
                true
            ]
            'else [true]
        ]
    ]
    fuzz-round-trip?: func [value /local text] [
        to logic! any [
            error? :value
            not fuzz-finite? :value
            all [
                :value == load-json to-json :value
                any [
                    ; Indented text grows with the square of the nesting:
                    ; past this size it only repeats the work.
                    (length? text: to-json/pretty/ascii :value "  ") > 16384
                    :value == load-json text
                ]
            ]
        ]
    ]
)";

// JSON's constructs fit in far fewer bytes; the bytes still reach the
// deepest nesting that decodes.
constexpr size_t MAX_INPUT = 1024;

}  // namespace

void run_one(const uint8_t* data, size_t size) {
    boot_with(CHECKS);
    size = std::min(size, MAX_INPUT);
    auto length = uint32_t(size);
    Cell text{}, bytes{};
    binary::load_at(&bytes, data, length);
    check("fuzz-round-trip? system/codecs/json/decode _", bytes, data, size);
    // Bytes that are not UTF-8 make no string.
    if (test::raised([&] { string::load(data, length, &text, string::Encoding::utf8); })) return;
    passes("json-decoder/unescape copy _", text);
    check("fuzz-round-trip? load-json _", text, data, size);
}

}  // namespace vek::fuzz
