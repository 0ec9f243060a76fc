// Helpers of the fuzz targets whose decoders are library code written in
// Vek: the library is booted once, then each input is poked into a short
// call and run; a call that answers false reports the input and ends the
// run as a crash would, so that the input is kept. Each call is scanned
// once and its code kept for the inputs that follow.
#pragma once

#include <array>
#include <cstdio>
#include <exception>
#include <string>
#include <unordered_map>

#include "boot/library.h"
#include "runtime/datatypes/logic.h"
#include "runtime/core/stack.h"
#include "runtime/eval/evaluator.h"
#include "runtime/gc/collector.h"
#include "runtime/lexer/lexer.h"
#include "tests/unit/support/support.h"

namespace vek::fuzz {

inline Cell load_code(const std::string& source) {
    Cell block{};
    lexer::scan(make_unset(&block), reinterpret_cast<const uint8_t*>(source.data()), uint32_t(source.size()),
                {.wrap = true}, nullptr, nullptr, nullptr);
    return block;
}

// Boots the library, then runs the code that defines the target's checks;
// only the first call does anything.
inline void boot_with(const char* checks) {
    static bool done = false;
    if (done) return;
    done = true;
    test::raised([&] {
        boot::boot_library(boot::library_modules());
        Cell code = load_code(checks);
        // The checks hold no break, return or exit at their top level.
        static_cast<void>(eval::eval_block(&code));
    });
}

// The code of the calls made so far, by their source. A target makes a
// fixed set of calls (the CSV one at most 257), which fits.
class ScannedCalls {
public:
    // The call's code, scanned the first time it is asked for.
    Cell* code(const std::string& source) {
        auto found = index_.find(source);
        if (found != index_.end()) return &code_[found->second];
        if (index_.empty()) gc::add_root("fuzz target's calls", [] { instance().mark(); });
        if (index_.size() == code_.size()) std::terminate();
        uint32_t slot = uint32_t(index_.size());
        code_[slot] = load_code(source);
        index_.emplace(source, slot);
        return &code_[slot];
    }

    static ScannedCalls& instance() {
        static ScannedCalls calls;
        return calls;
    }

private:
    void mark() const { gc::mark_cells(code_.data(), code_.data() + index_.size()); }

    std::array<Cell, 512> code_{};
    std::unordered_map<std::string, uint32_t> index_;
};

// The input's place in every call: its third value, after the function and
// its first argument's function ("check? decode _").
constexpr uint32_t INPUT_SLOT = 2;

// Runs the call with the input in its place; false only when it answered
// false, not when it raised.
inline bool passes(const std::string& call, const Cell& input) {
    bool answer = true;
    test::raised([&] {
        Cell* code = ScannedCalls::instance().code(call);
        series_buffer(code)->cells()[INPUT_SLOT] = input;
        Cell* result = stack::top;
        static_cast<void>(eval::eval_block(code));
        // The code keeps no input alive past its run.
        make_unset(&series_buffer(code)->cells()[INPUT_SLOT]);
        answer = cell_type(result) != TYPE_LOGIC || logic::get(result);
    });
    return answer;
}

// Ends the run when the call answers false, naming it and the input.
inline void check(const std::string& call, const Cell& input, const uint8_t* data, size_t size) {
    if (passes(call, input)) return;
    std::fprintf(stderr, "fuzz: %s answered false on these %zu bytes:\n", call.c_str(), size);
    std::fwrite(data, 1, size, stderr);
    std::terminate();
}

}  // namespace vek::fuzz
