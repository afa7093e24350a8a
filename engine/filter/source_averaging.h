// Descreening of the fetched source rows in place, with the averager that the window side
// calls for.
#pragma once

#include <cstdint>
#include <optional>

#include "engine/filter/box_averager.h"
#include "engine/filter/cross_average.h"

namespace vestrel {

// Rows of context an averaging window of side n needs before (above / left of) and after
// (below / right of) the pixel it is centred on; 0 without averaging (n <= 1).
int AveragingContextBefore(int side);
int AveragingContextAfter(int side);

// Averages rows[0 .. rowCount-1], columns 0 .. width-1, in place, treating the block as the
// whole image: n > 2 with BoxAverager (256 levels), otherwise with CrossAverage3. `bilevel`
// for 1-bit sources (any non-zero pixel is black). False when memory is short.
bool AverageRowsInPlace(std::uint8_t* const* rows, int width, int rowCount, int side, bool bilevel);

// AverageRowsInPlace a few rows at a time, so that the first rows can be used while the later
// ones are still being averaged: after AverageTo(k) rows 0 .. k-1 hold exactly the values
// AverageRowsInPlace gives them. Rows from k on may already be changed.
class SourceAverager {
  public:
    // For the block of AverageRowsInPlace. False when memory is short.
    bool Start(std::uint8_t* const* rows, int width, int rowCount, int side, bool bilevel);
    void AverageTo(int count);

  private:
    std::uint8_t* const* rows_ = nullptr;
    int rowCount_ = 0;
    int half_ = 0;
    int next_ = 0;  // box window: the next output row
    CrossAverager cross_;
    std::optional<BoxAverager> box_;  // for sides above 2
};

}  // namespace vestrel
