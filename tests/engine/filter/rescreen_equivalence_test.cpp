// The rescreen loops against a plain pixel-by-pixel statement of the rescreen arithmetic:
// every method, direction, noise setting and threshold must give the same bits. With error
// rows the rescreen also runs in two steps (rows prepared, then diffused; on one thread or on
// two), which must give the same bits again.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <deque>
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
                        // their own (an all-white neighbourhood must still print white).
                        for (int i = 1; i <= kWidth; ++i) {
                            const float e =
                                static_cast<float>(static_cast<int>(gen() % 121) - 60) * 0.1f;
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
                                ASSERT_EQ(way.errors.current()[i],
                                          cur[static_cast<std::size_t>(i)]);
                    }
    EXPECT_EQ(compared, 2 * 2 * (3 + 4) * (2 + 2 + 6));
}

}  // namespace
}  // namespace vestrel
