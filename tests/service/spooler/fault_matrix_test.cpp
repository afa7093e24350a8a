// Faults of the machine around a running service: a full or read-only output disk, output
// and archive folders that vanish or turn read-only, a missing or incomplete engine
// library, a reconnect command that never ends. One scenario runs each: plates before the
// fault, plates while it lasts, plates after it is cleared, a pass-through (K) and an
// engine job (M) each time, while the spooler thread keeps running. Every input must end up
// in the output, the archive or the error folder, once in each at the most, with the log
// and the job record saying what happened, and the plates after the fault must go through
// as if nothing had been.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "platform/file_ops.h"
#include "tests/service/spooler/spooler_test_support.h"
#include "tests/support/scratch_mount.h"

namespace plexivar::testing {
namespace {

namespace fs = std::filesystem;
using Places = std::set<std::string>;  // "output", "archive", "error"

struct FaultCase;

class FaultMatrix : public SpoolerTest, public ::testing::WithParamInterface<FaultCase> {
public:
    std::string Archive() const { return dir_.File("archive"); }
    std::string EngineDir() const { return dir_.File("engine"); }
    // A tmpfs on `folder` for the case to fill or turn read-only; skips without one.
    void Mount(const std::string& folder) {
        platform::CreateDirectories(folder);
        std::string why;
        if (!EnterPrivateMountNamespace(why)) GTEST_SKIP() << "no mount namespace of our own: " << why;
        mount_ = std::make_unique<ScratchMount>(folder, 8 << 20);
        if (!mount_->ok()) GTEST_SKIP() << "cannot mount a tmpfs on " << folder << ": " << mount_->why();
    }
    ScratchMount& mount() { return *mount_; }
    // Installs (or replaces) the engine library the service loads from EngineDir().
    void InstallEngine(const std::string& libraryFolder) {
        platform::CreateDirectories(EngineDir());
        const std::string staged = EngineDir() + "/.libvestrel.so.new";
        fs::copy_file(libraryFolder + "/libvestrel.so", staged, fs::copy_options::overwrite_existing);
        fs::rename(staged, EngineDir() + "/libvestrel.so");
    }
    std::string reconnectPidFile() const { return dir_.File("reconnect.pid"); }

private:
    std::unique_ptr<ScratchMount> mount_;
};

struct FaultCase {
    const char* name;
    // Settings and set-up of the fault's surroundings, before the service starts.
    std::function<void(FaultMatrix&)> setUp;
    // Brings the fault about while the spooler runs; null: the fault is there from the start.
    std::function<void(FaultMatrix&)> inject;
    std::function<void(FaultMatrix&)> clear;
    // Where the plates dropped while the fault lasts end up; empty: they wait in the hot
    // folder until the fault is cleared and then go through as usual.
    Places passThroughDuring;
    Places engineDuring;
    // What the log says while the fault lasts, and the start of the job records of the two
    // plates (file;colour;status;comment) when they have one during the fault.
    std::string logged;
    std::string passThroughRecord;
    std::string engineRecord;
};

void PrintTo(const FaultCase& c, std::ostream* os) { *os << c.name; }

// The plates of one phase: "<phase>-K.tif" is passed through, "<phase>-M.tif" scaled by the
// engine. Large enough that a copy of one does not fit the space a full disk has left.
void DropPhase(FaultMatrix& t, const std::string& phase) {
    TestPlate plate;
    plate.width = 1400;
    plate.height = 1000;
    plate.dpi = 600;
    t.Drop(t.In(), phase + "-K.tif", plate);
    t.Drop(t.In(), phase + "-M.tif", plate);
}

// Where `name` is, and whether a second copy of it exists anywhere (a numbered copy in the
// error folder, a staged or working copy left behind).
Places PlacesOf(FaultMatrix& t, const std::string& name, bool& duplicated) {
    Places places;
    const auto count = [&](const std::string& folder, const char* place) {
        for (const std::string& f : SpoolerTest::FilesIn(folder)) {
            if (f == name) places.insert(place);
            else if (f.rfind(name, 0) == 0) duplicated = true;
        }
    };
    count(t.Out(), "output");
    count(t.Archive(), "archive");
    count(t.In() + "/error", "error");
    count(t.Out() + "/tmp", "staged");
    count(t.In(), "input");
    return places;
}

std::string Record(FaultMatrix& t, const std::string& file) {
    for (const std::string& job : t.Jobs())
        if (job.rfind(file + ";", 0) == 0) return job;
    return "(no record)";
}

TEST_P(FaultMatrix, TheServiceKeepsRunningLosesNothingAndRecovers) {
    const FaultCase& c = GetParam();
    Service().CreateFolders = 1;
    Spooler(1).EnableScaling = 1;
    Spooler(1).ColorDetection = 1;  // the colour from the name: K passes, M is scaled
    Spooler(1).KeepResolution = 1;
    Spooler(1).KeepSize = 1;
    Spooler(1).ScalingXM = 99.5;
    platform::CreateDirectories(In());
    platform::CreateDirectories(Out());
    c.setUp(*this);
    if (IsSkipped() || HasFatalFailure()) return;
    if (!engine_.Loaded() && !fs::exists(EngineDir())) InstallEngine(VESTREL_LIBRARY_DIR);
    SaveIni();
    const std::vector<std::string> engineMessages = engine_.Load(EngineDir());
    const bool archiving = Spooler(1).MakeArchive != 0;
    const Places normal = archiving ? Places{"output", "archive"} : Places{"output"};

    std::map<std::string, Places> expected;
    std::size_t records = 0;
    StartSpoolers();
    if (c.inject) {
        ASSERT_TRUE(engineMessages.empty()) << engineMessages.front();
        DropPhase(*this, "before");
        records += 2;
        ASSERT_TRUE(WaitFor([&] { return JobLines().size() >= records; })) << ::testing::PrintToString(Jobs());
        expected["before-K.tif"] = expected["before-M.tif"] = normal;
        c.inject(*this);
    }

    DropPhase(*this, "during");
    const bool waits = c.passThroughDuring.empty();
    if (waits) {
        // The plates wait: the service says why, again and again, and takes none of them.
        ASSERT_TRUE(WaitFor([&] { return Logged(c.logged); })) << ::testing::PrintToString(LogMessages());
        const std::size_t seen = LogMessages().size();
        ASSERT_TRUE(WaitFor([&] { return LogMessages().size() > seen + 2; }));
        EXPECT_EQ(JobLines().size(), records);
        EXPECT_TRUE(Exists(In() + "/during-K.tif") && Exists(In() + "/during-M.tif"));
        expected["during-K.tif"] = expected["during-M.tif"] = normal;
    } else {
        records += 2;
        ASSERT_TRUE(WaitFor([&] { return JobLines().size() >= records; })) << ::testing::PrintToString(Jobs());
        EXPECT_TRUE(Logged(c.logged)) << ::testing::PrintToString(LogMessages());
        EXPECT_EQ(Record(*this, "during-K.tif").rfind("during-K.tif;K;" + c.passThroughRecord, 0), 0u)
            << Record(*this, "during-K.tif");
        EXPECT_EQ(Record(*this, "during-M.tif").rfind("during-M.tif;M;" + c.engineRecord, 0), 0u)
            << Record(*this, "during-M.tif");
        expected["during-K.tif"] = c.passThroughDuring;
        expected["during-M.tif"] = c.engineDuring;
    }
    EXPECT_EQ(context_->flags.loopAlive.load(), 1);

    c.clear(*this);
    DropPhase(*this, "after");
    records += waits ? 4 : 2;
    ASSERT_TRUE(WaitFor([&] { return JobLines().size() >= records; }, 60)) << ::testing::PrintToString(Jobs());
    StopSpoolers();
    expected["after-K.tif"] = expected["after-M.tif"] = normal;
    EXPECT_EQ(Record(*this, "after-K.tif"), "after-K.tif;K;Done;No action required");
    EXPECT_EQ(Record(*this, "after-M.tif").rfind("after-M.tif;M;Done;Image scaled 99.500%", 0), 0u)
        << Record(*this, "after-M.tif");

    // Nothing lost, nothing twice, nothing left behind.
    for (const auto& [name, places] : expected) {
        bool duplicated = false;
        EXPECT_EQ(PlacesOf(*this, name, duplicated), places) << name;
        EXPECT_FALSE(duplicated) << name;
    }
    EXPECT_EQ(JobLines().size(), records) << ::testing::PrintToString(Jobs());
    std::vector<std::string> strays;
    for (const std::string& folder : {In(), Out(), Archive(), In() + "/error", Out() + "/tmp"})
        for (const std::string& f : FilesIn(folder))
            if (f != "filler" && !expected.count(f)) strays.push_back(folder + "/" + f);
    EXPECT_TRUE(strays.empty()) << ::testing::PrintToString(strays);
}

const FaultCase kFaults[] = {
    {"OutputDiskFillsUp",
     [](FaultMatrix& t) { t.Mount(t.Out()); },
     [](FaultMatrix& t) { ASSERT_TRUE(t.mount().Fill(64 * 1024)); },
     [](FaultMatrix& t) { ASSERT_EQ(::unlink(t.mount().FillerPath().c_str()), 0); },
     {"error"}, {"error"}, "No space left on device (errorcode 28)",
     "Error;Error moving file", "Error;"},
    {"OutputTurnsReadOnly",
     [](FaultMatrix& t) { t.Mount(t.Out()); },
     [](FaultMatrix& t) { ASSERT_TRUE(t.mount().SetReadOnly(true)) << t.mount().why(); },
     [](FaultMatrix& t) { ASSERT_TRUE(t.mount().SetReadOnly(false)) << t.mount().why(); },
     {"error"}, {"error"}, "Read-only file system (errorcode 30)",
     "Error;Error moving file", "Error;"},
    {"OutputFolderRemoved",
     [](FaultMatrix& t) { t.Service().CreateFolders = 0; },
     [](FaultMatrix& t) { fs::rename(t.Out(), t.Out() + ".away"); },
     [](FaultMatrix& t) { fs::rename(t.Out() + ".away", t.Out()); },
     {}, {}, "ERROR: Unable to locate output folder", "", ""},
    {"ArchiveFolderRemoved",
     [](FaultMatrix& t) {
         t.Service().CreateFolders = 0;
         t.Spooler(1).MakeArchive = 1;
         t.Spooler(1).ArchiveFolder = t.Archive();
         fs::create_directory(t.Archive());
     },
     [](FaultMatrix& t) { fs::rename(t.Archive(), t.Archive() + ".away"); },
     [](FaultMatrix& t) { fs::rename(t.Archive() + ".away", t.Archive()); },
     {"output"}, {"output", "error"}, "WARNING: Unable to archive",
     "Done;No action required  (warning: Unable to archive", "Done;Image scaled 99.500%"},
    {"ArchiveTurnsReadOnly",
     [](FaultMatrix& t) {
         t.Spooler(1).MakeArchive = 1;
         t.Spooler(1).ArchiveFolder = t.Archive();
         t.Mount(t.Archive());
     },
     [](FaultMatrix& t) { ASSERT_TRUE(t.mount().SetReadOnly(true)) << t.mount().why(); },
     [](FaultMatrix& t) { ASSERT_TRUE(t.mount().SetReadOnly(false)) << t.mount().why(); },
     {"output"}, {"output", "error"}, "Read-only file system (errorcode 30)",
     "Done;No action required  (warning: Unable to archive", "Done;Image scaled 99.500%"},
    {"EngineLibraryMissing",
     [](FaultMatrix& t) { platform::CreateDirectories(t.EngineDir()); },
     nullptr,
     [](FaultMatrix& t) { t.InstallEngine(VESTREL_LIBRARY_DIR); },
     {"output"}, {"error"}, "INFO: during-M.tif: Error Error finding function names in libvestrel.so",
     "Done;No action required", "Error;Error finding function names in libvestrel.so (ResamleTIFF)"},
    {"EngineLibraryLacksAFunction",
     [](FaultMatrix& t) { t.InstallEngine(PARTIAL_FAKE_ENGINE_DIR); },
     nullptr,
     [](FaultMatrix& t) { t.InstallEngine(VESTREL_LIBRARY_DIR); },
     {"output"}, {"error"}, "INFO: during-M.tif: Error Error finding function names in libvestrel.so",
     "Done;No action required", "Error;Error finding function names in libvestrel.so (SetParams)"},
    {"ReconnectCommandHangs",
     [](FaultMatrix& t) {
         t.Service().CreateFolders = 0;
         t.Service().FireCommandOnFolderReconnectOutput = 1;
         // Counts its starts, then hangs like a mount of a server that does not answer.
         t.Service().FolderReconnectCommandOutput =
             "echo started >> " + t.dir_.File("reconnect.log") + "; echo $$ >> " +
             t.reconnectPidFile() + "; exec sleep 300 >/dev/null 2>&1";
     },
     [](FaultMatrix& t) { fs::rename(t.Out(), t.Out() + ".away"); },
     [](FaultMatrix& t) {
         // However often the service found the folder missing, the hanging command was
         // started once: a second copy would only hang beside the first.
         EXPECT_EQ(TempDir::Read(t.dir_.File("reconnect.log")), "started\n");
         EXPECT_TRUE(t.Logged("still running after 60 seconds; left running"));
         EXPECT_TRUE(t.Logged("still running from an earlier start; not started again"));
         std::istringstream pids(TempDir::Read(t.reconnectPidFile()));
         for (pid_t pid = 0; pids >> pid;) ::kill(pid, SIGKILL);
         fs::rename(t.Out() + ".away", t.Out());
     },
     {}, {}, "ERROR: Unable to locate output folder", "", ""},
};

INSTANTIATE_TEST_SUITE_P(Spooler, FaultMatrix, ::testing::ValuesIn(kFaults),
                         [](const auto& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace plexivar::testing
