// The POSIX file layer on real files in a directory of the test's own.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "platform/files.h"

namespace {

namespace fs = std::filesystem;
using namespace vek::platform;

class Files : public testing::Test {
protected:
    void SetUp() override {
        std::random_device random;
        dir_ = fs::temp_directory_path() / ("vek-files-" + std::to_string(random()) + std::to_string(random()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string path(const std::string& name) const { return (dir_ / name).string(); }

    void put(const std::string& name, const std::string& bytes) const {
        std::ofstream(path(name), std::ios::binary) << bytes;
    }
    std::string contents(const std::string& name) const {
        std::ifstream in(path(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    std::vector<std::string> names() const {
        std::vector<std::string> found;
        for (const auto& entry : fs::directory_iterator(dir_)) found.push_back(entry.path().filename().string());
        std::sort(found.begin(), found.end());
        return found;
    }

    fs::path dir_;
};

std::string text_of(const FileBytes& read) { return std::string(read.bytes.begin(), read.bytes.end()); }

TEST_F(Files, ReadsFromAnOffsetUpToALimit) {
    put("digits", "0123456789");
    struct Case {
        int64_t offset, limit;
        const char* expected;
    };
    const Case cases[] = {
        {0, -1, "0123456789"}, {3, -1, "3456789"}, {0, 4, "0123"}, {8, 5, "89"},
        {10, -1, ""},          {25, 3, ""},        {0, 0, ""},
    };
    for (const auto& c : cases) {
        FileBytes read = read_file(path("digits").c_str(), c.offset, c.limit, 1000);
        EXPECT_EQ(read.status, ReadStatus::ok) << c.offset << " " << c.limit;
        EXPECT_EQ(text_of(read), c.expected) << c.offset << " " << c.limit;
    }
    EXPECT_EQ(read_file(path("digits").c_str(), 0, -1, 9).status, ReadStatus::too_long);
    EXPECT_EQ(read_file(path("digits").c_str(), 0, 9, 9).status, ReadStatus::ok);
    EXPECT_EQ(read_file(path("missing").c_str(), 0, -1, 1000).status, ReadStatus::cannot_open);
    EXPECT_EQ(read_file(dir_.c_str(), 0, -1, 1000).status, ReadStatus::cannot_open);
}

// A FIFO reports no size and cannot seek: it is read to its end, the offset
// skipped by reading.
TEST_F(Files, ReadsAFifoToItsEndSkippingTheOffset) {
    ASSERT_EQ(mkfifo(path("fifo").c_str(), 0600), 0);
    std::thread writer([&] { std::ofstream(path("fifo"), std::ios::binary) << "abcdef"; });
    FileBytes read = read_file(path("fifo").c_str(), 2, -1, 1000);
    writer.join();
    EXPECT_EQ(read.status, ReadStatus::ok);
    EXPECT_EQ(text_of(read), "cdef");
    // /proc files report size 0 too, and do seek.
    EXPECT_EQ(text_of(read_file("/proc/version", 6, 7, 1000)), "version");
}

TEST_F(Files, ListsSortedByBytesWithoutDots) {
    for (const char* name : {"b", "a", "B", "\xC3\xA9"}) put(name, "");
    fs::create_directory(dir_ / "dir");
    fs::create_directory_symlink(dir_ / "dir", dir_ / "link");
    auto entries = list_directory(dir_.c_str());
    ASSERT_TRUE(entries);
    std::vector<std::pair<std::string, bool>> got;
    for (const auto& e : *entries) got.emplace_back(e.name, e.directory);
    std::vector<std::pair<std::string, bool>> expected = {
        {"B", false}, {"a", false}, {"b", false}, {"dir", true}, {"link", true}, {"\xC3\xA9", false}};
    EXPECT_EQ(got, expected);
    EXPECT_FALSE(list_directory(path("missing").c_str()));
    EXPECT_FALSE(list_directory(path("a").c_str()));
}

// A replaced file keeps its permissions; through a link the target is
// replaced and the link stays; no scratch file is left behind.
TEST_F(Files, ReplacingKeepsModeAndFollowsLinks) {
    put("target", "old contents");
    fs::permissions(dir_ / "target", fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read);
    fs::create_symlink(dir_ / "target", dir_ / "link");
    ASSERT_TRUE(write_file(path("link").c_str(), "new", 3, WriteMode::replace, 0));
    EXPECT_TRUE(fs::is_symlink(dir_ / "link"));
    EXPECT_EQ(contents("target"), "new");
    EXPECT_EQ(fs::status(dir_ / "target").permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read);
    EXPECT_EQ(names(), (std::vector<std::string>{"link", "target"}));
}

TEST_F(Files, AppendsAndOverwritesInPlace) {
    put("f", "0123456789");
    ASSERT_TRUE(write_file(path("f").c_str(), "ab", 2, WriteMode::at_offset, 0));
    ASSERT_TRUE(write_file(path("f").c_str(), "XY", 2, WriteMode::at_offset, 5));
    ASSERT_TRUE(write_file(path("f").c_str(), "!", 1, WriteMode::append, 0));
    EXPECT_EQ(contents("f"), "ab234XY789!");
    ASSERT_TRUE(write_file(path("new").c_str(), "n", 1, WriteMode::replace, 0));
    EXPECT_EQ(contents("new"), "n");
    EXPECT_FALSE(write_file(path("no/such").c_str(), "n", 1, WriteMode::replace, 0));
}

TEST_F(Files, RenameNeverReplaces) {
    put("a", "A");
    put("b", "B");
    EXPECT_FALSE(rename_no_replace(path("a").c_str(), path("b").c_str()));
    EXPECT_EQ(contents("a") + contents("b"), "AB");
    EXPECT_TRUE(rename_no_replace(path("a").c_str(), path("c").c_str()));
    EXPECT_EQ(names(), (std::vector<std::string>{"b", "c"}));
    EXPECT_FALSE(rename_no_replace(path("a").c_str(), path("d").c_str()));
}

TEST_F(Files, StatusGivesTheModificationTimeInUtc) {
    put("f", "12345");
    // 2023-11-14 22:13:20.5 UTC.
    const timespec times[2] = {{1700000000, 500000000}, {1700000000, 500000000}};
    ASSERT_EQ(utimensat(AT_FDCWD, path("f").c_str(), times, 0), 0);
    auto status = file_status(path("f").c_str());
    ASSERT_TRUE(status);
    EXPECT_FALSE(status->directory);
    EXPECT_EQ(status->size, 5);
    const FileTime& t = status->modified;
    EXPECT_EQ((std::vector<int32_t>{t.year, t.month, t.day, t.hour, t.minute, t.second, t.nanosecond}),
              (std::vector<int32_t>{2023, 11, 14, 22, 13, 20, 500000000}));
    EXPECT_TRUE(file_status(dir_.c_str())->directory);
    EXPECT_FALSE(file_status(path("missing").c_str()));
}

TEST_F(Files, PathOperations) {
    EXPECT_TRUE(make_directory(path("d").c_str()));
    EXPECT_FALSE(make_directory(path("d").c_str()));
    EXPECT_TRUE(path_exists(path("d").c_str()));
    put("d/f", "");
    EXPECT_FALSE(remove_directory(path("d").c_str()));
    EXPECT_FALSE(remove_file(path("d").c_str()));
    EXPECT_TRUE(remove_file(path("d/f").c_str()));
    EXPECT_TRUE(remove_directory(path("d").c_str()));
    EXPECT_FALSE(path_exists(path("d").c_str()));
}

}  // namespace
