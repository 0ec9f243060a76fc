#include "boot/script.h"

#include <fstream>
#include <sstream>
#include <string>

#include "platform/stdin.h"
#include "runtime/core/raise.h"
#include "runtime/core/root.h"
#include "runtime/core/system.h"
#include "runtime/datatypes/object/error.h"
#include "runtime/datatypes/string/buffer.h"
#include "runtime/datatypes/word/context.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/eval/evaluator.h"
#include "runtime/eval/stack.h"
#include "runtime/lexer/lexer.h"
#include "runtime/output/stdout_writer.h"

namespace vek::boot {

namespace {

// The console's guard around a script: every way out stops at try/all, and
// an error keeps its call stack. The empty block is replaced by the code.
constexpr const char* GUARD = "try/all/keep [catch/name [] 'console]";

// Where the guard's inner block holds the code.
constexpr uint32_t GUARD_BODY = 1;
constexpr uint32_t GUARDED_CODE = 1;

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// The start of the script: "Vek", optionally "/System", any whitespace, then
// "[". Text before it is not part of the script.
size_t find_header(const std::string& text) {
    for (size_t at = text.find("Vek"); at != std::string::npos; at = text.find("Vek", at + 1)) {
        size_t i = at + 3;
        if (text.compare(i, 7, "/System") == 0) i += 7;
        while (i < text.size() && is_space(text[i])) i++;
        if (i < text.size() && text[i] == '[') return at;
    }
    return std::string::npos;
}

const Cell* global_word(const char* name) { return context::add_global(symbol::make(name), false, true); }

void print_line(const char* text) {
    output::print_cstring(text);
    output::print_cstring("\n");
}

// The error that ends the script. The emergency reserve is handed back
// first: the error may be no-memory, and the script ends anyway.
void report(const Cell* error) {
    root::release_reserve();
    error::print(error);
}

// Runs step inside a try frame named after what it does, with the cell it
// fills as the frame's result. On success that cell is left as the last
// pushed one; an error is printed instead and false answered.
template <class Step>
bool guarded(const char* name, Step step) {
    stack::mark_try(global_word(name));
    try {
        step(stack::push_cell());
        stack::unwind();
        return true;
    } catch (const VekThrow& thrown) {
        if (thrown.code != CODE_ERROR) throw;
        sysrec.thrown_code = 0;
        error::resolve_bare_code(stack::top - 1);
        report(stack::top - 1);
        return false;
    }
}

bool read_file(const char* name, std::string& text) {
    return guarded("read", [&](Cell*) {
        std::ifstream in(name, std::ios::binary);
        std::ostringstream bytes;
        if (in) bytes << in.rdbuf();
        if (!in || in.bad()) {
            Cell* file = string::load_push(reinterpret_cast<const uint8_t*>(name),
                                                  uint32_t(std::char_traits<char>::length(name)),
                                                  string::Encoding::utf8);
            set_type(file, TYPE_FILE);
            fire(err::access::cannot_open, file);
        }
        text = bytes.str();
    });
}

// Loads the text into a block, left as the last pushed cell.
bool load(const std::string& text, size_t from) {
    return guarded("load", [&](Cell* block) {
        lexer::scan(block, reinterpret_cast<const uint8_t*>(text.data()) + from, uint32_t(text.size() - from),
                    {.wrap = true}, nullptr, nullptr, nullptr);
    });
}

// The index of the code after the first word Vek and the block that follows
// it; -1 when there is no such pair.
int32_t code_after_header(const Cell* block) {
    uint32_t vek = symbol::make("Vek");
    SeriesBuffer* buffer = series_buffer(block);
    for (uint32_t i = series_index(block); i + 1 < buffer->length(); i++) {
        const Cell* value = buffer->cells() + i;
        if (cell_type(value) == TYPE_WORD && word::symbol(value) == vek)
            return cell_type(value + 1) == TYPE_BLOCK ? int32_t(i + 2) : -1;
    }
    return -1;
}

// Evaluates the code block inside the guard and answers the exit status. A
// script whose value is an error, raised or not, ends in that error.
int evaluate(const Cell* code) {
    Cell guard_code = *code;
    if (!load(GUARD, 0)) return 1;
    Cell guard = *(stack::top - 1);
    Cell body = series_buffer(&guard)->cells()[GUARD_BODY];
    series_buffer(&body)->cells()[GUARDED_CODE] = guard_code;
    eval::set_top_level(&guard_code);
    Pending pending = eval::eval_block(&guard);
    eval::set_top_level(nullptr);
    if (pending != Pending::none) return 0;
    const Cell* result = stack::top - 1;
    if (cell_type(result) != TYPE_ERROR) return 0;
    report(result);
    return 1;
}

// A script file: its text from the header on, the header skipped.
int run_file(const char* name) {
    std::string text;
    if (!read_file(name, text)) return 1;
    size_t start = find_header(text);
    if (start == std::string::npos) {
        print_line("*** Error: Vek header not found!");
        return 1;
    }
    if (!load(text, start)) return 1;
    Cell code = *(stack::top - 1);
    int32_t index = code_after_header(&code);
    if (index < 0) {
        bool system = text.find("Vek/System") != std::string::npos;
        print_line(system ? "*** Error: contains Vek/System code which requires compilation!"
                          : "*** Error: not a Vek program!");
        return 1;
    }
    set_series_index(&code, uint32_t(index));
    return evaluate(&code);
}

// Standard input needs no header; one that starts it is skipped.
int run_stdin() {
    std::string text = platform::read_all_stdin();
    if (!load(text, 0)) return 1;
    Cell code = *(stack::top - 1);
    uint32_t head = series_index(&code);
    if (code_after_header(&code) == int32_t(head) + 2) set_series_index(&code, head + 2);
    return evaluate(&code);
}

}  // namespace

int launch(int argc, char** argv) {
    if (argc > 1) return run_file(argv[1]);
    if (!platform::stdin_is_terminal()) return run_stdin();
    return 0;
}

}  // namespace vek::boot
