#include "runtime/io/call.h"

#include <algorithm>
#include <string>
#include <vector>

#include "platform/process.h"
#include "runtime/actions/dispatch.h"
#include "runtime/core/raise.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/string/binary.h"
#include "runtime/datatypes/string/buffer.h"
#include "runtime/datatypes/string/file_path.h"
#include "runtime/natives/helpers.h"
#include "runtime/output/stdout_writer.h"

namespace vek::call {

namespace {

using natives::arg;
using natives::refinement_arg;

using platform::StreamPlan;
using platform::StreamRoute;
using Bytes = std::vector<uint8_t>;

// Refinement numbers, in the spec's order.
constexpr int WAIT = 0, CONSOLE = 2, SHELL = 3, INPUT = 4, OUTPUT = 5, ERROR = 6;

constexpr uint64_t STREAM_TYPES = type_bit(TYPE_STRING) | type_bit(TYPE_FILE) | type_bit(TYPE_BINARY);

// What a series can hold: a captured stream past it is refused.
constexpr size_t LONGEST_CAPTURE = size_t(INT32_MAX);

// The bytes of a string! (its UTF-8) or binary! from its index.
Bytes bytes_of(const Cell* value) {
    Bytes bytes;
    binary::value_bytes(value, -1, binary::ValueMode::insert, bytes);
    return bytes;
}

// A file!'s path, copied out of the Vek heap.
std::string path_of(const Cell* file) { return std::string(file::to_os_path(file)); }

// A path as one word of a shell command: in single quotes, each single
// quote of it closed, escaped and opened again.
std::string shell_quoted(const std::string& path) {
    std::string quoted = "'";
    for (char c : path) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// The command's text: a file! gives its path, which names one program,
// spaces and all. The system would cut the command short at a U+0000 and
// run something else.
std::string command_text(const Cell* command, bool shell) {
    if (cell_type(command) == TYPE_FILE) return shell ? shell_quoted(path_of(command)) : path_of(command);
    Bytes bytes = bytes_of(command);
    if (std::find(bytes.begin(), bytes.end(), uint8_t(0)) != bytes.end()) fire(err::script::invalid_arg, command);
    return std::string(bytes.begin(), bytes.end());
}

// An /input value: a file is read by the child itself, the rest is fed from
// memory out of feed.
StreamPlan input_plan(const Cell* value, Bytes& feed) {
    if (cell_type(value) == TYPE_FILE) return {StreamRoute::file, path_of(value)};
    feed = bytes_of(value);
    return {StreamRoute::memory, {}};
}

// An /output or /error value, or the stream's fate without one.
StreamPlan output_plan(const Cell* value, bool console) {
    if (!value) return {console ? StreamRoute::own : StreamRoute::nothing, {}};
    if (cell_type(value) == TYPE_FILE) return {StreamRoute::file, path_of(value)};
    return {StreamRoute::memory, {}};
}

// ---------------------------------------------------------------- captured text

// The length of the valid UTF-8 sequence that starts the bytes, or the
// negated length of its longest start that could still have become one (at
// least 1): that part stands for one U+FFFD.
int32_t utf8_sequence(const uint8_t* p, size_t available) {
    uint8_t lead = p[0];
    if (lead < 0x80) return 1;
    int32_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    uint8_t low = 0x80, high = 0xBF;  // the second byte's range, narrower for some leads
    if (lead == 0xE0) low = 0xA0;     // overlong
    if (lead == 0xED) high = 0x9F;    // surrogates
    if (lead == 0xF0) low = 0x90;     // overlong
    if (lead == 0xF4) high = 0x8F;    // past U+10FFFF
    if (lead < 0xC2 || lead > 0xF4) return -1;
    for (int32_t i = 1; i < length; i++) {
        bool fits = size_t(i) < available && p[i] >= (i == 1 ? low : 0x80) && p[i] <= (i == 1 ? high : 0xBF);
        if (!fits) return -i;
    }
    return length;
}

// The child's bytes as valid UTF-8 text with LF line ends: CR LF and a lone
// CR become LF, and every bad sequence becomes U+FFFD, so that no text a
// program writes can make the call fail after it has run.
Bytes clean_text(const Bytes& bytes) {
    static constexpr uint8_t REPLACEMENT[] = {0xEF, 0xBF, 0xBD};
    Bytes text;
    text.reserve(bytes.size());
    size_t at = 0;
    while (at < bytes.size()) {
        if (bytes[at] == '\r') {
            text.push_back('\n');
            at += at + 1 < bytes.size() && bytes[at + 1] == '\n' ? 2 : 1;
            continue;
        }
        int32_t length = utf8_sequence(bytes.data() + at, bytes.size() - at);
        if (length > 0)
            text.insert(text.end(), bytes.begin() + ptrdiff_t(at), bytes.begin() + ptrdiff_t(at) + length);
        else
            text.insert(text.end(), REPLACEMENT, REPLACEMENT + 3);
        at += size_t(length > 0 ? length : -length);
    }
    return text;
}

// Inserts the captured bytes at the head of the /output or /error value
// (before what it holds from there): a binary! takes them as they are, a
// string! as text.
void store(Cell* target, const Bytes& bytes, bool cut) {
    if (cut) fire(err::script::too_long);
    if (bytes.empty()) return;
    Cell* mark = stack::top;
    Cell* captured;
    if (cell_type(target) == TYPE_BINARY) {
        captured = binary::load_push(bytes.data(), uint32_t(bytes.size()));
    } else {
        Bytes text = clean_text(bytes);
        captured = string::load_push(text.data(), uint32_t(text.size()), string::Encoding::utf8);
    }
    actions::insert(target, captured, nullptr, false, nullptr);
    stack::top = mark;
}

void check_arguments(const int32_t* refinements) {
    natives::check_arg(0, type_bit(TYPE_STRING) | type_bit(TYPE_FILE));
    for (int which : {INPUT, OUTPUT, ERROR})
        if (refinements[which] >= 0) natives::check_arg(refinements[which], STREAM_TYPES);
}

}  // namespace

Pending native(bool check, const int32_t* refinements) {
    if (check) check_arguments(refinements);
    bool shell = refinements[SHELL] >= 0;
    std::string command = command_text(arg(0), shell);
    if (command.empty()) {
        integer::box(0);
        return Pending::none;
    }
    bool console = refinements[CONSOLE] >= 0;
    Cell* input = refinement_arg(refinements, INPUT);
    Cell* output = refinement_arg(refinements, OUTPUT);
    Cell* error = refinement_arg(refinements, ERROR);
    bool wait = refinements[WAIT] >= 0 || console || input || output || error;
    Bytes feed;
    // A child left running beside us must not take the input our console reads.
    StreamPlan own_input{wait ? StreamRoute::own : StreamRoute::nothing, {}};
    platform::ChildLaunch launch{.command = std::move(command),
                                 .shell = shell,
                                 .one_program = cell_type(arg(0)) == TYPE_FILE,
                                 .wait = wait,
                                 .input = input ? input_plan(input, feed) : own_input,
                                 .output = output_plan(output, console),
                                 .error = output_plan(error, console),
                                 .feed = feed,
                                 .capture_limit = LONGEST_CAPTURE};
    if (console) output::flush();
    platform::ChildResult result = platform::run_child(launch);
    if (output && cell_type(output) != TYPE_FILE) store(output, result.output, result.output_cut);
    if (error && cell_type(error) != TYPE_FILE) store(error, result.error, result.error_cut);
    integer::box(result.status);
    return Pending::none;
}

}  // namespace vek::call
