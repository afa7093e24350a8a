// Where the output rows of the resampling filter sample the descreened source rows of a band,
// and the bilinear sample itself.
#pragma once

#include <cstdint>

#include "engine/filter/resample_geometry.h"

namespace vestrel {

// The fetched (and averaged) source rows of a band: rows[k] is source row firstRow + k and is
// indexed by source column. Holds every row and column the band's samples read.
struct SourceBlock {
    std::uint8_t* const* rows = nullptr;
    std::int32_t firstRow = 0;
    std::int32_t endRow = 0;
};

// The source rows one output row reads and their weights.
struct RowSample {
    const std::uint8_t* row0 = nullptr;  // source row at or above the sample position
    const std::uint8_t* row1 = nullptr;  // the row below it (interpolation only)
    float fy = 0.0f;                     // weight of row1
    float gy = 1.0f;                     // weight of row0: 1 - fy
};

// The rows of output row Y (absolute), each clamped to the block. Without interpolation both
// are the source row Y + rowOffset and the weights are unused.
RowSample SampleRows(const ResampleGeometry& g, const SourceBlock& src, std::int64_t y);

// How many rows of the block, from its first, hold the rows that output row Y reads.
int SampledBlockRows(const ResampleGeometry& g, const SourceBlock& src, std::int64_t y);

// Bilinear sample: p00 (1-fx)(1-fy) + p01 fx (1-fy) + p10 (1-fx) fy + p11 fx fy, evaluated in
// exactly this order in single precision (gx = 1 - fx, gy = 1 - fy).
inline float Interpolate(float p00, float p01, float p10, float p11, float fx, float gx, float fy,
                         float gy) {
    return p00 * gx * gy + p01 * fx * gy + p10 * gx * fy + p11 * fx * fy;
}

}  // namespace vestrel
