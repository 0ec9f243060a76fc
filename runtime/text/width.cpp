// Display width of a code point on the terminal grid.
#include "runtime/text/unicode.h"

namespace vek::unicode {

bool in_ranges(uint32_t code_point, const uint32_t* bounds, uint32_t bound_count) {
    if (bound_count < 2 || code_point < bounds[0] || code_point > bounds[bound_count - 1]) {
        return false;
    }
    // The ranges ascend, so the first one that starts beyond the code point
    // ends the search.
    for (uint32_t i = 0; i + 1 < bound_count && bounds[i] <= code_point; i += 2) {
        if (code_point <= bounds[i + 1]) return true;
    }
    return false;
}

int char_width(uint32_t code_point) {
    if (code_point == 0) return 0;
    // Control characters are shown by the terminal in one column, if at all.
    if (code_point < 0x20 || (code_point >= 0x7F && code_point <= 0x9F)) return 1;
    if (in_ranges(code_point, zero_width)) return 0;
    if (in_ranges(code_point, wide)) return 2;
    return 1;
}

int char_width_cjk(uint32_t code_point) {
    return in_ranges(code_point, ambiguous) ? 2 : char_width(code_point);
}

}  // namespace vek::unicode
