// Detached programs: they start, and leave no zombie behind once they end.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#include "platform/process.h"

namespace {

using namespace vek::platform;

// The state letter of /proc/PID/stat, or 0 once the process is gone.
char process_state(int pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) return 0;
    size_t end_of_name = line.rfind(')');
    return end_of_name + 2 < line.size() ? line[end_of_name + 2] : 0;
}

// Waits up to five seconds for the process to be reaped.
bool disappears(int pid) {
    for (int i = 0; i < 500; i++) {
        if (process_state(pid) == 0) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

TEST(SpawnDetached, EndedChildIsReapedNotLeftAsZombie) {
    int pid = spawn_detached("true", {"true"});
    ASSERT_GT(pid, 0);
    EXPECT_TRUE(disappears(pid)) << "state " << process_state(pid);
}

TEST(SpawnDetached, ChildRunsInItsOwnSession) {
    int pid = spawn_detached("sleep", {"sleep", "0.3"});
    ASSERT_GT(pid, 0);
    EXPECT_EQ(getsid(pid), pid);
    EXPECT_TRUE(disappears(pid));
}

TEST(SpawnDetached, MissingProgramIsReportedAndLeavesNoChild) {
    EXPECT_EQ(spawn_detached("vek-no-such-program", {"vek-no-such-program"}), -1);
    EXPECT_EQ(spawn_detached("/nonexistent/vek-program", {"x"}), -1);
    EXPECT_EQ(spawn_detached("/etc/passwd", {"x"}), -1);  // not executable
}

}  // namespace
