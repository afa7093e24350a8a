#include "platform/child_process.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <thread>

#include "platform/clock.h"
#include "tests/support/manual_clock.h"
#include "tests/support/temp_dir.h"

namespace plexivar::platform {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

TEST(ChildProcess, RunsThroughTheShellWithoutOurDescriptorsAndWaitsUpToTheLimit) {
    testing::TempDir dir;
    // Exit status, shell syntax, standard input from /dev/null, and no descriptor of ours
    // beyond the standard three.
    const CommandResult r = RunShellCommand(
        "read x; echo \"[$x]\" > '" + dir.File("out") + "'; ls /proc/self/fd | wc -l >> '" +
            dir.File("out") + "'; exit 3",
        seconds(10), SystemClock());
    EXPECT_EQ(r.outcome, CommandOutcome::Finished);
    EXPECT_EQ(r.exitStatus, 3);
    // "ls" sees 0, 1, 2 and the folder it lists.
    EXPECT_EQ(testing::TempDir::Read(dir.File("out")), "[]\n4\n");

    // A command that outlives its limit is left running and reaped later.
    testing::ManualClock clock;
    const auto start = std::chrono::steady_clock::now();
    const CommandResult slow = RunShellCommand("sleep 2", seconds(60), clock);
    EXPECT_EQ(slow.outcome, CommandOutcome::TimedOut);
    EXPECT_LT(std::chrono::steady_clock::now() - start, seconds(2));
    // While it runs, the same command line is not started a second time; others are.
    EXPECT_EQ(RunShellCommand("sleep 2", seconds(60), clock).outcome, CommandOutcome::StillRunning);
    EXPECT_EQ(RunShellCommand("true", seconds(60), clock).outcome, CommandOutcome::Finished);
    std::this_thread::sleep_for(milliseconds(2500));
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);  // no child left to reap: no zombie
    // Once it has ended, it may run again.
    EXPECT_EQ(RunShellCommand("sleep 2", milliseconds(100), SystemClock()).outcome,
              CommandOutcome::TimedOut);
}

}  // namespace
}  // namespace plexivar::platform
