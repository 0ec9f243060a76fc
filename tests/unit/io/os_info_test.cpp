// The parts of os-info that are worked out from the system's text.
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "runtime/io/os_info.h"
#include "tests/unit/support/load_and_mold.h"
#include "tests/unit/support/support.h"

namespace vek {
namespace {

TEST(OsInfo, NameFromOsRelease) {
    struct Case {
        const char* os_release;
        const char* name;
    };
    const Case cases[] = {
        {"NAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n",
         "Debian GNU/Linux 12 (bookworm)"},
        {"# comment\nNAME=Alpine\nID=alpine\n", "Alpine"},
        {"NAME='Single quoted'\nPRETTY_NAME=\n", "Single quoted"},
        {"PRETTY_NAME=\"Say \\\"hi\\\" \\\\ \\$x\"", "Say \"hi\" \\ $x"},
        {"XNAME=wrong\nNAMES=wrong\n", "Linux"},
        {"", "Linux"},
    };
    for (const auto& c : cases) EXPECT_EQ(os_info::name(c.os_release, "Linux"), c.name) << c.os_release;
}

TEST(OsInfo, ArchFromMachine) {
    struct Case {
        const char* machine;
        const char* arch;
    };
    const Case cases[] = {
        {"x86_64", "x86-64"}, {"aarch64", "ARM64"}, {"i686", "x86-32"}, {"i386", "x86-32"},
        {"armv7l", "ARM"},    {"riscv64", "Unknown"}, {"i86", "Unknown"}, {"", "Unknown"},
    };
    for (const auto& c : cases) EXPECT_STREQ(os_info::arch(c.machine), c.arch) << c.machine;
}

TEST(OsInfo, VersionAndBuildFromKernelRelease) {
    struct Case {
        const char* release;
        int32_t major, minor, patch, build;
    };
    const Case cases[] = {
        {"6.8.0-45-generic", 6, 8, 0, 45},
        {"5.15.153.1-microsoft-standard-WSL2", 5, 15, 153, 1},
        {"6.1.0-25-amd64", 6, 1, 0, 25},
        {"4.19.0-amd64", 4, 19, 0, 0},
        {"6.10.11+bpo-amd64", 6, 10, 11, 0},
        {"3.2", 3, 2, 0, 0},
        {"300.1000.7.99999999999", 255, 255, 7, 2147483647},
        {"", 0, 0, 0, 0},
    };
    for (const auto& c : cases) {
        os_info::KernelVersion v = os_info::kernel_version(c.release);
        EXPECT_EQ(v.version, (std::array<int32_t, 3>{c.major, c.minor, c.patch})) << c.release;
        EXPECT_EQ(v.build, c.build) << c.release;
    }
}

// This machine's description, whatever it is, in the four fields and their
// order.
TEST(OsInfo, ObjectOfTheFourFields) {
    test::SavedStacks saved;
    std::string text = test::molded(*os_info::push());
    saved.restore();
    std::regex expected(R"(make object! \[\n    name: ".*"\n    arch: '(x86-64|ARM64|x86-32|ARM|Unknown)\n)"
                        R"(    version: \d+\.\d+\.\d+\n    build: \d+\n\])");
    EXPECT_TRUE(std::regex_match(text, expected)) << text;
}

}  // namespace
}  // namespace vek
