// Short texts returned by value. A function that makes a few characters of
// text (a number's digits, a hexadecimal code) answers one of these rather
// than a pointer into a buffer of its own, so no later call can change an
// answer already handed out.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace vek {

template <size_t N>
struct FixedText {
    std::array<char, N> chars{};  // the text, then NUL up to the end

    const char* c_str() const { return chars.data(); }

    // A copy of a text shorter than N.
    static FixedText of(std::string_view text) {
        FixedText made;
        text.copy(made.chars.data(), N - 1);
        return made;
    }
};

}  // namespace vek
