// Libraries loaded at their first use: all of a list of functions or none,
// and the declared functions called by their own names.
#include <gtest/gtest.h>

#include <array>
#include <string>

#include <zlib.h>

#include "platform/shared_library.h"

namespace {

using vek::platform::load_library;

TEST(LoadLibrary, FindsEveryNameOrNone) {
    std::array<void*, 2> addresses{};
    const char* present[] = {"zlibVersion", "crc32"};
    EXPECT_TRUE(load_library("libz.so.1", present, addresses));
    EXPECT_NE(addresses[0], nullptr);
    EXPECT_NE(addresses[1], nullptr);
    const char* one_missing[] = {"zlibVersion", "vek_no_such_function"};
    EXPECT_FALSE(load_library("libz.so.1", one_missing, addresses));
    EXPECT_FALSE(load_library("libvek-no-such-library.so.0", present, addresses));
}

#define VEK_TEST_FUNCTIONS(F) F(zlibVersion)

namespace loaded {
VEK_SHARED_LIBRARY("libz.so.1", VEK_TEST_FUNCTIONS)
}

namespace missing {
VEK_SHARED_LIBRARY("libvek-no-such-library.so.0", VEK_TEST_FUNCTIONS)
}

TEST(SharedLibrary, CallsTheLoadedFunctionByItsName) {
    ASSERT_TRUE(loaded::library.available());
    EXPECT_EQ(std::string(loaded::zlibVersion()), ::zlibVersion());
    EXPECT_FALSE(missing::library.available());
    EXPECT_FALSE(missing::library.available());
}

}  // namespace
