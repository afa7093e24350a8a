// The built plexivar as a process: without arguments it opens the window (here on Qt's
// offscreen platform), serves its hot folders, holds the single-instance lock and stops in
// order on SIGTERM; --headless never maps Qt; without a display it says so.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/temp_dir.h"
#include "tests/support/test_plate.h"

namespace plexivar::testing {
namespace {

// One plexivar process in `dir` with its own runtime and configuration folders, its output
// in "<name>.out" and "<name>.err".
class Program {
public:
    Program(const TempDir& dir, const std::string& name, std::vector<std::string> args,
            bool display)
        : dir_(dir), name_(name) {
        pid_ = fork();
        if (pid_ != 0) return;
        if (chdir(dir.path().c_str()) != 0) _exit(100);
        setenv("XDG_RUNTIME_DIR", dir.path().c_str(), 1);
        setenv("XDG_CONFIG_HOME", dir.File("config").c_str(), 1);
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        unsetenv("JOURNAL_STREAM");
        unsetenv("NOTIFY_SOCKET");
        if (display)
            setenv("QT_QPA_PLATFORM", "offscreen", 1);
        else
            unsetenv("QT_QPA_PLATFORM");
        if (!freopen((name + ".out").c_str(), "w", stdout) || !freopen((name + ".err").c_str(), "w", stderr))
            _exit(101);
        std::vector<char*> argv{const_cast<char*>("plexivar")};
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(PLEXIVAR_PATH, argv.data());
        _exit(102);
    }
    ~Program() {
        if (status_ < 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // Exit status after `signal` (0: none sent), waiting up to 60 s; -1 when still running.
    int Stop(int signal) {
        if (signal != 0) kill(pid_, signal);
        for (int i = 0; i < 6000 && status_ < 0; ++i) {
            int raw = 0;
            if (waitpid(pid_, &raw, WNOHANG) == pid_)
                status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : 200 + WTERMSIG(raw);
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return status_;
    }
    std::string Out() const { return TempDir::Read(dir_.File(name_ + ".out")); }
    std::string Err() const { return TempDir::Read(dir_.File(name_ + ".err")); }
    std::string Maps() const { return TempDir::Read("/proc/" + std::to_string(pid_) + "/maps"); }

private:
    const TempDir& dir_;
    std::string name_;
    pid_t pid_ = -1;
    int status_ = -1;
};

bool WaitFor(const std::function<bool()>& condition, int seconds = 60) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

const char* const kIni =
    "[Setup]\r\nPollTime=0\r\nStableTime=200\r\nCreateFolders=1\r\nBypassPingTest=1\r\n"
    "AutoStart=1\r\nDebug2=1\r\nInputFolder1=hot\r\nOutputFolder1=plates\r\n"
    "EnableScaling1=1\r\nColorDetection1=1\r\nInputName1=%?-%C.tif\r\nKeepResolution1=1\r\n"
    "KeepSize1=1\r\nScalingXM1=99.5\r\nXreference1=1\r\nYreference1=1\r\n";

TEST(WindowProcess, ServesItsFoldersHoldsTheLockAndStopsInOrderOnSigterm) {
    TempDir dir;
    dir.Write("plexivar.ini", kIni);
    Program window(dir, "window", {}, true);
    ASSERT_TRUE(WaitFor([&] { return std::filesystem::exists(dir.File("ovinterface_mutex.raise")); }))
        << window.Err();
    ASSERT_TRUE(WaitFor([&] { return std::filesystem::exists(dir.File("hot")); })) << window.Err();
    EXPECT_NE(window.Maps().find("libQt6Widgets"), std::string::npos);

    TestPlate plate;
    plate.width = 400;
    ASSERT_TRUE(WriteTestPlate(dir.File("hot/page1-M.tif.part"), plate));
    std::filesystem::rename(dir.File("hot/page1-M.tif.part"), dir.File("hot/page1-M.tif"));
    ASSERT_TRUE(WaitFor([&] {
        return TempDir::Read(dir.File("temp/PlexivarJobs.csv")).find("page1-M.tif;M;Done") != std::string::npos;
    })) << window.Err();
    EXPECT_TRUE(std::filesystem::exists(dir.File("plates/page1-M.tif")));

    // The window holds the single-instance lock: a headless copy refuses to run.
    Program second(dir, "second", {"--headless"}, false);
    EXPECT_EQ(second.Stop(0), 1);
    EXPECT_EQ(second.Err(), "Another instance of Plexivar already exist!\n");

    EXPECT_EQ(window.Stop(SIGTERM), 0) << window.Err();
    EXPECT_FALSE(std::filesystem::exists(dir.File("ovinterface_mutex.raise")));
    // The window's placement was saved for the next start.
    EXPECT_NE(TempDir::Read(dir.File("config/Plexivar/Plexivar.conf")).find("Placement"),
              std::string::npos);
}

TEST(WindowProcess, HeadlessNeverLoadsQt) {
    TempDir dir;
    dir.Write("plexivar.ini", kIni);
    Program service(dir, "service", {"--headless"}, false);
    ASSERT_TRUE(WaitFor([&] { return service.Out().find("Status: Started") != std::string::npos; }))
        << service.Err();
    const std::string maps = service.Maps();
    ASSERT_FALSE(maps.empty());
    EXPECT_EQ(maps.find("libQt6"), std::string::npos);
    EXPECT_EQ(maps.find("libplexivar_window"), std::string::npos);
    EXPECT_EQ(service.Stop(SIGTERM), 0);
}

TEST(WindowProcess, WithoutADisplayTheWindowSaysSo) {
    TempDir dir;
    Program program(dir, "nodisplay", {}, false);
    EXPECT_EQ(program.Stop(0), 2);
    EXPECT_NE(program.Err().find("no display to open the operator window on"), std::string::npos)
        << program.Err();
    EXPECT_FALSE(std::filesystem::exists(dir.File("Running")));
}

}  // namespace
}  // namespace plexivar::testing
