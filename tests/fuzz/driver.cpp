// The fuzz driver, around one target (target.h), on the runtime thread with
// the runtime up and the collector on.
//
// Built with libFuzzer (VEK_LIBFUZZER, clang only: tests/fuzz/run.sh), it
// hands the target to libFuzzer's loop, which takes libFuzzer's arguments.
// Built without, it is a small fuzzer of its own that CTest runs in every
// build, the sanitizer build included:
//     fuzz_NAME CORPUS_DIR RUNS SEED
// replays every file of the corpus, then runs RUNS inputs mutated from them,
// drawn from SEED, so that a failure comes back the same way every time. The
// input that failed (on an escaping exception, or a sanitizer's report) is
// written to fuzz-failure-NAME in the working directory.
//
// Under the sanitizers the machine faults stay with their handlers, not the
// runtime's: a wild read in a decoder is reported with its stack, and the
// input is kept (by libFuzzer as crash-*, or here as above). Undefined
// behaviour stops the run as a fault does, so that no report goes by unseen.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#ifdef VEK_SANITIZE
#include <sanitizer/common_interface_defs.h>
#endif

#include "platform/runtime_thread.h"
#include "platform/signals.h"
#include "runtime/init.h"
#include "runtime/memory/manager.h"
#include "tests/fuzz/target.h"

#ifdef VEK_SANITIZE
extern "C" const char* __ubsan_default_options() { return "halt_on_error=1:print_stacktrace=1"; }
#endif

namespace {

using Input = std::vector<uint8_t>;

struct Arguments {
    int argc;
    char** argv;
};

#ifdef VEK_LIBFUZZER

extern "C" int LLVMFuzzerRunDriver(int* argc, char*** argv, int (*run)(const uint8_t*, size_t));

int run_input(const uint8_t* data, size_t size) {
    vek::fuzz::run_one(data, size);
    return 0;
}

int fuzz(Arguments& arguments) { return LLVMFuzzerRunDriver(&arguments.argc, &arguments.argv, run_input); }

#else

// Inputs the mutations keep under: the constructs of any decoder fit in far
// fewer bytes, and shorter inputs make more runs.
constexpr size_t MAX_MUTATED = 4096;

// Bytes that mean something to the decoders under test: delimiters, escapes,
// signs, digits, and the lead bytes of multi-byte UTF-8.
constexpr char SPECIAL[] = "[](){}\"^#%:/'@$<>;\n\t\r -+.,~!?*=&|\\0123456789eExX\xC3\xE2\xF0\x80\xBF\xFF";

// xorshift64*: the same runs from the same seed on every machine.
class Random {
public:
    explicit Random(uint64_t seed) : state_(seed * 2654435761u + 1) {}
    uint64_t next() {
        state_ ^= state_ >> 12;
        state_ ^= state_ << 25;
        state_ ^= state_ >> 27;
        return state_ * 2685821657736338717ull;
    }
    size_t below(size_t n) { return n == 0 ? 0 : size_t(next() % n); }

private:
    uint64_t state_;
};

Input read_file(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Input(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<Input> read_corpus(const char* directory) {
    std::vector<std::filesystem::path> paths;
    for (const auto& entry : std::filesystem::directory_iterator(directory))
        if (entry.is_regular_file()) paths.push_back(entry.path());
    std::sort(paths.begin(), paths.end());
    std::vector<Input> corpus;
    for (const auto& path : paths) corpus.push_back(read_file(path));
    return corpus;
}

// One edit: a byte changed (at random, to a special byte, or one bit of it),
// a range removed or repeated, or a piece of another input spliced in.
void mutate_once(Input& input, const std::vector<Input>& corpus, Random& random) {
    size_t at = random.below(input.size() + 1);
    switch (random.below(6)) {
        case 0:
            if (at < input.size()) input[at] = uint8_t(random.next());
            break;
        case 1:
            input.insert(input.begin() + at, uint8_t(SPECIAL[random.below(sizeof SPECIAL - 1)]));
            break;
        case 2:
            if (at < input.size()) input[at] ^= uint8_t(1u << random.below(8));
            break;
        case 3:
            input.erase(input.begin() + at, input.begin() + at + random.below(input.size() - at + 1));
            break;
        case 4: {
            size_t length = random.below(std::min<size_t>(input.size() - at, 64) + 1);
            Input piece(input.begin() + at, input.begin() + at + length);
            for (size_t times = random.below(8) + 1; times > 0; times--)
                input.insert(input.begin() + at, piece.begin(), piece.end());
            break;
        }
        default: {
            const Input& other = corpus[random.below(corpus.size())];
            size_t from = random.below(other.size() + 1);
            size_t length = random.below(other.size() - from + 1);
            input.insert(input.begin() + at, other.begin() + from, other.begin() + from + length);
        }
    }
    if (input.size() > MAX_MUTATED) input.resize(MAX_MUTATED);
}

// The input under way, and where it is saved when the run fails on it.
struct Failure {
    const Input* input = nullptr;
    unsigned long run = 0;  // 0 for the corpus, else the mutated input's number from 1
    std::string file;
};
Failure failure;

void save_failure() {
    if (!failure.input) return;
    std::fprintf(stderr, "fuzz: failed at mutated input %lu (0: a corpus input), saved to %s\n", failure.run,
                 failure.file.c_str());
    std::ofstream(failure.file, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(failure.input->data()), std::streamsize(failure.input->size()));
}

void run_input(const Input& input, unsigned long run) {
    failure.input = &input;
    failure.run = run;
    vek::fuzz::run_one(input.data(), input.size());
    failure.input = nullptr;
}

int fuzz(Arguments& arguments) {
    if (arguments.argc != 4) {
        std::fprintf(stderr, "usage: %s CORPUS_DIR RUNS SEED\n", arguments.argv[0]);
        return 2;
    }
    std::vector<Input> corpus = read_corpus(arguments.argv[1]);
    if (corpus.empty()) {
        std::fprintf(stderr, "%s: no inputs in %s\n", arguments.argv[0], arguments.argv[1]);
        return 2;
    }
    unsigned long runs = std::strtoul(arguments.argv[2], nullptr, 10);
    Random random(std::strtoull(arguments.argv[3], nullptr, 10));
    failure.file = "fuzz-failure-" + std::filesystem::path(arguments.argv[0]).filename().string();
    std::set_terminate([] {
        save_failure();
        std::abort();
    });
#ifdef VEK_SANITIZE
    __sanitizer_set_death_callback(save_failure);
#endif
    for (const Input& input : corpus) run_input(input, 0);
    for (unsigned long run = 1; run <= runs; run++) {
        Input input = corpus[random.below(corpus.size())];
        for (size_t edits = random.below(4) + 1; edits > 0; edits--) mutate_once(input, corpus, random);
        run_input(input, run);
    }
    std::printf("%zu corpus inputs and %lu mutated ones ran\n", corpus.size(), runs);
    return 0;
}

#endif

int run_fuzzer(void* arguments) {
    vek::runtime::init();
    vek::memory::collector_enabled = true;
    return fuzz(*static_cast<Arguments*>(arguments));
}

}  // namespace

int main(int argc, char** argv) {
    Arguments arguments{argc, argv};
#ifdef VEK_SANITIZE
    vek::platform::leave_faults_to_host();
#endif
    return vek::platform::run_on_runtime_thread(run_fuzzer, &arguments);
}
