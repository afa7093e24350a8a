#include "engine/filter/resample_output.h"

#include <algorithm>
#include <cmath>

#include "engine/filter/error_diffusion.h"

namespace vestrel {

namespace {

// Everything one output row needs; the pixel loops below read only from here.
struct RowInputs {
    const std::uint8_t* row0 = nullptr;  // source row at or above the sample position
    const std::uint8_t* row1 = nullptr;  // the row below it (interpolation only)
    float fy = 0.0f;                     // weight of row1
    float gy = 1.0f;                     // weight of row0: 1 - fy
    const std::int32_t* c0 = nullptr;
    const std::int32_t* c1 = nullptr;
    const float* fx = nullptr;
    const float* gx = nullptr;
    const RescreenParams* p = nullptr;
    FilterRandom* random = nullptr;
    float* current = nullptr;  // error rows (DiffusionType 2)
    float* next = nullptr;
    std::uint8_t* out = nullptr;
    int w = 0;
};

// Rescreen methods of the pixel loops: error from the error rows, from a carry along the row,
// or none.
enum Method { kThreshold = 0, kCarry = 1, kErrorRows = 2 };

int MethodOf(std::int32_t diffusionType) {
    if (diffusionType == kDiffusionTwoD)
        return kErrorRows;
    if (diffusionType == kDiffusionRowCarry)
        return kCarry;
    return kThreshold;
}

// One output row of the 1-bit rescreen, in scan direction `Direction`.
//
// Direct (no interpolation): pixel X reads f = value of source pixel (c0[X], row0). Below
// `low` it prints white, at or above `high` black, and either way passes the incoming error on
// untouched; between them v = f + error prints black (error v - A) when v >= middle, else
// white (error v).
// Interpolated: the value is the bilinear sample of the four source pixels around the sample
// point. An all-white neighbourhood prints white and passes the incoming error on (no noise is
// drawn for it); any other pixel passes v = value + error, less A when it prints black: below
// `low` white, at or above `high` black, between them black when v >= middle.
//
// The decisions are formed without branches (they are unpredictable inside a halftone), and
// the error that the diffusion adds to the next pixel of the row is kept in a register rather
// than stored and read back: the row's pixels form one chain of dependent operations, so its
// length is what the loop costs. Both change no result bit; only the sign of a zero error can
// differ, which no decision sees.
template <int Direction, bool Noise, int M, bool Interpolated>
void RescreenRow(const RowInputs& in) {
    const RescreenParams& p = *in.p;
    const float low = p.low;
    const float high = p.high;
    const float middle = p.middle;
    const float a = p.maxValue;
    const float* const valueOf = p.valueOf;
    // Local copies: the output bytes could alias anything, so the compiler would otherwise
    // reload every pointer from `in` after each store.
    const std::uint8_t* const row0 = in.row0;
    const std::uint8_t* const row1 = in.row1;
    const std::int32_t* const c0 = in.c0;
    const std::int32_t* const c1 = in.c1;
    const float* const fxs = in.fx;
    const float* const gxs = in.gx;
    const float fy = in.fy;
    const float gy = in.gy;
    const float amplitude = p.noiseAmplitude;
    FilterRandom* const random = in.random;
    std::uint8_t* const out = in.out;
    float* const current = in.current;
    float* const next = in.next;
    const int start = Direction > 0 ? 0 : in.w - 1;
    float incoming = 0.0f;  // error arriving at the pixel: error row cell or row carry
    if constexpr (M == kErrorRows)
        incoming = current[start + 1];
    for (int k = 0; k < in.w; ++k) {
        const int c = start + Direction * k;
        bool black = false;
        float e = incoming;
        if constexpr (Interpolated) {
            const std::int32_t i0 = c0[c];
            const std::int32_t i1 = c1[c];
            const std::uint8_t b00 = row0[i0];
            const std::uint8_t b01 = row0[i1];
            const std::uint8_t b10 = row1[i0];
            const std::uint8_t b11 = row1[i1];
            const bool any = (b00 | b01 | b10 | b11) != 0;
            // Without noise an all-white neighbourhood interpolates to exactly 0, so v is the
            // incoming error and `any` alone keeps the pixel white.
            if (Noise ? any : true) {
                float value = Interpolate(valueOf[b00], valueOf[b01], valueOf[b10], valueOf[b11],
                                          fxs[c], gxs[c], fy, gy);
                if constexpr (Noise)
                    value += random->NoiseTerm(amplitude);
                const float v = value + incoming;
                black = any & (value >= low) & ((value >= high) | (v >= middle));
                e = v - (black ? a : 0.0f);
            }
        } else {
            float f = valueOf[row0[c0[c]]];
            if constexpr (Noise)
                f += random->NoiseTerm(amplitude);
            const float v = f + incoming;
            const bool between = (f >= low) & (f < high);
            const bool diffusedBlack = v >= middle;
            black = (f >= high) | (between & diffusedBlack);
            e = between ? v - (diffusedBlack ? a : 0.0f) : incoming;
        }
        out[c] = black ? 255 : 0;
        if constexpr (M == kErrorRows) {
            const int i = c + 1;
            const float following = SpreadError<Direction>(e, current[i + Direction], next, i);
            // The 7/16 of the last pixel would land in the guard cell, which nobody reads.
            current[i] = 0.0f;
            incoming = following;
        }
        if constexpr (M == kCarry)
            incoming = e;
    }
}

using RowKernel = void (*)(const RowInputs&);

template <bool Interpolated, int M, bool Noise>
RowKernel PickDirection(bool rightToLeft) {
    return rightToLeft ? &RescreenRow<-1, Noise, M, Interpolated>
                       : &RescreenRow<1, Noise, M, Interpolated>;
}

template <bool Interpolated, int M>
RowKernel PickNoise(bool noise, bool rightToLeft) {
    return noise ? PickDirection<Interpolated, M, true>(rightToLeft)
                 : PickDirection<Interpolated, M, false>(rightToLeft);
}

template <bool Interpolated>
RowKernel PickMethod(int method, bool noise, bool rightToLeft) {
    switch (method) {
        case kErrorRows:
            return PickNoise<Interpolated, kErrorRows>(noise, rightToLeft);
        case kCarry:
            return PickNoise<Interpolated, kCarry>(noise, rightToLeft);
        default:
            return PickNoise<Interpolated, kThreshold>(noise, rightToLeft);
    }
}

// Takes the source rows of output row Y and their weights into `in`.
void SelectRows(const ResampleGeometry& g, const SourceBlock& src, std::int64_t y, RowInputs& in) {
    const RowSample sample = SampleRows(g, src, y);
    in.row0 = sample.row0;
    in.row1 = sample.row1;
    in.fy = sample.fy;
    in.gy = sample.gy;
}

RowInputs CommonInputs(const ColumnTables& tables, const RescreenParams& p, FilterRandom& random) {
    RowInputs in;
    in.c0 = tables.c0.data();
    in.c1 = tables.c1.data();
    in.fx = tables.fx.data();
    in.gx = tables.gx.data();
    in.p = &p;
    in.random = &random;
    in.w = tables.w;
    return in;
}

inline std::uint8_t GreyByte(float v) {
    return static_cast<std::uint8_t>(static_cast<int>(std::clamp(v, 0.0f, 255.0f)));
}

// Grey output: the (interpolated) byte values, plus noise, clamped to 0..255 and truncated.
template <bool Interpolated, bool Noise>
void GreyRow(const RowInputs& in) {
    for (int c = 0; c < in.w; ++c) {
        float v = 0.0f;
        if constexpr (Interpolated) {
            const std::int32_t i0 = in.c0[c];
            const std::int32_t i1 = in.c1[c];
            v = Interpolate(in.row0[i0], in.row0[i1], in.row1[i0], in.row1[i1], in.fx[c], in.gx[c],
                            in.fy, in.gy);
        } else {
            v = in.row0[in.c0[c]];
        }
        if constexpr (Noise)
            v += in.random->NoiseTerm(in.p->noiseAmplitude);
        in.out[c] = GreyByte(v);
    }
}

}  // namespace

bool ScanRightToLeft(const RescreenParams& p, FilterRandom& random, std::int64_t y) {
    return p.randomReverse ? random.Draw() % 2 == 0 : p.diffusionToggle != 0 && y % 2 != 0;
}

void RescreenBand(const ResampleGeometry& g, const ColumnTables& tables, const SourceBlock& src,
                  const RescreenParams& p, FilterRandom& random, ErrorRows& errors,
                  std::uint8_t* const* out, std::int64_t y, int h) {
    const int method = MethodOf(p.diffusionType);
    RowInputs in = CommonInputs(tables, p, random);
    for (int r = 0; r < h; ++r) {
        const std::int64_t row = y + r;
        const bool rightToLeft = ScanRightToLeft(p, random, row);
        SelectRows(g, src, row, in);
        in.out = out[r];
        if (method == kErrorRows) {
            in.current = errors.current();
            in.next = errors.next();
        }
        const RowKernel kernel = g.doreschange ? PickMethod<true>(method, p.addnoise, rightToLeft)
                                               : PickMethod<false>(method, p.addnoise, rightToLeft);
        kernel(in);
        if (method == kErrorRows)
            errors.Swap();
    }
}

void GreyBand(const ResampleGeometry& g, const ColumnTables& tables, const SourceBlock& src,
              const RescreenParams& p, FilterRandom& random, std::uint8_t* const* out,
              std::int64_t y, int h) {
    RowInputs in = CommonInputs(tables, p, random);
    const RowKernel kernel = g.doreschange
                                 ? (p.addnoise ? &GreyRow<true, true> : &GreyRow<true, false>)
                                 : (p.addnoise ? &GreyRow<false, true> : &GreyRow<false, false>);
    for (int r = 0; r < h; ++r) {
        SelectRows(g, src, y + r, in);
        in.out = out[r];
        kernel(in);
    }
}

}  // namespace vestrel
