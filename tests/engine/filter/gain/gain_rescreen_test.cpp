// The per-pixel decisions of the dot-gain output: forced bands, the three methods of spreading
// the fraction of a threshold, and the scan direction.
#include "engine/filter/gain/gain_rescreen.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

namespace vestrel {
namespace {

// One level with threshold `t`; A = 9 and Threshold 25 % (low 2.25, high 6.75).
struct OneLevel {
    std::vector<LevelEntry> table = std::vector<LevelEntry>(1);
    GainRescreenParams params;
    ErrorRows errors;

    OneLevel(float t, int diffusionType, int toggle = 0) {
        table[0].threshold = t;
        params.valueOf = ValueTable(9, true);
        params.valueClass = ValueClassTable(2.25f, 6.75f);
        params.diffusionType = diffusionType;
        params.diffusionToggle = toggle;
    }

    // Rescreens one row `y` of the given averaged values.
    std::vector<std::uint8_t> Row(std::vector<std::uint8_t> values, int y = 0) {
        std::vector<std::uint8_t> levels(values.size(), 0);
        std::vector<std::uint8_t> out(values.size(), 0x5A);
        std::uint8_t* levelRow = levels.data();
        std::uint8_t* valueRow = values.data();
        std::uint8_t* outRow = out.data();
        if (errors.empty())
            errors.Allocate(static_cast<int>(values.size()));
        const int w = static_cast<int>(values.size());
        GainRescreenBand(RowView{&levelRow, y, 0}, RowView{&valueRow, y, 0}, BandRect{0, y, w, 1},
                         MakeLevelDecisions(table), params, errors, &outRow);
        return out;
    }
};

constexpr std::uint8_t W = 0;
constexpr std::uint8_t K = 255;

TEST(GainRescreen, RowCarrySpreadsAQuarterThresholdOverFourPixels) {
    // T = 3.25 and a = 3: k = 0.75, 1.5, 1.25, 1.0, 0.75, ...
    OneLevel f(3.25f, 1);
    EXPECT_EQ(f.Row(std::vector<std::uint8_t>(8, 3)),
              (std::vector<std::uint8_t>{W, K, K, K, W, K, K, K}));
    // The carry starts at 0 on every row; an odd row runs right to left with the toggle.
    OneLevel serpentine(3.25f, 1, 1);
    EXPECT_EQ(serpentine.Row(std::vector<std::uint8_t>(8, 3), 1),
              (std::vector<std::uint8_t>{K, K, K, W, K, K, K, W}));
    // Values away from the threshold's bin are decided outright and keep the carry.
    EXPECT_EQ(f.Row({3, 2, 3, 4, 3, 3}), (std::vector<std::uint8_t>{W, W, K, K, K, K}));
}

TEST(GainRescreen, ThresholdMethodRoundsHalfAwayFromZero) {
    EXPECT_EQ(OneLevel(3.5f, 0).Row({3, 4}), (std::vector<std::uint8_t>{W, K}));
    EXPECT_EQ(OneLevel(3.49f, 0).Row({3, 4}), (std::vector<std::uint8_t>{K, K}));
    // Any other method number decides the same way.
    EXPECT_EQ(OneLevel(3.5f, 7).Row({3, 4}), (std::vector<std::uint8_t>{W, K}));
}

TEST(GainRescreen, ForcedBandsWinOverTheLevel) {
    // A level whose threshold says "nothing prints" (A + 1) still prints a value at or above
    // high; a level where everything prints (0) leaves a value below low white.
    EXPECT_EQ(OneLevel(10.0f, 2).Row({7, 6, 9}), (std::vector<std::uint8_t>{K, W, K}));
    EXPECT_EQ(OneLevel(0.0f, 2).Row({2, 3, 0}), (std::vector<std::uint8_t>{W, K, W}));
}

TEST(GainRescreen, ErrorRowsTakeTheFractionAndPassEverythingElseOn) {
    // One column: the white pixel's k = 0.75 goes 5/16 straight down.
    OneLevel f(3.25f, 2);
    EXPECT_EQ(f.Row({3}), (std::vector<std::uint8_t>{W}));
    EXPECT_FLOAT_EQ(f.errors.current()[1], 0.75f * 0.0625f * 5.0f);
    EXPECT_EQ(f.errors.next()[1], 0.0f);

    // A forced pixel passes its incoming error on unchanged and clears its cell, so nothing
    // stays behind in the row that becomes the next row.
    OneLevel g(3.25f, 2);
    g.errors.Allocate(1);
    g.errors.current()[1] = 0.5f;
    EXPECT_EQ(g.Row({0}), (std::vector<std::uint8_t>{W}));
    EXPECT_FLOAT_EQ(g.errors.current()[1], 0.5f * 0.0625f * 5.0f);
    EXPECT_EQ(g.errors.next()[1], 0.0f);

    // Left to right, the 7/16 reaches the next pixel of the row: 0.75 + 0.328125 >= 1 - 0.75.
    OneLevel h(3.25f, 2);
    EXPECT_EQ(h.Row({3, 3}), (std::vector<std::uint8_t>{W, K}));
}

// The rules pixel by pixel, with the error kept in the error rows only.
struct Reference {
    int w, a;
    float low, high;
    int method, toggle;
    std::vector<float> thresholds;
    std::vector<float> current, next;

    void Row(const std::uint8_t* levels, const std::uint8_t* values, int y, std::uint8_t* out) {
        const int d = toggle != 0 && y % 2 != 0 ? -1 : 1;
        float carry = 0.0f;
        for (int k = 0; k < w; ++k) {
            const int c = d > 0 ? k : w - 1 - k;
            const float v = values[c];
            const float t = thresholds[levels[c]];
            if (method == 2)
                carry = current[static_cast<std::size_t>(c + 1)];
            bool ink = false;
            if (v < low) {
                ink = false;
            } else if (v >= high) {
                ink = true;
            } else if (method != 1 && method != 2) {
                ink = v >= std::round(t);
            } else if (std::floor(t) > v) {
                ink = false;
            } else if (std::ceil(t) <= v) {
                ink = true;
            } else {
                const float share = 1.0f - (t - v) + carry;
                ink = !(share < 1.0f);
                carry = ink ? share - 1.0f : share;
            }
            out[c] = ink ? 255 : 0;
            if (method == 2) {
                const auto i = static_cast<std::size_t>(c + 1);
                if (carry != 0.0f) {
                    const float e = carry * 0.0625f;
                    current[i + d] += e * 7.0f;
                    next[i - d] += e * 3.0f;
                    next[i] += e * 5.0f;
                    next[i + d] += e;
                }
                current[i] = 0.0f;
            }
        }
        if (method == 2)
            std::swap(current, next);
    }
};

TEST(GainRescreen, MatchesThePlainRulesBitForBit) {
    const int w = 97, h = 9, levels = 12, a = 16;
    std::uint32_t state = 12345;
    auto draw = [&state](std::uint32_t n) {
        state = state * 1664525u + 1013904223u;
        return (state >> 8) % n;
    };
    std::vector<LevelEntry> table(static_cast<std::size_t>(levels));
    std::vector<float> thresholds;
    for (LevelEntry& e : table) {
        // Whole and fractional thresholds over the whole range, A + 1 included.
        e.threshold = static_cast<float>(draw(18 * 8)) / 8.0f + (draw(3) == 0 ? 0.0f : 0.03f);
        thresholds.push_back(e.threshold);
    }
    std::vector<std::uint8_t> lv(static_cast<std::size_t>(w * h)), va(lv.size());
    for (std::size_t i = 0; i < lv.size(); ++i) {
        lv[i] = static_cast<std::uint8_t>(draw(levels));
        va[i] = static_cast<std::uint8_t>(draw(a + 1));
    }
    for (int method : {0, 1, 2}) {
        GainRescreenParams params;
        params.valueOf = ValueTable(a, true);
        params.valueClass = ValueClassTable(1.6f, 14.4f);
        params.diffusionType = method;
        params.diffusionToggle = 1;
        ErrorRows errors;
        errors.Allocate(w);
        Reference ref{w, a, 1.6f, 14.4f, method, 1, thresholds, {}, {}};
        ref.current.assign(static_cast<std::size_t>(w + 2), 0.0f);
        ref.next = ref.current;
        // Errors carried in from an earlier band, tiny ones among them.
        for (int c = 0; c < w; ++c) {
            const float e = draw(4) == 0 ? 1e-40f : static_cast<float>(draw(200)) / 100.0f - 1.0f;
            errors.current()[c + 1] = e;
            ref.current[static_cast<std::size_t>(c + 1)] = e;
        }
        std::vector<std::uint8_t> fast(lv.size()), plain(lv.size());
        for (int y = 0; y < h; ++y) {
            std::uint8_t* levelRow = &lv[static_cast<std::size_t>(y * w)];
            std::uint8_t* valueRow = &va[static_cast<std::size_t>(y * w)];
            std::uint8_t* outRow = &fast[static_cast<std::size_t>(y * w)];
            GainRescreenBand(RowView{&levelRow, y + 3, 0}, RowView{&valueRow, y + 3, 0},
                             BandRect{0, y + 3, w, 1}, MakeLevelDecisions(table), params, errors,
                             &outRow);
            ref.Row(levelRow, valueRow, y + 3, &plain[static_cast<std::size_t>(y * w)]);
        }
        EXPECT_EQ(fast, plain) << "method " << method;
        for (int c = 0; c < w && method == 2; ++c)
            ASSERT_EQ(errors.current()[c + 1], ref.current[static_cast<std::size_t>(c + 1)]) << c;
    }
}

TEST(GainRescreen, TinyErrorsAreSharedLikeThePlainRules) {
    // Errors far below the float's normal range pass forced pixels: their sixteenths are
    // inexact, and must still round as the plain rules round them.
    const int w = 9;
    std::vector<LevelEntry> table(1);
    GainRescreenParams params;
    params.valueOf = ValueTable(16, true);
    params.valueClass = ValueClassTable(1.6f, 14.4f);
    params.diffusionType = 2;
    params.diffusionToggle = 0;
    ErrorRows errors;
    errors.Allocate(w);
    Reference ref{w, 16, 1.6f, 14.4f, 2, 0, {0.0f}, {}, {}};
    ref.current.assign(static_cast<std::size_t>(w + 2), 0.0f);
    ref.next = ref.current;
    for (int c = 0; c < w; ++c) {
        const float e = 1.0e-40f * static_cast<float>(3 * c + 1);
        errors.current()[c + 1] = e;
        ref.current[static_cast<std::size_t>(c + 1)] = e;
    }
    std::vector<std::uint8_t> levels(w, 0), values(w, 0), fast(w), plain(w);
    std::uint8_t* levelRow = levels.data();
    std::uint8_t* valueRow = values.data();
    std::uint8_t* outRow = fast.data();
    GainRescreenBand(RowView{&levelRow, 0, 0}, RowView{&valueRow, 0, 0}, BandRect{0, 0, w, 1},
                     MakeLevelDecisions(table), params, errors, &outRow);
    ref.Row(levelRow, valueRow, 0, plain.data());
    for (int c = 0; c < w; ++c)
        EXPECT_EQ(errors.current()[c + 1], ref.current[static_cast<std::size_t>(c + 1)]) << c;
}

}  // namespace
}  // namespace vestrel
