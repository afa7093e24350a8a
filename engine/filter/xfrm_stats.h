// Statistics of the dot-gain filter, gathered over the whole image before any output: per
// xfrm level, how many pixels there are and how many are ink (hs0), how their averaged
// values are distributed (hs1), and from these and the level's gain the averaged value from
// which a pixel of the level prints ink (hs2).
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "engine/filter/gain/gain_state.h"

namespace vestrel {

// Adds the noise table to the xfrm levels of the band's pixels, in place: the level of pixel
// (i, j) of the band, counted from its top left, gains noise[(y + i) mod 64][j mod 64] and is
// clamped to 0 .. levels - 1. The same indexing serves the statistics and the output, so
// both see the same levels.
void AddNoise(const RowView& xfrm, const BandRect& band, const NoiseTable& noise, int levels);

// hs0 for one band: per pixel, entry (level).pixelCount + 1, and blackCount + 1 when the
// source pixel is ink (non-zero). With `noise`, the levels are made noisy first (AddNoise)
// and keep the noisy value. Levels beyond the table count as its top level.
void GatherXfrmStats(const RowView& xfrm, const RowView& source, const BandRect& band,
                     const NoiseTable* noise, std::vector<LevelEntry>& table);

// hs1 for one band: per pixel, entry (level).histogram[value] + 1, where value =
// valueOf[averaged byte] (0 .. A: the averaged value, or 0 / A without averaging).
void AccumulateXfrmHistograms(const RowView& xfrm, const RowView& averaged, const BandRect& band,
                              const std::array<std::uint8_t, 256>& valueOf,
                              std::vector<LevelEntry>& table);

// hs2 for one level with maximum averaged value A (histogram of A + 1 counts): the
// threshold T such that the pixels with a value above T, plus the share 1 - frac(T) of the
// bin at floor(T), are the level's ink count times its gain. A level without ink gets A + 1
// (nothing prints); a level without pixels keeps its threshold. The result lies in 0 .. A + 1.
float LevelThreshold(const LevelEntry& entry, int maxValue);

// hs2 for every level of the table.
void UpdateXfrmThresholds(std::vector<LevelEntry>& table, int maxValue);

// hs1 for the band, then hs2 for every level.
void CalculateXfrmStats(const RowView& xfrm, const RowView& averaged, const BandRect& band,
                        const std::array<std::uint8_t, 256>& valueOf, int maxValue,
                        std::vector<LevelEntry>& table);

}  // namespace vestrel
