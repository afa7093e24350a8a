// The dot-gain filter on whole images: the estimation pass, the thresholds it leaves, seamless
// bands, and the failures of the set-up and the bands.
#include "engine/filter/gain/gain_filter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "engine/filter/filter_log.h"
#include "tests/engine/filter/gain/gain_test_support.h"
#include "tests/support/temp_dir.h"

namespace vestrel {
namespace {

using testing::GainReaderLog;
using testing::GainSettings;
using testing::HalftoneImage;
using testing::RunGainFilter;
using testing::ServeGainImage;
using testing::TestImage;

class GainFilterTest : public ::testing::Test {
  protected:
    void SetUp() override {
        previousLog_ = FilterLogPath();
        SetFilterLogPath(dir_.File("vestrel.log"));
    }
    void TearDown() override {
        ReleaseGainTables();
        ReleaseErrorRows();
        ClearCurrentFilterSettings();
        SetFilterLogPath(previousLog_);
    }
    std::string Log() const { return plexivar::testing::TempDir::Read(dir_.File("vestrel.log")); }

    plexivar::testing::TempDir dir_;
    std::string previousLog_;
};

ToneCurve MidToneBoost() {
    ToneCurve c;
    c.count = 3;
    const float x[] = {0, 50, 100};
    const float y[] = {0, 60, 100};
    for (int i = 0; i < 3; ++i) {
        c.XVal[i] = x[i];
        c.YVal[i] = y[i];
    }
    return c;
}

TEST(EstimationBands, AtMost512RowsEvenlySplit) {
    auto heights = [](int h) {
        std::vector<int> rows;
        int y = 0;
        for (const BandRect& b : EstimationBands(BandRect{0, 0, 10, h})) {
            EXPECT_EQ(b.y, y);
            rows.push_back(b.h);
            y += b.h;
        }
        return rows;
    };
    EXPECT_EQ(heights(1100), (std::vector<int>{367, 367, 366}));
    EXPECT_EQ(heights(512), (std::vector<int>{512}));
    EXPECT_EQ(heights(513), (std::vector<int>{257, 256}));
    EXPECT_EQ(heights(1), (std::vector<int>{1}));
    EXPECT_TRUE(heights(0).empty());
}

TEST_F(GainFilterTest, EstimationFetchesEachBandWithItsMargins) {
    const TestImage image = HalftoneImage(64, 1100, 8);
    GainReaderLog log;
    ServeGainImage(&image, &log);
    FilterSettings s = GainSettings(image, 4, 25);
    PublishFilterSettings(s);
    SourceRowSet rows;
    int status = -1;
    ASSERT_EQ(InitGainFilter(s.DestDesc, rows, status), 1);
    EXPECT_EQ(status, 0);
    // Bands of 367, 367 and 366 rows, widened by 16 rows (half the xfrm window) where the
    // image allows; only the first request restarts the reader.
    EXPECT_EQ(log.requestRows, (std::vector<int>{383, 399, 382}));
    EXPECT_EQ(log.firstCalls, 1);
    EXPECT_FALSE(log.outOfBounds);
    EXPECT_GE(MaxGainRequestRows(s, 64), 399);
}

// For every level: the ink the threshold asks for (bins above floor(T), and the share
// 1 - frac(T) of the bin at floor(T)) against the level's ink count times its gain, up to
// half a pixel (a bin that holds the target rounded to whole pixels prints whole).
void ExpectThresholdsMeetTheirTargets(const std::vector<LevelEntry>& table) {
    int levelsWithInk = 0;
    for (std::size_t k = 0; k < table.size(); ++k) {
        const LevelEntry& e = table[k];
        if (e.pixelCount == 0)
            continue;
        const double t = e.threshold;
        const int m = static_cast<int>(std::floor(t));
        double ink = 0;
        for (int v = m + 1; v < static_cast<int>(e.histogram.size()); ++v)
            ink += static_cast<double>(e.histogram[static_cast<std::size_t>(v)]);
        if (m < static_cast<int>(e.histogram.size()))
            ink += (1.0 - (t - m)) * static_cast<double>(e.histogram[static_cast<std::size_t>(m)]);
        const double target = std::min(e.blackCount * static_cast<double>(e.gainRatio),
                                       static_cast<double>(e.pixelCount));
        EXPECT_NEAR(ink, target, 0.5 + 1e-4 * e.pixelCount) << "level " << k;
        levelsWithInk += e.blackCount > 0;
    }
    EXPECT_GT(levelsWithInk, 20);
}

TEST_F(GainFilterTest, IdentityCurveKeepsEachLevelsInkCount) {
    const TestImage image = HalftoneImage(300, 700, 8);
    ServeGainImage(&image);
    for (int noise : {0, 30}) {
        FilterSettings s = GainSettings(image, 4, 25);
        s.NoiseLevel = noise;
        bool ok = false;
        RunGainFilter(s, 128, ok);
        ASSERT_TRUE(ok);
        const std::vector<LevelEntry> table = GainLevelTable();
        ASSERT_EQ(table.size(), 64u);
        std::int64_t pixels = 0;
        for (const LevelEntry& e : table) {
            EXPECT_EQ(e.gainRatio, 1.0f);
            pixels += e.pixelCount;
        }
        EXPECT_EQ(pixels, 300 * 700) << "every pixel counted once";
        ExpectThresholdsMeetTheirTargets(table);
        // A level without ink prints nothing: A + 1 = 17 for a 4 x 4 window.
        for (const LevelEntry& e : table) {
            if (e.pixelCount > 0 && e.blackCount == 0) {
                EXPECT_EQ(e.threshold, 17.0f);
            }
        }
    }
}

TEST_F(GainFilterTest, CurveTargetsAreMetAndTheImageDarkens) {
    const TestImage image = HalftoneImage(300, 600, 8);
    ServeGainImage(&image);
    FilterSettings s = GainSettings(image, 4, 0);
    const ToneCurve boost = MidToneBoost();
    RegisterSeparationCurve(s, "Black", &boost);
    s.SeparationName = "Black";
    bool ok = false;
    const std::vector<std::uint8_t> out = RunGainFilter(s, 100, ok);
    ASSERT_TRUE(ok);
    const std::vector<LevelEntry> table = GainLevelTable();
    EXPECT_GT(table[32].gainRatio, 1.1f);
    ExpectThresholdsMeetTheirTargets(table);
    const double before = testing::InkShare(image.pixels, 300, 0, 0, 300, 600);
    const double after = testing::InkShare(out, 300, 0, 0, 300, 600);
    EXPECT_GT(after, before + 0.03);
}

TEST_F(GainFilterTest, BandsAreSeamless) {
    const TestImage image = HalftoneImage(200, 333, 7);
    ServeGainImage(&image);
    for (int method : {0, 1, 2}) {
        std::vector<std::uint8_t> whole;
        for (int band : {333, 64, 17, 1}) {
            FilterSettings s = GainSettings(image, 4, 10);
            s.DiffusionType = method;
            s.NoiseLevel = 20;
            const ToneCurve boost = MidToneBoost();
            RegisterSeparationCurve(s, "Cyan", &boost);
            s.SeparationName = "Cyan";
            bool ok = false;
            const std::vector<std::uint8_t> out = RunGainFilter(s, band, ok);
            ASSERT_TRUE(ok) << band;
            if (whole.empty())
                whole = out;
            else
                EXPECT_EQ(out, whole) << "method " << method << ", bands of " << band;
        }
    }
}

TEST_F(GainFilterTest, WindowOfOnePixelAndCrossAveraging) {
    const TestImage image = HalftoneImage(50, 40, 6);
    ServeGainImage(&image);
    FilterSettings s = GainSettings(image, 2, 25);
    s.XfrmFiltSize = 1;
    bool ok = false;
    RunGainFilter(s, 16, ok);
    ASSERT_TRUE(ok);
    const std::vector<LevelEntry> table = GainLevelTable();
    ASSERT_EQ(table.size(), 2u);
    // Level 1 holds exactly the ink pixels.
    EXPECT_EQ(table[0].blackCount, 0);
    EXPECT_EQ(table[1].blackCount, table[1].pixelCount);
    EXPECT_EQ(table[0].threshold, 10.0f);  // A + 1 with the cross (A = 9)
}

TEST_F(GainFilterTest, SetUpFailuresLeaveStatusOne) {
    const TestImage image = HalftoneImage(64, 64, 8);
    SourceRowSet rows;
    int status = 0;
    ClearCurrentFilterSettings();
    EXPECT_EQ(InitGainFilter(AreaDesc{}, rows, status), 0);
    EXPECT_EQ(status, 1);

    FilterSettings s = GainSettings(image, 4, 25);
    PublishFilterSettings(s);
    SetGainSourceReader(nullptr);
    EXPECT_EQ(InitGainFilter(s.DestDesc, rows, status), 0);
    EXPECT_EQ(status, 1);
    EXPECT_NE(Log().find("FilterEstimate: GetData returned FALSE\n"), std::string::npos);

    ServeGainImage(&image);
    s.BitsPerSample = 8;
    EXPECT_EQ(InitGainFilter(s.DestDesc, rows, status), 0);
    s.BitsPerSample = 1;
    AreaDesc outside = s.DestDesc;
    outside.h = 65;
    EXPECT_EQ(InitGainFilter(outside, rows, status), 0);
    EXPECT_EQ(status, 1);
}

TEST_F(GainFilterTest, ImageShorterThanHalfTheWindowIsTooSmall) {
    const TestImage image = HalftoneImage(200, 10, 8);
    ServeGainImage(&image);
    FilterSettings s = GainSettings(image, 4, 25);
    bool ok = true;
    RunGainFilter(s, 64, ok);
    EXPECT_FALSE(ok);
    EXPECT_NE(Log().find("FilterEstimate: Area too small\n"), std::string::npos);
    // Narrower than the window is fine: the window is clipped to the image.
    const TestImage narrow = HalftoneImage(5, 100, 8);
    ServeGainImage(&narrow);
    FilterSettings n = GainSettings(narrow, 4, 25);
    RunGainFilter(n, 64, ok);
    EXPECT_TRUE(ok);
}

TEST_F(GainFilterTest, BandsBeforeSetUpOrOfNoSizeAreHandled) {
    const TestImage image = HalftoneImage(64, 64, 8);
    ServeGainImage(&image);
    FilterSettings s = GainSettings(image, 4, 25);
    bool ok = false;
    RunGainFilter(s, 64, ok);
    ASSERT_TRUE(ok);
    std::vector<std::uint8_t> out(64 * 64);
    std::vector<std::uint8_t*> rowPointers(64);
    for (int k = 0; k < 64; ++k) rowPointers[static_cast<std::size_t>(k)] = &out[k * 64u];
    std::uint8_t** table = rowPointers.data();
    AreaDesc band = s.DestDesc;
    band.rowTables = &table;
    SourceRowSet rows;
    int status = 0;
    band.h = 0;
    EXPECT_EQ(DoGainFilterData(band, status, rows, 1), 1);
    EXPECT_EQ(status, 1) << "a band without rows does nothing";
    ReleaseGainTables();
    band.h = 64;
    EXPECT_EQ(DoGainFilterData(band, status, rows, 1), 0);
    EXPECT_EQ(status, 1);
    EXPECT_NE(Log().find("FilterArea: filter not set up\n"), std::string::npos);
}

TEST_F(GainFilterTest, TimingLinesWhenVerbose) {
    const TestImage image = HalftoneImage(64, 64, 8);
    ServeGainImage(&image);
    FilterSettings s = GainSettings(image, 4, 25);
    s.Verbose = 1;
    s.NoiseLevel = 10;
    bool ok = false;
    RunGainFilter(s, 64, ok);
    ASSERT_TRUE(ok);
    const std::string log = Log();
    for (const char* line :
         {"FilterEstimate: got src data sep 0: ", "GatherXfrmStats: xfrm hs0 data sep 0: ",
          "CalculateXfrmStats: xfrm hs2 data sep 0: ", "AddNoise: xfrm addnoise sep 0: ",
          "DoFilterData: DestDesc x=0,y=0,w=64,h=64\n",
          "FilterArea: filtering    64x   64 pixels from (    0,    0) done in: "})
        EXPECT_NE(log.find(line), std::string::npos) << line;
}

}  // namespace
}  // namespace vestrel
