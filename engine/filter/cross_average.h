// Fixed 3 x 3 cross averager: each pixel with its four direct neighbours.
#pragma once

#include <cstdint>

namespace vestrel {

// Averages rows[0 .. rowCount-1], columns 0 .. width-1, in place. Every output is computed
// from the unfiltered values of the pixel and those of its four direct neighbours that lie
// inside the rows and columns given (the block is treated as the whole image):
// - bilevel: 5 * [pixel != 0] + the number of non-zero neighbours, so 0..9 inside, at most 8
//   on an edge and at most 7 in a corner;
// - grey: (sum of the k neighbours + 4 * pixel + (4 + k) / 2) / (4 + k), the rounded weighted
//   mean: / 8 inside, / 7 on an edge, / 6 in a corner (and / 5, / 4 on blocks one pixel wide).
// Returns 1 on success, 0 when the scratch rows cannot be allocated (rows are then unchanged).
int CrossAverage3(std::uint8_t* const* rows, int width, int rowCount, bool bilevel);

}  // namespace vestrel
