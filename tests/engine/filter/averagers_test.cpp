// Descreening averagers: exact integer results, clipped windows, in-place use, averaging in
// steps.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "engine/filter/box_averager.h"
#include "engine/filter/cross_average.h"
#include "engine/filter/source_averaging.h"

namespace vestrel {
namespace {

using Rows = std::vector<std::vector<std::uint8_t>>;

std::vector<std::uint8_t*> Pointers(Rows& rows) {
    std::vector<std::uint8_t*> p;
    for (auto& r : rows) p.push_back(r.data());
    return p;
}

// The box average written out directly: the clipped window of (x, y) with the same integer
// rounding, for comparison with the running implementation.
Rows NaiveBox(const Rows& in, int n, int levels, bool bilevel) {
    const int h = static_cast<int>(in.size());
    const int w = static_cast<int>(in[0].size());
    const int half = n / 2;
    const int lh = (n - 1) / 2;
    const int rh = n - 1 - lh;
    const long long maxLevel = std::min<long long>(1LL * n * n, levels - 1);
    Rows out(in.size(), std::vector<std::uint8_t>(in[0].size()));
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            long long a = 0;
            long long p = 0;
            for (int yy = std::max(0, y + half - n + 1); yy <= std::min(h - 1, y + half); ++yy)
                for (int xx = std::max(0, x - lh); xx <= std::min(w - 1, x + rh); ++xx) {
                    const int v = in[yy][xx];
                    a += bilevel ? (v != 0) : v;
                    ++p;
                }
            out[y][x] =
                static_cast<std::uint8_t>(bilevel ? (a * maxLevel + p / 2) / p : (a + p / 2) / p);
        }
    }
    return out;
}

Rows RandomRows(int w, int h, bool bilevel, unsigned seed) {
    std::mt19937 gen(seed);
    Rows rows(static_cast<std::size_t>(h), std::vector<std::uint8_t>(static_cast<std::size_t>(w)));
    for (auto& r : rows)
        for (auto& v : r)
            v = bilevel ? ((gen() % 3 == 0) ? 255 : 0) : static_cast<std::uint8_t>(gen());
    return rows;
}

TEST(BoxAverager, FullWindowsGiveTheCountOrTheScaledShare) {
    // n = 3: 5 black of 9, no scaling (9 < 256): the value is the count.
    BoxAverager three(3, 3, 0, 256, true);
    ASSERT_TRUE(three.ok());
    const std::uint8_t r0[] = {255, 0, 255}, r1[] = {0, 255, 0}, r2[] = {255, 0, 255};
    std::uint8_t out[3] = {};
    three.push(r0, nullptr);
    three.push(r1, nullptr);
    three.push(r2, out);
    EXPECT_EQ(out[1], 5);

    // n = 32 at 64 levels: 512 black of 1024 gives (512 * 63 + 512) / 1024 = 32.
    BoxAverager big(32, 32, 0, 64, true);
    ASSERT_TRUE(big.ok());
    EXPECT_EQ(big.maxLevel(), 63);
    std::vector<std::uint8_t> row(32), result(32);
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) row[static_cast<std::size_t>(x)] = (x % 2 == 0) ? 255 : 0;
        big.push(row.data(), y == 31 ? result.data() : nullptr);
    }
    EXPECT_EQ(result[15], 32);  // centre column 15: window 0..31, complete
}

TEST(BoxAverager, PartialWindowsKeepAUniformValueAtTheBorders) {
    // All black, n = 4: every clipped window is all black, so every value is the maximum 16,
    // from the first row (rows 0..2 only) to the corners.
    Rows rows(6, std::vector<std::uint8_t>(7, 255));
    auto p = Pointers(rows);
    ASSERT_TRUE(AverageRowsInPlace(p.data(), 7, 6, 4, true));
    for (const auto& r : rows)
        for (std::uint8_t v : r) EXPECT_EQ(v, 16);

    // The first output row of n = 4 averages rows 0..2: a black row 3 does not reach it.
    Rows stripe(6, std::vector<std::uint8_t>(5, 0));
    stripe[3].assign(5, 255);
    auto q = Pointers(stripe);
    ASSERT_TRUE(AverageRowsInPlace(q.data(), 5, 6, 4, true));
    EXPECT_EQ(stripe[0][2], 0);
    // Row 1 sees rows 0..3 (16 pixels, 4 black) -> 4 of 16.
    EXPECT_EQ(stripe[1][2], 4);
}

TEST(BoxAverager, InPlaceFeedingMatchesTheDirectAverage) {
    struct Case {
        int n, w, h, levels;
        bool bilevel;
    };
    for (const Case c :
         {Case{3, 17, 11, 256, true}, Case{4, 9, 13, 256, true}, Case{5, 4, 3, 256, true},
          Case{16, 40, 37, 256, true}, Case{32, 50, 70, 64, true}, Case{7, 23, 19, 256, false},
          Case{20, 12, 9, 256, false}, Case{9, 1, 5, 256, true}}) {
        Rows in = RandomRows(c.w, c.h, c.bilevel, static_cast<unsigned>(c.n * 31 + c.w));
        const Rows expected = NaiveBox(in, c.n, c.levels, c.bilevel);
        BoxAverager avg(c.n, c.w, 0, c.levels, c.bilevel);
        ASSERT_TRUE(avg.ok());
        const int half = c.n / 2;
        for (int k = -half; k < c.h; ++k)
            avg.push(k + half < c.h ? in[static_cast<std::size_t>(k + half)].data() : nullptr,
                     k >= 0 ? in[static_cast<std::size_t>(k)].data() : nullptr);
        EXPECT_EQ(in, expected) << "n=" << c.n << " w=" << c.w << " h=" << c.h;
    }
}

TEST(BoxAverager, UnusableArgumentsAreReportedNotUsed) {
    BoxAverager zero(0, 10, 0, 256, true);
    EXPECT_FALSE(zero.ok());
    zero.push(nullptr, nullptr);  // ignored, no crash
}

TEST(CrossAverage3, BilevelCountsNineEightSeven) {
    Rows rows(4, std::vector<std::uint8_t>(5, 255));
    auto p = Pointers(rows);
    ASSERT_EQ(CrossAverage3(p.data(), 5, 4, true), 1);
    EXPECT_EQ(rows[0][0], 7);
    EXPECT_EQ(rows[0][4], 7);
    EXPECT_EQ(rows[3][0], 7);
    EXPECT_EQ(rows[3][4], 7);
    EXPECT_EQ(rows[0][2], 8);
    EXPECT_EQ(rows[2][0], 8);
    EXPECT_EQ(rows[3][2], 8);
    EXPECT_EQ(rows[1][1], 9);
    EXPECT_EQ(rows[2][3], 9);
}

TEST(CrossAverage3, UsesUnfilteredNeighboursOnly) {
    // One black pixel: it scores 5, its four neighbours 1 each; everything else stays 0.
    Rows rows(5, std::vector<std::uint8_t>(5, 0));
    rows[2][2] = 255;
    auto p = Pointers(rows);
    ASSERT_EQ(CrossAverage3(p.data(), 5, 5, true), 1);
    Rows expected(5, std::vector<std::uint8_t>(5, 0));
    expected[2][2] = 5;
    expected[1][2] = expected[3][2] = expected[2][1] = expected[2][3] = 1;
    EXPECT_EQ(rows, expected);
}

TEST(CrossAverage3, GreyIsTheRoundedWeightedMean) {
    Rows rows = {{10, 20, 30}, {40, 50, 60}, {70, 80, 90}};
    auto p = Pointers(rows);
    ASSERT_EQ(CrossAverage3(p.data(), 3, 3, false), 1);
    EXPECT_EQ(rows[1][1], (20 + 80 + 40 + 60 + 4 * 50 + 4) / 8);  // inside
    EXPECT_EQ(rows[0][1], (10 + 30 + 50 + 4 * 20 + 3) / 7);       // edge
    EXPECT_EQ(rows[0][0], (20 + 40 + 4 * 10 + 3) / 6);            // corner
    EXPECT_EQ(rows[2][2], (80 + 60 + 4 * 90 + 3) / 6);
    // A single column (not expected from the pipelines) still averages soundly.
    Rows column = {{100}, {0}, {100}};
    auto q = Pointers(column);
    ASSERT_EQ(CrossAverage3(q.data(), 1, 3, false), 1);
    EXPECT_EQ(column[1][0], (100 + 100 + 0 + 3) / 6);
}

TEST(SourceAverager, RowsAveragedInStepsMatchTheWholeBlock) {
    // The rescreen's worker averages a band's rows only as far as the next prepared row needs
    // them: every row it reads must already hold its final value, whatever the steps.
    struct Case {
        int side, w, h;
        bool bilevel;
    };
    for (const Case c : {Case{1, 9, 7, true}, Case{2, 13, 11, true}, Case{2, 6, 9, false},
                         Case{2, 5, 1, true}, Case{3, 11, 10, true}, Case{4, 9, 12, true},
                         Case{7, 8, 5, false}, Case{6, 10, 3, true}}) {
        Rows whole = RandomRows(c.w, c.h, c.bilevel, static_cast<unsigned>(c.side * 7 + c.h));
        Rows stepped = whole;
        auto p = Pointers(whole);
        ASSERT_TRUE(AverageRowsInPlace(p.data(), c.w, c.h, c.side, c.bilevel));
        auto q = Pointers(stepped);
        SourceAverager averager;
        ASSERT_TRUE(averager.Start(q.data(), c.w, c.h, c.side, c.bilevel));
        for (int rows : {1, 1, 2, 4, 5, c.h - 1, c.h, c.h + 3}) {
            averager.AverageTo(rows);
            for (int r = 0; r < std::min(rows, c.h); ++r)
                ASSERT_EQ(stepped[static_cast<std::size_t>(r)], whole[static_cast<std::size_t>(r)])
                    << "side " << c.side << " h " << c.h << " after " << rows << " row " << r;
        }
    }
}

}  // namespace
}  // namespace vestrel
