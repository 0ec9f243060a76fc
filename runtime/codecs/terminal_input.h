// The byte scanning shared by the two readers of terminal input, the console's
// line editor and the text-mode GUI backend: one UTF-8 character, and one
// control sequence introduced by ESC "[" with its numeric parameters. Each
// reader keeps its own table of what the sequences mean; this module only
// says where a character or a sequence ends, whether it is whole, and what
// numbers it carries. Pure functions over byte spans: nothing is read past
// the span, and an unfinished item is told apart from a broken one, so that
// a reader can wait for the rest of a sequence split across two reads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace vek::codecs::terminal_input {

enum class Scan : uint8_t {
    complete,    // the item is whole
    incomplete,  // the bytes end before the item does
    malformed,   // a byte that cannot belong to the item came first
};

// One UTF-8 character at the start of the bytes. A malformed one uses the
// bytes that were read up to the fault (at least one): a lead byte that
// starts nothing, a lead byte whose continuation is missing, or an overlong
// form, a surrogate or a code point past U+10FFFF (the whole sequence).
struct Utf8Char {
    Scan scan;
    char32_t code;  // the code point when complete
    size_t used;    // bytes taken; 0 when incomplete
};
Utf8Char scan_utf8(std::span<const uint8_t> bytes);

// How a sequence treats a byte that is neither a parameter, an intermediate
// nor a final byte (a control character, say).
enum class CsiGrammar : uint8_t {
    strict,   // it breaks the sequence at that byte
    lenient,  // it is skipped, as are "[" and any byte past 0x7E; only ESC breaks the sequence
};

constexpr size_t MAX_CSI_PARAMETERS = 3;

// A sequence ESC "[" parameters final at the start of the bytes (which
// begin with ESC "["). Parameters are decimal numbers separated by ";"; the
// first MAX_CSI_PARAMETERS are kept (each saturating at CSI_PARAMETER_LIMIT),
// and all are counted: no digit and no ";" means none, else one more than
// the ";" seen, an empty one counting 0. Other parameter bytes ("<", "?")
// and intermediates (0x20-0x2F) are passed over.
constexpr int32_t CSI_PARAMETER_LIMIT = 1'000'000;
struct Csi {
    Scan scan;
    size_t used;      // complete: through the final byte; malformed: up to the byte that broke it
    uint8_t final;    // the final byte (0x40-0x7E) when complete
    size_t count;     // the number of parameters
    int32_t parameters[MAX_CSI_PARAMETERS];  // the first ones, 0 past count
};
Csi scan_csi(std::span<const uint8_t> bytes, CsiGrammar grammar);

}  // namespace vek::codecs::terminal_input
