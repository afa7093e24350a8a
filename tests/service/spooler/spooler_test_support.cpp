#include "tests/service/spooler/spooler_test_support.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <thread>

#include "platform/file_ops.h"
#include "service/report/job_record.h"
#include "service/report/operator_view.h"

namespace plexivar::testing {

void SpoolerTest::SetUp() {
    saved_ = GlobalSettings();
    cd_ = std::make_unique<ScopedCurrentDir>(dir_.path());
    Settings settings;
    LoadSettings(dir_.File("none.ini"), dir_.path(), settings);  // the defaults
    ServiceSettings& s = settings.service;
    s.PollTime = 0;
    s.StableTime = 1000;
    s.BypassPingTest = 1;
    s.CreateFolders = 1;
    s.UseTempPath = 0;
    s.Debug = 1;
    s.Debug2 = 1;
    s.LogFile = dir_.File("temp/Plexivar.log");
    s.LogFile2 = dir_.File("temp/PlexivarJobs.csv");
    for (int n = 1; n <= MaxSpoolers; ++n) {
        settings.Spooler(n).InputFolder = dir_.File("in" + std::to_string(n));
        settings.Spooler(n).OutputFolder = dir_.File("out" + std::to_string(n));
    }
    GlobalSettings() = settings;
    platform::CreateDirectory(dir_.File("temp"));
    GlobalStatusList().Clear();
    SetOperatorView(&view_);
    context_ = std::make_unique<ServiceContext>(
        ServiceContext{GlobalSettings(), clock_, engine_, flags_, dir_.path(), nullptr, {}, nullptr});
}

void SpoolerTest::TearDown() {
    StopSpoolers();
    SetOperatorView(nullptr);
    GlobalSettings() = saved_;
    cd_.reset();
}

void SpoolerTest::Prepare() {
    SaveIni();
    if (!engine_.Loaded()) {
        ASSERT_TRUE(engine_.Load(VESTREL_LIBRARY_DIR).empty());
    }
}

void SpoolerTest::SaveIni() {
    ASSERT_TRUE(SaveSettings(dir_.File("plexivar.ini"), GlobalSettings()));
}

bool SpoolerTest::RunUntil(const std::function<bool()>& done, int timeoutSeconds) {
    StartSpoolers();
    const bool held = WaitFor(done, timeoutSeconds);
    StopSpoolers();
    return held;
}

void SpoolerTest::StartSpoolers() {
    control_ = std::make_unique<SpoolerControl>(*context_);
    EXPECT_TRUE(control_->Start());
}

bool SpoolerTest::WaitFor(const std::function<bool()>& done, int timeoutSeconds) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    bool held = false;
    while (!(held = done()) && std::chrono::steady_clock::now() < limit)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return held;
}

void SpoolerTest::StopSpoolers() {
    if (!control_) return;
    control_->Stop();
    control_->WaitForThread();
    control_.reset();
}

std::vector<std::string> SpoolerTest::JobLines() const {
    std::vector<std::string> lines;
    std::istringstream in(TempDir::Read(dir_.File("temp/PlexivarJobs.csv")));
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> SpoolerTest::Jobs() const {
    std::vector<std::string> jobs;
    for (const std::string& line : JobLines()) {
        // time;file;colour;status;seconds;comment
        std::vector<std::string> f;
        std::size_t start = 0;
        for (int i = 0; i < 5; ++i) {
            const std::size_t semi = line.find(';', start);
            f.push_back(line.substr(start, semi - start));
            start = semi == std::string::npos ? line.size() : semi + 1;
        }
        jobs.push_back(f[1] + ";" + f[2] + ";" + f[3] + ";" + line.substr(start));
    }
    return jobs;
}

std::vector<std::string> SpoolerTest::LogMessages() const {
    std::vector<std::string> messages;
    std::istringstream in(TempDir::Read(dir_.File("temp/Plexivar.log")));
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::size_t close = line.find("] ");
        messages.push_back(close == std::string::npos ? line : line.substr(close + 2));
    }
    return messages;
}

bool SpoolerTest::Logged(const std::string& part) const {
    for (const std::string& m : LogMessages())
        if (m.find(part) != std::string::npos) return true;
    return false;
}

void SpoolerTest::Plate(const std::string& path, TestPlate plate) {
    platform::CreateDirectories(platform::DirectoryOf(path));
    ASSERT_TRUE(WriteTestPlate(path, plate)) << path;
}

void SpoolerTest::Drop(const std::string& folder, const std::string& name, TestPlate plate) {
    const std::string staged = dir_.File("drop-" + name);
    ASSERT_TRUE(WriteTestPlate(staged, plate)) << staged;
    platform::CreateDirectories(folder);
    ASSERT_EQ(::rename(staged.c_str(), (folder + "/" + name).c_str()), 0) << name;
}

bool SpoolerTest::Exists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

std::vector<std::string> SpoolerTest::FilesIn(const std::string& folder) {
    std::vector<std::string> names;
    DIR* d = ::opendir(folder.c_str());
    if (!d) return names;
    while (const dirent* e = ::readdir(d)) {
        struct stat st {};
        const std::string path = folder + "/" + e->d_name;
        if (::lstat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode)) names.push_back(e->d_name);
    }
    ::closedir(d);
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace plexivar::testing
