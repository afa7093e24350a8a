// Tone curves on the xfrm level scale: the gain ratio of each level.
#include "engine/filter/gain/gain_curve.h"

#include <gtest/gtest.h>

#include <vector>

namespace vestrel {
namespace {

ToneCurve Curve(std::vector<float> x, std::vector<float> y) {
    ToneCurve c;
    c.count = static_cast<int>(x.size());
    for (std::size_t i = 0; i < x.size() && i < kToneCurveCapacity; ++i) {
        c.XVal[i] = x[i];
        c.YVal[i] = y[i];
    }
    return c;
}

std::vector<float> Ratios(const ToneCurve& c, int levels = 64) {
    std::vector<float> r(static_cast<std::size_t>(levels), -1.0f);
    GainRatios(c, levels, r.data());
    return r;
}

TEST(GainCurve, IdentityGivesExactlyOneAtEveryLevel) {
    for (int levels : {2, 8, 64, 256})
        for (float r : Ratios(IdentityCurve(), levels)) ASSERT_EQ(r, 1.0f) << levels;
    // Three points on the diagonal go through the cubic and stay there.
    for (float r : Ratios(Curve({0, 50, 100}, {0, 50, 100}))) EXPECT_NEAR(r, 1.0f, 1e-5f);
}

TEST(GainCurve, MidToneBoostPassesThroughItsPointsWithoutOvershoot) {
    const ToneCurve c = Curve({0, 50, 100}, {0, 60, 100});
    const int levels = 64;
    const float top = levels - 0.5f;
    // Evaluated at the scaled points themselves and at the quarter tones.
    std::vector<float> p = {0.0f, 0.25f * top, 0.5f * top, 0.75f * top, top};
    ASSERT_TRUE(EvaluateToneCurve(c, levels, p.data(), static_cast<int>(p.size())));
    EXPECT_FLOAT_EQ(p[0], 0.0f);
    EXPECT_NEAR(p[1] / top, 0.315f, 1e-4f);  // the cubic's value at 25 %
    EXPECT_NEAR(p[2] / top, 0.60f, 1e-5f);
    EXPECT_NEAR(p[3] / top, 0.81f, 1e-4f);
    EXPECT_NEAR(p[4], top, 1e-4f);

    const std::vector<float> r = Ratios(c, levels);
    float previous = -1.0f;
    for (int k = 0; k < levels; ++k) {
        const float value = r[static_cast<std::size_t>(k)] * (k + 0.5f);
        EXPECT_GE(r[static_cast<std::size_t>(k)], 1.0f - 1e-5f) << k;
        EXPECT_LE(value, top + 1e-3f) << "no overshoot above full tone, level " << k;
        EXPECT_GT(value, previous) << "monotone, level " << k;
        previous = value;
    }
    // Level 32's centre is 51.2 %, where the curve gives 61.1 %.
    EXPECT_NEAR(r[32], 1.194f, 0.002f);
}

TEST(GainCurve, TwoPointsGiveTheStraightLineAndPositionsOutsideAreClamped) {
    // 20 % .. 80 % mapped to 10 % .. 90 %: below 20 % nothing, above 80 % full tone.
    const ToneCurve c = Curve({20, 80}, {10, 90});
    const float top = 9.5f;
    std::vector<float> p = {0.1f * top, 0.5f * top, 0.95f * top};
    ASSERT_TRUE(EvaluateToneCurve(c, 10, p.data(), 3));
    EXPECT_EQ(p[0], 0.0f);
    EXPECT_NEAR(p[1], 0.5f * top, 1e-5f);
    EXPECT_EQ(p[2], top);
}

TEST(GainCurve, RepeatedEndPointsAreDropped) {
    // The doubled first and last inputs leave the three points of the mid-tone boost.
    const ToneCurve doubled = Curve({0, 0, 50, 100, 100}, {5, 0, 60, 100, 90});
    EXPECT_EQ(Ratios(doubled), Ratios(Curve({0, 50, 100}, {0, 60, 100})));
}

TEST(GainCurve, CurvesThatCannotBeEvaluatedLeaveEveryRatioAtOne) {
    const std::vector<float> ones(64, 1.0f);
    EXPECT_EQ(Ratios(Curve({0, 60, 50, 100}, {0, 70, 60, 100})), ones) << "not increasing";
    EXPECT_EQ(Ratios(Curve({0, 50, 50, 100}, {0, 40, 60, 100})), ones) << "repeated inside";
    EXPECT_EQ(Ratios(Curve({50}, {60})), ones) << "one point";
    EXPECT_EQ(Ratios(Curve({30, 30}, {20, 40})), ones) << "two equal inputs";
    ToneCurve overfull = Curve({0, 100}, {0, 100});
    overfull.count = 13;
    EXPECT_EQ(Ratios(overfull), ones) << "more points than the capacity";
    ToneCurve noScale = Curve({0, 50, 100}, {0, 60, 100});
    noScale.XMax = 0.0f;
    EXPECT_EQ(Ratios(noScale), ones) << "no full-tone value";
    std::vector<float> p = {1.0f, 2.0f};
    EXPECT_FALSE(EvaluateToneCurve(noScale, 64, p.data(), 2));
    EXPECT_EQ(p, (std::vector<float>{1.0f, 2.0f})) << "positions untouched";
}

}  // namespace
}  // namespace vestrel
