#include "runtime/natives/system_routines.h"

#include <array>
#include <climits>
#include <cstring>

#include "build_info.h"
#include "build_program.h"
#include "runtime/core/error_catalog.h"
#include "runtime/core/raise.h"
#include "runtime/core/stack.h"
#include "runtime/core/system.h"
#include "runtime/datatypes/block/array.h"
#include "runtime/datatypes/callable/routine.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/object/object.h"
#include "runtime/datatypes/string/buffer.h"
#include "runtime/datatypes/string/file_path.h"
#include "runtime/datatypes/word/context.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/memory/manager.h"
#include "runtime/memory/series.h"
#include "runtime/text/float_text.h"
#include "runtime/text/unicode.h"

namespace vek::routines {

using system_fields::DefaultBlock;

namespace {

// system/words has no class of its own.
constexpr uint32_t WORDS_CLASS_ID = UINT32_MAX;

Arg answer(Cell* cell) { return Arg{.cell = cell}; }
Arg answer_integer(int32_t n) { return Arg{.integer = n}; }

// Appends NUL-terminated UTF-8 text. A byte that starts no well-formed
// sequence becomes U+FFFD: a command line or a commit message can hold any
// bytes, and must not stop the boot.
void append_utf8(const Cell* string, const char* text) {
    constexpr uint32_t REPLACEMENT = 0xFFFD;
    Node node = series_node(string);
    for (auto p = reinterpret_cast<const uint8_t*>(text); *p;) {
        int32_t code_point;
        const uint8_t* next = unicode::fast_decode_utf8_char(p, &code_point);
        if (code_point < 0) next = p + 1;  // one byte at a time: never past the NUL
        string::append_char(node_buffer(node), code_point < 0 ? REPLACEMENT : uint32_t(code_point));
        p = next;
    }
}

Cell* push_text(const char* text) {
    Cell made{};  // on the C++ stack, where the collector sees it
    string::rs_make_at(&made, uint32_t(std::strlen(text)));
    append_utf8(&made, text);
    return stack::push(&made);
}

Cell* push_none() { return stack::push(&none::constant); }

// Whether the word names the given text, in any letter case.
bool names(const Cell* word, const char* text) {
    return symbol::resolve(word::symbol(word)) == symbol::resolve(symbol::make(text));
}

[[noreturn]] void unknown_name(const Cell* name) { fire(err::script::invalid_arg, name); }

}  // namespace

// ---------------------------------------------------------------- the words object

// The global context seen as an object, which its owner cell then holds.
Arg words_object(const Arg*) {
    Cell object = object::cell(TYPE_OBJECT, context::global, WORDS_CLASS_ID);
    *context::owner_of(context::global) = object;
    return answer(stack::push(&object));
}

// ---------------------------------------------------------------- the collector's figures

Arg collector_active(const Arg*) { return answer_integer(memory::collector_enabled ? 1 : 0); }
// Every collection compacts the series frames.
Arg series_cycles(const Arg*) { return answer_integer(int32_t(memory::collection_cycle)); }
// Node frames are never evacuated (nodes do not move), so no node cycle runs.
Arg nodes_cycles(const Arg*) { return answer_integer(0); }

// ---------------------------------------------------------------- the build

namespace {

// A figure from the build as an integer!: none when it is negative (not
// known) or does not fit.
Cell* push_figure(long long n) {
    if (n < 0 || n > INT32_MAX) return push_none();
    Cell made = integer::cell(int32_t(n));
    return stack::push(&made);
}

// A text from git: none when git gave nothing.
Cell* push_git_text(const char* text) { return build_info::GIT_FOUND && *text ? push_text(text) : push_none(); }

Cell* push_issue(const char* name) {
    Cell made{};
    issue::make_at(&made, name);
    return stack::push(&made);
}

// The release's tag: v and the release number.
Cell* push_tag() {
    std::array<char, 64> tag{'v'};
    std::strncat(tag.data(), build_info::RELEASE, tag.size() - 2);
    return push_issue(tag.data());
}

}  // namespace

// release: the dotted release number (string!); time and commit-time: Unix
// times (integer!); branch, message: string!; tag: the release's tag and
// commit: the commit's hash (issue!); ahead: the commits since the tag
// (integer!); program: the built program's path (file!). Whatever git did
// not give is none.
Arg build_fact(const Arg* args) {
    const Cell* name = args[0].cell;
    bool git = build_info::GIT_FOUND;
    if (names(name, "release")) return answer(push_text(build_info::RELEASE));
    if (names(name, "time")) return answer(push_figure(build_info::BUILD_TIME));
    if (names(name, "program")) return answer(file::to_vek_path(push_text(build_info::PROGRAM)));
    if (names(name, "branch")) return answer(push_git_text(build_info::GIT_BRANCH));
    if (names(name, "message")) return answer(push_git_text(build_info::GIT_MESSAGE));
    if (names(name, "tag")) return answer(git ? push_tag() : push_none());
    if (names(name, "commit")) return answer(git ? push_issue(build_info::GIT_COMMIT) : push_none());
    if (names(name, "ahead")) return answer(push_figure(git ? build_info::GIT_AHEAD : -1));
    if (names(name, "commit-time")) return answer(push_figure(git ? build_info::GIT_TIME : -1));
    unknown_name(name);
}

// ---------------------------------------------------------------- defaults and the command line

// A fresh copy of a default block, strings copied too, so that a script
// changing the system object's block in place leaves the defaults alone.
Arg default_block(const Arg* args) {
    const Cell* name = args[0].cell;
    DefaultBlock which;
    if (names(name, "months"))
        which = DefaultBlock::months;
    else if (names(name, "days"))
        which = DefaultBlock::days;
    else if (names(name, "currencies"))
        which = DefaultBlock::currencies;
    else if (names(name, "exit-states"))
        which = DefaultBlock::exit_states;
    else
        unknown_name(name);
    return answer(push_default(which));
}

// The arguments, the program's name first, joined by spaces; an argument
// holding white space, or none at all, is put in double quotes.
Arg command_line(const Arg*) {
    Cell* line = push_text("");
    for (int i = 0; i < sysrec.argc; i++) {
        const char* argument = sysrec.argv[i];
        bool quoted = *argument == '\0' || std::strpbrk(argument, " \t\n\r\v\f") != nullptr;
        if (i > 0) append_utf8(line, " ");
        if (quoted) append_utf8(line, "\"");
        append_utf8(line, argument);
        if (quoted) append_utf8(line, "\"");
    }
    return answer(line);
}

// ---------------------------------------------------------------- switches and tests

// (field value): pretty? and full? set the float formatter's flags from the
// value's truth; other fields change nothing. The value is the answer.
Arg float_switch(const Arg* args) {
    bool on = !logic::is_false(args[1].cell);
    if (names(args[0].cell, "pretty?")) float_text::pretty_print = on;
    if (names(args[0].cell, "full?")) float_text::full_support = on;
    return answer(args[1].cell);
}

// Whether a frame below the routine's own came from interpreted code.
Arg interpreted_call(const Arg*) { return answer_integer(stack::interpreted(nullptr, false) ? 1 : 0); }

Arg error_catalog(const Arg*) { return answer(catalog::push_object()); }

Arg attach_object(const Arg*) {
    system_fields::attach();
    return answer(push_none());
}

}  // namespace vek::routines
