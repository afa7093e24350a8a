#include "engine/filter/gain/gain_rescreen.h"

#include <algorithm>
#include <cmath>

namespace vestrel {

namespace {

enum Method { kThreshold = 0, kCarry = 1, kErrorRows = 2 };

struct RowInputs {
    const std::uint8_t* levels = nullptr;  // xfrm level per column of the band
    const std::uint8_t* values = nullptr;  // averaged byte per column of the band
    std::uint8_t* out = nullptr;
    float* current = nullptr;  // error rows, column c at c + 1 (DiffusionType 2)
    float* next = nullptr;
    int w = 0;
};

// The shares of the error E that the diffusion hands out: E' = E / 16, and 3E', 5E', 7E' as
// E' times 3, 5 and 7. While E' is a normal float (|E| >= 2^-122) it is exact, so E * 0.4375
// rounds to the same 7E' with one multiplication fewer on the chain from pixel to pixel.
struct Shares {
    float e1, e3, e5, e7;
};

inline Shares ShareOut(float e) {
    Shares s;
    s.e1 = e * 0.0625f;
    s.e3 = s.e1 * 3.0f;
    s.e5 = s.e1 * 5.0f;
    s.e7 = std::fabs(e) >= 0x1p-122f ? e * 0.4375f : s.e1 * 7.0f;
    return s;
}

// One output row in scan direction `Direction` with rescreen method `M`.
//
// With the error rows, the error arriving at the next pixel of the row (its cell plus the 7/16
// of this pixel) is kept in a register rather than stored and read back: the pixels of a row
// form one chain of dependent operations, so its length is what the loop costs. The cell
// itself is cleared as every pixel clears its own; no result bit changes.
template <int Direction, int M>
void GainRow(const RowInputs& in, const LevelDecisions& d, const GainRescreenParams& p) {
    const int start = Direction > 0 ? 0 : in.w - 1;
    // DiffusionType 1: the error carried along the row; 2: the error arriving at the pixel.
    float carry = 0.0f;
    if constexpr (M == kErrorRows)
        carry = in.current[start + 1];
    for (int k = 0; k < in.w; ++k) {
        const int c = start + Direction * k;
        const int a = p.valueOf[in.values[c]];
        const std::uint8_t t = in.levels[c];
        bool ink = false;
        const std::uint8_t cls = p.valueClass[static_cast<std::size_t>(a)];
        if (cls == kForcedWhite) {
            ink = false;
        } else if (cls == kForcedBlack) {
            ink = true;
        } else if constexpr (M == kThreshold) {
            ink = a >= d.roundT[t];
        } else if (a < d.floorT[t]) {
            ink = false;
        } else if (a >= d.ceilT[t]) {
            ink = true;
        } else {
            // a == floor(T) < T: the fraction of the threshold is spread by the carry.
            const float share = d.base[t] + carry;
            ink = !(share < 1.0f);
            carry = ink ? share - 1.0f : share;
        }
        in.out[c] = ink ? 255 : 0;
        if constexpr (M == kErrorRows) {
            const int i = c + 1;
            float following = in.current[i + Direction];
            if (carry != 0.0f) {
                const Shares s = ShareOut(carry);
                in.next[i - Direction] += s.e3;
                in.next[i] += s.e5;
                in.next[i + Direction] += s.e1;
                following += s.e7;
            }
            in.current[i] = 0.0f;
            carry = following;  // the 7/16 of the last pixel lands in a guard cell
        }
    }
}

template <int M>
void RowIn(bool rightToLeft, const RowInputs& in, const LevelDecisions& d,
           const GainRescreenParams& p) {
    if (rightToLeft)
        GainRow<-1, M>(in, d, p);
    else
        GainRow<1, M>(in, d, p);
}

}  // namespace

LevelDecisions MakeLevelDecisions(const std::vector<LevelEntry>& table) {
    LevelDecisions d;
    for (std::size_t v = 0; v < 256; ++v) {
        // Thresholds lie in 0 .. A + 1 <= 256; bytes beyond the table take its top level.
        const float t = table.empty() ? 0.0f : table[std::min(v, table.size() - 1)].threshold;
        const float f = std::floor(t);
        d.floorT[v] = static_cast<std::int32_t>(f);
        d.ceilT[v] = static_cast<std::int32_t>(std::ceil(t));
        d.roundT[v] = static_cast<std::int32_t>(std::round(t));
        d.base[v] = 1.0f - (t - f);
    }
    return d;
}

std::array<std::uint8_t, 256> ValueTable(int maxValue, bool averaged) {
    std::array<std::uint8_t, 256> table{};
    const int a = std::clamp(maxValue, 0, 255);
    for (int b = 0; b < 256; ++b)
        table[static_cast<std::size_t>(b)] =
            static_cast<std::uint8_t>(averaged ? std::min(b, a) : (b != 0 ? a : 0));
    return table;
}

std::array<std::uint8_t, 256> ValueClassTable(float low, float high) {
    std::array<std::uint8_t, 256> table{};
    for (int a = 0; a < 256; ++a) {
        const auto v = static_cast<float>(a);
        table[static_cast<std::size_t>(a)] =
            v < low ? kForcedWhite : (v >= high ? kForcedBlack : kDecideByLevel);
    }
    return table;
}

void GainRescreenBand(const RowView& levels, const RowView& values, const BandRect& band,
                      const LevelDecisions& decisions, const GainRescreenParams& params,
                      ErrorRows& errors, std::uint8_t* const* out) {
    const int method = params.diffusionType == kDiffusionTwoD       ? kErrorRows
                       : params.diffusionType == kDiffusionRowCarry ? kCarry
                                                                    : kThreshold;
    RowInputs in;
    in.w = band.w;
    for (std::int32_t r = 0; r < band.h; ++r) {
        const std::int64_t y = std::int64_t{band.y} + r;
        const bool rightToLeft = params.diffusionToggle != 0 && y % 2 != 0;
        in.levels = levels.At(band.y + r, band.x);
        in.values = values.At(band.y + r, band.x);
        in.out = out[r];
        switch (method) {
            case kErrorRows:
                in.current = errors.current();
                in.next = errors.next();
                RowIn<kErrorRows>(rightToLeft, in, decisions, params);
                errors.Swap();
                break;
            case kCarry:
                RowIn<kCarry>(rightToLeft, in, decisions, params);
                break;
            default:
                RowIn<kThreshold>(rightToLeft, in, decisions, params);
                break;
        }
    }
}

}  // namespace vestrel
