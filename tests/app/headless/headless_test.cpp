// plexivar --headless as plant IT runs it: a process in its program directory that serves
// the hot folders until SIGTERM, prints what the window would show, and ends in order.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/temp_dir.h"
#include "tests/support/test_plate.h"

namespace plexivar::testing {
namespace {

using std::chrono::milliseconds;

const char* const kIni =
    "[Setup]\r\n"
    "PollTime=0\r\nStableTime=200\r\nCreateFolders=1\r\nUseTempPath=1\r\n"
    "Debug=1\r\nDebug2=1\r\n"
    "InputFolder1=hot\r\nOutputFolder1=plates\r\n"
    "EnableScaling1=1\r\nColorDetection1=1\r\nKeepResolution1=1\r\nKeepSize1=1\r\n"
    "ScalingXM1=99.5\r\nXreference1=1\r\nYreference1=1\r\n";

// One plexivar --headless process in `dir`, with its own runtime folder (so that the
// single-instance lock is the test's own) and its output captured in files.
class Headless {
public:
    Headless(const TempDir& dir, const std::string& name,
             std::vector<std::string> environment = {})
        : dir_(dir), name_(name) {
        pid_ = fork();
        if (pid_ == 0) {
            if (chdir(dir.path().c_str()) != 0) _exit(100);
            setenv("XDG_RUNTIME_DIR", dir.path().c_str(), 1);
            unsetenv("JOURNAL_STREAM");
            unsetenv("NOTIFY_SOCKET");
            for (const std::string& e : environment) putenv(const_cast<char*>(e.c_str()));
            if (!freopen((name + ".out").c_str(), "w", stdout) ||
                !freopen((name + ".err").c_str(), "w", stderr))
                _exit(101);
            execl(PLEXIVAR_PATH, "plexivar", "--headless", static_cast<char*>(nullptr));
            _exit(102);
        }
    }
    ~Headless() {
        if (pid_ > 0 && status_ < 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    // Exit status after `signal` (0: none sent), waiting up to 30 s.
    int Stop(int signal = SIGTERM) {
        if (signal) kill(pid_, signal);
        for (int i = 0; i < 3000 && status_ < 0; ++i) {
            int raw = 0;
            if (waitpid(pid_, &raw, WNOHANG) == pid_) status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : 200;
            else std::this_thread::sleep_for(milliseconds(10));
        }
        return status_;
    }
    std::string Out() const { return TempDir::Read(dir_.File(name_ + ".out")); }
    std::string Err() const { return TempDir::Read(dir_.File(name_ + ".err")); }

private:
    const TempDir& dir_;
    std::string name_;
    pid_t pid_ = -1;
    int status_ = -1;
};

bool WaitFor(const std::function<bool()>& condition, int seconds = 30) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > limit) return false;
        std::this_thread::sleep_for(milliseconds(20));
    }
    return true;
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(Headless, ServesTheHotFolderUntilTerminatedAndFinishesItsJob) {
    TempDir dir;
    dir.Write("plexivar.ini", kIni);
    Headless service(dir, "service");
    ASSERT_TRUE(WaitFor([&] { return Contains(service.Out(), "Status: Started"); })) << service.Err();
    ASSERT_TRUE(WaitFor([&] { return access(dir.File("hot").c_str(), F_OK) == 0; }));  // created

    // Written under a working name and renamed into place, as network clients do.
    TestPlate plate;
    plate.width = 400;
    ASSERT_TRUE(WriteTestPlate(dir.File("hot/page1-M.tif.part"), plate));
    ASSERT_EQ(rename(dir.File("hot/page1-M.tif.part").c_str(), dir.File("hot/page1-M.tif").c_str()), 0);
    ASSERT_TRUE(WriteTestPlate(dir.File("hot/page1-K.tif"), plate));
    ASSERT_TRUE(WaitFor([&] { return Contains(TempDir::Read(dir.File("temp/PlexivarJobs.csv")), "page1-K.tif"); }))
        << service.Out();
    // A second copy in the same runtime folder refuses to run.
    Headless second(dir, "second");
    EXPECT_EQ(second.Stop(0), 1);
    EXPECT_EQ(second.Err(), "Another instance of Plexivar already exist!\n");

    // A big plate: terminated while it is resampled, the job still ends first.
    plate.width = 4000;
    plate.height = 5000;
    ASSERT_TRUE(WriteTestPlate(dir.File("big-M.tif"), plate));
    ASSERT_EQ(rename(dir.File("big-M.tif").c_str(), dir.File("hot/big-M.tif").c_str()), 0);
    ASSERT_TRUE(WaitFor([&] { return Contains(service.Out(), "Processing  big-M.tif"); }));
    EXPECT_EQ(service.Stop(SIGTERM), 0) << service.Err();

    const std::string out = service.Out();
    EXPECT_TRUE(Contains(out, "Done  page1-M.tif  M  Image scaled 99.500% x 100.000%  - centered")) << out;
    EXPECT_TRUE(Contains(out, "Done  page1-K.tif  K  No action required")) << out;
    EXPECT_TRUE(Contains(out, "Done  big-M.tif  M")) << out;
    EXPECT_TRUE(Contains(out, "Status: Stopped")) << out;
    EXPECT_EQ(service.Err(), "");
    PlateFacts facts;
    ASSERT_TRUE(ReadPlateFacts(dir.File("plates/big-M.tif"), facts));
    EXPECT_EQ(facts.width, 4000u);  // the page size is kept
    EXPECT_FALSE(TempDir::Read(dir.File("plates/page1-K.tif")).empty());
    EXPECT_TRUE(TempDir::Read(dir.File("hot/big-M.tif")).empty());
    EXPECT_TRUE(Contains(TempDir::Read(dir.File("Running")), "Running"));
}

TEST(Headless, RefusesToRunWithoutAnEnabledSpoolerAndSpeaksJournal) {
    TempDir dir;
    dir.Write("plexivar.ini", "[Setup]\r\nEnable1=0\r\n");
    Headless service(dir, "service", {"JOURNAL_STREAM=8:1234"});
    EXPECT_EQ(service.Stop(0), 1);
    EXPECT_EQ(service.Out(), "<3>Error: No spoolers enabled\n");
}

}  // namespace
}  // namespace plexivar::testing
