#include "runtime/io/os_info.h"

#include <algorithm>
#include <optional>

#include "platform/os.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/compound/tuple.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/object/object.h"
#include "runtime/datatypes/string/buffer.h"
#include "runtime/datatypes/word/context.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/datatypes/word/word.h"

namespace vek::os_info {

namespace {

constexpr int32_t VERSION_PART_MAX = 255;

// The value of a KEY=value line, unquoted; nullopt when the line is another
// key's.
std::optional<std::string> value_of(std::string_view line, std::string_view key) {
    if (line.size() <= key.size() || line.substr(0, key.size()) != key || line[key.size()] != '=') return std::nullopt;
    std::string_view raw = line.substr(key.size() + 1);
    if (raw.empty() || (raw[0] != '"' && raw[0] != '\'')) return std::string(raw);
    std::string value;
    char quote = raw[0];
    for (size_t i = 1; i < raw.size() && raw[i] != quote; i++) {
        if (quote == '"' && raw[i] == '\\' && i + 1 < raw.size()) i++;
        value.push_back(raw[i]);
    }
    return value;
}

std::string find_value(std::string_view text, std::string_view key) {
    while (!text.empty()) {
        size_t end = std::min(text.find('\n'), text.size());
        std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        if (std::optional<std::string> value = value_of(line, key)) return *value;
    }
    return {};
}

// Reads a run of digits at the position, moving past it; nullopt when none
// is there. Values past the integer! range stay at its maximum.
std::optional<int32_t> read_number(std::string_view text, size_t& at) {
    if (at >= text.size() || text[at] < '0' || text[at] > '9') return std::nullopt;
    int64_t value = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; at++)
        value = std::min<int64_t>(value * 10 + (text[at] - '0'), integer::MAX);
    return int32_t(value);
}

void set_field(Cell* object, const char* field, const Cell* value) {
    Cell word = word::unbound(TYPE_WORD, symbol::make(field));
    context::set_word_value(context::cell_of(object::context_node(object)), &word, value);
}

}  // namespace

std::string name(std::string_view os_release, std::string_view system) {
    for (const char* key : {"PRETTY_NAME", "NAME"}) {
        std::string value = find_value(os_release, key);
        if (!value.empty()) return value;
    }
    return std::string(system);
}

const char* arch(std::string_view machine) {
    if (machine == "x86_64" || machine == "amd64") return "x86-64";
    if (machine == "aarch64" || machine == "arm64") return "ARM64";
    if (machine.size() == 4 && machine[0] == 'i' && machine.substr(2) == "86") return "x86-32";
    if (machine.starts_with("arm")) return "ARM";
    return "Unknown";
}

KernelVersion kernel_version(std::string_view release) {
    int32_t numbers[4] = {0, 0, 0, 0};
    size_t at = 0;
    for (int32_t& number : numbers) {
        std::optional<int32_t> value = read_number(release, at);
        if (!value) break;
        number = *value;
        if (at >= release.size() || (release[at] != '.' && release[at] != '-')) break;
        at++;
    }
    KernelVersion result{};
    for (size_t i = 0; i < 3; i++) result.version[i] = std::min(numbers[i], VERSION_PART_MAX);
    result.build = numbers[3];
    return result;
}

Cell* push() {
    platform::SystemDescription system = platform::describe_system();
    KernelVersion kernel = kernel_version(system.release);
    Cell* object = object::make_at(stack::push_cell(), 8);
    std::string text = name(system.os_release, system.system);
    set_field(object, "name", string::load_utf8_strict(reinterpret_cast<const uint8_t*>(text.data()),
                                                       uint32_t(text.size())));
    Cell arch_word = word::unbound(TYPE_WORD, symbol::make(arch(system.machine)));
    set_field(object, "arch", &arch_word);
    set_field(object, "version", tuple::push_bytes(3, kernel.version.data()));
    Cell build = integer::cell(kernel.build);
    set_field(object, "build", &build);
    stack::top = object + 1;
    return object;
}

}  // namespace vek::os_info
