// Where the output pixels of the resampling filter fall in the source, and which source
// rectangle a band has to fetch.
#pragma once

#include <cstdint>
#include <vector>

namespace vestrel {

// Fixed for one image by the set-up.
struct ResampleGeometry {
    float sx = 1.0f;  // source pixels per output pixel, horizontally
    float sy = 1.0f;  // vertically
    float ox = 0.0f;  // output column X maps to source column X * sx + ox
    float oy = 0.0f;  // output row Y maps to source row Y * sy + rowOffset + oy
    std::int32_t rowOffset = 0;
    bool doreschange = false;  // false: output pixel (X, Y) reads source pixel (X, Y + rowOffset)
    // The source area, in source pixels: columns [left, right), rows [top, bottom).
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
};

// Averaging windows of even side are centred half a pixel up and left of the pixel they
// belong to; the bias moves the sample point onto their centre.
ResampleGeometry MakeResampleGeometry(float scaleX, float scaleY, int averageSize, int destX,
                                      int destY, int rowOffset, int left, int top, int right,
                                      int bottom);

// Source position of output row Y (absolute), before clamping.
float SourceRowPosition(const ResampleGeometry& g, std::int64_t y);

// Largest integer not above v, held within +-2^30 (so NaN and huge values cannot overflow).
std::int64_t FloorToInt(float v);

// A source rectangle: columns [firstCol, endCol), rows [firstRow, endRow).
struct SourceRequest {
    std::int32_t firstRow = 0;
    std::int32_t endRow = 0;
    std::int32_t firstCol = 0;
    std::int32_t endCol = 0;
    std::int32_t rows() const { return endRow - firstRow; }
    std::int32_t cols() const { return endCol - firstCol; }
};

// The source rectangle that output columns [x, x + w) and rows [y, y + h) read (each sample
// clamped into the source area), widened by `before` / `after` pixels of averaging context on
// each side and clipped to the source area. Requires w, h >= 1 and a non-empty source area.
SourceRequest ComputeResampleRequest(const ResampleGeometry& g, int x, int y, int w, int h,
                                     int before, int after);

// Per output column of a band: the two source columns c0, c1 it interpolates between (clamped
// into the source area), the weight fx of c1 and the weight 1 - fx of c0. Without
// interpolation c0 is the clamped source column and the other tables are unused.
struct ColumnTables {
    std::vector<std::int32_t> c0;
    std::vector<std::int32_t> c1;
    std::vector<float> fx;
    std::vector<float> gx;  // 1 - fx
    std::int32_t x = 0;     // the band columns the tables were built for
    std::int32_t w = -1;

    bool BuiltFor(int bandX, int bandW) const { return x == bandX && w == bandW; }
    // False when memory is short (the tables are then empty).
    bool Build(const ResampleGeometry& g, int bandX, int bandW);
    void Release();
};

}  // namespace vestrel
