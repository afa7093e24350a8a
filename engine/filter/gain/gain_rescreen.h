// The output step of the dot-gain filter: each pixel is decided against the threshold of its
// xfrm level, so that every dot grows or shrinks by the level's gain while the screen stays.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "engine/filter/filter_state.h"
#include "engine/filter/gain/gain_state.h"

namespace vestrel {

// What a pixel of averaged value a (0 .. A) is, whatever its level.
enum ValueClass : std::uint8_t {
    kDecideByLevel = 0,  // low <= a < high: the level's threshold decides
    kForcedWhite = 1,    // a < low
    kForcedBlack = 2,    // a >= high
};

// The thresholds of the level table in the form the pixel loop uses. Indexed by level byte;
// bytes beyond the table take its top level.
struct LevelDecisions {
    std::array<std::int32_t, 256> floorT{};  // a below: white
    std::array<std::int32_t, 256> ceilT{};   // a at or above: ink
    std::array<std::int32_t, 256> roundT{};  // DiffusionType 0: ink from here (half away from 0)
    // a == floor(T) < T: the pixel's share of ink, 1 - (T - a), to which the carried error
    // is added. T - floor(T) is exact in floats, so this equals the per-pixel expression.
    std::array<float, 256> base{};
};

LevelDecisions MakeLevelDecisions(const std::vector<LevelEntry>& table);

struct GainRescreenParams {
    std::array<std::uint8_t, 256> valueOf{};     // averaged byte -> a (0 .. A)
    std::array<std::uint8_t, 256> valueClass{};  // a -> ValueClass
    std::int32_t diffusionType = kDiffusionTwoD;
    std::int32_t diffusionToggle = 1;
};

// valueOf for a maximum value A: with averaging the byte itself (at most A); without, A for
// any ink pixel and 0 for white.
std::array<std::uint8_t, 256> ValueTable(int maxValue, bool averaged);
// valueClass from the forced bands [0, low) and [high, A].
std::array<std::uint8_t, 256> ValueClassTable(float low, float high);

// Writes output rows band.y .. band.y + h - 1 of columns band.x .. band.x + w - 1 as 0 (white)
// or 255 (ink) into out[0 .. h-1] (w bytes each). Row Y runs right to left when
// DiffusionToggle is set and Y is odd. Per pixel, with a its value and T its level's
// threshold: forced bands first; then by DiffusionType
//   0 (and unknown values): ink when a >= T rounded half away from zero;
//   1: a < floor(T) white, a >= ceil(T) ink, otherwise k = 1 - (T - a) + carry prints ink
//      when k >= 1, and the carry (along the row, 0 at its start) becomes k or k - 1;
//   2: as 1, with the carry taken from the error rows, and afterwards diffused to the
//      neighbours (7, 3, 5, 1 sixteenths); `errors` must hold at least band.w columns.
// The carry passes forced and whole-threshold pixels unchanged (with 2 it is diffused on
// unchanged), so no error is lost or left behind in the error rows.
void GainRescreenBand(const RowView& levels, const RowView& values, const BandRect& band,
                      const LevelDecisions& decisions, const GainRescreenParams& params,
                      ErrorRows& errors, std::uint8_t* const* out);

}  // namespace vestrel
