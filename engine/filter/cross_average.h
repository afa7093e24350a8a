// Fixed 3 x 3 cross averager: each pixel with its four direct neighbours.
#pragma once

#include <cstdint>
#include <vector>

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

// CrossAverage3 a few rows at a time: after AverageTo(k) rows 0 .. k-1 hold their final values
// (row k - 1 is written once row k has been computed, as row k still needs it unfiltered).
class CrossAverager {
  public:
    // For the block of CrossAverage3. False when the scratch rows cannot be allocated.
    bool Start(std::uint8_t* const* rows, int width, int rowCount, bool bilevel);
    void AverageTo(int count);

  private:
    std::uint8_t* const* rows_ = nullptr;
    int width_ = 0;
    int rowCount_ = 0;
    bool bilevel_ = false;
    int next_ = 0;                       // next row to compute
    int final_ = 0;                      // rows 0 .. final_ - 1 are written back
    std::vector<std::uint8_t> scratch_;  // two result rows and a zero row
};

}  // namespace vestrel
