// Bad input and failing folders: the service keeps running, says what happened, and every
// input ends up in the output, the archive or the "error" folder, exactly once.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/file_ops.h"
#include "platform/open_files.h"
#include "platform/unique_fd.h"
#include "tests/service/spooler/spooler_test_support.h"

namespace plexivar::testing {
namespace {

using Strings = std::vector<std::string>;
using std::chrono::milliseconds;

std::string Truncated(const std::string& path) {
    std::string bytes = TempDir::Read(path);
    return bytes.substr(0, bytes.size() / 2);
}

// Names that are awkward in shells, CSV records and SQL: all are plain files to us.
TEST_F(SpoolerTest, AwkwardNamesAreDeliveredAsTheyAre) {
    Spooler(1).KeepResolution = 1;
    Spooler(1).EnableScaling = 1;
    Spooler(1).ColorDetection = 1;
    Spooler(1).ScalingXK = 99;
    const Strings names = {"page one-K.tif", "it's-K.tif", "a;b-K.tif", "s\xc3\xb8rn-K.tif",
                           "\"q\"-K.tif", "dollar$(x)-K.tif"};
    for (const std::string& n : names) Plate(In() + "/" + n);
    Prepare();
    ASSERT_TRUE(RunJobs(names.size()));
    Strings sorted = names;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(FilesIn(Out()), sorted);
    EXPECT_TRUE(FilesIn(In()).empty());
    // The job record keeps names as they are: a ";" in a name stays a ";" in the record.
    for (const std::string& line : JobLines())
        EXPECT_NE(line.find("-K.tif;K;Done; ;Image scaled 99.000% x 100.000%"), std::string::npos) << line;
}

struct FaultCase {
    const char* name;
    // Prepares the fault; the test then drops "bad.tif" (as the case leaves it) and
    // "good.tif" into the input folder.
    std::function<void(SpoolerTest&, const TempDir&)> setUp;
    bool archive;
    std::string badStatus;     // the job record of bad.tif: "status;comment start"
    std::string badEndsUpIn;   // relative to the program directory
};

void PrintTo(const FaultCase& c, std::ostream* os) { *os << c.name; }

class FaultScenario : public SpoolerTest, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(FaultScenario, TheInputIsKeptAndTheLoopGoesOn) {
    const FaultCase& c = GetParam();
    Spooler(1).KeepResolution = 0;  // engine jobs unless the case says otherwise
    Spooler(1).ResolutionX = Spooler(1).ResolutionY = 635;
    if (c.archive) {
        Spooler(1).MakeArchive = 1;
        Spooler(1).ArchiveFolder = dir_.File("archive");
    }
    platform::CreateDirectories(In());
    platform::CreateDirectories(Out());
    c.setUp(*this, dir_);
    Prepare();
    ASSERT_TRUE(RunJobs(2)) << ::testing::PrintToString(Jobs());
    const Strings jobs = Jobs();
    const auto bad = std::find_if(jobs.begin(), jobs.end(), [](const std::string& j) { return j.rfind("bad.tif;", 0) == 0; });
    ASSERT_NE(bad, jobs.end());
    EXPECT_EQ(bad->substr(0, 8 + 2 + c.badStatus.size()), "bad.tif;K;" + c.badStatus) << *bad;
    EXPECT_TRUE(Exists(dir_.File(c.badEndsUpIn))) << c.badEndsUpIn;
    EXPECT_FALSE(Exists(In() + "/bad.tif"));
    EXPECT_TRUE(Exists(Out() + "/good.tif"));
    EXPECT_FALSE(view_.errors().empty());
}

const FaultCase kFaultCases[] = {
    {"DamagedPlateWithoutArchive",
     [](SpoolerTest& t, const TempDir& d) {
         t.Plate(d.File("whole.tif"));
         d.Write("in1/bad.tif", Truncated(d.File("whole.tif")));
         t.Plate(d.File("in1/good.tif"));
     },
     false, "Error;", "in1/error/bad.tif"},
    {"DamagedPlateWithArchive",
     [](SpoolerTest& t, const TempDir& d) {
         d.Write("in1/bad.tif", "not a TIFF at all");
         t.Plate(d.File("in1/good.tif"));
     },
     true, "Error;", "archive/bad.tif"},
    {"ZeroBytes",
     [](SpoolerTest& t, const TempDir& d) {
         d.Write("in1/bad.tif", "");
         t.Plate(d.File("in1/good.tif"));
     },
     false, "Error;", "in1/error/bad.tif"},
    {"OutputNameTakenByAFolder",
     [](SpoolerTest& t, const TempDir& d) {
         t.Spooler(1).KeepResolution = 1;  // pass-through: the move itself fails
         t.Spooler(1).ResolutionX = 1270;
         platform::CreateDirectories(d.File("out1/bad.tif/x"));
         t.Plate(d.File("in1/bad.tif"));
         t.Plate(d.File("in1/good.tif"));
     },
     false, "Error;Error moving file", "in1/error/bad.tif"},
};

INSTANTIATE_TEST_SUITE_P(Spooler, FaultScenario, ::testing::ValuesIn(kFaultCases),
                         [](const auto& param) { return std::string(param.param.name); });

// The output folder disappears while a file is delivered: the first move fails with a
// warning, the second too; the input is kept, the loop pauses to reconnect, reports the
// missing folder, and once the folder is back the next file goes through.
TEST_F(SpoolerTest, TheOutputFolderVanishesAndComesBack) {
    Spooler(1).KeepResolution = 1;
    Service().CreateFolders = 0;
    platform::CreateDirectories(Out());
    Plate(In() + "/first.tif");
    bool removed = false;
    clock_.OnSleep([&](milliseconds d) {
        // The stability pause, just before the delivery of the first file.
        if (d == milliseconds(1000) && !removed) {
            removed = true;
            ::rmdir(Out().c_str());
        }
    });
    Prepare();
    ASSERT_TRUE(RunUntil([&] {
        return JobLines().size() >= 1 &&
               !view_.errors().empty() && view_.errors().back().find("Unable to locate output folder") == 0;
    }));
    EXPECT_EQ(Jobs(), Strings{"first.tif;K;Error;Error moving file " + In() + "/first.tif to " + Out() + "/first.tif"});
    EXPECT_TRUE(Logged("WARNING: First attempt to move " + In() + "/first.tif to " + Out() +
                       "/first.tif failed - No such file or directory (errorcode 2)"));
    EXPECT_TRUE(Exists(In() + "/error/first.tif"));

    clock_.OnSleep(nullptr);
    platform::CreateDirectories(Out());
    Plate(In() + "/second.tif");
    ASSERT_TRUE(RunJobs(2));
    EXPECT_EQ(Jobs().back(), "second.tif;K;Done;No action required");
}

// A staged delivery whose last move fails keeps the complete staged copy in "error".
TEST_F(SpoolerTest, AStagedFileThatCannotBeMovedIsKept) {
    Spooler(1).KeepResolution = 1;
    Service().UseTempPath = 1;
    platform::CreateDirectories(Out() + "/s.tif/blocker");  // the output name is a folder
    Plate(In() + "/s.tif");
    Prepare();
    ASSERT_TRUE(RunJobs(1));
    EXPECT_EQ(Jobs(), Strings{"s.tif;K;Error;Error moving file " + Out() + "/tmp/s.tif to " + Out() + "/s.tif"});
    EXPECT_TRUE(Exists(In() + "/error/s.tif"));
    EXPECT_FALSE(Exists(In() + "/s.tif"));
    EXPECT_FALSE(Exists(Out() + "/tmp/s.tif"));
}

TEST_F(SpoolerTest, InputAndOutputInOneFolderIsRefused) {
    Spooler(1).KeepResolution = 1;
    Spooler(1).OutputFolder = In() + "/.";
    Plate(In() + "/same.tif");
    Prepare();
    ASSERT_TRUE(RunUntil([&] { return !view_.errors().empty(); }));
    EXPECT_EQ(view_.errors().front(), "Input folder " + In() + " is also the output folder. Please check configuration");
    EXPECT_TRUE(Exists(In() + "/same.tif"));
    EXPECT_TRUE(JobLines().empty());
}

TEST_F(SpoolerTest, WithoutTheEngineAJobFailsAndKeepsItsInput) {
    Spooler(1).KeepResolution = 0;
    Plate(In() + "/e-K.tif");
    ASSERT_TRUE(SaveSettings(dir_.File("plexivar.ini"), GlobalSettings()));  // no engine bound
    ASSERT_TRUE(RunJobs(1));
    EXPECT_EQ(Jobs(), Strings{"e-K.tif;K;Error;Error finding function names in libvestrel.so (ResamleTIFF)  "
                              "(Resolution changed to 1270.000 x 1270.000)"});
    EXPECT_TRUE(Exists(In() + "/error/e-K.tif"));
}

// Working files of engine runs that were killed are removed when the spoolers start, unless
// a process still has them open; other ".tmp" files are not the service's to remove.
TEST_F(SpoolerTest, StaleWorkingFilesOfThisHostAreRemovedAtStart) {
    const std::string host = platform::HostName();
    ASSERT_FALSE(host.empty());
    platform::CreateDirectories(In());
    dir_.Write("in1/old.tif-" + host + ".tmp", "x");
    dir_.Write("in1/old.tif-" + host + ".tmp.tmp2", "x");
    dir_.Write("in1/busy.tif-" + host + ".tmp", "x");
    dir_.Write("in1/other-host.tif-elsewhere.tmp", "x");
    dir_.Write("in1/upload.tmp", "x");
    const platform::UniqueFd busy(::open(dir_.File("in1/busy.tif-" + host + ".tmp").c_str(), O_RDONLY));
    Prepare();
    ASSERT_TRUE(RunUntil([&] { return Logged("Removed stale working file"); }));
    EXPECT_EQ(FilesIn(In()), (Strings{"busy.tif-" + host + ".tmp", "other-host.tif-elsewhere.tmp", "upload.tmp"}));
}

// The engine delivered the plate but reports that a finishing step failed: the job is
// "Done", not a clean success: the comment carries the engine's text and the log a warning.
TEST_F(SpoolerTest, AnEngineSuccessWithAMessageIsRecordedAsAWarning) {
    Spooler(1).KeepResolution = 0;
    Plate(In() + "/w-K.tif");
    dir_.Write("fake-engine.txt", "warn Error applying margins to w-K.tif\n");
    ASSERT_TRUE(SaveSettings(dir_.File("plexivar.ini"), GlobalSettings()));
    ASSERT_TRUE(engine_.Load(FAKE_ENGINE_DIR).empty());
    ASSERT_TRUE(RunJobs(1));
    EXPECT_EQ(Jobs(), Strings{"w-K.tif;K;Done;Resolution changed to 1270.000 x 1270.000  "
                              "(warning: Error applying margins to w-K.tif)"});
    EXPECT_TRUE(Logged("WARNING: w-K.tif: Error applying margins to w-K.tif"));
    EXPECT_TRUE(Exists(Out() + "/w-K.tif"));
    EXPECT_FALSE(Exists(In() + "/w-K.tif"));
    EXPECT_EQ(view_.maxEnginePercent(), 50);  // the engine's progress reached the view
}

// The worst plates the fuzzers found (the slowest and the most memory-hungry of the engine's
// runs and of the background merge, kept by fuzz_replay) through a running service: spooler
// 1 has the engine resample them, spooler 2 passes them through with a background merged in
// (the merge runs in the service's own process). Each ends up in the output or the error
// folder with its job record, and a good plate after them goes through.
TEST_F(SpoolerTest, TheFuzzersWorstPlatesCannotStopTheService) {
    Service().NumberOfSpoolers = 2;
    Spooler(1).KeepResolution = 0;
    Spooler(1).ResolutionX = Spooler(1).ResolutionY = 600;
    Spooler(2).Enable = 1;
    Spooler(2).KeepResolution = 1;
    Spooler(2).MergeFile = 1;
    Spooler(2).MergeFileName = dir_.File("background.tif");
    Plate(dir_.File("background.tif"));
    Strings names;
    for (const auto& entry : std::filesystem::directory_iterator(WORST_PLATES_DIR)) {
        const std::string name = entry.path().stem().string() + "-K.tif";
        for (const std::string& folder : {In(), dir_.File("in2")}) {
            platform::CreateDirectories(folder);
            ASSERT_TRUE(platform::CopyFileReplace(entry.path().string(), folder + "/" + name)) << name;
        }
        names.push_back(name);
    }
    ASSERT_FALSE(names.empty());
    Prepare();
    ASSERT_TRUE(RunJobs(2 * names.size(), 120)) << ::testing::PrintToString(LogMessages());
    Plate(In() + "/good-K.tif");
    ASSERT_TRUE(RunJobs(2 * names.size() + 1, 60));
    EXPECT_EQ(Jobs().back().rfind("good-K.tif;K;Done;", 0), 0u) << Jobs().back();
    EXPECT_TRUE(Exists(Out() + "/good-K.tif"));
    for (const std::string& name : names) {
        for (const auto& [in, out] : {std::pair{In(), Out()}, std::pair{dir_.File("in2"), dir_.File("out2")}}) {
            const int places = Exists(out + "/" + name) + Exists(in + "/error/" + name);
            EXPECT_EQ(places, 1) << in << ": " << name;
            EXPECT_FALSE(Exists(in + "/" + name)) << name;
        }
    }
}

}  // namespace
}  // namespace plexivar::testing
