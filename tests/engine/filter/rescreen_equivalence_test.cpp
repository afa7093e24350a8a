// The rescreen loops against a plain pixel-by-pixel statement of the rescreen arithmetic:
// every method, direction, noise setting and threshold must give the same bits. With error
// rows the rescreen also runs in two steps (rows prepared, then diffused; on one thread or on
// two), which must give the same bits again.
#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <deque>
#include <limits>
#include <random>
#include <vector>

#include "engine/filter/error_diffusion.h"
#include "engine/filter/filter_random.h"
#include "engine/filter/filter_state.h"
#include "engine/filter/overlapped_rescreen.h"
#include "engine/filter/prepared_row.h"
#include "engine/filter/resample_output.h"

namespace vestrel {
namespace {

constexpr int kWidth = 53;
constexpr int kSourceWidth = 61;
constexpr int kSourceRows = 40;

struct Case {
    ResampleGeometry g;
    ColumnTables tables;
    RescreenParams p;
    std::array<float, 256> valueOf{};
    std::vector<std::vector<std::uint8_t>> source;
    std::vector<std::uint8_t*> rows;
};

// The rescreen of one band written out literally, one pixel at a time with branches, the
// error rows updated through DiffuseError.
void ReferenceBand(const Case& s, FilterRandom& random, std::vector<float>& cur,
                   std::vector<float>& nxt, std::vector<std::vector<std::uint8_t>>& out, int y,
                   int h) {
    const RescreenParams& p = s.p;
    for (int r = 0; r < h; ++r) {
        const int row = y + r;
        const bool rtl =
            p.randomReverse ? random.Draw() % 2 == 0 : p.diffusionToggle != 0 && row % 2 != 0;
        const auto clampRow = [&](long v) {
            return s.source[static_cast<std::size_t>(std::clamp<long>(v, 0, kSourceRows - 1))]
                .data();
        };
        const std::uint8_t* r0 = nullptr;
        const std::uint8_t* r1 = nullptr;
        float fy = 0.0f;
        if (s.g.doreschange) {
            const float pos = SourceRowPosition(s.g, row);
            r0 = clampRow(static_cast<long>(std::floor(pos)));
            r1 = clampRow(static_cast<long>(std::floor(pos)) + 1);
            fy = pos - std::floor(pos);
        } else {
            r0 = clampRow(row + s.g.rowOffset);
        }
        float carry = 0.0f;
        for (int k = 0; k < kWidth; ++k) {
            const int c = rtl ? kWidth - 1 - k : k;
            const float incoming = p.diffusionType == 2   ? cur[static_cast<std::size_t>(c + 1)]
                                   : p.diffusionType == 1 ? carry
                                                          : 0.0f;
            float e = incoming;
            std::uint8_t o = 0;
            if (!s.g.doreschange) {
                float f = s.valueOf[r0[s.tables.c0[static_cast<std::size_t>(c)]]];
                if (p.addnoise)
                    f += random.NoiseTerm(p.noiseAmplitude);
                if (f < p.low) {
                    o = 0;
                } else if (f >= p.high) {
                    o = 255;
                } else {
                    const float v = f + incoming;
                    o = v >= p.middle ? 255 : 0;
                    e = v >= p.middle ? v - p.maxValue : v;
                }
            } else {
                const auto i0 = static_cast<std::size_t>(s.tables.c0[static_cast<std::size_t>(c)]);
                const auto i1 = static_cast<std::size_t>(s.tables.c1[static_cast<std::size_t>(c)]);
                if (r0[i0] | r0[i1] | r1[i0] | r1[i1]) {
                    const float fx = s.tables.fx[static_cast<std::size_t>(c)];
                    const float gx = 1.0f - fx;
                    const float gy = 1.0f - fy;
                    float value = s.valueOf[r0[i0]] * gx * gy + s.valueOf[r0[i1]] * fx * gy +
                                  s.valueOf[r1[i0]] * gx * fy + s.valueOf[r1[i1]] * fx * fy;
                    if (p.addnoise)
                        value += random.NoiseTerm(p.noiseAmplitude);
                    const float v = value + incoming;
                    if (value < p.low) {
                        e = v;
                    } else if (value >= p.high) {
                        o = 255;
                        e = v - p.maxValue;
                    } else {
                        o = v >= p.middle ? 255 : 0;
                        e = v >= p.middle ? v - p.maxValue : v;
                    }
                }
            }
            out[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)] = o;
            if (p.diffusionType == 2) {
                if (rtl)
                    DiffuseError<-1>(e, cur.data(), nxt.data(), c + 1);
                else
                    DiffuseError<1>(e, cur.data(), nxt.data(), c + 1);
            } else if (p.diffusionType == 1) {
                carry = e;
            }
        }
        if (p.diffusionType == 2) {
            std::swap(cur, nxt);
            nxt.assign(nxt.size(), 0.0f);  // all cells were cleared except the guard cells
        }
    }
}

// One way of rescreening a band, with the error rows and generator it carries between bands.
struct Rescreener {
    enum Kind { kLoops, kPrepared, kOverlapped } kind;
    ErrorRows errors;
    FilterRandom random;
    RescreenWorker worker;

    bool Band(const Case& s, const SourceBlock& block, std::uint8_t* const* out, int y, int h) {
        switch (kind) {
            case kLoops:
                RescreenBand(s.g, s.tables, block, s.p, random, errors, out, y, h);
                return true;
            case kPrepared:
                return RescreenBandPrepared(s.g, s.tables, block, s.p, random, errors, out, y, h);
            case kOverlapped:
                return RescreenBandOverlapped([](int) { return true; }, s.g, s.tables, block, s.p,
                                              random, errors, worker, out, y,
                                              h) == OverlapResult::kDone;
        }
        return false;
    }
};

TEST(RescreenEquivalence, LoopsMatchThePlainArithmeticBitForBit) {
    std::mt19937 gen(1234);
    int compared = 0;
    for (bool interpolate : {false, true})
        for (int type : {0, 1, 2})
            for (bool noise : {false, true})
                for (bool reverse : {false, true})
                    for (int threshold : {0, 25, 50, 60}) {
                        // Above 50 the bands overlap (low > high); the loops follow the
                        // reference there only when interpolating.
                        if (threshold > 50 && !interpolate)
                            continue;
                        Case s;
                        s.g = interpolate ? MakeResampleGeometry(1.13f, 0.87f, 2, 0, 0, 0, 0, 0,
                                                                 kSourceWidth, kSourceRows)
                                          : MakeResampleGeometry(1.0f, 1.0f, 1, 0, 0, 0, 0, 0,
                                                                 kSourceWidth, kSourceRows);
                        ASSERT_EQ(s.g.doreschange, interpolate);
                        ASSERT_TRUE(s.tables.Build(s.g, 0, kWidth));
                        // Averaged values 0..9 of A = 9, white runs and a few out-of-range ones.
                        for (int b = 0; b < 256; ++b)
                            s.valueOf[static_cast<std::size_t>(b)] = static_cast<float>(b);
                        s.source.assign(kSourceRows, std::vector<std::uint8_t>(kSourceWidth));
                        for (auto& row : s.source) {
                            for (auto& v : row) {
                                const unsigned d = gen() % 16;
                                v = static_cast<std::uint8_t>(d < 5 ? 0 : d < 7 ? 9 : gen() % 10);
                            }
                            // Paper: white stretches up to half the row, some rows all white,
                            // so that whole words of the source are white.
                            const long at = static_cast<long>(gen() % kSourceWidth);
                            const long length = gen() % 4 == 0
                                                    ? long{kSourceWidth}
                                                    : static_cast<long>(gen() % (kSourceWidth / 2));
                            std::fill(row.begin() + at,
                                      row.begin() + std::min<long>(at + length, kSourceWidth),
                                      std::uint8_t{0});
                        }
                        for (auto& row : s.source) s.rows.push_back(row.data());
                        s.p.valueOf = s.valueOf.data();
                        s.p.maxValue = 9.0f;
                        s.p.middle = 4.5f;
                        s.p.low = static_cast<float>(threshold * 9 * 0.01);
                        s.p.high = static_cast<float>((100 - threshold) * 9 * 0.01);
                        s.p.addnoise = noise;
                        s.p.noiseAmplitude = 0.3f * 18.0f;
                        s.p.diffusionType = type;
                        s.p.randomReverse = reverse;

                        std::deque<Rescreener> ways;  // not movable: holds a thread
                        ways.emplace_back().kind = Rescreener::kLoops;
                        if (type == kDiffusionTwoD) {
                            ways.emplace_back().kind = Rescreener::kPrepared;
                            ways.emplace_back().kind = Rescreener::kOverlapped;
                        }
                        for (Rescreener& way : ways) ASSERT_TRUE(way.errors.Allocate(kWidth));
                        FilterRandom plain;
                        std::vector<float> cur(kWidth + 2, 0.0f), nxt(kWidth + 2, 0.0f);
                        // Errors left by an earlier band, large enough to reach the middle on
                        // their own (an all-white neighbourhood must still print white). In
                        // some cases they are tiny instead, around 2^-122, where the shares of
                        // an error are no longer exact and are formed one after another.
                        const float unit = threshold == 25 && !noise ? 0.1f * 0x1p-124f : 0.1f;
                        for (int i = 1; i <= kWidth; ++i) {
                            const float e =
                                static_cast<float>(static_cast<int>(gen() % 121) - 60) * unit;
                            cur[static_cast<std::size_t>(i)] = e;
                            for (Rescreener& way : ways) way.errors.current()[i] = e;
                        }
                        const SourceBlock block{s.rows.data(), 0, kSourceRows};
                        // Two bands, so that the error carried between bands is compared too.
                        for (int y : {0, 17}) {
                            std::vector<std::vector<std::uint8_t>> b(
                                17, std::vector<std::uint8_t>(kWidth));
                            ReferenceBand(s, plain, cur, nxt, b, y, 17);
                            for (Rescreener& way : ways) {
                                std::vector<std::vector<std::uint8_t>> a(
                                    17, std::vector<std::uint8_t>(kWidth, 0x5A));
                                std::vector<std::uint8_t*> outRows;
                                for (auto& row : a) outRows.push_back(row.data());
                                ASSERT_TRUE(way.Band(s, block, outRows.data(), y, 17));
                                ASSERT_EQ(a, b)
                                    << "way " << way.kind << " interpolate " << interpolate
                                    << " type " << type << " noise " << noise << " reverse "
                                    << reverse << " threshold " << threshold << " band " << y;
                                ++compared;
                            }
                        }
                        for (Rescreener& way : ways)
                            for (int i = 1; i <= kWidth; ++i)
                                ASSERT_EQ(std::bit_cast<std::uint32_t>(way.errors.current()[i]),
                                          std::bit_cast<std::uint32_t>(
                                              cur[static_cast<std::size_t>(i)]));
                    }
    EXPECT_EQ(compared, 2 * 2 * (3 + 4) * (2 + 2 + 6));
}


// The diffusion of prepared rows alone, against DiffuseError pixel by pixel, on rows built to
// reach its corners: runs of pass and decided pixels of every length (so that the next-row
// cells a run keeps in registers are handed from run to run), both directions, and errors
// from ordinary sizes down to far below 2^-122, where an error's shares are not exact and are
// formed one after another. Output bytes and both error rows must match to the bit.
TEST(RescreenEquivalence, PreparedRowDiffusionMatchesDiffuseErrorDownToTinyErrors) {
    constexpr int kColumns = 97;
    constexpr float kA = 9.0f;
    std::mt19937 gen(99);
    for (int trial = 0; trial < 400; ++trial) {
        // Error magnitudes of this trial: 2^-(scale) with a full mantissa.
        const int scale = trial % 4 == 0 ? 2 : 110 + static_cast<int>(gen() % 30);
        const auto randomError = [&] {
            const float m = static_cast<float>(static_cast<int>(gen() % 2001) - 1000) / 997.0f;
            return std::ldexp(m, -scale);
        };
        PreparedRow row;
        ASSERT_TRUE(row.Reserve(kColumns));
        row.width = kColumns;
        row.rightToLeft = trial % 2 == 1;
        const int direction = row.rightToLeft ? -1 : 1;
        std::vector<bool> decided(kColumns, false);
        for (int k = 0; k < kColumns;) {
            const int pass = static_cast<int>(gen() % 12);
            const int count = 1 + static_cast<int>(gen() % 12);
            k += pass;
            if (k >= kColumns)
                break;
            const int c0 = row.rightToLeft ? kColumns - 1 - k : k;
            const int n = std::min(count, kColumns - k);
            row.decided.push_back(PixelRun{c0, n});
            for (int j = 0; j < n; ++j) {
                const int c = c0 + direction * j;
                decided[static_cast<std::size_t>(c)] = true;
                // Value 0 that never prints keeps a tiny error tiny; others decide.
                const unsigned kind = gen() % 4;
                row.value[static_cast<std::size_t>(c)] =
                    kind == 0 ? 0.0f : static_cast<float>(gen() % 10) * std::ldexp(1.0f, -scale);
                row.blackFrom[static_cast<std::size_t>(c)] =
                    kind == 0 ? std::numeric_limits<float>::quiet_NaN()
                    : kind == 1 ? -std::numeric_limits<float>::infinity()
                                : 4.5f * std::ldexp(1.0f, -scale);
            }
            k += n;
        }

        ErrorRows errors;
        ASSERT_TRUE(errors.Allocate(kColumns));
        std::vector<float> cur(kColumns + 2, 0.0f), nxt(kColumns + 2, 0.0f);
        for (int i = 1; i <= kColumns; ++i) {
            cur[static_cast<std::size_t>(i)] = errors.current()[i] = randomError();
            if (gen() % 3 == 0)
                nxt[static_cast<std::size_t>(i)] = errors.next()[i] = randomError();
        }
        // A black pixel takes A away: scaled with the errors so that they stay of one size.
        const float a = trial % 4 == 0 ? kA : kA * std::ldexp(1.0f, -scale);
        std::vector<std::uint8_t> want(kColumns, 0x5A), got(kColumns, 0x5A);
        for (int k = 0; k < kColumns; ++k) {
            const int c = row.rightToLeft ? kColumns - 1 - k : k;
            const auto uc = static_cast<std::size_t>(c);
            float e = cur[uc + 1];
            if (decided[uc]) {
                const float v = row.value[uc] + e;
                const bool black = v >= row.blackFrom[uc];
                e = black ? v - a : v;
                want[uc] = black ? 255 : 0;
            }
            if (row.rightToLeft)
                DiffuseError<-1>(e, cur.data(), nxt.data(), c + 1);
            else
                DiffuseError<1>(e, cur.data(), nxt.data(), c + 1);
        }
        DiffusePreparedRow(row, a, errors, got.data());
        ASSERT_EQ(got, want) << "trial " << trial;
        // After the row the error rows have swapped: the next row is the current one now.
        for (int i = 1; i <= kColumns; ++i) {
            ASSERT_EQ(std::bit_cast<std::uint32_t>(errors.current()[i]),
                      std::bit_cast<std::uint32_t>(nxt[static_cast<std::size_t>(i)]))
                << "trial " << trial << " cell " << i;
            ASSERT_EQ(std::bit_cast<std::uint32_t>(errors.next()[i]), 0u)
                << "trial " << trial << " cell " << i;
        }
    }
}

}  // namespace
}  // namespace vestrel
