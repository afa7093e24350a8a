// How the spooler thread goes about its folders: turns, order, readiness and stability,
// what it never takes, back-pressure, missing folders, and how it stops.
#include <fcntl.h>
#include <sys/stat.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <thread>

#include "platform/file_ops.h"
#include "platform/unique_fd.h"
#include "service/autostart.h"
#include "service/report/job_record.h"
#include "tests/service/spooler/spooler_test_support.h"

namespace plexivar::testing {
namespace {

using Strings = std::vector<std::string>;
using std::chrono::milliseconds;

void Append(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::app) << bytes;
}

// The input folders in the order the spooler thread searched them.
Strings SearchOrder(const RecordingView& view) {
    Strings order;
    for (const std::string& t : view.statusTexts())
        if (t.rfind("Searching ", 0) == 0) order.push_back(t);
    return order;
}

TEST_F(SpoolerTest, ServesSpoolersInTurnAndTheOldestFileFirst) {
    Service().NumberOfSpoolers = 3;
    for (int n = 1; n <= 3; ++n) Spooler(n).KeepResolution = 1;
    // Created first, written last: age counts by creation.
    Plate(In() + "/z-old.tif");
    std::this_thread::sleep_for(milliseconds(20));
    Plate(In() + "/a-new.tif");
    std::this_thread::sleep_for(milliseconds(20));
    Append(In() + "/z-old.tif", std::string(16, '\0'));
    Plate(dir_.File("in2/b.tif"));
    Plate(dir_.File("in3/c.tif"));
    Prepare();
    ASSERT_TRUE(RunUntil([&] { return JobLines().size() >= 4 && SearchOrder(view_).size() >= 4; }));

    const Strings jobs = Jobs();
    EXPECT_EQ(jobs, (Strings{"z-old.tif;K;Done;No action required", "a-new.tif;K;Done;No action required",
                             "b.tif;K;Done;No action required", "c.tif;K;Done;No action required"}));
    const Strings order = SearchOrder(view_);
    ASSERT_GE(order.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_EQ(order[i], "Searching " + dir_.File("in" + std::to_string(i % 3 + 1)) + "..");
    EXPECT_EQ(FilesIn(dir_.File("out2")), Strings{"b.tif"});
}

// A file that changes between the scan and the settling pause, or that its writer still
// holds locked, is left for a later visit, then delivered whole and once.
TEST_F(SpoolerTest, TakesFilesOnlyWhenCompleteAndStable) {
    Spooler(1).KeepResolution = 1;
    Plate(In() + "/growing.tif");
    Plate(In() + "/locked.tif");
    const platform::UniqueFd writer(::open((In() + "/locked.tif").c_str(), O_RDWR));
    struct flock lock {};
    lock.l_type = F_WRLCK;
    ASSERT_EQ(::fcntl(writer.get(), F_OFD_SETLK, &lock), 0);

    std::atomic<int> settles{0};
    clock_.OnSleep([&](milliseconds d) {
        if (d == milliseconds(1000) && settles++ < 2) Append(In() + "/growing.tif", "more");
    });
    Prepare();
    ASSERT_TRUE(RunUntil([&] { return JobLines().size() >= 1 && SearchOrder(view_).size() >= 6; }));
    EXPECT_EQ(Jobs(), Strings{"growing.tif;K;Done;No action required"});
    EXPECT_GE(settles.load(), 3);
    EXPECT_EQ(TempDir::Read(Out() + "/growing.tif").substr(TempDir::Read(Out() + "/growing.tif").size() - 8),
              "moremore");
    EXPECT_TRUE(Exists(In() + "/locked.tif"));  // still held by its writer

    lock.l_type = F_UNLCK;
    ASSERT_EQ(::fcntl(writer.get(), F_OFD_SETLK, &lock), 0);
    clock_.OnSleep(nullptr);
    ASSERT_TRUE(RunJobs(2));
    EXPECT_EQ(Jobs().back(), "locked.tif;K;Done;No action required");
}

// Information and working files, folders with image names and dangling links are never
// jobs, whatever the mask; a file that vanishes before its turn is skipped quietly.
TEST_F(SpoolerTest, TakesNothingButFiles) {
    Spooler(1).KeepResolution = 1;
    Service().SearchMask = "*";
    platform::CreateDirectories(In());
    for (const char* name : {"a.inf", "b.tmp", "C.TMP", "d.Inf"}) dir_.Write(std::string("in1/") + name, "x");
    platform::CreateDirectories(In() + "/folder.tif");
    ASSERT_EQ(::symlink("/nonexistent/plate.tif", (In() + "/dangling.tif").c_str()), 0);
    Plate(In() + "/vanishing.tif");
    Plate(In() + "/real.tif");
    // A file the service may not read waits (root reads everything, so only for others).
    const bool unreadable = ::geteuid() != 0;
    if (unreadable) {
        Plate(In() + "/private.tif");
        ::chmod((In() + "/private.tif").c_str(), 0);
    }
    clock_.OnSleep([&](milliseconds d) {
        if (d == milliseconds(1000)) platform::DeleteFile(In() + "/vanishing.tif");
    });
    Prepare();
    ASSERT_TRUE(RunJobs(1));
    EXPECT_EQ(Jobs(), Strings{"real.tif;K;Done;No action required"});
    Strings left = {"C.TMP", "a.inf", "b.tmp", "d.Inf", "dangling.tif"};
    if (unreadable) left.push_back("private.tif");
    EXPECT_EQ(FilesIn(In()), left);
    EXPECT_EQ(FilesIn(Out()), Strings{"real.tif"});
    EXPECT_TRUE(view_.errors().empty() || view_.errors().back().empty());
}

TEST_F(SpoolerTest, HoldsBackWhileTheOutputFolderIsFull) {
    Spooler(1).KeepResolution = 1;
    Service().MaxFilesInOutputFolder = 5;
    platform::CreateDirectories(Out());
    for (int i = 0; i < 6; ++i) dir_.Write("out1/old" + std::to_string(i) + ".tif", "x");
    Plate(In() + "/waiting.tif");
    Prepare();
    EXPECT_FALSE(RunUntil([&] { return !JobLines().empty(); }, 1));
    EXPECT_TRUE(view_.SawStatus("Outputfolder " + Out() + " full.."));
    EXPECT_TRUE(Exists(In() + "/waiting.tif"));

    platform::DeleteFile(Out() + "/old0.tif");  // five left: not over the limit
    ASSERT_TRUE(RunJobs(1));
    EXPECT_TRUE(Exists(Out() + "/waiting.tif"));
}

// Missing folders: created when allowed (and served in the same pass), brought back by
// the reconnect command, else reported and retried after the reconnect pause.
TEST_F(SpoolerTest, MissingFoldersAreCreatedReconnectedOrReported) {
    Spooler(1).KeepResolution = 1;
    Service().CreateFolders = 0;
    Prepare();
    EXPECT_TRUE(RunUntil([&] {
        const auto captions = view_.captions();
        return std::find(captions.begin(), captions.end(), "Reconnecting..") != captions.end();
    }));
    const std::string missing = "Unable to locate input folder " + In() + ". Please check configuration";
    EXPECT_EQ(view_.errors().front(), missing);
    EXPECT_TRUE(Logged("ERROR: " + missing));

    // A reconnect command that brings the folder back.
    Service().FireCommandOnFolderReconnectInput = 1;
    Service().FolderReconnectCommandInput = "mkdir -p '" + In() + "'";
    Plate(dir_.File("later/p.tif"));
    ASSERT_TRUE(RunUntil([&] { return Exists(In()); }));
    EXPECT_TRUE(Logged("DoCreateProcessEx (mkdir -p '" + In() + "') returned ok"));

    // Created by the service itself, and served in the same pass.
    Service().FireCommandOnFolderReconnectInput = 0;
    Service().CreateFolders = 1;
    platform::DeleteFile(In());
    ::rmdir(In().c_str());
    ::rmdir(Out().c_str());
    ASSERT_TRUE(RunUntil([&] { return Exists(In()) && Exists(Out()); }));
    EXPECT_TRUE(view_.SawStatus("Searching " + In() + ".."));
}

TEST_F(SpoolerTest, AReconnectCommandThatHangsIsLeftRunning) {
    Service().CreateFolders = 0;
    Service().FireCommandOnFolderReconnectInput = 1;
    Service().FolderReconnectCommandInput = "sleep 3";
    Prepare();
    ASSERT_TRUE(RunUntil([&] { return Logged("DoCreateProcessEx (sleep 3) returned ok"); }));
    EXPECT_TRUE(Logged("WARNING: Command sleep 3 still running after 60 seconds; left running"));
}

TEST_F(SpoolerTest, AStopDuringThePollWaitIsSeenWithinAStep) {
    Service().PollTime = 1000;  // 5 s per step
    std::atomic<int> steps{0}, stepsAfterStop{0};
    clock_.OnSleep([&](milliseconds d) {
        if (d != milliseconds(5000)) return;
        ++steps;
        if (flags_.stopRequested.load() != 0) ++stepsAfterStop;
    });
    Prepare();
    SpoolerControl control(*context_);
    ASSERT_TRUE(control.Start());
    while (steps < 10) std::this_thread::sleep_for(milliseconds(1));
    control.Stop();
    control.WaitForThread();
    EXPECT_LE(stepsAfterStop.load(), 1);  // the step under way at most
    EXPECT_EQ(flags_.loopAlive.load(), 0);
    EXPECT_EQ(view_.captions().back(), "Stopped");
    EXPECT_EQ(view_.statusTexts().back(), "Stopped");
}

TEST_F(SpoolerTest, AStopDuringAJobWaitsForItsEnd) {
    context_ = std::make_unique<ServiceContext>(
        ServiceContext{GlobalSettings(), platform::SystemClock(), engine_, flags_, dir_.path(), nullptr, {}, nullptr});
    Service().StableTime = 0;
    Spooler(1).ResolutionX = Spooler(1).ResolutionY = 600;
    Plate(In() + "/big-K.tif", {3000, 4000, 1270.0f, ""});
    Prepare();
    SpoolerControl control(*context_);
    ASSERT_TRUE(control.Start());
    while (GlobalStatusList().Rows().empty()) std::this_thread::sleep_for(milliseconds(1));
    control.Stop();
    control.WaitForThread();
    EXPECT_EQ(Jobs(), Strings{"big-K.tif;K;Done;Resolution changed to 600.000 x 600.000"});
    EXPECT_TRUE(Exists(Out() + "/big-K.tif"));
    EXPECT_FALSE(Exists(In() + "/big-K.tif"));
}

TEST_F(SpoolerTest, AutostartCountsDownFromTheLastStopAndStartsAgain) {
    Service().AutoStartMinutes = 1;
    Prepare();
    SpoolerControl control(*context_);
    Autostart autostart(*context_, control);
    flags_.settingsOpen = 0;
    flags_.runStateTime = clock_.Now();

    autostart.Check();
    EXPECT_EQ(view_.statusTexts().back(), "Autostarting in 1 minutes..");
    clock_.Advance(milliseconds(61'000));
    autostart.Check();
    EXPECT_EQ(view_.statusTexts().back(), "Autostarting in 0 minutes..");
    clock_.Advance(milliseconds(60'000));
    flags_.settingsOpen = 1;  // a settings dialog holds it off
    autostart.Check();
    EXPECT_FALSE(control.Running());
    flags_.settingsOpen = 0;
    autostart.Check();
    EXPECT_TRUE(control.Running());
    control.Stop();
}

TEST_F(SpoolerTest, NothingStartsWithoutAnEnabledSpooler) {
    Spooler(1).Enable = 0;
    Prepare();
    SpoolerControl control(*context_);
    EXPECT_FALSE(control.Start());
    EXPECT_FALSE(control.Running());
    EXPECT_EQ(view_.errors(), Strings{"No spoolers enabled"});
}

}  // namespace
}  // namespace plexivar::testing
