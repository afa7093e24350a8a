#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "platform/local_time.h"
#include "service/config/settings.h"
#include "tests/support/temp_dir.h"
#include "service/report/job_record.h"
#include "service/report/log_file.h"
#include "service/report/operator_view.h"
#include "tests/service/recording_view.h"

namespace plexivar {
namespace {

using plexivar::testing::TempDir;

using plexivar::testing::RecordingView;

// Pins the clock to 7 December 2026, 04:02:09.051 and points both files into a scratch folder.
class RecordsTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::SetClockForTesting([] { return platform::LocalTime{2026, 12, 7, 4, 2, 9, 51}; });
        saved_ = GlobalSettings().service;
        auto& s = GlobalSettings().service;
        s.Debug = 1;
        s.LogFile = dir_.File("Plexivar.log");
        s.Debug2 = 1;
        s.LogFile2 = dir_.File("PlexivarJobs.csv");
        GlobalStatusList().Clear();
        SetOperatorView(&view_);
    }
    void TearDown() override {
        SetOperatorView(nullptr);
        GlobalSettings().service = saved_;
        platform::SetClockForTesting(nullptr);
    }
    std::string Log() const { return TempDir::Read(dir_.File("Plexivar.log")); }
    std::string Jobs() const { return TempDir::Read(dir_.File("PlexivarJobs.csv")); }
    long LogLines() const {
        const std::string log = Log();
        return std::count(log.begin(), log.end(), '\n');
    }

    TempDir dir_;
    RecordingView view_;
    ServiceSettings saved_;
};

TEST_F(RecordsTest, PassThroughJobGivesTheDocumentedLines) {
    RecordJob("Done", "0042-1183407-C.tif", 0, "No action required", "C");
    EXPECT_EQ(Jobs(), "07.12 04:02:09;0042-1183407-C.tif;C;Done; ;No action required\r\n");
    EXPECT_EQ(Log(), "[07-12-2026 04:02:09.051] INFO: 0042-1183407-C.tif: Done No action required\r\n");
}

TEST_F(RecordsTest, ProcessingThenDoneUsesOneRowAndOneJobLine) {
    RecordJob("Processing", "a-M.tif", 0, "Resampling", "M");
    RecordJob("Done", "a-M.tif", 12, "Resampled", "M");
    const auto rows = GlobalStatusList().Rows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].status, "Done");
    EXPECT_EQ(rows[0].seconds, "12");
    EXPECT_EQ(rows[0].comment, "Resampled");
    EXPECT_EQ(rows[0].statusColours.background, (Rgb{0, 255, 0}));
    EXPECT_EQ(Jobs(), "07.12 04:02:09;a-M.tif;M;Done;12;Resampled\r\n");
    EXPECT_EQ(LogLines(), 2);
    ASSERT_EQ(view_.updates().size(), 2u);
    EXPECT_TRUE(view_.updates()[0].appended);
    EXPECT_FALSE(view_.updates()[1].appended);
}

TEST_F(RecordsTest, CommentsWithSemicolonsAreWrittenUnescaped) {
    RecordJob("Error", "x.tif", 0, "a;b", "");
    EXPECT_EQ(Jobs(), "07.12 04:02:09;x.tif;;Error; ;a;b\r\n");
}

TEST_F(RecordsTest, NothingIsWrittenWhenSwitchedOffOrWithoutPath) {
    GlobalSettings().service.LogFile.clear();
    GlobalSettings().service.Debug2 = 0;
    RecordJob("Done", "x.tif", 1, "", "K");
    EXPECT_EQ(Log(), "");
    EXPECT_EQ(Jobs(), "");
}

TEST_F(RecordsTest, UnwritableLogFolderDropsTheLine) {
    GlobalSettings().service.LogFile = dir_.File("missing/Plexivar.log");
    WriteLog("INFO: %s", "dropped");
    ShowError("still shown");
    ASSERT_EQ(view_.errors().size(), 1u);
    EXPECT_EQ(view_.errors()[0], "still shown");
}

TEST_F(RecordsTest, ShowErrorLogsOnlyNonEmptyTexts) {
    ShowError("Input folder not found");
    ShowError("");
    EXPECT_EQ(Log(), "[07-12-2026 04:02:09.051] ERROR: Input folder not found\r\n");
    EXPECT_EQ(view_.errors(), (std::vector<std::string>{"Input folder not found", ""}));
}

TEST_F(RecordsTest, OverlongMessagesAreCut) {
    const std::string huge(20000, 'x');
    WriteLog("%s", huge.c_str());
    WriteJobLog("%s\r\n", huge.c_str());
    EXPECT_EQ(Log().size(), kMaxLogText);
    EXPECT_EQ(Log().substr(Log().size() - 2), "\r\n");
    EXPECT_EQ(Jobs().size(), kMaxLogText);
    EXPECT_EQ(Jobs().substr(Jobs().size() - 2), "\r\n");
}

TEST_F(RecordsTest, ConcurrentWritersLoseNoLine) {
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < 200; ++i) WriteLog("INFO: writer %d line %d", t, i);
        });
    for (auto& th : threads) th.join();
    EXPECT_EQ(LogLines(), 800);
}

TEST(StatusList, KeepsAtMost501RowsDroppingTheOldest) {
    StatusList list;
    StatusListUpdate last;
    for (int i = 0; i < 502; ++i) {
        StatusRow row;
        row.file = "f" + std::to_string(i);
        last = list.Record(row);
    }
    const auto rows = list.Rows();
    ASSERT_EQ(rows.size(), 501u);
    EXPECT_EQ(rows.front().file, "f1");
    EXPECT_EQ(rows.back().file, "f501");
    EXPECT_EQ(last.removedFromTop, 1);
    EXPECT_EQ(last.index, 500);
}

TEST(StatusList, SameFileNameSharesARowCaseSensitively) {
    StatusList list;
    StatusRow a;
    a.file = "0042-C.tif";
    list.Record(a);
    a.status = "Done";
    list.Record(a);
    StatusRow b;
    b.file = "0042-c.tif";
    list.Record(b);
    EXPECT_EQ(list.Rows().size(), 2u);
}

TEST(CellColours, StatusAndColourRules) {
    EXPECT_EQ(StatusColours("Error: Processing").background, (Rgb{255, 0, 0}));
    EXPECT_EQ(StatusColours("Error").text, (Rgb{255, 255, 255}));
    EXPECT_EQ(StatusColours("Processing").background, (Rgb{255, 255, 0}));
    EXPECT_EQ(StatusColours("error").background, (Rgb{0, 255, 0}));  // case-sensitive

    EXPECT_EQ(ColourCellColours("Black").background, (Rgb{0, 0, 0}));
    EXPECT_EQ(ColourCellColours("Black").text, (Rgb{255, 255, 255}));
    EXPECT_EQ(ColourCellColours("SVART").background, (Rgb{0, 0, 0}));
    EXPECT_FALSE(ColourCellColours("blue").set);
    EXPECT_FALSE(ColourCellColours("").set);
    EXPECT_EQ(ColourCellColours("BL\xC5").background, (Rgb{0, 255, 255}));       // 1252
    EXPECT_EQ(ColourCellColours("Bl\xC3\xA5").background, (Rgb{0, 255, 255}));   // UTF-8
    EXPECT_EQ(ColourCellColours("r\xF8" "d").background, (Rgb{255, 0, 255}));
    EXPECT_EQ(ColourCellColours("R\xC3\x96" "D").background, (Rgb{255, 0, 255}));
    EXPECT_EQ(ColourCellColours("gul").background, (Rgb{255, 255, 0}));
}

}  // namespace
}  // namespace plexivar
