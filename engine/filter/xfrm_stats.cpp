#include "engine/filter/xfrm_stats.h"

#include <algorithm>
#include <cmath>

namespace vestrel {

namespace {

// Table index of each possible level byte: levels beyond the table count as its top level,
// so a stray byte can never index past the table.
std::array<std::uint8_t, 256> LevelIndex(std::size_t levels) {
    std::array<std::uint8_t, 256> index{};
    const std::size_t top = levels > 0 ? levels - 1 : 0;
    for (std::size_t v = 0; v < index.size(); ++v)
        index[v] = static_cast<std::uint8_t>(std::min(v, top));
    return index;
}

}  // namespace

void AddNoise(const RowView& xfrm, const BandRect& band, const NoiseTable& noise, int levels) {
    const int top = std::max(levels - 1, 0);
    for (std::int32_t i = 0; i < band.h; ++i) {
        std::uint8_t* row = xfrm.At(band.y + i, band.x);
        const std::int32_t* noiseRow =
            noise.data() +
            static_cast<std::size_t>((band.y + i) % kNoiseTableSide) * kNoiseTableSide;
        // In runs of one noise row, so that the inner loop has no index arithmetic.
        for (std::int32_t j0 = 0; j0 < band.w; j0 += kNoiseTableSide) {
            const std::int32_t n = std::min(kNoiseTableSide, band.w - j0);
            std::uint8_t* run = row + j0;
            for (std::int32_t j = 0; j < n; ++j)
                run[j] = static_cast<std::uint8_t>(std::clamp(run[j] + noiseRow[j], 0, top));
        }
    }
}

void GatherXfrmStats(const RowView& xfrm, const RowView& source, const BandRect& band,
                     const NoiseTable* noise, std::vector<LevelEntry>& table) {
    if (table.empty())
        return;
    if (noise != nullptr)
        AddNoise(xfrm, band, *noise, static_cast<int>(table.size()));
    const std::array<std::uint8_t, 256> levelIndex = LevelIndex(table.size());
    // Counted per band in local arrays, then added to the table.
    std::array<std::int64_t, 256> pixels{};
    std::array<std::int64_t, 256> ink{};
    for (std::int32_t i = 0; i < band.h; ++i) {
        const std::uint8_t* levels = xfrm.At(band.y + i, band.x);
        const std::uint8_t* src = source.At(band.y + i, band.x);
        for (std::int32_t j = 0; j < band.w; ++j) {
            const std::uint8_t t = levelIndex[levels[j]];
            ++pixels[t];
            ink[t] += src[j] != 0 ? 1 : 0;
        }
    }
    for (std::size_t t = 0; t < table.size(); ++t) {
        table[t].pixelCount += pixels[t];
        table[t].blackCount += ink[t];
    }
}

void AccumulateXfrmHistograms(const RowView& xfrm, const RowView& averaged, const BandRect& band,
                              const std::array<std::uint8_t, 256>& valueOf,
                              std::vector<LevelEntry>& table) {
    if (table.empty())
        return;
    const std::array<std::uint8_t, 256> levelIndex = LevelIndex(table.size());
    std::array<std::int64_t*, 256> histograms{};
    std::array<std::size_t, 256> bins{};
    for (std::size_t t = 0; t < table.size(); ++t) {
        histograms[t] = table[t].histogram.data();
        bins[t] = table[t].histogram.size();
    }
    for (std::int32_t i = 0; i < band.h; ++i) {
        const std::uint8_t* levels = xfrm.At(band.y + i, band.x);
        const std::uint8_t* values = averaged.At(band.y + i, band.x);
        for (std::int32_t j = 0; j < band.w; ++j) {
            const std::uint8_t t = levelIndex[levels[j]];
            const std::uint8_t v = valueOf[values[j]];
            // valueOf never exceeds A, and every histogram holds A + 1 bins.
            if (v < bins[t])
                ++histograms[t][v];
        }
    }
}

float LevelThreshold(const LevelEntry& entry, int maxValue) {
    if (entry.pixelCount == 0)
        return entry.threshold;
    const double a = maxValue;
    if (entry.blackCount == 0)
        return static_cast<float>(a + 1.0);
    // Pixels of this level that are to print ink. A curve that gives a negative value asks
    // for none (and must not select an empty top bin below).
    const double target =
        std::max(0.0, static_cast<double>(entry.blackCount) * static_cast<double>(entry.gainRatio));
    const std::vector<std::int64_t>& hist = entry.histogram;
    const int top = std::min(maxValue, static_cast<int>(hist.size()) - 1);
    std::int64_t sum = 0;
    int m = 0;
    for (int v = top; v >= 0; --v) {
        sum += hist[static_cast<std::size_t>(v)];
        if (static_cast<double>(sum) >= target) {
            m = v;
            break;
        }
    }
    double threshold = m;
    const auto bin =
        static_cast<double>(m >= 0 && m <= top ? hist[static_cast<std::size_t>(m)] : 0);
    // The bin at m holds more ink than wanted: the share (sum - target) / bin of it stays
    // white, which the rescreen realises by spreading the fraction of the threshold.
    if (static_cast<double>(sum) > std::trunc(target + 0.5) && bin > 0.0)
        threshold = m + (static_cast<double>(sum) - target) / bin;
    return static_cast<float>(std::clamp(threshold, 0.0, a + 1.0));
}

void UpdateXfrmThresholds(std::vector<LevelEntry>& table, int maxValue) {
    for (LevelEntry& entry : table) entry.threshold = LevelThreshold(entry, maxValue);
}

void CalculateXfrmStats(const RowView& xfrm, const RowView& averaged, const BandRect& band,
                        const std::array<std::uint8_t, 256>& valueOf, int maxValue,
                        std::vector<LevelEntry>& table) {
    AccumulateXfrmHistograms(xfrm, averaged, band, valueOf, table);
    UpdateXfrmThresholds(table, maxValue);
}

}  // namespace vestrel
