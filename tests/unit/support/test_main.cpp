// Unit tests run the way the program runs: on the runtime thread, with the
// runtime brought up once and the collector on, as it is once the library
// starts. Each test starts with it on again, whatever the one before did.
#include <gtest/gtest.h>

#include "platform/runtime_thread.h"
#include "runtime/init.h"
#include "runtime/memory/manager.h"

namespace {

class CollectorOn : public testing::EmptyTestEventListener {
    void OnTestStart(const testing::TestInfo&) override { vek::memory::collector_enabled = true; }
};

int run_tests(void*) {
    vek::runtime::init();
    testing::UnitTest::GetInstance()->listeners().Append(new CollectorOn);
    return RUN_ALL_TESTS();
}

}  // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    return vek::platform::run_on_runtime_thread(run_tests, nullptr);
}
