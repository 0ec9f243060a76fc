// file! paths and the operating system: what no Vek code reaches yet.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "platform/os.h"
#include "runtime/core/raise.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/string/file_path.h"
#include "tests/unit/support/string_cells.h"
#include "tests/unit/support/support.h"

namespace vek {
namespace {

// The stack as it was before the test pushed its results.
struct StackMark {
    Cell* top = stack::top;
    ~StackMark() { stack::top = top; }
};

std::string current_dir() {
    StackMark mark;
    return test::utf8(*file::get_current_dir());
}

std::string local_path(const Cell& file, bool full) {
    Cell output = test::output_cell();
    file::to_local_path(&file, &output, full);
    return test::utf8(output);
}

TEST(FilePath, LocalPathIsTheTextUnlessFullMakesARelativeOneAbsolute) {
    std::string dir = current_dir();
    struct Case {
        std::u32string_view file;
        std::string plain;
        std::string full;
    };
    const Case cases[] = {
        // No name means a drive or a share: these are ordinary paths.
        {U"/c/windows/x.txt", "/c/windows/x.txt", "/c/windows/x.txt"},
        {U"/c", "/c", "/c"},
        {U"//share/a", "//share/a", "//share/a"},
        {U"/server/a", "/server/a", "/server/a"},
        {U"a/b", "a/b", dir + "a/b"},
        {U"a\\b c:", "a\\b c:", dir + "a\\b c:"},
        {U"../x", "../x", dir + "../x"},
        {U"", "", dir},
        {U"\u00E9/\U0001F600", "\u00E9/\U0001F600", dir + "\u00E9/\U0001F600"},
    };
    for (const Case& c : cases) {
        Cell file = test::text_cell(c.file, 4, TYPE_FILE);
        EXPECT_EQ(local_path(file, false), c.plain);
        EXPECT_EQ(local_path(file, true), c.full) << c.plain;
    }
    // From the file's index, which decides whether it is relative.
    EXPECT_EQ(local_path(test::text_cell(U"/ab", 1, TYPE_FILE, 1), true), dir + "ab");
}

TEST(FilePath, VekPathIsAFileOfTheSameText) {
    StackMark mark;
    for (std::u32string_view text : {U"C:\\dir\\file", U"/c/x/", U"a//b", U"\u20AC"}) {
        Cell path = test::text_cell(text, 2, TYPE_STRING);
        Cell* file = file::to_vek_path(&path);
        EXPECT_EQ(cell_type(file), uint32_t(TYPE_FILE));
        EXPECT_EQ(test::utf8(*file), test::utf8(path));
    }
}

TEST(FilePath, CurrentDirEndsWithOneSlash) {
    std::string start = platform::get_current_dir();
    ASSERT_FALSE(start.empty());
    EXPECT_EQ(current_dir(), start + "/");
    ASSERT_TRUE(platform::set_current_dir("/"));
    EXPECT_EQ(current_dir(), "/");
    ASSERT_TRUE(platform::set_current_dir(start.c_str()));
}

// A directory that was removed under the process has no name, but relative
// paths still lead into it.
TEST(FilePath, RemovedCurrentDirIsDot) {
    std::string start = platform::get_current_dir();
    std::filesystem::path gone = std::filesystem::temp_directory_path() / "vek-file-path-test";
    std::filesystem::create_directory(gone);
    ASSERT_TRUE(platform::set_current_dir(gone.c_str()));
    std::filesystem::remove(gone);
    std::string dir = current_dir();
    ASSERT_TRUE(platform::set_current_dir(start.c_str()));
    EXPECT_EQ(dir, "./");
}

TEST(FilePath, OsPathIsNulTerminatedUtf8AsItStands) {
    StackMark mark;
    struct Case {
        std::u32string_view file;
        uint32_t unit;
        const char* bytes;
    };
    const Case cases[] = {
        {U"/tmp/a b.txt", 1, "/tmp/a b.txt"},
        {U"a\nb\rc", 1, "a\nb\rc"},
        {U"/c/x", 1, "/c/x"},
        {U"\u00E9", 1, "\xC3\xA9"},
        {U"d/\u20AC", 2, "d/\xE2\x82\xAC"},
        {U"\U0001F600", 4, "\xF0\x9F\x98\x80"},
        {U"", 1, ""},
    };
    for (const Case& c : cases) {
        Cell file = test::text_cell(c.file, c.unit, TYPE_FILE);
        const char* path = file::to_os_path(&file);
        EXPECT_STREQ(path, c.bytes);
        EXPECT_EQ(test::utf8(file), c.bytes) << "the file itself is left as it is";
    }
}

// The system would read the name only up to the NUL, and so reach another file.
TEST(FilePath, OsPathRefusesANul) {
    Cell file = test::text_cell(std::u32string_view(U"a\0b", 3), 1, TYPE_FILE);
    EXPECT_EQ(test::raised([&] { file::to_os_path(&file); }), error_code(err::script::invalid_arg));
}

}  // namespace
}  // namespace vek
