// Unit tests run the way the program runs: on the runtime thread, with the
// runtime brought up once.
#include <gtest/gtest.h>

#include "platform/runtime_thread.h"
#include "runtime/init.h"

namespace {
int run_tests(void*) {
    vek::runtime::init();
    return RUN_ALL_TESTS();
}
}  // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    return vek::platform::run_on_runtime_thread(run_tests, nullptr);
}
