// Xfrm levels, the per-level statistics and the thresholds derived from them.
#include "engine/filter/xfrm_stats.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "engine/filter/gain/gain_rescreen.h"

namespace vestrel {
namespace {

TEST(XfrmLevels, WindowAndDivisorGiveTheLevelCount) {
    const XfrmLevels defaults = XfrmLevelsFor(32, 4);
    EXPECT_EQ(defaults.half, 16);
    EXPECT_EQ(defaults.levels, 64);
    // S = 1: the divisor is clamped to 1 and the window holds one pixel: two levels.
    const XfrmLevels one = XfrmLevelsFor(1, 4);
    EXPECT_EQ(one.divisor, 1);
    EXPECT_EQ(one.levels, 2);
    EXPECT_EQ(one.half, 0);
    // Divisors of 0 or below act as 1, above S as S.
    EXPECT_EQ(XfrmLevelsFor(32, 0).levels, 256);
    EXPECT_EQ(XfrmLevelsFor(32, -5).levels, 256);
    EXPECT_EQ(XfrmLevelsFor(32, 100).divisor, 32);
    EXPECT_EQ(XfrmLevelsFor(32, 100).levels, 8);
    // A small window has fewer distinct counts than 256 / D.
    EXPECT_EQ(XfrmLevelsFor(3, 1).levels, 10);
    // No window at all is taken as one pixel rather than failing every band.
    EXPECT_EQ(XfrmLevelsFor(0, 4).window, 1);
    EXPECT_EQ(XfrmLevelsFor(-7, 4).levels, 2);
    // A huge window does not overflow S * S.
    EXPECT_EQ(XfrmLevelsFor(100000, 1).levels, 256);
}

LevelEntry Level(std::vector<std::int64_t> histogram, std::int64_t black, float ratio = 1.0f) {
    LevelEntry e;
    e.histogram = std::move(histogram);
    for (std::int64_t n : e.histogram) e.pixelCount += n;
    e.blackCount = black;
    e.gainRatio = ratio;
    return e;
}

TEST(LevelThreshold, SplitsTheBinWhereTheTargetIsReached) {
    // A = 9. Values 9: 10 pixels, 5: 20 pixels, 0: 70 pixels; 20 of the 100 are ink.
    const std::vector<std::int64_t> hist = {70, 0, 0, 0, 0, 20, 0, 0, 0, 10};
    // Target 20: bin 9 gives 10, bin 5 reaches 30; 10 of its 20 stay white: T = 5.5.
    EXPECT_FLOAT_EQ(LevelThreshold(Level(hist, 20), 9), 5.5f);
    // Target 30 exactly: the whole bin 5 prints.
    EXPECT_FLOAT_EQ(LevelThreshold(Level(hist, 20, 1.5f), 9), 5.0f);
    // Target 10: bin 9 alone.
    EXPECT_FLOAT_EQ(LevelThreshold(Level(hist, 20, 0.5f), 9), 9.0f);
    // More than every pixel: never reached, everything prints.
    EXPECT_FLOAT_EQ(LevelThreshold(Level(hist, 20, 10.0f), 9), 0.0f);
}

TEST(LevelThreshold, LevelsWithoutInkOrPixels) {
    // All white in the source: nothing prints, whatever the curve says.
    EXPECT_FLOAT_EQ(LevelThreshold(Level({50, 10, 0, 0}, 0, 2.0f), 3), 4.0f);
    // No pixels: the threshold stays as it was.
    LevelEntry empty = Level({0, 0, 0, 0}, 0);
    empty.threshold = 2.25f;
    EXPECT_FLOAT_EQ(LevelThreshold(empty, 3), 2.25f);
    // A curve below zero asks for no ink: no division by an empty top bin, nothing prints.
    const float t = LevelThreshold(Level({10, 0, 0, 0}, 5, -1.0f), 3);
    EXPECT_TRUE(std::isfinite(t));
    EXPECT_GE(t, 3.0f);
}

TEST(XfrmStats, CountPixelsInkAndHistogramsPerLevel) {
    // One row of six pixels: levels 0 0 1 1 1 5 (5 is beyond a table of 3 and counts as 2).
    std::vector<std::uint8_t> levels = {0, 0, 1, 1, 1, 5};
    std::vector<std::uint8_t> source = {0, 255, 255, 0, 255, 255};
    std::vector<std::uint8_t> averaged = {0, 4, 9, 2, 7, 9};
    std::uint8_t* levelRow = levels.data();
    std::uint8_t* sourceRow = source.data();
    std::uint8_t* averagedRow = averaged.data();
    const RowView xfrm{&levelRow, 7, 0};  // image row 7
    const RowView src{&sourceRow, 7, 0};
    const RowView avg{&averagedRow, 7, 0};
    // The band is columns 1..5 of row 7.
    const BandRect band{1, 7, 5, 1};
    std::vector<LevelEntry> table(3);
    for (LevelEntry& e : table) e.histogram.assign(10, 0);
    GatherXfrmStats(xfrm, src, band, nullptr, table);
    EXPECT_EQ(table[0].pixelCount, 1);
    EXPECT_EQ(table[0].blackCount, 1);
    EXPECT_EQ(table[1].pixelCount, 3);
    EXPECT_EQ(table[1].blackCount, 2);
    EXPECT_EQ(table[2].pixelCount, 1);

    CalculateXfrmStats(xfrm, avg, band, ValueTable(9, true), 9, table);
    EXPECT_EQ(table[1].histogram[9], 1);
    EXPECT_EQ(table[1].histogram[2], 1);
    EXPECT_EQ(table[1].histogram[7], 1);
    // Level 1: two ink pixels, values 9 and 7 make them: T = 7.
    EXPECT_FLOAT_EQ(table[1].threshold, 7.0f);

    // Without averaging an ink pixel counts as A.
    std::vector<LevelEntry> plain(3);
    for (LevelEntry& e : plain) e.histogram.assign(10, 0);
    AccumulateXfrmHistograms(xfrm, src, band, ValueTable(9, false), plain);
    EXPECT_EQ(plain[1].histogram[9], 2);
    EXPECT_EQ(plain[1].histogram[0], 1);
}

TEST(XfrmStats, NoiseIsIndexedByImageRowAndBandColumnAndClamped) {
    NoiseTable noise{};
    noise[static_cast<std::size_t>(3 * kNoiseTableSide + 0)] = 5;  // row 67 mod 64 = 3
    noise[static_cast<std::size_t>(3 * kNoiseTableSide + 1)] = -9;
    noise[static_cast<std::size_t>(3 * kNoiseTableSide + 2)] = 1;
    std::vector<std::uint8_t> levels = {9, 6, 3, 62};
    std::uint8_t* row = levels.data();
    const RowView xfrm{&row, 67, 0};
    AddNoise(xfrm, BandRect{1, 67, 3, 1}, noise, 64);
    // Band column j reads noise column j: 6 + 5, 3 - 9 -> 0, 62 + 1; column 0 is outside.
    EXPECT_EQ(levels, (std::vector<std::uint8_t>{9, 11, 0, 63}));
    levels = {9, 63, 3, 62};
    noise[static_cast<std::size_t>(3 * kNoiseTableSide + 0)] = 50;
    AddNoise(xfrm, BandRect{1, 67, 1, 1}, noise, 64);
    EXPECT_EQ(levels[1], 63) << "clamped to the top level";
}

}  // namespace
}  // namespace vestrel
