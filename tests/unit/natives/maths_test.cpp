// size? on real files: sizes at the edge of integer!, directories and paths
// that lead nowhere.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "tests/unit/support/load_and_mold.h"
#include "tests/unit/support/stack_fixture.h"

namespace vek {
namespace {

namespace fs = std::filesystem;

class SizeOfFile : public test::StackRestoringTest {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("vek-size-test-" + std::to_string(std::random_device()()));
        fs::create_directory(dir_);
    }
    void TearDown() override {
        fs::remove_all(dir_);
        StackRestoringTest::TearDown();
    }

    // A file of that many bytes in the test's directory; past a few bytes
    // it is sparse, so its size costs no disk space.
    std::string file_of_size(const char* name, uintmax_t size) {
        fs::path path = dir_ / name;
        std::ofstream(path) << std::string(size < 16 ? size : 0, 'x');
        if (size >= 16) fs::resize_file(path, size);
        return path.string();
    }

    std::string size_of(const std::string& path) {
        std::string source = "size? %\"" + path + "\"";
        Cell code = test::load_code(source.c_str());
        return test::stack_molded(test::result_of(&code, source));
    }

    fs::path dir_;
};

TEST_F(SizeOfFile, SizesThatIntegerHoldsAndThoseItDoesNot) {
    struct Case {
        const char* name;
        uintmax_t size;
        const char* expected;
    } cases[] = {
        {"empty", 0, "0"},
        {"five", 5, "5"},
        {"largest", 2147483647, "2147483647"},
        {"too-large", 2147483648, "none"},
        {"far-too-large", uintmax_t(1) << 33, "none"},
    };
    for (const Case& c : cases) EXPECT_EQ(size_of(file_of_size(c.name, c.size)), c.expected) << c.name;
}

TEST_F(SizeOfFile, DirectoriesAndMissingFilesHaveNoSize) {
    file_of_size("plain", 3);
    fs::create_directory(dir_ / "sub");
    const std::string base = dir_.string();
    for (const std::string& path : {base, base + "/", base + "/sub", base + "/missing", base + "/plain/"})
        EXPECT_EQ(size_of(path), "none") << path;
}

}  // namespace
}  // namespace vek
