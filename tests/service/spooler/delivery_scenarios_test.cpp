// What reaches the output, archive and staging folders, and what the job record and the
// log say, for the ways a spooler can be set up.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "service/report/job_record.h"
#include "tests/service/spooler/spooler_test_support.h"

namespace plexivar::testing {
namespace {

using Strings = std::vector<std::string>;

struct DeliveryCase {
    const char* name;
    std::function<void(ServiceSettings&, SpoolerSettings&, const TempDir&)> setUp;
    Strings inputs;  // relative to the input folder; "x.inf" files get correction lines
    Strings jobs;    // file;colour;status;comment
    Strings present;  // relative to the program directory
    Strings absent;
};

void PrintTo(const DeliveryCase& c, std::ostream* os) { *os << c.name; }

const std::string kInfo = "ColorName: Magenta\r\nXcorrection: 98\r\nYcorrection: 97\r\nZone: 3\r\n";

class DeliveryScenario : public SpoolerTest, public ::testing::WithParamInterface<DeliveryCase> {};

TEST_P(DeliveryScenario, DeliversArchivesAndRecords) {
    const DeliveryCase& c = GetParam();
    Spooler(1).KeepResolution = 1;
    c.setUp(Service(), Spooler(1), dir_);
    for (const std::string& input : c.inputs) {
        const std::string path = In() + "/" + input;
        if (path.size() > 4 && path.compare(path.size() - 4, 4, ".inf") == 0)
            dir_.Write("in1/" + input, kInfo);
        else
            Plate(path);
    }
    Prepare();
    ASSERT_TRUE(RunJobs(c.jobs.size())) << ::testing::PrintToString(Jobs());
    Strings jobs = Jobs();
    std::sort(jobs.begin(), jobs.end());
    Strings expected = c.jobs;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(jobs, expected);
    for (const std::string& p : c.present) EXPECT_TRUE(Exists(dir_.File(p))) << p;
    for (const std::string& p : c.absent) EXPECT_FALSE(Exists(dir_.File(p))) << p;
    EXPECT_TRUE(view_.errors().empty() || view_.errors().back().empty())
        << ::testing::PrintToString(view_.errors());
}

const DeliveryCase kDeliveryCases[] = {
    {"PassThroughDirect", [](ServiceSettings& s, SpoolerSettings&, const TempDir&) { s.UseTempPath = 0; },
     {"p-K.tif"}, {"p-K.tif;K;Done;No action required"}, {"out1/p-K.tif"}, {"in1/p-K.tif"}},
    {"PassThroughStagedInOutputTmp",
     [](ServiceSettings& s, SpoolerSettings&, const TempDir&) { s.UseTempPath = 1; },
     {"p-K.tif"}, {"p-K.tif;K;Done;No action required"}, {"out1/p-K.tif"},
     {"in1/p-K.tif", "out1/tmp/p-K.tif"}},
    {"PassThroughStagedInTempPath",
     [](ServiceSettings& s, SpoolerSettings&, const TempDir& d) {
         s.UseTempPath = 2;
         s.TempPath = d.File("staging");
     },
     {"p-K.tif"}, {"p-K.tif;K;Done;No action required"}, {"out1/p-K.tif", "staging"},
     {"in1/p-K.tif", "staging/p-K.tif"}},
    {"ArchiveKeepsTheInputAndItsInformationFile",
     [](ServiceSettings&, SpoolerSettings& sp, const TempDir& d) {
         sp.MakeArchive = 1;
         sp.ArchiveFolder = d.File("archive");
     },
     {"p-K.tif", "p-K.inf"}, {"p-K.tif;K;Done;No action required"},
     {"out1/p-K.tif", "archive/p-K.tif", "out1/p-K.inf", "archive/p-K.inf"}, {"in1/p-K.tif", "in1/p-K.inf"}},
    {"ColourFromSubFolders",
     [](ServiceSettings&, SpoolerSettings& sp, const TempDir&) {
         sp.EnableScaling = 1;
         sp.ColorDetection = 0;
         sp.ScalingXM = 99.5;
     },
     {"M/a.tif", "K/b.tif"},
     {"a.tif;M;Done;Image scaled 99.500% x 100.000%  - left ref", "b.tif;K;Done;No action required"},
     {"out1/a.tif", "out1/b.tif", "in1/C", "in1/Y"}, {"in1/M/a.tif", "in1/K/b.tif"}},
    {"ColourFromNamesCentred",
     [](ServiceSettings&, SpoolerSettings& sp, const TempDir&) {
         sp.EnableScaling = 1;
         sp.ColorDetection = 1;
         sp.ScalingXC = 98;
         sp.ScalingYC = 99;
         sp.Xreference = 1;
         sp.Yreference = 1;
     },
     {"n-C.tif", "n-Y.tif"},
     {"n-C.tif;C;Done;Image scaled 98.000% x 99.000%  - centered", "n-Y.tif;Y;Done;No action required"},
     {"out1/n-C.tif", "out1/n-Y.tif"}, {}},
    {"ResolutionChange",
     [](ServiceSettings&, SpoolerSettings& sp, const TempDir&) {
         sp.KeepResolution = 0;
         sp.ResolutionX = sp.ResolutionY = 635;
     },
     {"r-K.tif"}, {"r-K.tif;K;Done;Resolution changed to 635.000 x 635.000"}, {"out1/r-K.tif"}, {}},
};

INSTANTIATE_TEST_SUITE_P(Spooler, DeliveryScenario, ::testing::ValuesIn(kDeliveryCases),
                         [](const auto& param) { return std::string(param.param.name); });

// After an engine job the information file travels on without its corrections (the
// archive keeps it as it came); the log and the job record say exactly what was done.
TEST_F(SpoolerTest, EngineJobCarriesTheInformationFileWithoutCorrectionsAndLogsExactly) {
    Spooler(1).EnableScaling = 1;
    Spooler(1).ColorDetection = 1;
    Spooler(1).KeepResolution = 1;
    Spooler(1).ScalingXM = 99.5;
    Spooler(1).Xreference = Spooler(1).Yreference = 1;
    Spooler(1).MakeArchive = 1;
    Spooler(1).ArchiveFolder = dir_.File("archive");
    Plate(In() + "/0042-M.tif", {400, 120, 1270.0f, ""});
    dir_.Write("in1/0042-M.inf", kInfo);
    Prepare();
    ASSERT_TRUE(RunJobs(1));

    EXPECT_EQ(TempDir::Read(dir_.File("out1/0042-M.inf")), "ColorName: Magenta\r\nZone: 3\r\n");
    EXPECT_EQ(TempDir::Read(dir_.File("archive/0042-M.inf")), kInfo);
    EXPECT_TRUE(Exists(dir_.File("archive/0042-M.tif")));
    PlateFacts facts;
    ASSERT_TRUE(ReadPlateFacts(Out() + "/0042-M.tif", facts));
    // 99.5 % of 400 pixels (the engine's single-precision factor may give one less).
    EXPECT_GE(facts.width, 397u);
    EXPECT_LE(facts.width, 398u);
    EXPECT_EQ(facts.height, 120u);

    const std::string done = "Image scaled 99.500% x 100.000%  - centered";
    EXPECT_EQ(LogMessages(),
              (Strings{"INFO: 0042-M.tif: Processing Scaling image 99.500% x 100.000%  - centered",
                       "INFO: 0042-M.tif: Done " + done}));
    ASSERT_EQ(JobLines().size(), 1u);
    const std::string line = JobLines()[0];
    // "dd.mm hh:mm:ss;file;colour;status;seconds;comment"
    EXPECT_EQ(line.substr(14), ";0042-M.tif;M;Done; ;" + done) << line;
    const auto rows = GlobalStatusList().Rows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].status, "Done");
    EXPECT_EQ(view_.updates().front().row.status, "Processing");
}

// A background merged into a pass-through plate: the output is the merged image, the
// archive the original.
TEST_F(SpoolerTest, PassThroughMergesTheBackground) {
    Spooler(1).KeepResolution = 1;
    Spooler(1).MergeFile = 1;
    Spooler(1).MergeFileName = dir_.File("background.tif");
    Spooler(1).MakeArchive = 1;
    Spooler(1).ArchiveFolder = dir_.File("archive");
    Plate(dir_.File("background.tif"), {96, 64, 1270.0f, ""});
    Plate(In() + "/m-K.tif", {96, 32, 1270.0f, ""});
    Prepare();
    ASSERT_TRUE(RunJobs(1));
    EXPECT_EQ(Jobs(), Strings{"m-K.tif;K;Done;No action required"});
    PlateFacts merged, original;
    ASSERT_TRUE(ReadPlateFacts(Out() + "/m-K.tif", merged));
    ASSERT_TRUE(ReadPlateFacts(dir_.File("archive/m-K.tif"), original));
    EXPECT_EQ(original.height, 32u);
    EXPECT_EQ(merged.height, 64u);  // as high as the higher of the two
    EXPECT_FALSE(Exists(In() + "/m-K.tif.tmp2"));
}

}  // namespace
}  // namespace plexivar::testing
