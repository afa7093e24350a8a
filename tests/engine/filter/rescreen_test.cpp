// Rescreening arithmetic: error diffusion, forced bands, scan direction, the generator, and
// the values derived from the settings.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "engine/filter/error_diffusion.h"
#include "engine/filter/filter_random.h"
#include "engine/filter/filter_state.h"
#include "engine/filter/resample_output.h"

namespace vestrel {
namespace {

TEST(ErrorDiffusion, SpreadsSevenThreeFiveOneSixteenths) {
    // E = 3: E' = 0.1875, so 7E' = 1.3125, 3E' = 0.5625, 5E' = 0.9375.
    std::array<float, 7> current{}, next{};
    current[3] = 99.0f;  // the pixel's own cell is cleared
    DiffuseError<1>(3.0f, current.data(), next.data(), 3);
    EXPECT_EQ(current[4], 1.3125f);
    EXPECT_EQ(current[3], 0.0f);
    EXPECT_EQ(next[2], 0.5625f);
    EXPECT_EQ(next[3], 0.9375f);
    EXPECT_EQ(next[4], 0.1875f);

    std::array<float, 7> cur2{}, next2{};
    DiffuseError<-1>(3.0f, cur2.data(), next2.data(), 3);
    EXPECT_EQ(cur2[2], 1.3125f);
    EXPECT_EQ(next2[4], 0.5625f);
    EXPECT_EQ(next2[3], 0.9375f);
    EXPECT_EQ(next2[2], 0.1875f);
    EXPECT_EQ(cur2[4], 0.0f);
}

TEST(FilterRandom, FollowsTheCLibraryGeneratorFromTheFixedSeed) {
    FilterRandom r;
    // The first draws after a set-up, pinned: state * 214013 + 2531011 mod 2^32, bits 16..30.
    EXPECT_EQ(r.Draw(), 3554);
    EXPECT_EQ(r.Draw(), 26670);
    r.Seed(FilterRandom::kSeed);
    EXPECT_EQ(r.Draw(), 3554);
    // Noise is uniform in +- amplitude / 2.
    for (int i = 0; i < 1000; ++i) {
        const float n = r.NoiseTerm(10.0f);
        ASSERT_GE(n, -5.0f);
        ASSERT_LE(n, 5.0f);
    }
}

TEST(CommonFilterSetup, BandsAndMaximumFollowTheWindow) {
    FilterSettings s;
    CommonFilterState st;
    struct Case {
        int n;
        float a;
    };
    for (const Case c : {Case{1, 9}, Case{2, 9}, Case{3, 9}, Case{4, 16}, Case{15, 225},
                         Case{16, 255}, Case{32, 255}}) {
        s.AverageFilterSize = c.n;
        s.Threshold = 0;
        CommonFilterSetup(s, st);
        EXPECT_EQ(st.maxValue, c.a);
        EXPECT_EQ(st.low, 0.0f);
        EXPECT_EQ(st.high, c.a) << "Threshold 0 forces only A itself black, n=" << c.n;
        s.Threshold = 50;
        CommonFilterSetup(s, st);
        EXPECT_EQ(st.low, c.a * 0.5f) << "n=" << c.n;
        EXPECT_EQ(st.high, c.a * 0.5f);
        EXPECT_EQ(st.middle, c.a * 0.5f);
    }
    s.AverageFilterSize = 4;
    s.Threshold = 25;
    s.NoiseLevel = 10;
    CommonFilterSetup(s, st);
    EXPECT_EQ(st.averageHalf, 2);
    EXPECT_TRUE(st.doaverage);
    EXPECT_EQ(st.low, 4.0f);
    EXPECT_EQ(st.high, 12.0f);
    EXPECT_TRUE(st.addnoise);
    EXPECT_FLOAT_EQ(st.noiseAmplitude, 0.1f);
}

// One band of output from hand-made averaged values at scale 1 (no interpolation).
class DirectRescreen : public ::testing::Test {
  protected:
    static constexpr int kWidth = 12;

    void SetUp() override {
        for (int b = 0; b < 256; ++b)
            identity_[static_cast<std::size_t>(b)] = static_cast<float>(b);
        geometry_.right = kWidth;
        geometry_.bottom = 4;
        ASSERT_TRUE(tables_.Build(geometry_, 0, kWidth));
        ASSERT_TRUE(errors_.Allocate(kWidth));
        params_.valueOf = identity_.data();
        params_.maxValue = 9.0f;
        params_.middle = 4.5f;
        SetThreshold(0);
    }
    void SetThreshold(int percent) {
        params_.low = static_cast<float>(percent * 9 * 0.01);
        params_.high = static_cast<float>((100 - percent) * 9 * 0.01);
    }
    // Rescreens output rows y .. y + rows - 1 from source rows filled with `row`.
    std::vector<std::vector<std::uint8_t>> Run(const std::vector<std::uint8_t>& row, int y,
                                               int rows) {
        source_.assign(4, row);
        std::vector<std::uint8_t*> in;
        for (auto& r : source_) in.push_back(r.data());
        SourceBlock block{in.data(), 0, 4};
        std::vector<std::vector<std::uint8_t>> out(static_cast<std::size_t>(rows),
                                                   std::vector<std::uint8_t>(kWidth, 7));
        std::vector<std::uint8_t*> outRows;
        for (auto& r : out) outRows.push_back(r.data());
        RescreenBand(geometry_, tables_, block, params_, random_, errors_, outRows.data(), y, rows);
        return out;
    }

    std::array<float, 256> identity_{};
    ResampleGeometry geometry_;
    ColumnTables tables_;
    ErrorRows errors_;
    RescreenParams params_;
    FilterRandom random_;
    std::vector<std::vector<std::uint8_t>> source_;
};

TEST_F(DirectRescreen, WhitePixelOfValueThreePassesItsError) {
    // Threshold 0, A = 9, row 0 left to right: value 3 prints white and passes E = 3.
    std::vector<std::uint8_t> row(kWidth, 0);
    row[5] = 3;
    row[6] = 4;  // 4 alone prints white; with the 1.3125 it receives it prints black
    const auto out = Run(row, 0, 1);
    EXPECT_EQ(out[0][5], 0);
    EXPECT_EQ(out[0][6], 255);
    // After the row the next row is current: column 4 holds 3E' = 0.5625 plus 1E' of pixel 3
    // (which passed no error), column 5 holds 5E' of pixel 5 plus 3E' of pixel 6.
    EXPECT_EQ(errors_.current()[4 + 1], 0.5625f);
    const float e6 = (4.0f + 1.3125f - 9.0f) * 0.0625f;  // pixel 6's E'
    EXPECT_EQ(errors_.current()[5 + 1], 0.9375f + (e6 + e6 + e6));
}

TEST_F(DirectRescreen, SerpentineRowsRunLeftToRightThenRightToLeft) {
    // A uniform value 5 of 9 starts with black at the start of the scan.
    const std::vector<std::uint8_t> row(kWidth, 5);
    params_.diffusionToggle = 1;
    const auto even = Run(row, 0, 1);
    ASSERT_TRUE(errors_.Allocate(kWidth));
    const auto odd = Run(row, 1, 1);
    EXPECT_EQ(even[0][0], 255);
    EXPECT_EQ(odd[0][kWidth - 1], 255);
    std::vector<std::uint8_t> mirrored(odd[0].rbegin(), odd[0].rend());
    EXPECT_EQ(mirrored, even[0]);
    // Without the toggle every row runs left to right.
    params_.diffusionToggle = 0;
    ASSERT_TRUE(errors_.Allocate(kWidth));
    EXPECT_EQ(Run(row, 1, 1)[0], even[0]);
}

TEST_F(DirectRescreen, RandomReverseTakesTheDirectionFromADraw) {
    const std::vector<std::uint8_t> row(kWidth, 5);
    params_.diffusionToggle = 0;
    const auto leftToRight = Run(row, 0, 1)[0];
    const std::vector<std::uint8_t> rightToLeft(leftToRight.rbegin(), leftToRight.rend());
    ASSERT_NE(leftToRight, rightToLeft);

    params_.randomReverse = true;
    random_.Seed(FilterRandom::kSeed);
    FilterRandom expected;
    for (int r = 0; r < 6; ++r) {
        ASSERT_TRUE(errors_.Allocate(kWidth));  // fresh errors: each row shows its direction
        const bool reversed = expected.Draw() % 2 == 0;
        EXPECT_EQ(Run(row, r, 1)[0], reversed ? rightToLeft : leftToRight) << "row " << r;
    }
}

TEST_F(DirectRescreen, ForcedBandsAtThresholdFiftyAndZero) {
    // Threshold 50: low = high = A / 2: below is white, at or above black, whatever the error.
    SetThreshold(50);
    std::vector<std::uint8_t> row(kWidth);
    for (int x = 0; x < kWidth; ++x) row[static_cast<std::size_t>(x)] = x % 2 == 0 ? 4 : 5;
    const auto banded = Run(row, 0, 2);
    for (const auto& r : banded)
        for (int x = 0; x < kWidth; ++x)
            EXPECT_EQ(r[static_cast<std::size_t>(x)], x % 2 == 0 ? 0 : 255);
    // Forced pixels pass the incoming error on untouched, so nothing is left behind.
    for (int x = 0; x <= kWidth + 1; ++x) EXPECT_EQ(errors_.current()[x], 0.0f);

    // Threshold 0: A itself is forced black, 0 passes through the diffusion (and prints white
    // without error), values between are diffused: 4.5 of 9 on average prints half black.
    SetThreshold(0);
    ASSERT_TRUE(errors_.Allocate(kWidth));
    EXPECT_EQ(Run(std::vector<std::uint8_t>(kWidth, 9), 0, 1)[0],
              std::vector<std::uint8_t>(kWidth, 255));
    EXPECT_EQ(Run(std::vector<std::uint8_t>(kWidth, 0), 1, 1)[0],
              std::vector<std::uint8_t>(kWidth, 0));
    const auto diffused = Run(row, 2, 2);
    int black = 0;
    for (const auto& r : diffused) black += static_cast<int>(std::count(r.begin(), r.end(), 255));
    EXPECT_NEAR(black, kWidth, 1);  // 24 pixels averaging 4.5 of 9: about half black
}

TEST_F(DirectRescreen, ThresholdAndRowCarryMethods) {
    const std::vector<std::uint8_t> three(kWidth, 3);
    // Row carry: the error walks along the row only: 3, 6 -> black, 0, 3, 6 -> black ...
    params_.diffusionType = kDiffusionRowCarry;
    const auto carried = Run(three, 0, 2);
    for (const auto& r : carried)
        for (int x = 0; x < kWidth; ++x)
            EXPECT_EQ(r[static_cast<std::size_t>(x)], x % 3 == 1 ? 255 : 0);
    // Threshold: a plain cut at A / 2, no error anywhere.
    params_.diffusionType = kDiffusionThreshold;
    EXPECT_EQ(Run(three, 0, 1)[0], std::vector<std::uint8_t>(kWidth, 0));
    EXPECT_EQ(Run(std::vector<std::uint8_t>(kWidth, 5), 0, 1)[0],
              std::vector<std::uint8_t>(kWidth, 255));
}

}  // namespace
}  // namespace vestrel
