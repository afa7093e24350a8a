// Descreening of the fetched source rows in place, with the averager that the window side
// calls for.
#pragma once

#include <cstdint>

namespace vestrel {

// Rows of context an averaging window of side n needs before (above / left of) and after
// (below / right of) the pixel it is centred on; 0 without averaging (n <= 1).
int AveragingContextBefore(int side);
int AveragingContextAfter(int side);

// Averages rows[0 .. rowCount-1], columns 0 .. width-1, in place, treating the block as the
// whole image: n > 2 with BoxAverager (256 levels), otherwise with CrossAverage3. `bilevel`
// for 1-bit sources (any non-zero pixel is black). False when memory is short.
bool AverageRowsInPlace(std::uint8_t* const* rows, int width, int rowCount, int side, bool bilevel);

}  // namespace vestrel
