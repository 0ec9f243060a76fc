// The clipboard's conversions: file lists to and from text/uri-list, and
// text made valid UTF-8. The clipboard itself is tested end to end by
// tests/vek/clipboard.vek and tests/program/clipboard.cmake.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/clipboard.h"

namespace {

namespace clipboard = vek::platform::clipboard;

TEST(Clipboard, BrokenUtf8BecomesReplacementCharacters) {
    const std::string R = "\xEF\xBF\xBD";
    struct Case {
        std::string bytes;
        std::string text;
    };
    const Case cases[] = {
        {"a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"},  // valid as it is
        {std::string("a\0b", 3), std::string("a\0b", 3)},                                   // NUL is text
        {"\x80x", R + "x"},                                                                  // lone continuation
        {"\xC0\x80", R + R},                                                                 // overlong
        {"\xED\xA0\x80", R + R + R},                                                         // surrogate
        {"\xF4\x90\x80\x80", R + R + R + R},                                                 // above U+10FFFF
        {"\xF5x\xFF", R + "x" + R},                                                          // never a lead
        {"\xE2\x82x", R + "x"},                                                              // cut short
        {"x\xF0\x9F\x98", "x" + R},                                                          // cut off at the end
    };
    for (const Case& c : cases) EXPECT_EQ(clipboard::valid_utf8(c.bytes), c.text) << c.bytes;
}

TEST(Clipboard, UriListsNameLocalFilesOnly) {
    std::string list =
        "# comment\r\n"
        "file:///tmp/a%20b\r\n"
        "http://host/x\n"
        "FILE://LocalHost/c%2fd\n"
        "file://host/e\n"
        "file://localhostx/f\n"
        "file:/g%zz%4\n"
        "file:///h%00i\n"
        "file:relative\n"
        "\n"
        "file:///last";
    EXPECT_EQ(clipboard::from_uri_list(list), (std::vector<std::string>{"/tmp/a b", "/c/d", "/g%zz%4", "/last"}));
}

TEST(Clipboard, EveryByteOfAPathSurvivesAUriList) {
    std::string path = "/";
    for (int byte = 1; byte < 256; byte++) path.push_back(char(byte));
    std::string list = clipboard::to_uri_list({path, "/plain-name_1.~"});
    std::string first_line = list.substr(0, list.find("\r\n"));
    EXPECT_EQ(first_line.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-._~/%:"),
              std::string::npos);
    EXPECT_TRUE(list.ends_with("\r\nfile:///plain-name_1.~\r\n"));
    EXPECT_EQ(clipboard::from_uri_list(list), (std::vector<std::string>{path, "/plain-name_1.~"}));
}

}  // namespace
