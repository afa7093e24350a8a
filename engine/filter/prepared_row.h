// The 1-bit rescreen with error rows (DiffusionType 2) in two steps, so that only the error
// diffusion itself stays on the thread that runs it:
//
//   RowPreparer works out everything of an output row that does not depend on the error
//   arriving from its neighbours: the scan direction, the noise, the interpolated values, which
//   pixels the forced bands decide, and the output of the pixels that merely pass the error
//   on. It runs on any thread, one row after the other in image order (it draws from the
//   generator as RescreenBand does).
//   DiffusePreparedRow runs the serpentine diffusion over the prepared row: a chain of
//   dependent float operations from pixel to pixel, which is what the rescreen costs.
//
// Together they give exactly the bits of RescreenBand (resample_output.h) with DiffusionType 2:
// every value is formed by the same operations in the same order.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/filter/filter_random.h"
#include "engine/filter/filter_state.h"
#include "engine/filter/resample_geometry.h"
#include "engine/filter/resample_output.h"

namespace vestrel {

// `count` consecutive pixels of a row in its scan direction, starting at column `first`.
struct PixelRun {
    std::int32_t first = 0;
    std::int32_t count = 0;
};

// One output row, prepared. Two kinds of pixel:
//   pass pixels hand the error they receive on unchanged and their output is known already
//   (interpolated: all four source pixels white; direct: a value in a forced band);
//   decided pixels add their value to the error and print black when the sum reaches
//   blackFrom: -infinity for the forced black band, the middle between the bands, and NaN
//   (never) for the forced white band. Short runs of white pass pixels between decided ones
//   are kept as decided pixels of value 0 that never print black (0 + error is the error), so
//   the diffusion does not switch loops for one or two pixels.
struct PreparedRow {
    int width = 0;  // columns
    bool rightToLeft = false;
    // The decided pixels, in scan order; every pixel outside them is a pass pixel.
    std::vector<PixelRun> decided;
    // By column, set for decided pixels only.
    std::vector<float> value;
    std::vector<float> blackFrom;

    // Sizes the row for `columns` columns once, so that preparing never allocates. False when
    // memory is short.
    bool Reserve(int columns);
};

// Prepares the output rows of one band. Holds what it works out once per band: which output
// columns read each source column, so that white stretches of the source are skipped a word at
// a time.
class RowPreparer {
  public:
    // For the rows of a band with these geometry, column tables and parameters, which must
    // outlive the preparer. False when memory is short, or when a white source byte is worth
    // something (valueOf[0] != 0: the pass pixels rely on four white pixels sampling to 0);
    // RescreenBand then serves.
    bool Start(const ResampleGeometry& g, const ColumnTables& tables, const RescreenParams& p);

    // Prepares output row `y` (absolute) from `src`: fills `row` and writes the output of its
    // pass pixels into `out` (decided pixels are written by DiffusePreparedRow).
    void Prepare(const SourceBlock& src, FilterRandom& random, std::int64_t y, PreparedRow& row,
                 std::uint8_t* out);

  private:
    void PrepareInterpolated(const SourceBlock& src, FilterRandom& random, std::int64_t y,
                             PreparedRow& row, std::uint8_t* out);
    void FindReadRanges(const std::uint8_t* row0, const std::uint8_t* row1);

    const ResampleGeometry* g_ = nullptr;
    const ColumnTables* tables_ = nullptr;
    const RescreenParams* p_ = nullptr;
    std::int32_t sourceBegin_ = 0;  // source columns the rows read: [sourceBegin_, sourceEnd_)
    std::int32_t sourceEnd_ = 0;
    // By source column - sourceBegin_: the first output column whose right source column is at
    // or after it, and the last output column whose left source column is at or before it.
    std::vector<std::int32_t> firstReader_;
    std::vector<std::int32_t> lastReader_;
    // Per source column of the current row: either of its two source rows non-zero; a word of
    // zero bytes pads the end so that it can be read eight bytes at a time.
    std::vector<std::uint8_t> either_;
    // Output columns [first, first + count) that may read a black source pixel, left to right.
    std::vector<PixelRun> ranges_;
};

// Diffuses the error through a prepared row (`errors` holds at least its columns), writes the
// output of its decided pixels into `out`, and swaps the error rows for the next row.
void DiffusePreparedRow(const PreparedRow& row, float maxValue, ErrorRows& errors,
                        std::uint8_t* out);

// RescreenBand for DiffusionType 2, through the two steps one row after the other. False
// when memory is short.
bool RescreenBandPrepared(const ResampleGeometry& g, const ColumnTables& tables,
                          const SourceBlock& src, const RescreenParams& p, FilterRandom& random,
                          ErrorRows& errors, std::uint8_t* const* out, std::int64_t y, int h);

}  // namespace vestrel
