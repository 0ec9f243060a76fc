#include "runtime/text/sink.h"

#include <cstring>

#include "runtime/datatypes/string/buffer.h"

namespace vek::text {

void Sink::append(const char* text) { append(text, uint32_t(std::strlen(text))); }

void Sink::append(const char* text, uint32_t length) {
    string::append_c_string_part(buffer, text, length);
    limit -= int32_t(length);
}

void Sink::append_char(uint32_t code_point) {
    string::append_char(series_buffer(buffer), code_point);
    limit--;
}

void Sink::indentation(int32_t level) {
    for (int32_t i = 0; i < level; i++) string::append_c_string(buffer, "    ");
    limit -= 4 * level;
}

void Sink::new_line(int32_t level) {
    append("\n");
    indentation(level);
}

}  // namespace vek::text
