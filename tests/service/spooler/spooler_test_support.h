// A program directory with hot folders, the real engine, a recording operator view and a
// clock the test drives, for end-to-end tests of the spooler service in process.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "service/config/settings.h"
#include "service/engine_link/engine_link.h"
#include "service/run_flags.h"
#include "service/service_context.h"
#include "service/spooler_control.h"
#include "tests/service/recording_view.h"
#include "tests/support/manual_clock.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_plate.h"

namespace plexivar::testing {

class SpoolerTest : public ::testing::Test {
public:
    void SetUp() override;
    void TearDown() override;

    // Spooler n (1-based) of the settings under test.
    SpoolerSettings& Spooler(int n) { return GlobalSettings().Spooler(n); }
    ServiceSettings& Service() { return GlobalSettings().service; }
    // Folders of spooler 1 as the fixture sets them up.
    std::string In() const { return dir_.File("in1"); }
    std::string Out() const { return dir_.File("out1"); }

    // Writes the settings to plexivar.ini (the engine reads its own keys there) and binds
    // the engine. Call after changing the settings, before running.
    void Prepare();
    // Only writes the settings (for a test that binds an engine of its own).
    void SaveIni();
    // Runs the spooler thread until `done` holds (polled every 10 ms of real time) or
    // `timeoutSeconds` of real time have passed, then stops it. Returns whether `done` held.
    bool RunUntil(const std::function<bool()>& done, int timeoutSeconds = 30);
    // The same in steps, for a scenario that changes things while the spooler thread runs.
    void StartSpoolers();
    bool WaitFor(const std::function<bool()>& done, int timeoutSeconds = 30);
    void StopSpoolers();
    // Runs until `count` job records ("Done" or "Error") exist.
    bool RunJobs(std::size_t count, int timeoutSeconds = 30) {
        return RunUntil([&] { return JobLines().size() >= count; }, timeoutSeconds);
    }

    // The job record file's lines (without their line ends) and the log file's messages
    // (without the time stamp).
    std::vector<std::string> JobLines() const;
    std::vector<std::string> LogMessages() const;
    // Job records as "file;colour;status;comment" (time and seconds left out).
    std::vector<std::string> Jobs() const;
    // Whether a log message contains `part`.
    bool Logged(const std::string& part) const;

    // A plate at `path` (folders created).
    void Plate(const std::string& path, TestPlate plate = {});
    // A plate put into `folder` whole, the way a running spooler must see new files: written
    // beside it and renamed in.
    void Drop(const std::string& folder, const std::string& name, TestPlate plate = {});
    static bool Exists(const std::string& path);
    // Names of the files (not folders) directly in `folder`, sorted.
    static std::vector<std::string> FilesIn(const std::string& folder);

    TempDir dir_;
    std::unique_ptr<ScopedCurrentDir> cd_;
    ManualClock clock_;
    EngineLink engine_;
    RunFlags flags_;
    std::unique_ptr<ServiceContext> context_;
    RecordingView view_;

private:
    std::unique_ptr<SpoolerControl> control_;
    Settings saved_;
};

}  // namespace plexivar::testing
