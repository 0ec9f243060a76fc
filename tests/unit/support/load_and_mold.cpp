#include "tests/unit/support/load_and_mold.h"

#include <gtest/gtest.h>

#include <cstring>

#include "runtime/actions/dispatch.h"
#include "runtime/core/stack.h"
#include "runtime/lexer/lexer.h"
#include "runtime/memory/series.h"
#include "tests/unit/support/block_builder.h"
#include "tests/unit/support/string_cells.h"
#include "tests/unit/support/support.h"

namespace vek::test {

Cell load(std::string_view source) {
    Cell text = binary_cell(source);
    Cell result{};
    auto bytes = reinterpret_cast<const uint8_t*>(series_buffer(&text)->first());
    lexer::scan(&result, bytes, uint32_t(source.size()), {}, nullptr, &text, nullptr);
    return result;
}

Cell load_code(const char* source) {
    Cell code;
    lexer::scan(make_unset(&code), reinterpret_cast<const uint8_t*>(source), uint32_t(std::strlen(source)),
                {.wrap = true}, nullptr, nullptr, nullptr);
    return code;
}

Cell load_one(std::string_view source) {
    Cell block = load(source);
    SeriesBuffer* buffer = series_buffer(&block);
    EXPECT_EQ(buffer->length(), 1u) << source;
    return buffer->length() == 0 ? Cell{} : buffer->cells()[0];
}

std::string load_error(std::string_view source) {
    Cell error{};
    if (raised([&] { load(source); }, &error) == 0) return "(no error)";
    std::string text = formed(error);
    return text.substr(0, text.find('\n'));
}

void expect_molds(const MoldRow* rows, size_t n) {
    for (size_t i = 0; i < n; i++) EXPECT_EQ(molded(load(rows[i].source)), rows[i].molded) << rows[i].source;
}

std::string molded(const Cell& value, MoldOptions options) {
    Cell out = output_cell();
    text::Sink sink{.buffer = &out, .flat = options.flat, .indent = options.indent};
    actions::mold(&value, sink, options.only);
    return utf8(out);
}

std::string formed(const Cell& value) {
    Cell out = output_cell();
    text::Sink sink{.buffer = &out};
    actions::form(&value, sink);
    return utf8(out);
}

namespace {

// The entries replace the stack cell they are given with the string they make.
template <typename Entry>
std::string stack_text(const Cell* value, Entry make_string) {
    Cell copy = *value;
    Cell* out = stack::push(&copy);
    make_string(out);
    std::string result = text_of(out);
    stack::pop(1);
    return result;
}

}  // namespace

std::string stack_molded(const Cell* value) {
    return stack_text(value, [](Cell* out) { actions::mold_to_string(out, nullptr, out); });
}

std::string stack_formed(const Cell* value) {
    return stack_text(value, [](Cell* out) { actions::form_to_string(out, nullptr, out); });
}

}  // namespace vek::test
