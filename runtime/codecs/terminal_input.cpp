#include "runtime/codecs/terminal_input.h"

namespace vek::codecs::terminal_input {

namespace {

size_t utf8_length(uint8_t lead) {
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    return 0;
}

bool continuation(uint8_t byte) { return (byte & 0xC0) == 0x80; }

// Overlong forms, surrogates and code points past U+10FFFF are refused.
bool valid_code_point(char32_t code, size_t length) {
    constexpr char32_t SMALLEST[] = {0, 0, 0x80, 0x800, 0x10000};
    return code >= SMALLEST[length] && code <= 0x10FFFF && !(code >= 0xD800 && code <= 0xDFFF);
}

constexpr uint8_t ESC = 0x1B;

bool final_byte(uint8_t byte, CsiGrammar grammar) {
    return byte >= 0x40 && byte <= 0x7E && !(grammar == CsiGrammar::lenient && byte == '[');
}

// Parameter bytes (0x30-0x3F) and intermediates (0x20-0x2F).
bool inner_byte(uint8_t byte) { return byte >= 0x20 && byte <= 0x3F; }

class ParameterReader {
public:
    void read(uint8_t byte) {
        if (byte == ';') {
            ++count_;
            seen_ = true;
        } else if (byte >= '0' && byte <= '9') {
            seen_ = true;
            if (count_ < MAX_CSI_PARAMETERS) {
                int32_t& value = values_[count_];
                value = value >= CSI_PARAMETER_LIMIT / 10 ? CSI_PARAMETER_LIMIT : value * 10 + (byte - '0');
            }
        }
    }
    Csi finish(Scan scan, size_t used, uint8_t final) const {
        Csi csi{scan, used, final, seen_ ? count_ + 1 : 0, {}};
        for (size_t i = 0; i < MAX_CSI_PARAMETERS; ++i) csi.parameters[i] = values_[i];
        return csi;
    }

private:
    size_t count_ = 0;  // the ";" seen
    bool seen_ = false;
    int32_t values_[MAX_CSI_PARAMETERS] = {};
};

}  // namespace

Utf8Char scan_utf8(std::span<const uint8_t> bytes) {
    if (bytes.empty()) return {Scan::incomplete, 0, 0};
    size_t length = utf8_length(bytes[0]);
    if (length == 0) return {Scan::malformed, 0, 1};
    char32_t code = length == 1 ? bytes[0] : bytes[0] & (0x7F >> length);
    for (size_t i = 1; i < length; ++i) {
        if (i == bytes.size()) return {Scan::incomplete, 0, 0};
        if (!continuation(bytes[i])) return {Scan::malformed, 0, i};
        code = (code << 6) | (bytes[i] & 0x3F);
    }
    if (!valid_code_point(code, length)) return {Scan::malformed, 0, length};
    return {Scan::complete, code, length};
}

Csi scan_csi(std::span<const uint8_t> bytes, CsiGrammar grammar) {
    ParameterReader parameters;
    for (size_t at = 2; at < bytes.size(); ++at) {
        uint8_t byte = bytes[at];
        if (final_byte(byte, grammar)) return parameters.finish(Scan::complete, at + 1, byte);
        if (inner_byte(byte)) {
            parameters.read(byte);
            continue;
        }
        if (byte == ESC || grammar == CsiGrammar::strict) return parameters.finish(Scan::malformed, at, 0);
    }
    return parameters.finish(Scan::incomplete, 0, 0);
}

}  // namespace vek::codecs::terminal_input
