// The file layer as the file! actions and the routines reach it: what Vek
// code cannot see (a write cut short by the system, standard output, the
// routines' answers).
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "runtime/core/raise.h"
#include "runtime/io/files.h"
#include "runtime/output/print_hooks.h"
#include "tests/unit/support/string_cells.h"
#include "tests/unit/support/support.h"

namespace vek {
namespace {

namespace fs = std::filesystem;

class FileLayer : public testing::Test {
protected:
    void SetUp() override {
        std::random_device random;
        dir_ = fs::temp_directory_path() / ("vek-io-" + std::to_string(random()) + std::to_string(random()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    Cell file(const std::string& name) const {
        std::string text = (dir_ / name).string();
        return test::text_cell(std::u32string(text.begin(), text.end()), 1, TYPE_FILE);
    }
    std::string contents(const std::string& name) const {
        std::ifstream in(dir_ / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    fs::path dir_;
};

TEST(SpellsDirectory, ByTheNameAlone) {
    struct Case {
        const char* path;
        bool directory;
    };
    const Case cases[] = {
        {"", false},     {".", true},     {"..", true},    {"a/", true},    {"/", true},
        {"a/.", true},   {"a/..", true},  {"a.", false},   {"a..", false},  {"...", false},
        {"a\\", false},  {"a\\.", false}, {".a", false},   {"a/b", false},  {"/.x", false},
    };
    for (const auto& c : cases) EXPECT_EQ(files::spells_directory(c.path), c.directory) << c.path;
}

TEST_F(FileLayer, MakeDirAndExists) {
    Cell dir = file("d/");
    EXPECT_FALSE(files::exists(&dir));
    EXPECT_TRUE(files::make_dir(&dir));
    EXPECT_FALSE(files::make_dir(&dir));
    EXPECT_TRUE(files::exists(&dir));
    Cell deeper = file("x/y/");
    EXPECT_FALSE(files::make_dir(&deeper));
}

// Limits file sizes for the life of the guard, with the signal that
// exceeding them sends ignored, so the write fails with EFBIG.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
        handler_ = std::signal(SIGXFSZ, SIG_IGN);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, handler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit saved_;
    void (*handler_)(int);
};

// The system takes part of the bytes, then refuses: the write raises
// cannot-open, a replaced file keeps its old contents and no scratch file is
// left; an appending write goes in place, as far as the limit lets it.
TEST_F(FileLayer, AWriteCutShortRaisesAndLeavesTheOldFile) {
    std::ofstream(dir_ / "f", std::ios::binary) << "old";
    Cell target = file("f");
    Cell data = test::string_cell(std::string(100000, 'x'));
    auto write = [&](bool append) {
        return test::raised([&] {
            files::write(&target, &data, {.append = append});
        });
    };
    FileSizeLimit limit(4096);
    EXPECT_EQ(write(false), error_code(err::access::cannot_open));
    EXPECT_EQ(contents("f"), "old");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
    EXPECT_EQ(write(true), error_code(err::access::cannot_open));
    EXPECT_EQ(contents("f"), "old" + std::string(4096 - 3, 'x'));
}

std::string observed;
void observe(const char* text, uint32_t length, int32_t) { observed.append(text, length); }

// Text goes out as UTF-8 with LF, binary as its bytes, other values molded;
// the write observers see it as they see any runtime output.
TEST(WriteStdout, WritesTheValuesBytes) {
    print_hooks::add(nullptr, observe);
    observed.clear();
    Cell text = test::text_cell(U"a\n\u00E9", 1);
    Cell bytes = test::binary_cell(std::string("\r\n\0", 3));
    Cell number = Cell{TYPE_INTEGER, 0, 42, 0};
    for (const Cell* value : {&text, &bytes, &number}) files::write_stdout(value);
    print_hooks::remove(nullptr, observe);
    EXPECT_EQ(observed, std::string("a\n\xC3\xA9\r\n\0" "42", 9));
}

}  // namespace
}  // namespace vek
