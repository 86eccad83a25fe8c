// The tools the file layer runs must not outlive a process that is killed
// while it waits for them: a SIGKILL gives no chance to clean up, and a tool
// left working (rm, mv) would change the tree after a recovery has decided.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <dirent.h>
#include <fstream>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include "fs/run_program.h"
#include "support/orphans.h"

namespace tpl {

namespace {

// The pid of a child of parent whose command name is name, or 0.
pid_t ChildNamed(pid_t parent, const std::string& name) {
    DIR* proc = opendir("/proc");
    if (proc == nullptr) return 0;
    pid_t found = 0;
    while (dirent* entry = readdir(proc)) {
        const pid_t pid = static_cast<pid_t>(std::atoi(entry->d_name));
        if (pid <= 0) continue;
        std::ifstream stat("/proc/" + std::string(entry->d_name) + "/stat");
        std::string line;
        if (!std::getline(stat, line)) continue;
        const size_t open = line.find('('), close = line.rfind(')');
        if (open == std::string::npos || close == std::string::npos) continue;
        char state = 0;
        int ppid = 0;
        if (std::sscanf(line.c_str() + close + 1, " %c %d", &state, &ppid) != 2) continue;
        if (ppid == parent && line.substr(open + 1, close - open - 1) == name) {
            found = pid;
            break;
        }
    }
    closedir(proc);
    return found;
}

pid_t WaitForChildNamed(pid_t parent, const std::string& name) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        if (const pid_t pid = ChildNamed(parent, name)) return pid;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return 0;
}

class RunToolTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0); }
    void TearDown() override {
        if (tool_ > 0) kill(tool_, SIGKILL);  // a survivor must not outlive the test
        test_support::OrphansGoneWithin(std::chrono::seconds(5));
        prctl(PR_SET_CHILD_SUBREAPER, 0);
    }
    pid_t tool_ = 0;
};

}  // namespace

TEST_F(RunToolTest, ToolDiesWithTheProcessThatRanIt) {
    const pid_t caller = fork();
    ASSERT_GE(caller, 0);
    if (caller == 0) {
        const int status = fs_detail::RunTool({"sleep", "60"}, true);
        _exit(status == 0 ? 0 : 1);
    }
    tool_ = WaitForChildNamed(caller, "sleep");
    ASSERT_GT(tool_, 0) << "the tool did not start";
    ASSERT_EQ(kill(caller, SIGKILL), 0);
    int status = 0;
    ASSERT_EQ(waitpid(caller, &status, 0), caller);
    EXPECT_TRUE(test_support::OrphansGoneWithin(std::chrono::seconds(5))) << "the tool outlived its caller";
}

TEST_F(RunToolTest, ToolStatusAndAMissingProgramAreTold) {
    EXPECT_EQ(fs_detail::RunTool({"true"}, true), 0);
    EXPECT_EQ(fs_detail::RunTool({"sh", "-c", "exit 3"}, true), 3);
    // A program that cannot be started is not a program that failed.
    EXPECT_EQ(fs_detail::RunTool({"no-such-tool-anywhere"}, true), -1);
    EXPECT_EQ(fs_detail::RunTool({}, true), -1);
}

}  // namespace tpl
