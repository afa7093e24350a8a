// The output step of the resampling filter: samples the descreened source at the output grid
// and writes one band, rescreened to black and white or as grey values.
#pragma once

#include <cstdint>

#include "engine/filter/filter_random.h"
#include "engine/filter/filter_state.h"
#include "engine/filter/resample_geometry.h"
#include "engine/filter/resample_sampling.h"

namespace vestrel {

struct RescreenParams {
    // Value of a source byte: the averaged value itself when averaging, else A for any
    // non-zero (black) pixel and 0 for white. A table, so the pixel loops need no test.
    const float* valueOf = nullptr;
    float low = 0.0f;             // below: forced white
    float high = 0.0f;            // at or above: forced black
    float middle = 0.0f;          // threshold of the diffusion
    float maxValue = 0.0f;        // A: what a black output pixel takes away
    float noiseAmplitude = 0.0f;  // in value units; used only with addnoise
    bool addnoise = false;
    std::int32_t diffusionType = kDiffusionTwoD;
    std::int32_t diffusionToggle = 1;
    bool randomReverse = false;
};

// Scan direction of 1-bit output row `y` (absolute): right to left when a fresh draw is even
// with RandomReverse, otherwise on odd rows when DiffusionToggle is set. The draw comes before
// the row's noise, so the sequence of draws is the same however the image is cut into bands.
bool ScanRightToLeft(const RescreenParams& p, FilterRandom& random, std::int64_t y);

// Writes output rows y .. y + h - 1 (absolute row numbers), w = tables.w columns each, as 0
// (white) or 255 (black), into out[0 .. h-1]. `errors` is used with DiffusionType 2 and must
// then hold at least w columns; it is left ready for the next band.
void RescreenBand(const ResampleGeometry& g, const ColumnTables& tables, const SourceBlock& src,
                  const RescreenParams& p, FilterRandom& random, ErrorRows& errors,
                  std::uint8_t* const* out, std::int64_t y, int h);

// Writes grey output rows (0..255, always left to right, no error diffusion): the
// interpolated byte values, plus noise (then clamped to 0..255) with addnoise.
void GreyBand(const ResampleGeometry& g, const ColumnTables& tables, const SourceBlock& src,
              const RescreenParams& p, FilterRandom& random, std::uint8_t* const* out,
              std::int64_t y, int h);

}  // namespace vestrel
